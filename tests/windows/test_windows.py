"""The Windows program under Wine (tests/windows/run-in-ci builds it and starts Xvfb):
unit tests, the reference frame, the user's folder, Ctrl+C, and the shared process
tests on the real marrowby.exe. The Wine prefix lives only as long as this run."""
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(os.environ["MARROWBY_WINDOWS_BUILD"])
DIST = os.path.abspath(os.environ["MARROWBY_WINDOWS_DIST"])
PREFIX_DIR = tempfile.mkdtemp(prefix="marrowby-wine-")
os.environ.update({
    "WINEPREFIX": os.path.join(PREFIX_DIR, "prefix"), "WINEDEBUG": "-all",
    # Wine's own ALSA driver would print on the demo's stderr without a sound card;
    # the .NET and HTML engines are never needed and their installers only cost time.
    "WINEDLLOVERRIDES": "winealsa.drv=d;mscoree,mshtml=", "MARROWBY_WRAPPER": "wine",
    "MARROWBY_BIN": os.path.join(DIST, "marrowby.exe"),
    "MARROWBY_DATA": os.path.join(ROOT, "data"), "MARROWBY_BUILD": BUILD})
# The process group's cases, run again on the Windows program.
sys.path[:0] = [os.path.join(ROOT, "tests", "lib"), os.path.join(ROOT, "tests", "process")]
import harness  # noqa: E402
import pefile  # noqa: E402
import picture  # noqa: E402
import test_shaders  # noqa: E402
import test_shell  # noqa: E402
import test_textures  # noqa: E402


def wine(*args):
    return subprocess.run(["wine"] + list(args), capture_output=True, timeout=300)


class UnderWine(unittest.TestCase):
    def test_bit_exact_unit_tests_pass(self):
        r = wine(os.path.join(BUILD, "tests", "unit_tests.exe"))
        self.assertEqual(r.returncode, 0, r.stdout[-3000:] + r.stderr)
        # The projection's tan comes from msvcrt.dll here: its cases must have run.
        self.assertIn(b"[       OK ] Mat4Perspective.", r.stdout)

    def test_reference_frame_matches_the_linux_reference(self):
        out = os.path.join(PREFIX_DIR, "frame.rgb")
        # Wine's drive Z: is the Unix root.
        r = wine(os.path.join(BUILD, "tests", "draw_frame.exe"),
                 *("Z:" + p.replace("/", "\\") for p in (harness.DATA, out)))
        self.assertEqual(r.returncode, 0, r.stderr[-2000:])
        ok, differing, worst, mean = picture.compare(open(out, "rb").read())
        print(f"\npicture under Wine: {differing} pixels differ by more than "
              f"{picture.CHANNEL_SLACK}, worst {worst}, mean {mean:.4f}", file=sys.stderr)
        self.assertTrue(ok, (differing, worst, mean))

    def test_folder_holds_one_console_exe_needing_only_windows_dlls(self):
        version = open(os.path.join(ROOT, "VERSION")).readline().strip()
        self.assertEqual(os.path.basename(DIST), "marrowby-" + version)
        self.assertEqual(sorted(os.listdir(DIST)), sorted(harness.DATA_FILES + [
            "marrowby.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]))
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", harness.BIN],
                              capture_output=True, text=True, check=True).stdout
        self.assertIn("(Windows CUI)", dump)  # a console program: stderr reaches cmd
        dlls = [line.split(":")[1].strip().lower() for line in dump.splitlines()
                if "DLL Name:" in line]
        system = {os.path.basename(p).lower() for p in glob.glob(os.path.join(
            os.environ["WINEPREFIX"], "drive_c", "windows", "system32", "*.dll"))}
        self.assertIn("opengl32.dll", dlls)
        self.assertEqual([d for d in dlls if d not in system], [])

    def test_exe_shows_its_icon_and_version_and_keeps_its_hardening(self):
        pe = pefile.PE(harness.BIN)
        for flag in ("HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT"):
            bit = pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_" + flag]
            self.assertTrue(pe.OPTIONAL_HEADER.DllCharacteristics & bit, flag)
        version = open(os.path.join(ROOT, "VERSION")).readline().strip()
        strings = {k.decode(): v.decode() for info in pe.FileInfo[0]
                   if hasattr(info, "StringTable")
                   for table in info.StringTable for k, v in table.entries.items()}
        self.assertEqual([strings.get(k) for k in ("ProductName", "ProductVersion",
                                                    "FileVersion", "OriginalFilename")],
                         ["marrowby", version, version, "marrowby.exe"])
        self.assertIn("marrowby developers", strings["LegalCopyright"])
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual("%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                       fixed.FileVersionLS >> 16), version)
        # The icon group that freeglut looks up by name, and its images' sides (0: 256).
        groups = next(e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries
                      if e.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
        glut = next(e for e in groups.directory.entries if str(e.name) == "GLUT_ICON")
        entry = glut.directory.entries[0].data.struct
        data = pe.get_data(entry.OffsetToData, entry.Size)
        self.assertEqual([data[6 + 14 * i] for i in range(data[4])], [16, 32, 48, 0])

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
    passed = result.testsRun - failed - len(result.skipped)
    print(f"windows: {passed} passed, {failed} failed, {len(result.skipped)} skipped")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
