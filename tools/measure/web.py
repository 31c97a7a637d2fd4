#!/usr/bin/env python3
# The web build's figures, in one run: the site's sizes (plain and gzipped), a clean
# build's time, the page's frame rate in headless Chromium (SwiftShader) against the
# desktop program's on llvmpipe under Xvfb, the time from navigation to the first
# drawn frame, a first visit's bytes and time to the first frame on emulated mobile
# links, Lighthouse's scores (mobile and desktop), and the browser test group's time
# in each engine.
import argparse
import functools
import gzip
import http.server
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [HERE, os.path.join(ROOT, "tools", "browser")]
import measure  # noqa: E402
from browser import NETWORKS, Browser, Quiet  # noqa: E402

SITE_FILES = ["index.html", "sw.js", "manifest.webmanifest", "icon.svg", "marrowby-192.png",
              "marrowby-512.png", "marrowby.js.gz", "marrowby.wasm.gz", "marrowby.data.gz",
              "marrowby.ogg"]
LIGHTHOUSE = os.path.join(ROOT, "build", "lighthouse")
# The browser tests of each engine, as unittest -k patterns.
ENGINES = [("Chromium, headless", ["ShippedPage.test", "PageMessages.test", "TestBuild"]),
           ("Firefox ESR, Xvfb", ["InFirefox"]), ("WebKitGTK, Xvfb", ["InWebkit"])]


def timed(cmd, **kw):
    t = time.monotonic()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)
    return time.monotonic() - t


def sizes(site):
    rows = []
    for name in SITE_FILES:
        with open(os.path.join(site, name), "rb") as f:
            data = f.read()
        rows.append((name, len(data), len(gzip.compress(data, 6))))
    return rows


def page_rate(site, skip, seconds, loads):
    """(fps over `seconds` after `skip`, frame interval median ms, navigation to first
    frame in ms for each of `loads` page loads)."""
    b = Browser(site)
    # Every load downloads the whole site, as a first visit does, even once the
    # site's service worker has kept it.
    b.driver.execute_cdp_cmd("Network.enable", {})
    b.driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    b.driver.execute_cdp_cmd("Network.setBypassServiceWorker", {"bypass": True})
    try:
        firsts = []
        for _ in range(loads):
            b.driver.get(b.url)
            firsts.append(b.wait("window.__watch.firstFrameAt"))
        time.sleep(skip + seconds + 0.5)
        times = b.js("return window.__watch.times")
        b.escape()
    finally:
        b.close()
    window = [t for t in times if times[0] + skip * 1e3 <= t <= times[0] + (skip + seconds) * 1e3]
    fps = (len(window) - 1) / ((window[-1] - window[0]) / 1e3)
    gaps = [b - a for a, b in zip(window, window[1:])]
    return fps, statistics.median(gaps), firsts


def first_visits(site, network, loads):
    """(median ms to the first frame, median bytes before it, each load's ms) over
    `loads` first visits, each in a fresh browser profile."""
    runs = []
    for _ in range(loads):
        b = Browser(site)
        try:
            runs.append(b.first_visit(network))
        finally:
            b.close()
    return (statistics.median(r[0] for r in runs), statistics.median(r[1] for r in runs),
            [r[0] for r in runs])


def second_visit(site, network):
    """Milliseconds from navigation to the first frame on a visit over `network` once
    the site's service worker has kept the site (on an earlier visit, no emulation)."""
    b = Browser(site)
    try:
        b.driver.get(b.url)
        b.wait("navigator.serviceWorker.controller && caches.keys().then(k => k.length"
               " && caches.open(k[0])).then(c => c.keys()).then(r => r.length === 9)", 120)
        b.driver.execute_cdp_cmd("Network.enable", {})
        b.driver.execute_cdp_cmd("Network.emulateNetworkConditions",
                                 dict(NETWORKS[network], offline=False))
        b.driver.get(b.url)
        return b.wait("window.__watch.firstFrameAt", 120)
    finally:
        b.close()


