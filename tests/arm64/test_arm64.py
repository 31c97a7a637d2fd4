"""The arm64 build under qemu-user (tests/arm64/run-in-ci builds it and starts Xvfb):
the unit and GL tests, the .deb, and the shared process tests on the program it ships."""
import os, subprocess, sys, tempfile, unittest  # noqa: E401

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD, SYSROOT, DEB = (os.environ["MARROWBY_ARM64_" + n] for n in ("BUILD", "SYSROOT", "DEB"))
TREE = tempfile.TemporaryDirectory(prefix="marrowby-arm64-")
subprocess.run(["dpkg-deb", "-x", DEB, TREE.name], check=True)
PROGRAM = os.path.join(TREE.name, "usr/lib/games/marrowby/marrowby")
# qemu-user hands the environment on as it is: Mesa finds its drivers in the sysroot.
os.environ.update(LIBGL_DRIVERS_PATH=SYSROOT + "/usr/lib/aarch64-linux-gnu/dri",
                  __EGL_VENDOR_LIBRARY_DIRS=SYSROOT + "/usr/share/glvnd/egl_vendor.d",
                  MARROWBY_BIN=PROGRAM, MARROWBY_DATA=ROOT + "/data", MARROWBY_BUILD=BUILD)
# The process group's cases, run again on the arm64 program.
sys.path[:0] = [os.path.join(ROOT, "tests", "lib"), os.path.join(ROOT, "tests", "process")]
import harness, test_shaders, test_shell, test_textures  # noqa: E401,E402


def run(*cmd):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=600)


class Arm64(unittest.TestCase):
    def test_unit_and_gl_tests_pass_bit_for_bit_and_draw_the_reference_frame(self):
        # Every case, none skipped: aarch64 fuses a multiply and an add wherever it may.
        for name in ("unit_tests", "gl_tests"):
            r = run(*harness.WRAPPER, os.path.join(BUILD, "tests", name))
            self.assertEqual(r.returncode, 0, r.stdout[-3000:] + r.stderr)
            self.assertNotIn("SKIPPED", r.stdout)
        self.assertIn("[       OK ] Picture.FrameMatchesTheReference", r.stdout)

    def test_package_of_an_aarch64_program_lintian_clean_with_every_library_depended_on(self):
        self.assertEqual(run("dpkg-deb", "-f", DEB, "Architecture").stdout, "arm64\n")
        self.assertIn("ELF 64-bit LSB pie executable, ARM aarch64", run("file", PROGRAM).stdout)
        r = run("lintian", "--fail-on", "error,warning", DEB)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        # dpkg-shlibdeps leaves out a library it cannot place without a word: the host's
        # packages of the same libraries name what must be there.
        needed = [line.split("[")[1][:-1] for line in run("readelf", "-d", PROGRAM).stdout
                  .splitlines() if "(NEEDED)" in line]
        owners = run("dpkg-query", "-S", *("*/x86_64-linux-gnu/" + n for n in needed)).stdout
        depends = run("dpkg-deb", "-f", DEB, "Depends").stdout.split(", ")
        self.assertEqual(sorted({d.split()[0] for d in depends}),
                         sorted({line.split(":")[0] for line in owners.splitlines()}))


if __name__ == "__main__":
    unittest.main(verbosity=2, defaultTest=["Arm64", "test_shell", "test_shaders", "test_textures"])
