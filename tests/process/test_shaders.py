"""The shader program builder seen from outside: the real program started in a
scratch directory whose "simple.vert" / "simple.frag" are valid, broken, missing,
empty, directories or named pipes. Every shader failure must end the process with
status 255 before the window's first frame and before the music, printing the
exact messages (or nothing, for a file that cannot be read whole).
"""
import os
import re
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402

VERT = open(os.path.join(harness.DATA, "simple.vert"), "rb").read()
FRAG = open(os.path.join(harness.DATA, "simple.frag"), "rb").read()

VERT_HEADER = b"Shader compile error: simple.vert\n"
FRAG_HEADER = b"Shader compile error: simple.frag\n"
LINK_HEADER = b"Shader link error.\n"
NOT_GLSL = b"\nthis is { not GLSL at all ;;\n"


def edit(source, old, new):
    assert old in source, old
    return source.replace(old, new)


# A vertex stage without "vnormal" (and so without "normalview").
NO_VNORMAL = edit(edit(VERT, b"attribute vec3 vnormal;\n", b""),
                  b"(vec4(vnormal, 0.0) * normalview)", b"(vec4(0.0, 0.0, 1.0, 0.0))")
LOOKUPS = ["vertex", "vnormal", "texcoords", "modelview", "normalview", "projection", "texture"]


def traced_calls(workdir):
    """Runs the demo under apitrace until Escape; returns its calls up to the first
    frame as (name, args, result) without apitrace's own fake calls."""
    status, calls = harness.trace_demo(workdir, 0.5)
    assert status == 0, status
    startup = []
    for _, name, args, result in calls:
        if name == "glClear":
            break
        startup.append((name, args, result))
    return startup


class Case(unittest.TestCase):
    def workdir(self, **kw):
        d = harness.make_workdir(**kw)
        self.addCleanup(shutil.rmtree, d, True)
        return d

    def fails(self, workdir, **kw):
        """Runs the demo to its end; asserts status 255 and returns stderr."""
        status, err = harness.run_to_exit(workdir, timeout=30, **kw)
        self.assertEqual(status, 255, err[:400])
        return err

    def runs(self, workdir):
        """Asserts the demo opens its window and draws with nothing on stderr, and
        that Escape then ends it with status 0."""
        demo = harness.Demo(workdir)
        try:
            win = demo.window(timeout=30)
            self.assertIsNotNone(win, "no window; status %s, stderr %r"
                                 % (demo.proc.poll(), demo.stderr()[:400]))
            time.sleep(0.5 * harness.SLOWDOWN)  # the keyboard callback comes with the first tick
            self.assertIsNone(demo.proc.poll())
            self.assertEqual(harness.escape(demo, win), 0)
            self.assertEqual(demo.stderr(), b"")
        finally:
            demo.finish()

    def assertCompileError(self, err, header):
        self.assertTrue(err.startswith(header), err[:400])
        log = err[len(header):]
        self.assertIn(b"error", log)  # the compiler's log follows the line
        self.assertNotIn(b"Shader", log)  # and the process ended there
        self.assertNotIn(b"\0", err)


class ValidAndMissing(Case):
    def test_valid_pair_runs_silently(self):
        self.runs(self.workdir())

    def test_missing_vertex_shader_is_silent_failure(self):
        self.assertEqual(self.fails(self.workdir(omit=["simple.vert"])), b"")

    def test_missing_fragment_shader_is_silent_failure(self):
        self.assertEqual(self.fails(self.workdir(omit=["simple.frag"])), b"")