def lighthouse(site, presets):
    """Lighthouse (the version tools/measure/lighthouse pins) on the site served
    plainly: {preset: {category: score, "LCP": text, "TBT": text}}. The lock file is
    kept without npm's funding links: npm ci needs only the names, versions and
    integrity hashes."""
    lock = os.path.join(HERE, "lighthouse", "package-lock.json")
    installed = os.path.join(LIGHTHOUSE, "package-lock.json")
    if not os.path.exists(installed) or open(installed).read() != open(lock).read():
        shutil.rmtree(LIGHTHOUSE, ignore_errors=True)
        os.makedirs(LIGHTHOUSE)
        for name in ("package.json", "package-lock.json"):
            shutil.copy(os.path.join(HERE, "lighthouse", name), LIGHTHOUSE)
        subprocess.run(["npm", "ci", "--no-audit", "--no-fund"], cwd=LIGHTHOUSE, check=True,
                       stdout=subprocess.DEVNULL)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    results = {}
    try:
        for preset in presets:
            with tempfile.NamedTemporaryFile(suffix=".json") as out:
                argv = [os.path.join(LIGHTHOUSE, "node_modules", ".bin", "lighthouse"),
                        "http://127.0.0.1:%d/" % server.server_address[1], "--quiet",
                        "--output=json", "--output-path=" + out.name,
                        "--chrome-flags=--headless=new --no-sandbox --use-angle=swiftshader"
                        " --enable-unsafe-swiftshader"]
                if preset == "desktop":
                    argv.append("--preset=desktop")
                env = dict(os.environ, CHROME_PATH="/usr/bin/chromium")
                # On a busy machine Lighthouse's own protocol calls may time out:
                # one more try.
                if subprocess.run(argv, env=env).returncode != 0:
                    subprocess.run(argv, env=env, check=True)
                report = json.load(out)
            results[preset] = {c["title"]: round(c["score"] * 100)
                               for c in report["categories"].values()}
            for key, audit in (("LCP", "largest-contentful-paint"),
                               ("TBT", "total-blocking-time")):
                results[preset][key] = report["audits"][audit]["displayValue"]
            results[preset]["version"] = report["lighthouseVersion"]
            # What the blocking time is made of: each long task's time over 50 ms, by
            # where Lighthouse places it (the page's script, the program, or nothing
            # it can name: the browser's own work, in software GL here).
            made_of = results[preset]["long tasks"] = {}
            for task in report["audits"]["long-tasks"]["details"]["items"]:
                kind = ("program" if task["url"].startswith("blob:") else
                        "page" if task["url"].startswith("http") else "unattributed")
                made_of[kind] = made_of.get(kind, 0) + max(0, task["duration"] - 50)
    finally:
        server.shutdown()
        server.server_close()
    return results


