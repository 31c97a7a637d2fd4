// The capture plan: exact integer arithmetic from frames to ticks and lengths, the
// parsing of rates and durations, and the ffmpeg command for each kind of output.
// Everything is whole numbers so that a frame exactly on a tick's edge lands on it.
#include "capture.h"
#include "app/app.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

static_assert(sizeof(long) >= 8, "frame and tick arithmetic needs 64-bit longs");

namespace {

constexpr long kTickMillis = kTickMilliseconds;
constexpr long kMicrosPerSecond = 1000000;
constexpr long kMaxRatePart = 1000000;
constexpr long kMaxFramesPerSecond = 1000;
constexpr long kMaxMicros = 86400 * kMicrosPerSecond;

// floor(a * b / c) for a >= 0, b >= 0, c > 0, without forming a * b: a = q c + r
// makes it q b + floor(r b / c), and r b < c b stays small for the sizes allowed here.
long mulDivFloor(long a, long b, long c) {
    return (a / c) * b + (a % c) * b / c;
}

// a * b / c rounded to the nearest whole number, halves up.
long mulDivRound(long a, long b, long c) {
    return (a / c) * b + (2 * (a % c) * b + c) / (2 * c);
}

// Reads digits into *value while it stays within max; returns the first non-digit.
const char* readWhole(const char* p, long max, long* value, int* digits) {
    *value = 0;
    *digits = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        *value = *value * 10 + (*p - '0');
        if (*value > max) {
            return nullptr;
        }
        ++*digits;
        ++p;
    }
    return p;
}

bool endsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() > n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

} // namespace

bool parseFrameRate(const char* text, FrameRate* rate) {
    long num = 0, den = 1;
    int digits = 0;
    const char* p = readWhole(text, kMaxRatePart, &num, &digits);
    if (!p || digits == 0) {
        return false;
    }
    if (*p == '/') {
        p = readWhole(p + 1, kMaxRatePart, &den, &digits);
        if (!p || digits == 0) {
            return false;
        }
    }
    if (*p != '\0' || num == 0 || den == 0 || num > kMaxFramesPerSecond * den) {
        return false;
    }
    rate->num = num;
    rate->den = den;
    return true;
}

bool parseSeconds(const char* text, long* micros) {
    long whole = 0, fraction = 0;
    int wholeDigits = 0, fractionDigits = 0;
    const char* p = readWhole(text, kMaxMicros / kMicrosPerSecond, &whole, &wholeDigits);
    if (!p) {
        return false;
    }
    if (*p == '.') {
        p = readWhole(p + 1, kMicrosPerSecond - 1, &fraction, &fractionDigits);
        if (!p || fractionDigits > 6) {
            return false;
        }
    }
    if (*p != '\0' || wholeDigits + fractionDigits == 0) {
        return false;
    }
    for (int d = fractionDigits; d < 6; ++d) {
        fraction *= 10;
    }
    const long total = whole * kMicrosPerSecond + fraction;
    if (total == 0 || total > kMaxMicros) {
        return false;
    }
    *micros = total;
    return true;
}

bool parseCount(const char* text, long max, long* value) {
    long v = 0;
    int digits = 0;
    const char* p = readWhole(text, max, &v, &digits);
    if (!p || digits == 0 || *p != '\0' || v == 0) {
        return false;
    }
    *value = v;
    return true;
}

long frameCountFor(long micros, FrameRate rate) {
    const long frames = mulDivRound(micros, rate.num, rate.den * kMicrosPerSecond);
    return frames < 1 ? 1 : frames;
}

long tickForFrame(long frame, FrameRate rate) {
    // f / rate seconds hold f * den * 1000 / (num * 15) ticks of 15 ms.
    return mulDivFloor(frame, rate.den * 1000, rate.num * kTickMillis);
}

long microsForFrames(long frames, FrameRate rate) {
    return mulDivRound(frames, rate.den * kMicrosPerSecond, rate.num);
}

std::string secondsText(long micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld.%06ld", micros / kMicrosPerSecond,
                  micros % kMicrosPerSecond);
    return text;
}

OutputKind outputKindOf(const std::string& path) {
    if (endsWith(path, ".mp4")) {
        return OutputKind::H264Video;
    }
    if (endsWith(path, ".webm")) {
        return OutputKind::Vp9Video;
    }
    if (endsWith(path, ".webp")) {
        return OutputKind::WebpPicture;
    }
    if (endsWith(path, ".gif")) {
        return OutputKind::GifPicture;
    }
    return OutputKind::Unknown;
}

bool isVideo(OutputKind kind) {
    return kind == OutputKind::H264Video || kind == OutputKind::Vp9Video;
}

std::vector<std::string> ffmpegArguments(OutputKind kind, const std::string& path, int w, int h,
                                         FrameRate rate, long frames, const std::string& music,
                                         int pictureWidth) {
    std::vector<std::string> a = {
        "ffmpeg",      "-hide_banner",
        "-loglevel",   "error",
        "-nostats",    "-y",
        "-f",          "rawvideo",
        "-pix_fmt",    "rgb24",
        "-video_size", std::to_string(w) + "x" + std::to_string(h),
        "-framerate",  std::to_string(rate.num) + "/" + std::to_string(rate.den),
        "-i",          "-"};
    const std::string scale = "scale=" + std::to_string(pictureWidth) + ":-1:flags=lanczos";
    switch (kind) {
    case OutputKind::H264Video:
    case OutputKind::Vp9Video:
        // The music repeats without end; the output stops with the last frame.
        a.insert(a.end(),
                 {"-stream_loop", "-1", "-i", music, "-map", "0:v:0", "-map", "1:a:0", "-t",
                  secondsText(microsForFrames(frames, rate)), "-pix_fmt", "yuv420p"});
        if (kind == OutputKind::H264Video) {
            a.insert(a.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-c:a",
                               "aac", "-b:a", "192k", "-movflags", "+faststart"});
        } else {
            a.insert(a.end(),
                     {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-row-mt", "1", "-deadline",
                      "good", "-cpu-used", "4", "-c:a", "libopus", "-b:a", "160k"});
        }
        break;
    case OutputKind::WebpPicture:
        // libwebp stores only what changed since the last frame, and in lossy mode
        // counts a pixel within a quality-dependent margin as unchanged: at 70 the
        // slowly darkening top quad kept stale 16-pixel blocks. 85 keeps the margin
        // small enough. Effort 4 encodes several times faster than 6.
        a.insert(a.end(), {"-vf", scale, "-c:v", "libwebp_anim", "-quality", "85",
                           "-compression_level", "4", "-loop", "0", "-an"});
        break;
    case OutputKind::GifPicture:
        // One palette for the whole loop, chosen from what changes between frames.
        a.insert(a.end(), {"-filter_complex",
                           scale + ",split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]"
                                   "paletteuse=dither=bayer:bayer_scale=4",
                           "-loop", "0", "-an"});
        break;
    case OutputKind::Unknown:
        break;
    }
    a.push_back(path);
    return a;
}