class CompileAndLink(Case):
    BROKEN_VERT = edit(VERT, b"uv = texcoords;", b"uv = texcoords +;")

    def test_vertex_compile_error_names_the_file_and_prints_the_log(self):
        err = self.fails(self.workdir(replace={"simple.vert": self.BROKEN_VERT}))
        self.assertCompileError(err, VERT_HEADER)
        self.assertNotIn(b"simple.frag", err)

    def test_fragment_file_is_not_opened_after_a_vertex_compile_error(self):
        # A directory opens but cannot be read: reading it would end the process
        # silently, before any message.
        plain = self.fails(self.workdir(replace={"simple.vert": self.BROKEN_VERT}))
        d = self.workdir(replace={"simple.vert": self.BROKEN_VERT, "simple.frag": None})
        os.mkdir(os.path.join(d, "simple.frag"))
        self.assertEqual(self.fails(d), plain)

    def test_fragment_compile_error_names_the_fragment_file(self):
        frag = edit(FRAG, b"c.a)", b"c.a")
        err = self.fails(self.workdir(replace={"simple.frag": frag}))
        self.assertCompileError(err, FRAG_HEADER)

    def test_link_error_prints_the_line_and_the_linker_log_without_a_file_name(self):
        # Both stages compile; the fragment stage reads a varying nobody writes.
        frag = edit(FRAG, b"varying float shade;", b"varying float shade;\nvarying float extra;")
        frag = edit(frag, b"c.a)", b"c.a * extra)")
        err = self.fails(self.workdir(replace={"simple.frag": frag}))
        self.assertTrue(err.startswith(LINK_HEADER), err[:400])
        self.assertIn(b"extra", err[len(LINK_HEADER):])
        self.assertNotIn(b"simple.", err)

    def test_long_log_is_cut_to_65534_characters(self):
        # The compiler quotes the unknown 70000-character name in its log.
        vert = edit(VERT, b"uv = texcoords;", b"uv = texcoords + " + b"a" * 70000 + b";")
        err = self.fails(self.workdir(replace={"simple.vert": vert}))
        self.assertTrue(err.startswith(VERT_HEADER), err[:400])
        log = err[len(VERT_HEADER):]
        self.assertEqual(len(log), 65534)
        self.assertIn(b"a" * 1000, log)
        self.assertNotIn(b"\0", log)


class SourceText(Case):
    def test_text_after_a_nul_byte_is_not_compiled(self):
        self.runs(self.workdir(replace={"simple.vert": VERT + b"\0" + NOT_GLSL,
                                        "simple.frag": FRAG + b"\0" + NOT_GLSL}))

    def test_the_same_text_without_the_nul_does_not_compile(self):
        err = self.fails(self.workdir(replace={"simple.vert": VERT + NOT_GLSL}))
        self.assertCompileError(err, VERT_HEADER)

    def assertHandled(self, workdir, header):
        """An empty source gets whatever the compiler makes of it: either the demo
        runs, or it ends with status 255 after the right message line."""
        status, err = harness.run_to_exit(workdir, timeout=5)
        if status is None:
            self.runs(workdir)
        else:
            self.assertEqual(status, 255, err[:400])
            self.assertTrue(err.startswith(header) or err.startswith(LINK_HEADER), err[:400])

    def test_empty_vertex_shader_is_handled(self):
        self.assertHandled(self.workdir(replace={"simple.vert": b""}), VERT_HEADER)

    def test_empty_fragment_shader_is_handled(self):
        self.assertHandled(self.workdir(replace={"simple.frag": b""}), FRAG_HEADER)

    def test_pair_without_vnormal_runs_silently(self):
        self.runs(self.workdir(replace={"simple.vert": NO_VNORMAL}))

    @unittest.skipUnless(shutil.which("apitrace"), "needs apitrace")
    def test_traced_sources_stop_at_the_nul_and_missing_inputs_stay_minus_one(self):
        # Mesa itself stops at a NUL inside a source, so only the length handed to GL
        # shows where the program cut the text.
        d = self.workdir(replace={"simple.vert": NO_VNORMAL + b"\0" + NOT_GLSL,
                                  "simple.frag": FRAG + b"\0\0" + NOT_GLSL})
        calls = traced_calls(d)
        sources = [(c[1]["length"], c[1]["string"]) for c in calls if c[0] == "glShaderSource"]
        self.assertEqual(sources, [([len(NO_VNORMAL)], [NO_VNORMAL.decode()]),
                                   ([len(FRAG)], [FRAG.decode()])])
        lookups = [(c[1]["name"], c[2]) for c in calls
                   if c[0] in ("glGetAttribLocation", "glGetUniformLocation")]
        self.assertEqual([name for name, _ in lookups], LOOKUPS)
        found = dict(lookups)
        self.assertEqual((found["vnormal"], found["normalview"]), (-1, -1))
        self.assertTrue(all(found[n] >= 0 for n in LOOKUPS if n not in ("vnormal", "normalview")))