def main():
    p = argparse.ArgumentParser(description="Measures the web build against the desktop program.")
    p.add_argument("--seconds", type=float, default=10, help="frame-rate window")
    p.add_argument("--skip", type=float, default=1.0, help="seconds after the first frame not counted")
    p.add_argument("--loads", type=int, default=3, help="page loads timed to the first frame")
    p.add_argument("--no-build", action="store_true", help="use the builds as they are")
    p.add_argument("--no-lighthouse", action="store_true", help="leave out Lighthouse")
    p.add_argument("--nice", type=int, default=None,
                   help="run everything at this nice value (negative needs root), as measure.py")
    args = p.parse_args()

    if os.environ.get("MARROWBY_MEASURE_XVFB") != "1":
        if not args.no_build:
            measure.build()
        env = dict(os.environ, MARROWBY_MEASURE_XVFB="1")
        argv = ["bash", os.path.join(ROOT, "scripts", "with-xvfb"), sys.executable,
                os.path.abspath(__file__)] + sys.argv[1:]
        if args.nice is not None:
            argv = ["nice", "-n", str(args.nice)] + argv
        os.execvpe(argv[0], argv, env)

    with tempfile.TemporaryDirectory() as tmp:
        site = os.path.join(tmp, "site")
        if not args.no_build:
            shutil.rmtree(os.path.join(ROOT, "build", "web-cmake"), ignore_errors=True)
        build_s = timed(["bash", os.path.join(ROOT, "scripts", "build-web"), site])
        load_before = measure.load()
        _, swaps, _ = measure.run_with_swaps(measure.exe("marrowby"),
                                             args.skip + args.seconds + 0.5, tmp)
        desktop_fps, desktop_gaps = measure.rate(swaps, args.skip, args.seconds)
        web_fps, web_gap, firsts = page_rate(site, args.skip, args.seconds, args.loads)
        visits = [(n, first_visits(site, n if n != "none" else None, args.loads))
                  for n in ("none", "Fast 4G", "Slow 4G")]
        again = [second_visit(site, "Slow 4G") for _ in range(args.loads)]
        scores = {} if args.no_lighthouse else lighthouse(site, ("mobile", "desktop"))
        env = dict(os.environ, MARROWBY_WEB_SITE=site,
                   MARROWBY_WEB_TEST=os.path.join(ROOT, "build", "web-cmake", "test"))
        tests = ["/usr/bin/python3", os.path.join(ROOT, "tests", "web", "test_browser.py")]
        tests_s = [timed(tests + [a for p in patterns for a in ("-k", p)], env=env,
                         stderr=subprocess.DEVNULL) for _, patterns in ENGINES]
        print("machine: %s, %d cores; load %s before, %s after"
              % (measure.cpu_name(), os.cpu_count(), load_before, measure.load()))
        print("| Measure | Figure |")
        print("|---|---|")
        rows = sizes(site)
        for name, plain, gz in rows:
            print("| %s | %.1f kB (gzip -6: %.1f kB) |" % (name, plain / 1e3, gz / 1e3))
        print("| site in all | %.2f MB (gzip -6: %.2f MB) |"
              % (sum(r[1] for r in rows) / 1e6, sum(r[2] for r in rows) / 1e6))
        print("| clean web build (site and test build) | %.1f s%s |"
              % (build_s, "" if not args.no_build else " (not clean: --no-build)"))
        print("| frames per second over %g s: page in headless Chromium (SwiftShader) |"
              " %.2f (interval median %.1f ms) |" % (args.seconds, web_fps, web_gap))
        print("| same run: desktop program on llvmpipe under Xvfb | %.2f (interval median %.1f ms) |"
              % (desktop_fps, statistics.median(desktop_gaps)))
        print("| navigation to the first drawn frame, median of %d loads | %.0f ms (loads: %s) |"
              % (len(firsts), statistics.median(firsts), " ".join("%.0f" % f for f in firsts)))
        for network, (ms, sent, each) in visits:
            print("| first visit, fresh profile, plain server, network emulation %s: first frame,"
                  " median of %d | %.2f s after navigation, %s bytes before it (loads: %s) |"
                  % (network, len(each), ms / 1e3, format(int(sent), ","),
                     " ".join("%.2f" % (t / 1e3) for t in each)))
        print("| second visit, the site kept by its service worker, Slow 4G: first frame,"
              " median of %d | %.2f s after navigation (loads: %s) |"
              % (len(again), statistics.median(again) / 1e3,
                 " ".join("%.2f" % (t / 1e3) for t in again)))
        for preset, r in scores.items():
            print("| Lighthouse %s, %s preset, plain server | performance %d (LCP %s, TBT %s),"
                  " accessibility %d, best practices %d, SEO %d |"
                  % (r["version"], preset, r["Performance"], r["LCP"], r["TBT"], r["Accessibility"],
                     r["Best Practices"], r["SEO"]))
            print("| same run: long tasks' time over 50 ms (Lighthouse's simulated CPU) | %s |"
                  % ", ".join("%s %.0f ms" % kv for kv in sorted(r["long tasks"].items())))
        for (engine, _), s in zip(ENGINES, tests_s):
            print("| browser tests (tests/web/test_browser.py) in %s | %.1f s |" % (engine, s))
        print("| the group in CI without installing: clean build and tests | %.1f min |"
              % ((build_s + sum(tests_s)) / 60))


if __name__ == "__main__":
    main()
