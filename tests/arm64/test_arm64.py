"""The arm64 build under qemu-user (tests/arm64/run-in-ci builds it and starts Xvfb):
the bit-exact unit tests, the GL tests with the reference frame, the arm64 .deb, and
the shared process tests on the very program that the .deb ships."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(os.environ["MARROWBY_ARM64_BUILD"])
SYSROOT = os.environ["MARROWBY_ARM64_SYSROOT"]
DEB = os.environ["MARROWBY_ARM64_DEB"]
TREE = tempfile.mkdtemp(prefix="marrowby-arm64-")
subprocess.run(["dpkg-deb", "-x", DEB, TREE], check=True)
PROGRAM = os.path.join(TREE, "usr", "lib", "games", "marrowby", "marrowby")
os.environ.update({
    # qemu-user hands the environment to the program as it is: Mesa and GLVND look
    # for their drivers inside the sysroot. Emulated llvmpipe draws a few frames a
    # second where the host draws sixty, and start-up takes seconds.
    "LIBGL_DRIVERS_PATH": os.path.join(SYSROOT, "usr", "lib", "aarch64-linux-gnu", "dri"),
    "__EGL_VENDOR_LIBRARY_DIRS": os.path.join(SYSROOT, "usr", "share", "glvnd", "egl_vendor.d"),
    "MARROWBY_EMULATED": "1", "MARROWBY_SLOWDOWN": "8", "MARROWBY_BIN": PROGRAM,
    "MARROWBY_DATA": os.path.join(ROOT, "data"), "MARROWBY_BUILD": BUILD})
sys.path.insert(0, os.path.join(ROOT, "tests", "process"))
import harness  # noqa: E402
import test_shaders  # noqa: E402
import test_shell  # noqa: E402
import test_textures  # noqa: E402


def run(*cmd):
    return subprocess.run(cmd, capture_output=True, timeout=600)


def field(name):
    return run("dpkg-deb", "-f", DEB, name).stdout.decode().strip()


class UnderQemu(unittest.TestCase):
    def test_unit_tests_pass_bit_for_bit(self):
        r = run(*harness.WRAPPER, os.path.join(BUILD, "tests", "unit_tests"))
        self.assertEqual(r.returncode, 0, r.stdout[-3000:] + r.stderr)
        # aarch64 fuses a multiply and an add wherever the compiler lets it: the
        # cases that hold the arithmetic to the model's bits must have run.
        for suite in (b"Mat4Perspective.", b"Mat4AffineInverse.", b"UpperLayers.", b"Frame.",
                      b"Clocks.", b"LoadTga.", b"TgaLargeFile."):
            self.assertIn(b"[       OK ] " + suite, r.stdout)

    def test_gl_tests_and_the_reference_frame_pass_on_the_sysroots_mesa(self):
        r = run(*harness.WRAPPER, os.path.join(BUILD, "tests", "gl_tests"))
        self.assertEqual(r.returncode, 0, r.stdout[-3000:] + r.stderr)
        self.assertIn(b"[       OK ] Picture.FrameMatchesTheReference", r.stdout)


class Arm64Package(unittest.TestCase):
    def test_an_arm64_package_of_an_aarch64_program_that_lintian_passes(self):
        self.assertEqual(field("Architecture"), "arm64")
        with open(PROGRAM, "rb") as f:
            head = f.read(20)
        # ELF, 64-bit, little-endian, e_machine EM_AARCH64 (183).
        self.assertEqual((head[:4], head[4], head[5], head[18:20]),
                         (b"\x7fELF", 2, 1, (183).to_bytes(2, "little")))
        r = run("lintian", "--fail-on", "error,warning", DEB)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_dependencies_name_the_packages_of_every_library_the_program_needs(self):
        # dpkg-shlibdeps drops a library it cannot map to a package without a word:
        # the host's own packages of the same libraries say which names must be there.
        dynamic = run("readelf", "-d", PROGRAM).stdout.decode()
        needed = [line.split("[")[1].rstrip("]") for line in dynamic.splitlines()
                  if "(NEEDED)" in line]
        multiarch = run("dpkg-architecture", "-qDEB_HOST_MULTIARCH").stdout.decode().strip()
        owners = set()
        for soname in needed:
            out = run("dpkg-query", "-S", f"*/{multiarch}/{soname}").stdout.decode()
            self.assertTrue(out, soname)
            owners |= {line.split(":")[0] for line in out.splitlines()}
        depends = {d.split()[0] for d in field("Depends").split(", ")}
        self.assertEqual(sorted(depends), sorted(owners))


def main():
    loader = unittest.defaultTestLoader
    suite = unittest.TestSuite(loader.loadTestsFromModule(m) for m in (
        sys.modules[__name__], test_shell, test_shaders, test_textures))
    try:
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        shutil.rmtree(TREE, True)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"arm64: {passed} passed, {failed} failed, {len(result.skipped)} skipped")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