class Unreadable(Case):
    def pipe_case(self, name, wrapper=()):
        # The test holds the pipe open for writing (with shader text in it), so the
        # program's open does not block; a pipe has no length, so the program must
        # end silently rather than read an unbounded amount into a tiny buffer.
        harness.linux_only("named pipes")
        d = self.workdir(replace={name: None})
        path = os.path.join(d, name)
        os.mkfifo(path)
        fd = os.open(path, os.O_RDWR)
        try:
            os.write(fd, VERT if name == "simple.vert" else FRAG)
            start = time.monotonic()
            err = self.fails(d, wrapper=wrapper)
            self.assertLess(time.monotonic() - start, 25 * harness.SLOWDOWN)
        finally:
            os.close(fd)
        self.assertEqual(err, b"")
        return d

    def test_vertex_shader_as_named_pipe_is_silent_failure(self):
        self.pipe_case("simple.vert")

    def test_fragment_shader_as_named_pipe_is_silent_failure(self):
        self.pipe_case("simple.frag")

    @unittest.skipUnless(shutil.which("strace"), "needs strace")
    def test_pipe_is_never_read_with_its_failed_length(self):
        # Linux refuses a read of SIZE_MAX bytes outright (EFAULT), so the exit status
        # alone cannot tell a reader that skipped the length check: its system calls can.
        harness.native_only("strace")
        trace = os.path.join(tempfile.mkdtemp(prefix="marrowby-strace-"), "trace")
        self.addCleanup(shutil.rmtree, os.path.dirname(trace), True)
        self.pipe_case("simple.vert", wrapper=["strace", "-f", "-qq", "-e", "trace=read",
                                               "-e", "signal=none", "-o", trace])
        counts = [int(m) for m in re.findall(r"read\(\d+, .*, (\d+)\)", open(trace).read())]
        self.assertTrue(counts)
        self.assertLess(max(counts), 1 << 31)

class StartUpOrder(Case):
    def disk_env(self, d):
        out = os.path.join(d, "audio.raw")
        return out, {"SDL_DISKAUDIOFILE": out}

    def test_valid_shaders_reach_the_music(self):
        # The check below means something only if the disk driver does write here.
        d = self.workdir()
        out, env = self.disk_env(d)
        demo = harness.Demo(d, env=env, audio="disk")
        try:
            self.assertIsNotNone(demo.window(timeout=30), "status %s, stderr %r"
                                 % (demo.proc.poll(), demo.stderr()[-400:]))
            deadline = time.monotonic() + 10 * harness.SLOWDOWN
            while time.monotonic() < deadline and not (
                    os.path.exists(out) and os.path.getsize(out) > 0):
                time.sleep(0.1)
            self.assertGreater(os.path.getsize(out), 0)
        finally:
            demo.finish()

    def test_shader_failure_ends_start_up_before_the_music(self):
        d = self.workdir(replace={"simple.vert": CompileAndLink.BROKEN_VERT})
        out, env = self.disk_env(d)
        err = self.fails(d, env=env, audio="disk")
        self.assertCompileError(err, VERT_HEADER)
        self.assertFalse(os.path.exists(out) and os.path.getsize(out) > 0)
        self.assertNotIn(b"disk", err)  # the disk driver's own notice never came

    def test_image_messages_come_before_shader_messages(self):
        d = self.workdir(omit=["texture.tga"],
                         replace={"simple.vert": CompileAndLink.BROKEN_VERT})
        err = self.fails(d)
        self.assertTrue(err.startswith(b"Unable to open texture.tga for reading\n"
                                       b"Image loading failed: texture.tga\n" + VERT_HEADER),
                        err[:400])


if __name__ == "__main__":
    unittest.main()
