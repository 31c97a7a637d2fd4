"""The web build in a real headless Chromium: the shipped page (draws, console,
music, Escape), the test build (matrices bit for bit against tests/model, the frame
against the reference picture), and the page's messages when the demo cannot run.
MARROWBY_WEB_SITE is the built site, MARROWBY_WEB_TEST the test build's files."""
import base64
import contextlib
import gzip
import io
import os
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "model"), os.path.join(HERE, "..", "helpers")]
from browser import Browser  # noqa: E402
import picture  # noqa: E402
import scene_model as sm  # noqa: E402
from fmodel import bits  # noqa: E402
with contextlib.redirect_stdout(io.StringIO()):  # it prints its table on import
    from scene_expectations import fnv1a, frame_hash  # noqa: E402

SITE = os.environ["MARROWBY_WEB_SITE"]
TEST_BUILD = os.environ["MARROWBY_WEB_TEST"]
GL_TRIANGLE_FAN = 6


def site_copy(replace_from=None, drop=()):
    """A temporary copy of the site, less `drop`, with the files of `replace_from`."""
    d = tempfile.mkdtemp(prefix="marrowby-site-")
    for name in os.listdir(SITE):
        if name not in drop:
            shutil.copy(os.path.join(SITE, name), d)
    for name in os.listdir(replace_from) if replace_from else []:
        shutil.copy(os.path.join(replace_from, name), d)
    return d


class ShippedPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.b = Browser(SITE)
        cls.b.driver.get(cls.b.url)
        cls.b.wait("document.getElementById('veil').hidden && window.__watch.frames.length >= 10")
        cls.b.watch_exit()

    @classmethod
    def tearDownClass(cls):
        cls.b.close()

    def test_1_loads_and_draws_205_quads_a_frame_without_errors(self):
        self.assertEqual(self.b.driver.title, "marrowby &c &c")
        self.assertEqual(self.b.errors(), [])
        w = self.b.js("return window.__watch")
        self.assertEqual(set(w["frames"]), {205}, "no frames, or other than 205 draws")
        self.assertEqual(list(w["modes"]), [str(GL_TRIANGLE_FAN)])
        self.assertEqual(w["errors"], [])
        size = self.b.js("const c = document.getElementById('canvas'), r = c.getBoundingClientRect();"
                         "return [c.width, c.height, r.width, r.height]")
        self.assertEqual(size[:2], [1280, 720])
        self.assertAlmostEqual(size[2] / size[3], 16 / 9, delta=0.01)

    def test_2_music_waits_for_a_click_then_loops_from_one_source(self):
        self.assertTrue(self.b.wait("Module.webMusic.settled", timeout=30))
        self.assertEqual(self.b.js("return [window.__watch.sources, Module.webMusic.state,"
                                   " document.getElementById('sound').hidden]"), [[], "asks", False])
        self.b.click()
        s = self.b.wait("window.__watch.sources.filter(s => s.started)", timeout=30)
        self.assertEqual(len(s or []), 1, s)
        self.assertTrue(s[0]["loop"])
        self.assertAlmostEqual(s[0]["duration"], 24 * 4 * 60 / 108, delta=0.05)  # 53.3 s

    def test_3_escape_ends_the_runtime_the_drawing_and_the_music(self):
        self.b.escape()
        self.assertEqual(self.b.wait("window.__watch.exitStatus !== null"
                                     " && [window.__watch.exitStatus]"), [0])
        frames = self.b.js("return window.__watch.frames.length")
        time.sleep(0.5)
        self.assertEqual(self.b.js("return window.__watch.frames.length"), frames)
        self.assertEqual([s["stopped"] for s in self.b.js("return window.__watch.sources")],
                         [True])
        self.assertEqual(self.b.js("return document.getElementById('message').textContent"),
                         "The demo has ended.")
        self.assertEqual(self.b.errors(), [])


