"""The Windows program under Wine, on the X server named by DISPLAY: the unit tests
built for Windows, the reference frame drawn by the program's own start-up and frame
code, the folder a user unpacks, and the real marrowby.exe as a process through the
shared process tests (Linux-only cases skip themselves). tests/windows/run-in-ci
builds everything first; a throwaway Wine prefix lives only as long as this run.
"""
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.abspath(os.environ["MARROWBY_WINDOWS_BUILD"])
DIST = os.path.abspath(os.environ["MARROWBY_WINDOWS_DIST"])
DATA_FILES = ["simple.vert", "simple.frag", "texture.tga", "texture2.tga", "texture3.tga",
              "texture4.tga", "marrowby.ogg"]

PREFIX_DIR = tempfile.mkdtemp(prefix="marrowby-wine-")
os.environ.update({
    "WINEPREFIX": os.path.join(PREFIX_DIR, "prefix"),
    "WINEDEBUG": "-all",
    # Wine's own ALSA driver would print on the demo's stderr without a sound card;
    # the .NET and HTML engines are never needed and their installers only cost time.
    "WINEDLLOVERRIDES": "winealsa.drv=d;mscoree,mshtml=",
    "MARROWBY_WRAPPER": "wine",
    "MARROWBY_BIN": os.path.join(DIST, "marrowby.exe"),
    "MARROWBY_DATA": os.path.join(ROOT, "data"),
    "MARROWBY_BUILD": BUILD,
})
sys.path.insert(0, os.path.join(ROOT, "tests", "process"))
sys.path.insert(0, os.path.join(ROOT, "tests", "helpers"))
import harness  # noqa: E402
import picture  # noqa: E402
import test_shaders  # noqa: E402
import test_shell  # noqa: E402
import test_textures  # noqa: E402


def wine(*args, timeout=300, **kw):
    return subprocess.run(["wine"] + list(args), capture_output=True, timeout=timeout, **kw)


def windows_path(path):
    """Wine's drive Z: is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class UnitTests(unittest.TestCase):
    def test_bit_exact_unit_tests_pass_under_wine(self):
        r = wine(os.path.join(BUILD, "tests", "unit_tests.exe"))
        out = r.stdout.decode(errors="replace")
        self.assertEqual(r.returncode, 0, out[-3000:] + r.stderr.decode(errors="replace"))
        # The projection's tan comes from msvcrt.dll here: its cases must have run.
        self.assertIn("[       OK ] Mat4Perspective.", out)
        self.assertIn("[  PASSED  ]", out)


class Frame(unittest.TestCase):
    def test_reference_frame_matches_the_linux_reference(self):
        out = os.path.join(PREFIX_DIR, "frame.rgb")
        r = wine(os.path.join(BUILD, "tests", "draw_frame.exe"),
                 windows_path(os.path.join(ROOT, "data")), windows_path(out))
        self.assertEqual(r.returncode, 0, r.stderr[-2000:])
        with open(out, "rb") as f:
            ok, differing, worst, mean = picture.compare(f.read())
        print(f"\npicture under Wine: {differing} pixels differ by more than "
              f"{picture.CHANNEL_SLACK}, worst {worst}, mean {mean:.4f}", file=sys.stderr)
        self.assertTrue(ok, (differing, worst, mean))


class Folder(unittest.TestCase):
    def test_folder_holds_the_program_its_data_and_a_readme(self):
        self.assertEqual(sorted(os.listdir(DIST)),
                         sorted(DATA_FILES + ["marrowby.exe", "README.txt"]))
        for name in DATA_FILES:
            with open(os.path.join(DIST, name), "rb") as a, \
                    open(os.path.join(ROOT, "data", name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        version = open(os.path.join(ROOT, "VERSION")).readline().strip()
        self.assertEqual(os.path.basename(DIST), "marrowby-" + version)
        readme = open(os.path.join(DIST, "README.txt"), "rb").read()
        self.assertIn(version.encode(), readme)
        self.assertNotIn(b"@", readme)

    def test_program_needs_no_dll_beyond_windows_own(self):
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p",
                               os.path.join(DIST, "marrowby.exe")],
                              capture_output=True, text=True, check=True).stdout
        self.assertIn("(Windows CUI)", dump)  # a console program, so stderr reaches cmd
        dlls = [line.split(":", 1)[1].strip() for line in dump.splitlines()
                if "DLL Name:" in line]
        self.assertIn("OPENGL32.dll".lower(), [d.lower() for d in dlls])
        system = {os.path.basename(p).lower() for p in glob.glob(os.path.join(
            os.environ["WINEPREFIX"], "drive_c", "windows", "system32", "*.dll"))}
        self.assertTrue(system)
        self.assertEqual([d for d in dlls if d.lower() not in system], [])


class CtrlC(unittest.TestCase):
    def test_ctrl_c_in_the_console_ends_the_program(self):
        # Wine delivers SIGINT as the console's Ctrl+C. SDL's audio start-up would
        # otherwise catch it and make it a quit event that nobody reads.
        demo = harness.Demo(harness.make_workdir())
        self.addCleanup(demo.finish)
        self.assertIsNotNone(demo.window(), demo.stderr())
        time.sleep(1)  # the music has started by the first frame
        demo.proc.send_signal(signal.SIGINT)
        self.assertIsNotNone(demo.wait(10), "still running 10 s after Ctrl+C")
        self.assertEqual(demo.stderr(), b"")


def main():
    loader = unittest.defaultTestLoader
    suite = unittest.TestSuite(loader.loadTestsFromModule(m) for m in (
        sys.modules[__name__], test_shell, test_shaders, test_textures))
    try:
        subprocess.run(["wineboot", "-i"], check=True, capture_output=True, timeout=300)
        subprocess.run(["wineserver", "-w"], check=True, timeout=300)
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        subprocess.run(["wineserver", "-k"], capture_output=True)
        shutil.rmtree(PREFIX_DIR, True)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    passed = result.testsRun - failed - skipped
    print(f"windows: {passed} passed, {failed} failed, {skipped} skipped")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
