"""The capture tool as a process: raw frames that repeat exactly, videos that decode
with the asked length, rate and music, animated pictures, and the errors it reports
(missing data, missing or failing ffmpeg, bad options) with a non-zero status."""
import hashlib
import json
import os
import shutil
import stat
import struct
import subprocess
import tempfile
import unittest

BIN = os.environ["CAPTURE_BIN"]
DATA = os.environ["MARROWBY_DATA"]
DATA_FILES = ["simple.vert", "simple.frag", "texture.tga", "texture2.tga", "texture3.tga",
              "texture4.tga", "marrowby.ogg"]
FRAME_BYTES = 1280 * 720 * 3


def workdir(omit=(), replace=None):
    """A temporary folder holding data/ with the seven files, less `omit`, with
    `replace` mapping names to new contents."""
    d = tempfile.mkdtemp(prefix="capture-")
    os.mkdir(os.path.join(d, "data"))
    replace = replace or {}
    for name in DATA_FILES:
        target = os.path.join(d, "data", name)
        if name in replace:
            with open(target, "wb") as f:
                f.write(replace[name])
        elif name not in omit:
            shutil.copy(os.path.join(DATA, name), target)
    return d


def capture(cwd, *args, env=None):
    e = dict(os.environ)
    e.update(env or {})
    p = subprocess.run([BIN, *args], cwd=cwd, env=e, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=300)
    return p.returncode, p.stdout, p.stderr.decode(errors="replace")


def frame_hashes(raw):
    return [hashlib.sha256(raw[i:i + FRAME_BYTES]).hexdigest()
            for i in range(0, len(raw), FRAME_BYTES)]


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-count_frames", "-of", "json", "-show_entries",
         "stream=codec_type,codec_name,width,height,r_frame_rate,nb_read_frames:"
         "format=duration", path], stdout=subprocess.PIPE, check=True).stdout
    info = json.loads(out)
    streams = {s["codec_type"]: s for s in info["streams"]}
    return streams, float(info["format"]["duration"])


def fake_ffmpeg(folder, script):
    """A folder for PATH holding an `ffmpeg` that runs the given shell lines."""
    path = os.path.join(folder, "ffmpeg")
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + script + "\n")
    os.chmod(path, stat.S_IRWXU)
    return folder


class RawFrames(unittest.TestCase):
    def test_two_captures_of_the_same_ticks_are_identical(self):
        d = workdir()
        status, _, err = capture(d, "--raw", "a.rgb", "--frames", "12")
        self.assertEqual(status, 0, err)
        with open(os.path.join(d, "a.rgb"), "rb") as f:
            first = f.read()
        # The second one to standard output: the same bytes whichever way they go.
        status, second, err = capture(d, "--raw", "-", "--frames", "12")
        self.assertEqual(status, 0, err)
        self.assertEqual(len(first), 12 * FRAME_BYTES)
        self.assertEqual(frame_hashes(first), frame_hashes(second))
        # Every frame at 60 per second is at least one tick on: all differ.
        self.assertEqual(len(set(frame_hashes(first))), 12)

    def test_raw_frames_need_neither_the_music_nor_ffmpeg(self):
        d = workdir(omit=["marrowby.ogg"])
        status, out, err = capture(d, "--raw", "-", "--frames", "1",
                                   env={"PATH": tempfile.mkdtemp()})
        self.assertEqual(status, 0, err)
        self.assertEqual(len(out), FRAME_BYTES)


