"""The release artefacts that scripts/package gathered into MARROWBY_DIST: the Debian
package checked by lintian and the validators and, as root, installed and started
as a user would; the checksums and the other platforms' archives."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DIST = os.environ["MARROWBY_DIST"]


def read(path):
    with open(path) as f:
        return f.read()


VERSION = read(os.path.join(ROOT, "VERSION")).strip()
DEB = os.path.join(DIST, f"marrowby_{VERSION}_amd64.deb")
harness.DATA = os.path.join(ROOT, "data")


def run(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


class Artefacts(unittest.TestCase):
    def test_checksums_cover_every_artefact(self):
        sums = read(os.path.join(DIST, "SHA256SUMS")).split()[1::2]
        expected = [os.path.basename(DEB), f"marrowby-{VERSION}.tar.gz"]
        if os.path.exists(os.path.join(ROOT, "scripts", "build-linux")):
            expected.append(f"marrowby-{VERSION}-linux-x86_64.tar.gz")
        if os.path.exists(os.path.join(ROOT, "scripts", "build-web")):
            expected.append(f"marrowby-{VERSION}-web.tar.gz")
        if os.path.exists(os.path.join(ROOT, "scripts", "build-windows")):
            expected.append(f"marrowby-{VERSION}-windows-x86_64.zip")
        if os.path.exists(os.path.join(ROOT, "scripts", "build-arm64")):
            expected.append(f"marrowby_{VERSION}_arm64.deb")
        self.assertEqual(sorted(sums), sorted(expected))
        self.assertEqual(run("sha256sum", "--check", "--strict", "SHA256SUMS",
                             cwd=DIST).returncode, 0)

    def test_windows_zip_unpacks_to_one_folder(self):
        path = os.path.join(DIST, f"marrowby-{VERSION}-windows-x86_64.zip")
        if not os.path.exists(path):
            self.skipTest("no Windows build in this tree")
        names = zipfile.ZipFile(path).namelist()
        self.assertEqual({n.split("/")[0] for n in names}, {f"marrowby-{VERSION}"})
        for f in harness.DATA_FILES + ["marrowby.exe", "README.txt"]:
            self.assertIn(f"marrowby-{VERSION}/{f}", names)


    def test_source_archive_is_the_commit_and_builds_offline_without_git(self):
        with tempfile.TemporaryDirectory() as d:
            shutil.unpack_archive(os.path.join(DIST, f"marrowby-{VERSION}.tar.gz"), d)
            self.assertEqual(os.listdir(d), [f"marrowby-{VERSION}"])
            src = os.path.join(d, f"marrowby-{VERSION}")
            tracked = run("git", "ls-tree", "-r", "--name-only", "HEAD", cwd=ROOT).stdout.split()
            unpacked = [os.path.relpath(os.path.join(t, n), src)
                        for t, _, names in os.walk(src) for n in names]
            self.assertEqual(sorted(unpacked), sorted(tracked))
            # No git on the PATH and no network: what a distribution's builder has.
            env = dict(os.environ, PATH=_without_git(), http_proxy="http://0.0.0.0:9")
            for cmd in (["cmake", "--preset", "run"], ["cmake", "--build", "build/run", "-j2"]):
                r = run(*cmd, cwd=src, env=env)
                self.assertEqual(r.returncode, 0, (r.stdout + r.stderr)[-3000:])
            self.assertTrue(os.access(os.path.join(src, "build/run/marrowby"), os.X_OK))


def _without_git():
    """A PATH of links to every program on this one except git."""
    bin_dir = tempfile.mkdtemp(prefix="marrowby-nogit-")
    for d in filter(os.path.isdir, os.environ["PATH"].split(os.pathsep)):
        for name in set(os.listdir(d)) - set(os.listdir(bin_dir)):
            if not name.startswith("git"):
                os.symlink(os.path.join(d, name), os.path.join(bin_dir, name))
    return bin_dir


def linked_sources(link_map):
    """The Debian source packages of every library and start-up object that a link
    map shows linked: the libraries built into a prefix by recording their files in
    PREFIX/share/doc/SOURCE/files, the others by asking dpkg."""
    paths = {os.path.normpath(p) for p in re.findall(
        r"(?<!\S)(/[^\s():]+?(?:\.a(?=\()|\.o\b))", read(link_map))}
    sources = set()
    for path in paths:
        lists = [f for d in range(2, 5) for f in glob.glob(os.path.join(
            path.rsplit("/", d)[0], "share", "doc", "*", "files"))
            if path in read(f).split("\n")]
        if lists:
            sources.add(lists[0].split("/")[-2])
            continue
        owner = run("dpkg", "-S", path).stdout.split(":")[0]
        source = owner and run("dpkg-query", "-W", "-f=${source:Package}", owner).stdout
        sources.add(source or "nothing installed " + path)
    return sources


class Notices(unittest.TestCase):
    def test_archives_carry_our_licence_and_a_notice_for_everything_linked(self):
        for archive, build in ((f"marrowby-{VERSION}-windows-x86_64.zip", "windows/release"),
                               (f"marrowby-{VERSION}-web.tar.gz", "web-cmake")):
            with self.subTest(archive), tempfile.TemporaryDirectory() as d:
                shutil.unpack_archive(os.path.join(DIST, archive), d)
                folder = os.path.join(d, os.listdir(d)[0])
                self.assertEqual(read(os.path.join(folder, "LICENSE.txt")),
                                 read(os.path.join(ROOT, "LICENSE")))
                notices = read(os.path.join(folder, "THIRD-PARTY-NOTICES.txt"))
                sources = linked_sources(os.path.join(ROOT, "build", build, "marrowby.map"))
                self.assertGreater(len(sources), 0)
                for source in sources:
                    self.assertIn(f"(Debian source package {source})", notices,
                                  f"{source} is linked but has no notice")


class DebianPackage(unittest.TestCase):
    def test_lintian_finds_no_error_or_warning(self):
        r = run("lintian", "--fail-on", "error,warning", DEB)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_desktop_entry_and_metadata_validate(self):
        with tempfile.TemporaryDirectory() as tree:
            subprocess.run(["dpkg-deb", "-x", DEB, tree], check=True)
            share = os.path.join(tree, "usr", "share")
            desktop = os.path.join(share, "applications", "org.marrowby.Marrowby.desktop")
            r = run("desktop-file-validate", desktop)
            self.assertEqual((r.returncode, r.stdout), (0, ""))
            r = run("appstreamcli", "validate", "--no-net",
                    os.path.join(share, "metainfo", "org.marrowby.Marrowby.metainfo.xml"))
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertIn("Icon=marrowby\n", read(desktop))
            for size in (48, 128, 256):
                self.assertTrue(os.path.exists(os.path.join(
                    share, "icons", "hicolor", f"{size}x{size}", "apps", "marrowby.png")))

    def test_piuparts_installs_removes_and_purges_cleanly(self):
        if os.geteuid() != 0:
            self.skipTest("piuparts needs root for its chroot; lintian and the validators ran")
        # A chroot of this machine's release from its first mirror, kept for a week.
        suite = run("sh", "-c", ". /etc/os-release && echo $VERSION_CODENAME").stdout.strip()
        sources = run("bash", "-c", ". scripts/lib/private-apt && private_apt_sources deb", cwd=ROOT)
        mirror = re.search(r"^deb\s+(?:\[[^]]*\]\s+)?(\S+)", sources.stdout, re.M)[1]
        cache = os.path.expanduser("~/.cache/marrowby/piuparts")
        os.makedirs(cache, exist_ok=True)
        base = os.path.join(cache, f"{suite}-{mirror.split('//')[-1].replace('/', '_')}.tgz")
        fresh = os.path.exists(base) and time.time() - os.path.getmtime(base) < 7 * 86400
        r = run("piuparts", "-d", suite, "-m", mirror + " main", "--no-upgrade-test",
                *(["-b", base] if fresh else ["-s", base + ".new"]), DEB)
        self.assertEqual(r.returncode, 0, (r.stdout + r.stderr)[-4000:])
        self.assertIn("PASS: All tests.", r.stdout + r.stderr)
        if not fresh:
            os.replace(base + ".new", base)

    def test_installed_package_runs_from_the_path(self):
        if os.geteuid() != 0:
            self.skipTest("installing the package needs root; lintian and the validators ran")
        apt = ["apt-get", "-o", "DPkg::Lock::Timeout=600", "-y", "-qq"]
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        try:
            r = run(*apt, "install", DEB, env=env)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            data = "/usr/share/games/marrowby"
            self.assertEqual(sorted(os.listdir(data)), sorted(harness.DATA_FILES))
            # A Debian user's PATH has /usr/games; root's does not.
            harness.BIN = "marrowby"
            path = "/usr/games:" + os.environ.get("PATH", "/usr/bin:/bin")
            win, status, err = harness.run_until_escape(
                tempfile.mkdtemp(prefix="marrowby-cwd-"), env={"PATH": path})
            self.assertIsNotNone(win, "no window; stderr: %r" % err)
            self.assertEqual(status, 0)
            self.assertEqual(err, b"")
        finally:
            subprocess.run([*apt, "purge", "marrowby"], env=env, capture_output=True)
        self.assertFalse(os.path.exists("/usr/games/marrowby"), "the package was not removed")


if __name__ == "__main__":
    unittest.main()
