"""The running demo's sound, recorded through SDL's disk audio driver: the music
loops without a gap. SDL writes the mix at about real time, so the demo plays a
two-bar loop that the asset generator makes the same way as the real piece (whose
own seam is checked by decoding it): one pass, the loop point, and a second of the
next pass."""
import os
import struct
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402

GENERATOR = os.path.join(harness.BUILD, "tools", "gen-assets", "gen-assets")
BARS = 2
LOOP = BARS * 16 * 6125          # frames in the short loop
FRAME = 4                        # s16le stereo
RATE = 44100


def samples(raw):
    n = len(raw) // 2
    return struct.unpack("<%dh" % n, raw[:2 * n])


@unittest.skipUnless(os.path.exists(GENERATOR), "the asset generator is not built here")
class MusicLoop(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = harness.make_workdir(replace={"marrowby.ogg": None})
        subprocess.run([GENERATOR, "--loop-bars", str(BARS),
                        os.path.join(cls.workdir, "marrowby.ogg")], check=True, timeout=120)
        out = os.path.join(cls.workdir, "out.raw")
        demo = harness.Demo(cls.workdir, audio="disk", env={"SDL_DISKAUDIOFILE": out})
        try:
            win = demo.window()
            assert win, "the demo's window did not appear"
            # One pass, the loop point and a second more, with half a second to spare
            # for the start of playback.
            want = (LOOP + RATE * 3 // 2) * FRAME
            deadline = time.monotonic() + 40
            while time.monotonic() < deadline:
                if os.path.exists(out) and os.path.getsize(out) >= want:
                    break
                time.sleep(0.2)
            demo.key(win, "Escape")
            cls.status = demo.wait(10)
        finally:
            demo.finish()
        with open(out, "rb") as f:
            x = samples(f.read())
        cls.left, cls.right = x[0::2], x[1::2]
        # Playback starts where the first sound is: the mixer writes exact zeros before.
        cls.start = next((i for i in range(len(cls.left)) if cls.left[i] or cls.right[i]), None)

    def test_demo_ran_and_ended_normally(self):
        self.assertEqual(self.status, 0)

    def test_recording_reaches_past_the_loop_point(self):
        self.assertIsNotNone(self.start, "no sound was recorded")
        self.assertGreaterEqual(len(self.left), self.start + LOOP + RATE)

    def test_second_pass_starts_exactly_one_loop_after_the_first(self):
        # A gap, or samples lost at the loop point, would shift everything after it.
        s = self.start
        self.assertIsNotNone(s)
        worst = 0
        for k in range(RATE):
            for ch in (self.left, self.right):
                worst = max(worst, abs(ch[s + LOOP + k] - ch[s + k]))
        self.assertLessEqual(worst, 2, "the second pass differs from the first by %d" % worst)

    def test_no_silence_across_the_loop_point(self):
        s = self.start
        self.assertIsNotNone(s)
        longest = run = 0
        for i in range(s, s + LOOP + RATE):
            if abs(self.left[i]) <= 2 and abs(self.right[i]) <= 2:
                run += 1
                longest = max(longest, run)
            else:
                run = 0
        self.assertLessEqual(longest, RATE * 5 // 1000, "a silent stretch of %d frames" % longest)

    def test_join_is_no_rougher_than_the_music(self):
        s = self.start
        self.assertIsNotNone(s)
        for ch in (self.left, self.right):
            largest = max(abs(ch[i] - ch[i - 1]) for i in range(s + 1, s + LOOP))
            self.assertLessEqual(abs(ch[s + LOOP] - ch[s + LOOP - 1]), largest)


if __name__ == "__main__":
    unittest.main()
