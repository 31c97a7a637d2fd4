"""Runs the real marrowby binary as a process under the X server named by DISPLAY,
in a fresh temporary working directory holding the data files (or replacements).

The test script starts Xvfb; every case gets its own directory, so cases can
remove, replace or break files without touching data/.
"""
import io
import os
import pickle
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

# The tests' one import path is this folder (tests/lib); the Python model and the
# browser driver, which live beside what they serve, join it here.
_HERE = os.path.dirname(os.path.abspath(__file__))
for _path in (os.path.join(_HERE, "..", "model"),
              os.path.join(_HERE, "..", "..", "tools", "browser")):
    if _path not in sys.path:
        sys.path.append(_path)

BIN = os.environ.get("MARROWBY_BIN", "")
DATA = os.environ.get("MARROWBY_DATA", "")
BUILD = os.environ.get("MARROWBY_BUILD", "")
DATA_FILES = ["simple.vert", "simple.frag", "texture.tga", "texture2.tga", "texture3.tga",
              "texture4.tga", "marrowby.ogg"]
TITLE = "marrowby &c &c"
# A program that runs BIN, such as "wine" for the Windows build; its stderr's CR LF
# line ends (text mode, the platform's convention) are then read as LF.
WRAPPER = os.environ.get("MARROWBY_WRAPPER", "").split()
# MARROWBY_EMULATED=1: the wrapper is an emulator (qemu-user) of a Linux program for
# another processor, which meets pipes and signals as here; host tracers see qemu.
EMULATED = os.environ.get("MARROWBY_EMULATED") == "1"
# Every wait for the program stretches by MARROWBY_SLOWDOWN, as slow as it runs there.
SLOWDOWN = float(os.environ.get("MARROWBY_SLOWDOWN", "1"))


def linux_only(what):
    """Skips the calling case when BIN runs through MARROWBY_WRAPPER: `what` (a Linux
    tool or kind of file) does not reach a program for another platform."""
    if WRAPPER and not EMULATED:
        raise unittest.SkipTest(f"needs {what}, which only the Linux program meets")


def native_only(what):
    """Skips the calling case when any MARROWBY_WRAPPER runs BIN: `what` traces it."""
    if WRAPPER:
        raise unittest.SkipTest(f"needs {what}, which would trace the wrapper")


def _as_from_a_terminal():
    # A process started in the background by a script or CI runner inherits SIGINT
    # ignored; from a terminal both signals arrive with their default action.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)


def make_workdir(omit=(), replace=None):
    """A temporary directory with the seven data files; `omit` names files left out,
    `replace` maps names to bytes (or None to leave the name free for the caller)."""
    d = tempfile.mkdtemp(prefix="marrowby-")
    replace = replace or {}
    for name in DATA_FILES:
        if name in omit or name in replace:
            continue
        shutil.copy(os.path.join(DATA, name), os.path.join(d, name))
    for name, content in replace.items():
        if content is not None:
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
    return d


