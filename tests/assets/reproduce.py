"""The asset generator, run afresh into an empty folder, writes exactly the bytes
of the committed images and music: data/ holds nothing that its source cannot
make again.

Usage: reproduce.py GENERATOR DATA_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

GENERATOR = ""
DATA = ""
FILES = ["texture.tga", "texture2.tga", "texture3.tga", "texture4.tga", "marrowby.ogg"]


class Reproduce(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="gen-assets-")
        cls.result = subprocess.run([GENERATOR, cls.tmp.name], capture_output=True, timeout=300)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_generator_succeeds_quietly(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.assertEqual(self.result.stdout + self.result.stderr, b"")

    def test_writes_the_five_files_and_nothing_else(self):
        self.assertEqual(sorted(os.listdir(self.tmp.name)), sorted(FILES))

    def test_every_file_matches_the_committed_one(self):
        for name in FILES:
            with self.subTest(name):
                with open(os.path.join(DATA, name), "rb") as f:
                    committed = f.read()
                path = os.path.join(self.tmp.name, name)
                self.assertTrue(os.path.exists(path), name)
                with open(path, "rb") as f:
                    fresh = f.read()
                if fresh != committed:
                    first = next((i for i, (a, b) in enumerate(zip(fresh, committed)) if a != b),
                                 min(len(fresh), len(committed)))
                    self.fail("%s differs from the committed copy: %d bytes against %d, first "
                              "difference at byte %d; regenerate with the generator" %
                              (name, len(fresh), len(committed), first))


class Icons(unittest.TestCase):
    def test_icons_are_reproduced_at_their_sizes(self):
        committed = os.path.join(DATA, "..", "packaging", "icons")
        with tempfile.TemporaryDirectory(prefix="gen-icons-") as d:
            r = subprocess.run([GENERATOR, "--icons", d], capture_output=True, timeout=120)
            self.assertEqual((r.returncode, r.stdout + r.stderr), (0, b""))
            self.assertEqual(sorted(os.listdir(d)), sorted(os.listdir(committed)))
            for name in os.listdir(d):
                with self.subTest(name):
                    fresh = open(os.path.join(d, name), "rb").read()
                    if name.endswith(".ico"):
                        # Windows' sizes, each entry's side (0 meaning 256) twice.
                        self.assertEqual(fresh[:6], struct.pack("<HHH", 0, 1, 4))
                        self.assertEqual([fresh[6 + 16 * i:8 + 16 * i] for i in range(4)],
                                         [b"\x10\x10", b"\x20\x20", b"\x30\x30", b"\0\0"])
                    else:
                        size = int(name.split("-")[1].split(".")[0])
                        self.assertEqual(struct.unpack(">II", fresh[16:24]), (size, size))
                    self.assertEqual(fresh, open(os.path.join(committed, name), "rb").read(),
                                     "regenerate with gen-assets --icons packaging/icons")


class ShortLoop(unittest.TestCase):
    def test_loop_bars_writes_a_shorter_file(self):
        with tempfile.TemporaryDirectory(prefix="gen-assets-") as d:
            out = os.path.join(d, "loop.ogg")
            r = subprocess.run([GENERATOR, "--loop-bars", "2", out], capture_output=True,
                               timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(open(out, "rb").read(4), b"OggS")
            self.assertLess(os.path.getsize(out), os.path.getsize(os.path.join(DATA, "marrowby.ogg")) / 5)

    def test_bad_arguments_are_refused(self):
        for args in (["--loop-bars", "0", "x.ogg"], ["--loop-bars", "25", "x.ogg"], [],
                     ["--nonsense"], ["a", "b"]):
            with self.subTest(args=args):
                r = subprocess.run([GENERATOR] + args, capture_output=True, timeout=60,
                                   cwd=tempfile.gettempdir())
                self.assertEqual(r.returncode, 2)
                self.assertIn(b"usage", r.stderr)

    def test_unwritable_folder_is_reported(self):
        r = subprocess.run([GENERATOR, "--images-only", "/nonexistent/folder"],
                           capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"cannot write /nonexistent/folder/texture.tga", r.stderr)


if __name__ == "__main__":
    GENERATOR, DATA = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
