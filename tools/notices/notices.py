"""Writes the licence notices of what a release archive bundles, from the copyright
files of the Debian packages it was built from, so they cannot drift from what was
linked: each component's name, version, licences and copyright lines, and then its
copyright file in full, licence texts included.

Usage: notices.py OUT TITLE ABOUT < COMPONENTS
  COMPONENTS: one line per component, tab-separated: source package, version,
  copyright file, then any licence files of linked code that the copyright file
  leaves out, each as NAME=PATH (NAME its path in the source package); or the name
  of an installed Debian package alone, whose source, version and copyright file
  dpkg gives.
"""
import re
import subprocess
import sys
import textwrap

RULE = "-" * 78


def paragraphs(text):
    """A Debian control-style file as a list of {field: value} dicts."""
    result, fields, key = [], {}, None
    for line in text.splitlines():
        if not line.strip():
            if fields:
                result.append(fields)
            fields, key = {}, None
        elif line[0] in " \t" and key:
            fields[key] += "\n" + line.strip()
        elif ":" in line:
            key, value = line.split(":", 1)
            key = key.strip().lower()
            fields[key] = value.strip()
    if fields:
        result.append(fields)
    return result


def summary(text):
    """The licences and copyright lines of the upstream files (Debian's own
    packaging, debian/*, left out), in the order the file gives them."""
    paras = paragraphs(text)
    if not paras or "format" not in paras[0]:
        # Not machine-readable: the lines that name a copyright and a year, as written
        # (not the licence's own "must retain the above copyright notice").
        lines = [l.strip() for l in text.splitlines()
                 if re.search(r"(?i)(copyright|\(c\)).*\b(1[89]|20)\d\d\b", l)]
        return [], lines
    licences, holders = [], []
    for p in paras:
        files = p.get("files", "").split()
        if not files or all(f.startswith("debian/") for f in files):
            continue
        for name in [p.get("license", "").split("\n")[0].strip()]:
            if name and name not in licences:
                licences.append(name)
        for line in p.get("copyright", "").split("\n"):
            line = line.strip()
            if line and line not in holders:
                holders.append(line)
    return licences, holders


def installed(package):
    """An installed package's component line: its source, version and copyright file."""
    form = "${source:Package}\t${Version}\t/usr/share/doc/${Package}/copyright"
    r = subprocess.run(["dpkg-query", "-W", "-f=" + form, package], stdout=subprocess.PIPE,
                       text=True)
    if r.returncode != 0:
        sys.exit(f"notices.py: {package} is not an installed package")
    return r.stdout.split("\t")


def main():
    out, title, about = sys.argv[1:4]
    components = [l.rstrip("\n").split("\t") for l in sys.stdin if l.strip()]
    components = [installed(c[0]) if len(c) == 1 else c for c in components]
    parts = [title, "=" * len(title), "", textwrap.fill(about, 78), "",
             "Components: " + ", ".join(f"{c[0]} {c[1]}" for c in components)]
    for name, version, copyright_file, *extra in components:
        text = open(copyright_file, encoding="utf-8", errors="replace").read()
        licences, holders = summary(text)
        parts += ["", RULE, f"{name} {version} (Debian source package {name})",
                  textwrap.fill("Licences: " + (", ".join(licences) or
                                                "as in the copyright file below"),
                                78, subsequent_indent="  ", break_on_hyphens=False),
                  "Copyright:"]
        parts += ["  " + h for h in holders] or ["  as in the copyright file below"]
        parts += ["", f"Debian's copyright file for {name} {version}:", "", text.rstrip()]
        for item in extra:
            label, path = item.split("=", 1)
            parts += ["", f"Also in {name}, not listed above: {label}", "",
                      open(path, encoding="utf-8", errors="replace").read().rstrip()]
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(parts) + "\n")


if __name__ == "__main__":
    main()
