"""The application shell as a process: window, keys, closing, silent audio failures,
and the music playing in a loop."""
import os
import signal
import struct
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402


def window_geometry(win):
    out = subprocess.run(["xwininfo", "-id", win], capture_output=True, text=True,
                         check=True).stdout
    fields = {}
    for line in out.splitlines():
        line = line.strip()
        if ":" in line:
            k, v = line.split(":", 1)
            fields[k.strip()] = v.strip()
    title = out.split('"', 1)[1].rsplit('"', 1)[0]
    return title, int(fields["Width"]), int(fields["Height"])


def make_tone(path, seconds):
    """A short Ogg Vorbis tone, so the loop comes round within the test."""
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    f"sine=frequency=440:duration={seconds}", "-ac", "2", "-ar", "44100",
                    "-c:a", "libvorbis", path], check=True)


class Shell(unittest.TestCase):
    def start(self, workdir, **kw):
        demo = harness.Demo(workdir, **kw)
        self.addCleanup(demo.finish)
        win = demo.window()
        self.assertIsNotNone(win, "no window appeared; stderr: %r" % demo.stderr())
        return demo, win

    def test_window_keys_and_escape(self):
        demo, win = self.start(harness.make_workdir())
        self.assertEqual(window_geometry(win), ("marrowby &c &c", 1280, 720))
        time.sleep(0.3 * harness.SLOWDOWN)  # the keyboard callback is registered by the first tick
        for key in ("a", "A", "q", "space", "Return"):
            demo.key(win, key)
        time.sleep(0.5 * harness.SLOWDOWN)
        self.assertIsNone(demo.proc.poll(), "a key other than Escape ended the demo")
        self.assertEqual(harness.escape(demo, win), 0)
        self.assertEqual(demo.stderr(), b"")

    def test_closing_the_window_ends_the_demo(self):
        demo, win = self.start(harness.make_workdir())
        time.sleep(0.3 * harness.SLOWDOWN)
        demo.close_window(win)
        self.assertEqual(demo.wait(10), 0)
        self.assertEqual(demo.stderr(), b"")

    def test_audio_failures_are_silent(self):
        cases = [
            ("music file missing", dict(omit=("marrowby.ogg",)), "dummy"),
            ("music file not Ogg", dict(replace={"marrowby.ogg": b"not music"}), "dummy"),
            ("no such audio driver", {}, "no-such-driver"),
            ("default driver, no sound card", {}, None),
        ]
        for name, files, audio in cases:
            with self.subTest(name):
                win, status, err = harness.run_until_escape(harness.make_workdir(**files),
                                                            settle=0.5, audio=audio)
                self.assertIsNotNone(win, "no window; stderr: %r" % err)
                self.assertEqual(status, 0)
                self.assertEqual(err, b"")

    def test_ctrl_c_and_kill_end_the_demo(self):
        # Each signal ends the demo by its default action, whether the music plays,
        # has no file, or has no driver: starting the audio must not swallow them.
        harness.linux_only("death by a POSIX signal (the Windows group checks Ctrl+C)")
        for sig in (signal.SIGINT, signal.SIGTERM):
            for name, files, audio in [("music playing", {}, "dummy"),
                                       ("no music file", dict(omit=("marrowby.ogg",)), "dummy"),
                                       ("no audio driver", {}, "no-such-driver")]:
                with self.subTest(signal=sig.name, case=name):
                    demo, win = self.start(harness.make_workdir(**files), audio=audio)
                    time.sleep(0.3 * harness.SLOWDOWN)
                    demo.proc.send_signal(sig)
                    self.assertEqual(demo.wait(5), -sig, "the demo did not end by the signal")
                    self.assertEqual(demo.stderr(), b"")

    def test_music_plays_and_loops(self):
        work = harness.make_workdir(omit=("marrowby.ogg",))
        make_tone(os.path.join(work, "marrowby.ogg"), 1.0)
        raw = os.path.join(work, "out.raw")
        demo, win = self.start(work, audio="disk", env={"SDL_DISKAUDIOFILE": raw})
        # The disk driver writes at about real time: 3 s of output hold the 1 s
        # tone at least twice over.
        deadline = time.monotonic() + 20 * harness.SLOWDOWN
        while time.monotonic() < deadline:
            if os.path.exists(raw) and os.path.getsize(raw) >= 3 * 44100 * 4:
                break
            time.sleep(0.1)
        self.assertEqual(harness.escape(demo, win), 0)
        with open(raw, "rb") as f:
            data = f.read()
        frames = len(data) // 4
        self.assertGreaterEqual(frames, 3 * 44100, "less than 3 s of audio written")
        left = struct.unpack("<%dh" % (frames * 2), data[:frames * 4])[0::2]
        # Loud in every 100 ms window after the start-up (a stopped or unlooped
        # stream would fall silent after the first second).
        start = next(i for i, v in enumerate(left) if abs(v) > 1000)
        win_len = 4410
        for w in range(start, start + 3 * 44100 - win_len, win_len):
            peak = max(abs(v) for v in left[w:w + win_len])
            self.assertGreater(peak, 1000, "silence at %.2f s" % (w / 44100))


if __name__ == "__main__":
    unittest.main()
