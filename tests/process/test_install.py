"""The installed layout: `cmake --install` puts the program and its seven data files
under share/marrowby and a launcher in bin that starts it there, from anywhere."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402


class Install(unittest.TestCase):
    def test_launcher_runs_the_demo_in_its_data_folder(self):
        prefix = tempfile.mkdtemp(prefix="marrowby-prefix-")
        subprocess.run(["cmake", "--install", harness.BUILD, "--prefix", prefix],
                       check=True, stdout=subprocess.DEVNULL)
        share = os.path.join(prefix, "share", "marrowby")
        self.assertEqual(sorted(os.listdir(share)), sorted(harness.DATA_FILES + ["marrowby"]))
        for name in harness.DATA_FILES:
            with open(os.path.join(share, name), "rb") as a, \
                    open(os.path.join(harness.DATA, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)

        # Started from an unrelated directory, through a symlink to the launcher.
        elsewhere = tempfile.mkdtemp(prefix="marrowby-cwd-")
        link = os.path.join(elsewhere, "run-it")
        os.symlink(os.path.join(prefix, "bin", "marrowby"), link)
        env = dict(os.environ, SDL_AUDIODRIVER="dummy")
        err = open(os.path.join(elsewhere, "stderr"), "wb")
        proc = subprocess.Popen([link], cwd=elsewhere, env=env, stderr=err,
                                stdin=subprocess.DEVNULL)
        try:
            win = None
            deadline = time.monotonic() + 20
            while win is None and time.monotonic() < deadline and proc.poll() is None:
                r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                    str(proc.pid), "--name", "^marrowby &c &c$"],
                                   capture_output=True, text=True)
                win = (r.stdout.split() or [None])[0]
                time.sleep(0.05)
            self.assertIsNotNone(win, "the installed demo opened no window")
            # Escape until it ends: a key before the first tick is not seen.
            status = None
            for _ in range(10):
                subprocess.run(["xdotool", "key", "--window", win, "Escape"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    status = proc.wait(2)
                    break
                except subprocess.TimeoutExpired:
                    pass
            self.assertEqual(status, 0)
        finally:
            if proc.poll() is None:
                proc.kill()
            err.close()
        with open(os.path.join(elsewhere, "stderr"), "rb") as f:
            self.assertEqual(f.read(), b"", "the installed demo did not find its files")


if __name__ == "__main__":
    unittest.main()
