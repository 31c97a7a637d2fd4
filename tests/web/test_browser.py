"""The web build in real browsers: the shipped page (draws, console, music, Escape)
and the page's messages when the demo cannot run in Chromium (headless), Firefox ESR
and WebKitGTK (these two on the X display); the test build (matrices bit for bit
against tests/model, the frame against the reference picture) in Chromium.
MARROWBY_WEB_SITE is the built site, MARROWBY_WEB_TEST the test build's files."""
import base64
import contextlib
import gzip
import io
import itertools
import os
import pathlib
import re
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "lib"))
import harness  # noqa: E402,F401 (it puts the model and the browser driver on the path)
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


def in_every_engine(cls):
    """The class runs in Chromium as it is, and in the other engines as subclasses
    named after them (ShippedPageInFirefox, ...)."""
    cls.engine = "chromium"
    for engine in ("firefox", "webkit"):
        name = "%sIn%s" % (cls.__name__, engine.capitalize())
        globals()[name] = type(name, (cls,), {"engine": engine})
    return cls


@in_every_engine
class ShippedPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.b = Browser(SITE, engine=cls.engine)
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
                                   " sound.hidden]"), [[], "asks", False])
        self.b.click()
        s = self.b.wait("window.__watch.sources.filter(s => s.started)", timeout=30)
        self.assertEqual(len(s or []), 1, s)
        self.assertTrue(s[0]["loop"])
        self.assertAlmostEqual(s[0]["duration"], 24 * 4 * 60 / 108, delta=0.05)  # 53.3 s

    def test_2a_its_audio_context_runs(self):
        if self.b.silent:
            self.skipTest(self.b.silent)
        self.assertEqual(self.b.wait("window.__watch.audioState === 'running' && 'running'", 10),
                         "running", self.b.js("return window.__watch.audioState"))

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


# The test build's frame at fixed clocks as an FNV-1a hash; what the page shows of it all.
FRAME = ("const p = Module.ccall('webTestDrawAt', 'number', ['number', 'number', 'number'],"
         " [0.7, 0.3, 3.1]), px = Module.HEAPU8.subarray(p, p + 1280 * 720 * 4);"
         "let h = 2166136261; for (const v of px) h = Math.imul(h ^ v, 16777619) >>> 0; return h")
PAGE = ("return [veil.hidden, sound.hidden, mute.hidden, mute.getAttribute('aria-pressed'),"
        " Module.webMusic.state, __watch.sources.map(s => s.stopped)]")
SETTLED = "veil.hidden && __watch.frames.length >= 5 && Module.webMusic.settled"


@in_every_engine
class LostContext(unittest.TestCase):
    def test_lost_says_so_stops_drawing_and_restored_draws_the_same_frame_to_the_music(self):
        with opened(wait=SETTLED, engine=self.engine, replace_from=TEST_BUILD) as (b, _):
            b.click()
            self.assertTrue(b.wait("__watch.sources.filter(s => s.started).length"))
            page, frame = b.js(PAGE), b.js(FRAME)
            b.lose_context()
            self.assertIn("gone away for a moment", b.wait("!veil.hidden && message.textContent"))
            drawn = b.js("return __watch.frames.length")
            time.sleep(0.5)
            self.assertEqual(b.js("return [__watch.frames.length, sound.hidden]"), [drawn, True])
            b.lose_context(restore=True)
            f = b.wait("veil.hidden && __watch.frames.length > %d && __watch.frames" % (drawn + 2))
            self.assertEqual([set(f[drawn:]), b.js("return __watch.errors"), b.js(FRAME),
                              b.js(PAGE), b.errors()], [{205}, [], frame, page, []])
            b.silent or self.assertEqual(b.js("return __watch.audioState"), "running")


@in_every_engine
class PageMessages(unittest.TestCase):
    """What a visitor sees instead of a blank page: each on its own origin, in one browser."""

    @classmethod
    def setUpClass(cls):
        cls.b = Browser(SITE, engine=cls.engine)

    @classmethod
    def tearDownClass(cls):
        cls.b.close()

    def shows(self, site, contains, before=""):
        b = self.b
        try:
            b.driver.get(b.serve(site, before))
            text = b.wait("(t => t.startsWith('Loading') ? '' : t)"
                          "(document.getElementById('message').textContent)", 30)
            self.assertIn(contains, text or "")
        finally:
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
        path = os.path.join(d, "marrowby.data.gz")
        data = gzip.decompress(pathlib.Path(path).read_bytes())
        at = data.index(b"#ifdef GL_ES")
        pathlib.Path(path).write_bytes(gzip.compress(data[:at] + b"not GLSL;" + data[at + 9:]))
        self.shows(d, "status -1")


@contextlib.contextmanager
def opened(change=lambda d: None, wait="document.getElementById('veil').hidden", size=None,
           engine="chromium", replace_from=None):
    """A browser on a site copy altered by change(folder), a phone if `size`, opened if `wait`."""
    d = site_copy(replace_from)
    change(d)
    b = Browser(d, engine=engine)
    try:
        size and b.phone(*size)
        if wait:
            b.driver.get(b.url)
            b.wait(wait, 60)
        yield b, d
    finally:
        b.close()
        shutil.rmtree(d)