class TestBuild(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = site_copy(replace_from=TEST_BUILD)
        cls.b = Browser(cls.site)
        cls.b.driver.get(cls.b.url)
        cls.b.wait("document.getElementById('veil').hidden && window.__watch.frames.length")

    @classmethod
    def tearDownClass(cls):
        cls.b.escape()
        cls.b.close()
        shutil.rmtree(cls.site)

    def test_matrices_are_bit_exact_in_webassembly(self):
        for ticks in (0, 1, 100, 1234, 100000):
            words = self.b.js("const p = Module.ccall('webTestFrameMatrices', 'number', ['number'],"
                              " [arguments[0]]) >> 2;"
                              "return Array.from(Module.HEAPU32.subarray(p, p + 411 * 16));", ticks)
            self.assertEqual(fnv1a(words[:-16]), frame_hash(ticks), "after %d ticks" % ticks)
            self.assertEqual(words[-16:], [bits(x) for x in sm.projection()])

    def test_frame_at_fixed_clocks_matches_the_reference(self):
        rgba = base64.b64decode(self.b.js(
            "const p = Module.ccall('webTestDrawAt', 'number', ['number', 'number', 'number'],"
            " [0.7, 0.3, 3.1]); const px = Module.HEAPU8.subarray(p, p + 1280 * 720 * 4);"
            "let s = ''; for (let i = 0; i < px.length; i += 0x8000)"
            " s += String.fromCharCode.apply(null, px.subarray(i, i + 0x8000));"
            "return btoa(s);"))
        rgb = bytearray()
        for y in reversed(range(720)):  # GL's rows run bottom to top
            row = bytearray(rgba[y * 5120:(y + 1) * 5120])
            del row[3::4]
            rgb += row
        ok, differing, worst, mean = picture.compare(bytes(rgb))
        print("\nweb picture: %d pixels over the slack, worst %d, mean %.3f"
              % (differing, worst, mean), file=sys.stderr)
        self.assertTrue(ok, "%d pixels differ by more than the slack" % differing)


class PageMessages(unittest.TestCase):
    """What a visitor sees instead of a blank page."""

    def shows(self, site, contains, before=""):
        b = Browser(site)
        try:
            b.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": before})
            b.driver.get(b.url)
            text = b.wait("(t => t.startsWith('Loading') ? '' : t)"
                          "(document.getElementById('message').textContent)", 30)
            self.assertIn(contains, text or "")
        finally:
            b.close()
            if site != SITE:
                shutil.rmtree(site)

    def test_no_webgl2(self):
        self.shows(SITE, "needs WebGL 2", before="const g = HTMLCanvasElement.prototype"
                   ".getContext; HTMLCanvasElement.prototype.getContext = function (k, a) {"
                   " return k === 'webgl2' ? null : g.call(this, k, a); };")

    def test_download_fails(self):
        self.shows(site_copy(drop=["marrowby.data.gz"]), "could not be loaded")

    def test_shader_that_does_not_build(self):
        # The fragment shader's first bytes in the package, overwritten in place.
        d = site_copy()
        with gzip.open(os.path.join(d, "marrowby.data.gz"), "rb") as f:
            data = bytearray(f.read())
        at = data.index(b"#ifdef GL_ES")
        data[at:at + 9] = b"not GLSL;"
        with gzip.open(os.path.join(d, "marrowby.data.gz"), "wb") as f:
            f.write(data)
        self.shows(d, "status -1")


class FirstVisitOnSlow4G(unittest.TestCase):
    def test_bytes_before_the_first_frame(self):
        b = Browser(SITE)
        try:
            ms, sent = b.first_visit("Slow 4G")
        finally:
            b.close()
        print("\nfirst visit on Slow 4G: first frame at %.2f s, %d bytes before it" % (ms / 1e3, sent),
              file=sys.stderr)
        self.assertLessEqual(sent, 250000)


class InstalledAndOffline(unittest.TestCase):
    def kept(self, b):
        """Opens the site and waits until its service worker has kept every file."""
        b.driver.get(b.url)
        self.assertTrue(b.wait("navigator.serviceWorker.controller && caches.keys().then(k =>"
                               " k.length && caches.open(k[0])).then(c => c && c.keys())"
                               ".then(r => window.__kept = r.length)", 60) and b.wait("window.__kept >= 9"))

    def test_installable_and_a_second_visit_plays_with_the_server_stopped(self):
        b = Browser(SITE)
        try:
            self.kept(b)
            self.assertEqual(b.driver.execute_cdp_cmd("Page.getInstallabilityErrors", {}),
                             {"installabilityErrors": []})
            b.stop_server()
            b.driver.refresh()
            self.assertTrue(b.wait("document.getElementById('veil').hidden"
                                   " && window.__watch.frames.length >= 5 && Module.webMusic.settled"))
            b.click()
            s = b.wait("window.__watch.sources.filter(s => s.started && s.loop)", 30)
            self.assertEqual(len(s or []), 1)
            self.assertEqual(b.errors(), [])
        finally:
            b.close()

    def test_a_new_release_replaces_the_old_cache(self):
        d = site_copy()
        b = Browser(d)
        try:
            self.kept(b)
            old = b.wait("caches.keys()")
            with open(os.path.join(d, "sw.js")) as f:
                text = f.read().replace(old[0], "marrowby-next")
            with open(os.path.join(d, "sw.js"), "w") as f:
                f.write(text)
            b.js("navigator.serviceWorker.getRegistration().then(r => r.update())")
            self.assertEqual(b.wait("caches.keys().then(k => k.length === 1 && k[0] !== %r && k)"
                                    % old[0]), ["marrowby-next"])
        finally:
            b.close()
            shutil.rmtree(d)


class Phone(unittest.TestCase):
    """The page at a phone's size, upright and sideways, on a touch screen."""

    def test_everything_fits_and_the_hints_speak_of_taps(self):
        for size in ((360, 740), (740, 360), (390, 844), (844, 390)):
            with self.subTest(size=size):
                b = Browser(SITE)
                try:
                    b.phone(*size)
                    b.driver.get(b.url)
                    b.wait("document.getElementById('veil').hidden && window.__watch.frames.length")
                    self.assertEqual(b.js("return [...document.querySelectorAll('#bar > *')]"
                                          ".map(e => e.offsetWidth && e.textContent).slice(0, 3)"),
                                     ["Tap for sound", 0, "Fullscreen"])
                    for state in ("running", "ended"):
                        self.assertEqual(b.js(FITS), [], state)
                        b.escape()
                        b.wait("document.getElementById('restart').offsetWidth")
                finally:
                    b.close()


# Every shown element inside the window, no scrolling, each text on one line (the
# veil's message may wrap, inside the picture).
FITS = """
const out = [], d = document.documentElement, stage = document.getElementById('stage');
if (d.scrollWidth > innerWidth || d.scrollHeight > innerHeight) out.push('scrolls');
for (const e of document.querySelectorAll('body *')) {
  const r = e.getBoundingClientRect(), inVeil = e.closest('#veil');
  if (!r.width || e.closest('[hidden]')) continue;
  const box = inVeil ? stage.getBoundingClientRect() : {left: 0, top: 0, right: innerWidth,
                                                       bottom: innerHeight};
  if (r.left < box.left - 0.5 || r.top < box.top - 0.5 || r.right > box.right + 0.5
      || r.bottom > box.bottom + 0.5) out.push(e.id || e.textContent);
  if (!inVeil && e.matches('#bar > *') && r.height > 2 * parseFloat(getComputedStyle(e).fontSize) + 16)
    out.push('wraps: ' + e.textContent);
}
return out;"""


class BrokenDownloads(unittest.TestCase):
    """A cut or corrupt download: a message, never a half-started demo; without the
    music the demo runs silently and promises no sound."""

    def open(self, change, wait):
        d = site_copy()
        change(d)
        b = Browser(d)
        b.driver.get(b.url)
        b.wait(wait, 30)
        return b, d

    def test_program_or_package_cut_or_corrupt(self):
        def cut(d, name, corrupt):
            with open(os.path.join(d, name), "r+b") as f:
                data = bytearray(f.read())
                f.seek(0)
                f.truncate()
                if corrupt:
                    data[len(data) // 2] ^= 0x55
                f.write(data if corrupt else data[:len(data) * 2 // 3])
        for name in ("marrowby.js.gz", "marrowby.wasm.gz", "marrowby.data.gz"):
            for corrupt in (False, True):
                with self.subTest(name=name, corrupt=corrupt):
                    b, d = self.open(lambda d: cut(d, name, corrupt),
                                     "!document.getElementById('message').textContent.startsWith('Loading')")
                    try:
                        self.assertEqual(b.js("return [document.getElementById('message').textContent"
                                              ".startsWith('The demo could not be loaded'),"
                                              " window.__watch.firstFrameAt, typeof FS]"),
                                         [True, None, "undefined"])
                    finally:
                        b.close()
                        shutil.rmtree(d)

    def test_music_missing_or_undecodable(self):
        def garble(d):
            with open(os.path.join(d, "marrowby.ogg"), "r+b") as f:
                f.write(b"\0" * 4096)
        for change in (lambda d: os.remove(os.path.join(d, "marrowby.ogg")), garble):
            b, d = self.open(change, "window.__watch.frames.length >= 5 && Module.webMusic.settled")
            try:
                b.click()
                time.sleep(1)
                self.assertEqual(b.js("return [Module.webMusic.state, window.__watch.sources.length,"
                                      " document.getElementById('sound').hidden]"), ["none", 0, True])
            finally:
                b.close()
                shutil.rmtree(d)

    def test_no_decompression_stream(self):
        PageMessages.shows(self, SITE, "too old to unpack", before="delete window.DecompressionStream;")


if __name__ == "__main__":
    unittest.main(verbosity=2)
