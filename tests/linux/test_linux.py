"""The any-Linux folder (tests/linux/run-in-ci builds it, makes the minimal roots and
starts Xvfb): what its ELF files ask of the system, and the shared process tests on
its program inside a Debian root (MARROWBY_LINUX_ROOT) through tests/linux/in-root."""
import array, os, re, shutil, subprocess, sys, tempfile, unittest  # noqa: E401
from unittest import mock

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DIST = os.environ["MARROWBY_LINUX_DIST"]
os.environ.update(MARROWBY_BIN=os.path.join(DIST, "lib", "marrowby"),
                  MARROWBY_DATA=os.path.join(ROOT, "data"))
sys.path[:0] = [os.path.join(ROOT, "tests", "lib"), os.path.join(ROOT, "tests", "process")]
import harness, picture, test_shaders, test_shell, test_textures  # noqa: E401,E402

# What every desktop install has; everything else must be linked in or in the folder.
ALLOWED = {"libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0", "librt.so.1",
           "ld-linux-x86-64.so.2", "libGL.so.1", "libX11.so.6", "libXext.so.6",
           "libXi.so.6", "libXrandr.so.2", "libXxf86vm.so.1", "libXrender.so.1",
           "libxcb.so.1", "libstdc++.so.6", "libgcc_s.so.1", "libasound.so.2"}
# Debian 11's glibc and its GCC 10 run time.
CEILING = {"GLIBC": (2, 31), "GLIBCXX": (3, 4, 28), "CXXABI": (1, 3, 12), "GCC": (10, 0)}


def elf_files():
    for top, _, names in os.walk(DIST):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                if f.read(4) == b"\x7fELF":
                    yield path


class OnTheHost(unittest.TestCase):
    """What does not depend on the root: checked in the first pass alone."""
    def setUp(self):
        if not os.environ.get("MARROWBY_LINUX_HOST_CHECKS"):
            self.skipTest("checked in the first root's pass")

    def test_music_plays_through_a_pulseaudio_server_that_sdl_loads_at_run_time(self):
        d = tempfile.mkdtemp(prefix="marrowby-pulse-")
        sock, raw = "unix:" + d + "/native", os.path.join(d, "out.raw")
        quiet = dict(env=dict(os.environ, HOME=d, PULSE_RUNTIME_PATH=d), check=True,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # -D returns once the server listens; a null sink's monitor records what it plays.
        subprocess.run(["pulseaudio", "-n", "-D", "--exit-idle-time=-1", "-L",
                        "module-null-sink sink_name=out", "-L",
                        f"module-native-protocol-unix socket={d}/native auth-anonymous=1"], **quiet)
        self.addCleanup(subprocess.run, ["pulseaudio", "--kill"], **quiet)
        rec = subprocess.Popen(["parec", "--server", sock, "-d", "out.monitor", "--raw",
                                "--format=s16le", "--rate=44100", "--channels=2"],
                               stdout=open(raw, "wb"))
        self.addCleanup(rec.kill)
        # On the host, whose libpulse SDL finds: the roots have none to load.
        with mock.patch.object(harness, "WRAPPER", []):
            win, status, err = harness.run_until_escape(harness.make_workdir(), settle=3,
                                                        audio="pulseaudio",
                                                        env={"PULSE_SERVER": sock})
        rec.terminate()
        rec.wait()
        self.assertIsNotNone(win, err)
        self.assertEqual((status, err), (0, b""))
        data = open(raw, "rb").read()
        samples = array.array("h", data[:len(data) // 2 * 2])
        self.assertGreater(max(map(abs, samples), default=0), 1000, "all near silence")

    def test_elf_files_need_only_the_allow_list_and_no_symbol_past_debian_11(self):
        files = list(elf_files())
        self.assertEqual([os.path.relpath(p, DIST) for p in files], ["lib/marrowby"])
        held = {os.path.basename(p) for p in files}
        for path in files:
            dyn = subprocess.run(["readelf", "-dW", path], capture_output=True, text=True,
                                 check=True).stdout
            needed = set(re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", dyn))
            self.assertIn("libGL.so.1", needed)
            self.assertEqual(needed - held - ALLOWED, set(), path)
            syms = subprocess.run(["objdump", "-T", path], capture_output=True, text=True,
                                  check=True).stdout
            versions = set(re.findall(r"\b(GLIBC|GLIBCXX|CXXABI|GCC)_([0-9.]+)\b", syms))
            self.assertIn("GLIBC", {v[0] for v in versions})
            for lib, number in versions:
                self.assertLessEqual(tuple(map(int, number.split("."))), CEILING[lib],
                                     f"{path} asks for {lib}_{number}")



class Folder(unittest.TestCase):
    def test_reference_frame_drawn_by_the_roots_mesa_matches_the_reference(self):
        # The program's own start-up and frame code at the reference clocks, built as
        # the folder's program is (the preset linux-test), drawn by the root's GL.
        work = harness.make_workdir()
        shutil.copy(os.environ["MARROWBY_LINUX_DRAW_FRAME"], work)
        r = subprocess.run(harness.WRAPPER + ["./draw_frame", ".", "frame.rgb"], cwd=work,
                           capture_output=True, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr[-2000:])
        ok, differing, worst, mean = picture.compare(open(os.path.join(work, "frame.rgb"),
                                                          "rb").read())
        print(f"\npicture: {differing} pixels differ by more than {picture.CHANNEL_SLACK}, "
              f"worst {worst}, mean {mean:.4f}", file=sys.stderr)
        self.assertTrue(ok, (differing, worst, mean))

    def test_launcher_starts_the_demo_in_its_folder_from_anywhere(self):
        # From an empty folder: the data are found only if the launcher moved to its own.
        with mock.patch.object(harness, "BIN", os.path.join(DIST, "marrowby")):
            win, status, err = harness.run_until_escape(tempfile.mkdtemp(prefix="marrowby-"))
        self.assertIsNotNone(win, err)
        self.assertEqual((status, err), (0, b""))


if __name__ == "__main__":
    unittest.main(verbosity=2, defaultTest=[
        "OnTheHost", "Folder", "test_shell", "test_shaders.ValidAndMissing",
        "test_textures.Textures.test_each_failure_prints_its_two_lines_and_the_demo_goes_on"])