class Videos(unittest.TestCase):
    def check_video(self, name, args, codecs, rate, frames, seconds):
        d = workdir()
        status, _, err = capture(d, "-o", name, *args)
        self.assertEqual(status, 0, err)
        self.assertIn("frame %d of %d" % (frames, frames), err)  # the progress line
        streams, duration = probe(os.path.join(d, name))
        v, a = streams["video"], streams.get("audio")
        self.assertEqual(v["codec_name"], codecs[0])
        self.assertEqual((v["width"], v["height"]), (1280, 720))
        self.assertEqual(v["r_frame_rate"], rate)
        self.assertEqual(int(v["nb_read_frames"]), frames)
        self.assertIsNotNone(a, "no audio stream")
        self.assertEqual(a["codec_name"], codecs[1])
        self.assertAlmostEqual(duration, seconds, delta=0.03)

    def test_mp4_is_h264_and_aac_of_the_asked_length_and_rate(self):
        self.check_video("out.mp4", ["-d", "0.5", "-r", "30"], ("h264", "aac"), "30/1", 15, 0.5)

    def test_webm_is_vp9_and_opus(self):
        self.check_video("out.webm", ["-d", "0.4", "--fps", "25"], ("vp9", "opus"), "25/1", 10,
                         0.4)

    def test_the_music_loops_to_the_end_of_a_longer_video(self):
        d = workdir(omit=["marrowby.ogg"])
        subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=0.3", "-ac", "2", "-c:a", "libvorbis",
                        os.path.join(d, "data", "marrowby.ogg")], check=True)
        status, _, err = capture(d, "-o", "long.mp4", "-d", "1.2", "-r", "10")
        self.assertEqual(status, 0, err)
        pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", os.path.join(d, "long.mp4"),
                              "-map", "0:a", "-ac", "1", "-ar", "44100", "-f", "s16le", "-"],
                             stdout=subprocess.PIPE, check=True).stdout
        samples = struct.unpack("<%dh" % (len(pcm) // 2), pcm)
        self.assertAlmostEqual(len(samples) / 44100, 1.2, delta=0.05)
        # The tone sounds after its own 0.3 s have run out four times.
        tail = samples[int(0.95 * 44100):int(1.15 * 44100)]
        rms = (sum(s * s for s in tail) / len(tail)) ** 0.5
        self.assertGreater(rms, 1000)


class Pictures(unittest.TestCase):
    def test_webp_loops_forever_at_45_ms_a_frame(self):
        d = workdir()
        status, _, err = capture(d, "-o", "demo.webp", "-d", "0.5", "-w", "320")
        self.assertEqual(status, 0, err)
        with open(os.path.join(d, "demo.webp"), "rb") as f:
            data = f.read()
        self.assertEqual((data[:4], data[8:12]), (b"RIFF", b"WEBP"))
        chunks, i = [], 12
        while i + 8 <= len(data):
            tag, size = data[i:i + 4], struct.unpack("<I", data[i + 4:i + 8])[0]
            chunks.append((tag, data[i + 8:i + 8 + size]))
            i += 8 + size + (size & 1)
        canvas = [body for tag, body in chunks if tag == b"VP8X"][0]
        self.assertEqual((int.from_bytes(canvas[4:7], "little") + 1,
                          int.from_bytes(canvas[7:10], "little") + 1), (320, 180))
        anim = [body for tag, body in chunks if tag == b"ANIM"][0]
        self.assertEqual(struct.unpack("<H", anim[4:6])[0], 0)  # loop count: forever
        durations = [int.from_bytes(body[12:15], "little") for tag, body in chunks
                     if tag == b"ANMF"]
        # 0.5 s at 200/9 frames a second: 11 frames, every third tick.
        self.assertEqual(durations, [45] * 11)

    def test_gif(self):
        d = workdir()
        status, _, err = capture(d, "-o", "demo.gif", "--frames", "6", "-w", "240")
        self.assertEqual(status, 0, err)
        streams, _ = probe(os.path.join(d, "demo.gif"))
        self.assertEqual((streams["video"]["width"], streams["video"]["height"]), (240, 135))
        self.assertEqual(int(streams["video"]["nb_read_frames"]), 6)


class Errors(unittest.TestCase):
    def assertRefused(self, result, *words, status=1):
        code, _, err = result
        self.assertEqual(code, status, err)
        self.assertTrue(any(line.startswith("capture: ") for line in err.splitlines()), err)
        for w in words:
            self.assertIn(w, err)

    def test_each_missing_data_file_is_named(self):
        for name in DATA_FILES:
            d = workdir(omit=[name])
            self.assertRefused(capture(d, "-o", "out.mp4", "-d", "1"), name)
            self.assertFalse(os.path.exists(os.path.join(d, "out.mp4")))
        self.assertRefused(capture(tempfile.mkdtemp(), "-o", "out.mp4"), "--data")

    def test_an_image_the_program_would_skip_stops_the_capture(self):
        d = workdir(replace={"texture3.tga": b"not an image"})
        self.assertRefused(capture(d, "-o", "out.mp4", "-d", "1"), "texture3.tga")
        self.assertFalse(os.path.exists(os.path.join(d, "out.mp4")))

    def test_a_shader_that_does_not_compile_stops_the_capture(self):
        d = workdir(replace={"simple.frag": b"void main() { nonsense }\n"})
        code, _, err = capture(d, "--raw", "out.rgb", "-n", "1")
        self.assertNotEqual(code, 0)
        self.assertIn("Shader compile error: simple.frag", err)

    def test_missing_ffmpeg(self):
        d = workdir()
        self.assertRefused(capture(d, "-o", "out.mp4", env={"PATH": tempfile.mkdtemp()}),
                           "ffmpeg not found")

    def test_a_failing_ffmpeg_is_a_failure(self):
        d = workdir()
        for script in ["exit 3", "cat >/dev/null; exit 1", "kill -TERM $$"]:
            path = fake_ffmpeg(tempfile.mkdtemp(), script)
            self.assertRefused(capture(d, "-o", "out.mp4", "-n", "3", env={"PATH": path}),
                               "ffmpeg failed")
        # Reading only part of the frames and claiming success is no success either.
        path = fake_ffmpeg(tempfile.mkdtemp(), "head -c 100 >/dev/null; exit 0")
        self.assertRefused(capture(d, "-o", "out.mp4", "-n", "3", env={"PATH": path}),
                           "before the last frame")

    def test_an_output_that_cannot_be_written(self):
        d = workdir()
        self.assertRefused(capture(d, "-o", "no/such/folder/out.mp4"), "no/such/folder")
        self.assertRefused(capture(d, "--raw", "no/such/folder/out.rgb"), "no/such/folder")
        self.assertRefused(capture(d, "-o", "out.avi"), ".mp4", ".webp")

    def test_bad_options(self):
        d = workdir()
        for args in [["--fps", "0"], ["--fps", "sixty"], ["-r", "1001"], ["-d", "-1"],
                     ["-d", "0"], ["--duration", "1.1234567"], ["-n", "0"], ["-w", "1281"],
                     ["-d", "1", "-n", "5"], ["--raw", "-", "-o", "a.mp4"], ["--bogus"],
                     ["--fps"], ["extra"]]:
            code, _, err = capture(d, *args)
            self.assertEqual(code, 2, args)
            self.assertIn("capture --help", err, args)

    def test_help(self):
        code, out, _ = capture(tempfile.mkdtemp(), "--help")
        self.assertEqual(code, 0)
        self.assertIn(b"usage: capture", out)


if __name__ == "__main__":
    unittest.main()
