"""Texture loading seen from outside: the real program started in a scratch directory
where one of the four images is missing, cut short, of the wrong kind, hostile, or a
named pipe. Each failure prints exactly its two lines, in order, naming the file as the
program passed it; the program keeps running with its window, and Escape ends it with
status 0. A traced run shows the other three images reaching GL as stored.
"""
import os
import shutil
import struct
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402
from tga import header  # noqa: E402

TEXTURES = ["texture.tga", "texture2.tga", "texture3.tga", "texture4.tga"]


def image(w, h, depth=32, **kw):
    return header(w, h, depth, **kw) + bytes((i * 29) & 0xFF for i in range(w * h * depth // 8))


OPEN = b"Unable to open %s for reading\n"
HEADER = b"%s has incomplete tga header\n"
DEPTH = b"%s is not 24/32-bit uncompressed RGB/A tga file.\n"
IMAGE = b"%s has incomplete image\n"
FAILED = b"Image loading failed: %s\n"


def two_lines(message, name):
    return message.replace(b"%s", name.encode()) + FAILED.replace(b"%s", name.encode())


escape = harness.escape


class Textures(unittest.TestCase):
    def workdir(self, **kw):
        d = harness.make_workdir(**kw)
        self.addCleanup(shutil.rmtree, d, True)
        return d

    def keeps_running(self, workdir, expected_stderr):
        """The demo opens its window, is still running after some frames with exactly
        `expected_stderr` printed, and Escape then ends it with status 0."""
        demo = harness.Demo(workdir)
        try:
            win = demo.window(timeout=30)
            self.assertIsNotNone(win, "no window; status %s, stderr %r"
                                 % (demo.proc.poll(), demo.stderr()[:400]))
            time.sleep(0.5 * harness.SLOWDOWN)  # the keyboard callback comes with the first tick
            self.assertIsNone(demo.proc.poll(), demo.stderr()[:400])
            self.assertEqual(escape(demo, win), 0)
            self.assertEqual(demo.stderr(), expected_stderr)
        finally:
            demo.finish()

    def test_each_failure_prints_its_two_lines_and_the_demo_goes_on(self):
        # Each refusal's own message is the loader's (tests/unit/test_tga.cpp) and its
        # two lines and texture 0 are loadTexture's (tests/gl/test_texture.cpp); here,
        # one of each kind of failure, every image in its turn, in the running program.
        rgb = image(5, 3, 24)
        cases = [
            ("texture2.tga", None, OPEN),
            ("texture.tga", rgb[:17], HEADER),
            ("texture4.tga", image(4, 4, 16), DEPTH),
            ("texture3.tga", rgb[:-1], IMAGE),
        ]
        for name, content, message in cases:
            with self.subTest(file=name, message=message):
                if content is None:
                    d = self.workdir(omit=(name,))
                else:
                    d = self.workdir(replace={name: content})
                self.keeps_running(d, two_lines(message, name))

    def test_hostile_sizes_are_incomplete_and_cheap(self):
        # The allocator's side of every hostile size is tests/unit/test_tga_memory.cpp's.
        cases = [header(32768, 32768, 32) + bytes(12)]
        for content in cases:
            with self.subTest(header=content[:18].hex()):
                d = self.workdir(replace={"texture3.tga": content})
                self.keeps_running(d, two_lines(IMAGE, "texture3.tga"))

    def fifo_workdir(self, name, content):
        """A workdir where `name` is a named pipe; a thread writes `content` into it
        once the program opens it, then closes it."""
        harness.linux_only("named pipes")
        d = self.workdir(replace={name: None})
        path = os.path.join(d, name)
        os.mkfifo(path)

        def feed():
            with open(path, "wb") as f:  # blocks until the program opens the pipe
                try:
                    f.write(content)
                except BrokenPipeError:
                    pass

        t = threading.Thread(target=feed, daemon=True)
        t.start()
        self.addCleanup(t.join, 5)
        return d

    def test_a_named_pipe_is_read_as_bytes_arrive(self):
        # Whole image: loads silently. A header claiming 17 GB, then the end: incomplete.
        self.keeps_running(self.fifo_workdir("texture2.tga", image(64, 64)), b"")
        self.keeps_running(self.fifo_workdir("texture2.tga", header(65535, 65535) + bytes(99)),
                           two_lines(IMAGE, "texture2.tga"))

    @unittest.skipUnless(shutil.which("apitrace"), "needs apitrace")
    def test_the_other_three_images_reach_gl_as_stored(self):
        d = self.workdir(omit=("texture2.tga",))
        files = {}
        for n in TEXTURES[:1] + TEXTURES[2:]:
            with open(os.path.join(d, n), "rb") as f:
                files[n] = f.read()
        status, calls = harness.trace_demo(d, 1.0)
        self.assertEqual(status, 0)
        uploads, generated = [], 0
        for _, name, args, _ in calls:
            if name == "glGenTextures":
                generated += 1
            elif name == "glTexImage2D":
                uploads.append(args)
        self.assertEqual(generated, 3)
        self.assertEqual(len(uploads), 3)
        for args, name in zip(uploads, ["texture.tga", "texture3.tga", "texture4.tga"]):
            data = files[name]
            w, h = struct.unpack("<HH", data[12:16])
            depth = data[16]
            start = 18 + data[0]
            with self.subTest(file=name):
                self.assertEqual((args["width"], args["height"]), (w, h))
                self.assertEqual((args["internalformat"], args["format"]),
                                 ("GL_RGBA8", "GL_BGRA") if depth == 32 else ("GL_RGB8", "GL_BGR"))
                self.assertEqual(bytes(args["pixels"]), data[start:start + w * h * depth // 8])


if __name__ == "__main__":
    unittest.main()