class SoundControlAndHiddenPage(unittest.TestCase):
    def test_off_on_off_by_tap_click_and_key_remembered_and_silent_while_hidden(self):
        with opened(wait=SETTLED) as (b, _):
            b.click()  # the music starts at once: it is decoded already
            for press, off in ((lambda: b.click("mute", "touch"), True), (lambda: b.click("mute"),
                               False), (lambda: b.js("mute.focus()") or b.escape("\ue007"), True)):
                press()
                self.assertEqual(b.js(PAGE + ".concat(Module.webMusic.gain.gain.value)"), [
                    True, True, False, str(off).lower(), "playing", [False], int(not off)])
            b.driver.refresh()
            b.wait(SETTLED)
            b.click()  # it would start the music at once
            self.assertEqual(b.js(PAGE), [True, True, False, "true", "asks", []])
            b.click("mute")
            self.assertTrue(b.wait("__watch.audioState === 'running'"))
            b.driver.switch_to.new_window("tab")
            time.sleep(1)
            b.driver.switch_to.window(b.driver.window_handles[0])
            self.assertTrue(b.wait("__watch.times.at(-1) > performance.now() - 100"))
            self.assertEqual(b.js("return __watch.audioStates")[-2:],
                             [["suspended", True], ["running", False]])


class FirstVisitOnSlow4G(unittest.TestCase):
    def test_bytes_before_the_first_frame(self):
        with opened(wait=None) as (b, _):
            ms, sent = b.first_visit("Slow 4G")
        print("\nSlow 4G: first frame %.2f s, %d bytes before" % (ms / 1e3, sent), file=sys.stderr)
        self.assertLessEqual(sent, 250000)


class InstalledAndOffline(unittest.TestCase):
    def test_installable_kept_replaced_by_a_new_release_and_playing_offline(self):
        kept = "caches.keys().then(k => %s && caches.open(k[0])).then(c => c && c.keys())" \
            ".then(r => r && r.length === 9)"
        with opened(wait="navigator.serviceWorker.controller && " + kept % "k.length") as (b, d):
            self.assertEqual(b.driver.execute_cdp_cmd("Page.getInstallabilityErrors", {}),
                             {"installabilityErrors": []})
            sw = pathlib.Path(d, "sw.js")
            sw.write_text(re.sub("marrowby-[0-9a-f]{16}", "marrowby-next", sw.read_text()))
            b.js("navigator.serviceWorker.getRegistration().then(r => r.update())")
            self.assertTrue(b.wait(kept % "k.join() === 'marrowby-next'"))
            b.stop_server()
            b.driver.refresh()
            self.assertTrue(b.wait("window.__watch.frames.length >= 5 && Module.webMusic.settled"))
            b.click()
            self.assertEqual(len(b.wait("window.__watch.sources.filter(s => s.started && s.loop)")
                                 or []), 1)
            self.assertEqual(b.errors(), [])


class Phone(unittest.TestCase):
    def test_everything_fits_upright_and_sideways_and_the_hints_speak_of_taps(self):
        for size, t in itertools.product(zip((360, 740, 390, 844), (740, 360, 844, 390)), (1, 0)):
            say = [["Click or press a key for sound", "Esc ends the demo"], ["Tap for sound", 0]][t]
            with self.subTest(size=size, touch=t), opened(size=size + (t,)) as (b, _):
                self.assertEqual(b.js("return [...document.querySelectorAll('#bar > *')]"
                                      ".map(e => e.offsetWidth && e.textContent).slice(0, 3)"),
                                 say + ["Fullscreen"])
                for state in ("running", "ended"):
                    self.assertEqual(b.js(FITS), [], state)
                    b.escape()
                    b.wait("document.getElementById('restart').offsetWidth")


# Nothing scrolls; all shown is in the window (the veil's in the picture); no bar item wraps.
FITS = """const out = [], d = document.documentElement, stage = document.getElementById('stage');
for (const e of document.querySelectorAll('#stage, #bar > *, #veil > *')) {
  const r = e.getBoundingClientRect(), box = e.closest('#veil') ? stage.getBoundingClientRect()
      : {left: 0, top: 0, right: innerWidth, bottom: innerHeight};
  if (e.offsetWidth && (r.left < box.left - .5 || r.top < box.top - .5 || r.right > box.right + .5
      || r.bottom > box.bottom + .5 || e.parentNode.id === 'bar' && r.height > 40))
    out.push(e.id || e.textContent);
}
return d.scrollWidth > innerWidth || d.scrollHeight > innerHeight ? ['scrolls'] : out;"""


class BrokenDownloads(unittest.TestCase):
    def test_program_or_package_cut_or_corrupt_says_so_and_starts_nothing(self):
        def damage(d, name, cut):
            data = bytearray(pathlib.Path(d, name).read_bytes())
            data[len(data) // 2] ^= 0x55
            pathlib.Path(d, name).write_bytes(data[:len(data) * 2 // 3] if cut else data)
        loaded = "!document.getElementById('message').textContent.startsWith('Loading')"
        for name, cut in itertools.product(("marrowby.js.gz", "marrowby.wasm.gz",
                                            "marrowby.data.gz"), (1, 0)):
            with self.subTest(name=name, cut=cut), \
                    opened(lambda d: damage(d, name, cut), loaded) as (b, _):
                self.assertEqual(b.js("return [document.getElementById('message').textContent"
                                      ".startsWith('The demo could not be loaded'),"
                                      " window.__watch.firstFrameAt, typeof FS]"),
                                 [True, None, "undefined"])

    def test_without_the_music_silent_and_no_sound_promised(self):
        ogg = lambda d: pathlib.Path(d, "marrowby.ogg")  # noqa: E731
        for change in (lambda d: ogg(d).unlink(),
                       lambda d: ogg(d).write_bytes(b"\0" * 4096 + ogg(d).read_bytes()[4096:])):
            with opened(change, "window.__watch.frames.length >= 5 && Module.webMusic.settled") \
                    as (b, _):
                b.click()
                time.sleep(1)
                self.assertEqual(b.js("return [Module.webMusic.state, __watch.sources.length,"
                                      " sound.hidden && mute.hidden]"), ["none", 0, True])


if __name__ == "__main__":
    unittest.main(verbosity=2)