class Demo:
    """One running marrowby process: start it, find its window, drive it, end it."""

    def __init__(self, workdir, env=None, audio="dummy", wrapper=()):
        self.workdir = workdir
        e = dict(os.environ)
        if audio is None:
            e.pop("SDL_AUDIODRIVER", None)
        else:
            e["SDL_AUDIODRIVER"] = audio
        e.update(env or {})
        self.stderr_path = os.path.join(workdir, ".stderr")
        self.stdout_path = os.path.join(workdir, ".stdout")
        self._err = open(self.stderr_path, "wb")
        self._out = open(self.stdout_path, "wb")
        self.started = time.monotonic()
        # Under a wrapper (a tracer, Wine) the window belongs to another process.
        self.by_pid = not wrapper and not WRAPPER
        self.proc = subprocess.Popen(list(wrapper) + WRAPPER + [BIN], cwd=workdir, env=e,
                                     stdin=subprocess.DEVNULL, stdout=self._out,
                                     stderr=self._err, preexec_fn=_as_from_a_terminal)

    def window(self, timeout=20.0):
        """The window id of the demo's window, waiting until it is mapped; None if the
        process ended first or the time ran out."""
        deadline = time.monotonic() + timeout * SLOWDOWN
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return None
            pid = ["--pid", str(self.proc.pid)] if self.by_pid else []
            r = subprocess.run(["xdotool", "search", "--onlyvisible"] + pid +
                               ["--name", "^marrowby &c &c$"], capture_output=True, text=True)
            ids = r.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.05)
        return None

    def key(self, win, name):
        # Not checked: after Escape the window is gone before xdotool sends the
        # key's release, and xdotool reports that as a failure.
        subprocess.run(["xdotool", "key", "--window", win, name],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close_window(self, win):
        subprocess.run([os.path.join(BUILD, "tests", "close_window"), win], check=True)

    def wait(self, timeout=20.0):
        """The exit status, or None when the process is still running after `timeout`."""
        try:
            return self.proc.wait(timeout=timeout * SLOWDOWN)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()

    def stderr(self):
        self._err.flush()
        with open(self.stderr_path, "rb") as f:
            err = f.read()
        return err.replace(b"\r\n", b"\n") if WRAPPER else err

    def stdout(self):
        self._out.flush()
        with open(self.stdout_path, "rb") as f:
            return f.read()

    def finish(self):
        self.kill()
        self._err.close()
        self._out.close()


def run_to_exit(workdir, timeout=20.0, **kw):
    """Runs the demo until it ends by itself; returns (status, stderr bytes).
    A demo still running after `timeout` is killed and reported as status None."""
    d = Demo(workdir, **kw)
    status = d.wait(timeout)
    err = d.stderr()
    d.finish()
    return status, err


def run_until_escape(workdir, settle=0.3, **kw):
    """Runs the demo until its window shows, lets it draw for `settle` seconds and
    ends it with Escape; returns (window id or None, exit status, stderr bytes)."""
    d = Demo(workdir, **kw)
    try:
        win = d.window()
        status = None
        if win is not None:
            time.sleep(settle * SLOWDOWN)
            status = escape(d, win)
        return win, status, d.stderr()
    finally:
        d.finish()


def escape(demo, win, tries=10):
    """Presses Escape until the demo ends; its exit status, or None after `tries`
    presses 2 s apart. A key that arrives before the first tick has registered the
    keyboard callback is lost, which a loaded machine can delay."""
    for _ in range(tries):
        demo.key(win, "Escape")
        status = demo.wait(2)
        if status is not None:
            return status
    return None


def trace_demo(workdir, seconds):
    """Runs the demo under apitrace for about `seconds`, ends it with Escape, and
    returns (exit status, calls): each call as (number, name, args dict, result),
    apitrace's own fake calls left out, values exact as `apitrace pickle` gives them."""
    native_only("apitrace")
    trace = os.path.join(workdir, "run.trace")
    # In the sanitizer build apitrace's wrapper library loads before ASan's runtime.
    asan = os.environ.get("ASAN_OPTIONS", "detect_leaks=0") + ":verify_asan_link_order=0"
    demo = Demo(workdir, env={"ASAN_OPTIONS": asan},
                wrapper=["apitrace", "trace", "--api", "gl", "-o", trace])
    try:
        win = demo.window(timeout=30)
        if win is None:
            raise AssertionError("no window; stderr: %r" % demo.stderr()[-400:])
        time.sleep(seconds)
        status = escape(demo, win)
    finally:
        demo.finish()
    out = subprocess.run(["apitrace", "pickle", "-s", trace], capture_output=True,
                         check=True).stdout
    import sys
    sys.path.insert(0, "/usr/lib/apitrace/scripts")
    import unpickle  # noqa: F401  (apitrace's pickles name its classes)
    calls = []
    f = io.BytesIO(out)
    while True:
        try:
            number, name, args, result, flags = pickle.load(f)
        except EOFError:
            break
        if not flags & 1:
            calls.append((number, name, dict(args), result))
    return status, calls
