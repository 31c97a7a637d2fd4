// The capture tool: draws the demo offscreen with its own start-up and frame code,
// each output frame at the tick its time falls in, and hands the pictures to ffmpeg
// (a video with the music looped under it, or a short animated picture) or writes them raw.
#include <GL/glew.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <getopt.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/app.h"
#include "capture.h"
#include "offscreen.h"
#include "render/render.h"

extern char** environ;

namespace {

// The window's size: the video shows exactly what the window would.
constexpr int kWidth = kWindowWidth;
constexpr int kHeight = kWindowHeight;
constexpr long kMaxFrames = 100000000;
const char* const kDataFiles[] = {"simple.vert",  "simple.frag",  "texture.tga", "texture2.tga",
                                  "texture3.tga", "texture4.tga", "marrowby.ogg"};
const char* const kMusicFile = "marrowby.ogg";

struct Options {
    std::string output;
    std::string raw;
    std::string data = "data";
    FrameRate rate{0, 0};
    long micros = 0;
    long frames = 0;
    long pictureWidth = 640;
};

void printUsage(FILE* to) {
    std::fprintf(
        to,
        "usage: capture [options]\n"
        "Draws the demo frame by frame at exactly the ticks each frame's time falls in\n"
        "(one tick every 15 ms), however long drawing takes, and writes a video with\n"
        "the music looped under it, a short animated picture, or the raw frames.\n"
        "\n"
        "  -o, --output PATH     what to write, chosen by its extension (default marrowby.mp4):\n"
        "                        .mp4 H.264 and AAC, .webm VP9 and Opus (1280x720, with music);\n"
        "                        .webp or .gif a silent looping picture, scaled down\n"
        "  -d, --duration SECS   length, e.g. 30 or 2.5 (default 60; 4 for a picture)\n"
        "  -n, --frames N        length in frames, instead of --duration\n"
        "  -r, --fps RATE        frames per second, whole or a fraction such as 200/9\n"
        "                        (default 60; 200/9 for a picture, every third tick)\n"
        "  -w, --width W         width of a picture (default 640)\n"
        "      --data DIR        the folder holding the demo's seven data files (default data)\n"
        "      --raw PATH        write the frames instead, raw: 1280x720 8-bit RGB, top row\n"
        "                        first, one after another (- for standard output)\n"
        "  -h, --help            show this help\n"
        "\n"
        "Needs ffmpeg on PATH for everything but --raw. Progress goes to standard error.\n");
}

int fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("capture: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    return 1;
}

[[noreturn]] void usageError(const char* format, const char* what) {
    std::fputs("capture: ", stderr);
    std::fprintf(stderr, format, what);
    std::fputs("\ntry 'capture --help'\n", stderr);
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    static const option longOptions[] = {{"output", required_argument, nullptr, 'o'},
                                         {"duration", required_argument, nullptr, 'd'},
                                         {"frames", required_argument, nullptr, 'n'},
                                         {"fps", required_argument, nullptr, 'r'},
                                         {"width", required_argument, nullptr, 'w'},
                                         {"data", required_argument, nullptr, 'D'},
                                         {"raw", required_argument, nullptr, 'R'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    Options o;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":o:d:n:r:w:h", longOptions, nullptr)) != -1) {
        switch (c) {
        case 'o':
            o.output = optarg;
            break;
        case 'd':
            if (!parseSeconds(optarg, &o.micros)) {
                usageError("not a duration in seconds (above 0, at most a day): %s", optarg);
            }
            break;
        case 'n':
            if (!parseCount(optarg, kMaxFrames, &o.frames)) {
                usageError("not a frame count: %s", optarg);
            }
            break;
        case 'r':
            if (!parseFrameRate(optarg, &o.rate)) {
                usageError("not a frame rate (such as 60 or 200/9, at most 1000): %s", optarg);
            }
            break;
        case 'w':
            if (!parseCount(optarg, kWidth, &o.pictureWidth)) {
                usageError("not a width from 1 to 1280: %s", optarg);
            }
            break;
        case 'D':
            o.data = optarg;
            break;
        case 'R':
            o.raw = optarg;
            break;
        case 'h':
            printUsage(stdout);
            std::exit(0);
        case ':':
            usageError("%s needs a value", argv[optind - 1]);
        default:
            usageError("unknown option: %s", argv[optind - 1]);
        }
    }
    if (optind < argc) {
        usageError("unexpected argument: %s", argv[optind]);
    }
    if (o.micros != 0 && o.frames != 0) {
        usageError("%s", "give --duration or --frames, not both");
    }
    if (!o.raw.empty() && !o.output.empty()) {
        usageError("%s", "give --output or --raw, not both");
    }
    return o;
}

std::string findOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        std::string dir = dirs.substr(start, end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return "";
}

// Every file the capture opens must be there and readable before anything starts:
// the program's start-up ends silently on an unreadable shader file.
bool checkDataFiles(const std::string& dir, bool withMusic) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fail("no data folder %s (give the folder with the demo's data files with --data DIR)",
             dir.c_str());
        return false;
    }
    bool ok = true;
    for (const char* name : kDataFiles) {
        if (!withMusic && std::strcmp(name, kMusicFile) == 0) {
            continue;
        }
        const std::string path = dir + "/" + name;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            fail("cannot read data file %s: %s", path.c_str(),
                 f ? "not a regular file" : std::strerror(errno));
            ok = false;
        }
        if (f) {
            std::fclose(f);
        }
    }
    return ok;
}

// The folder a path names a file in must exist: ffmpeg would only say so after
// the first frame has been drawn.
bool folderExists(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string absolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

// Starts ffmpeg with a pipe on its standard input; returns its pid and the pipe's
// writing end, or -1.
pid_t startFfmpeg(const std::string& program, const std::vector<std::string>& args, int* fd) {
    int p[2];
    if (pipe(p) != 0) {
        return -1;
    }
    fcntl(p[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, p[0], 0);
    posix_spawn_file_actions_addclose(&actions, p[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid;
    const int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(p[0]);
    if (err != 0) {
        close(p[1]);
        errno = err;
        return -1;
    }
    *fd = p[1];
    return pid;
}

bool writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

void showProgress(long done, long frames, FrameRate rate, double seconds) {
    const double videoSeconds = double(done) * double(rate.den) / double(rate.num);
    const double totalSeconds = double(frames) * double(rate.den) / double(rate.num);
    std::fprintf(stderr, "\rcapture: frame %ld of %ld, %.2f s of %.2f s, %.1f frames/s ", done,
                 frames, videoSeconds, totalSeconds, seconds > 0 ? double(done) / seconds : 0.0);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
    Options o = parseOptions(argc, argv);
    const bool raw = !o.raw.empty();
    if (!raw && o.output.empty()) {
        o.output = "marrowby.mp4";
    }
    const OutputKind kind = raw ? OutputKind::Unknown : outputKindOf(o.output);
    if (!raw && kind == OutputKind::Unknown) {
        return fail("cannot tell what to write from the name %s: end it in .mp4 or .webm for "
                    "a video, .webp or .gif for an animated picture",
                    o.output.c_str());
    }
    const bool picture = kind == OutputKind::WebpPicture || kind == OutputKind::GifPicture;
    if (o.rate.num == 0) {
        o.rate = picture ? FrameRate{200, 9} : FrameRate{60, 1};
    }
    if (o.frames == 0) {
        o.frames = frameCountFor(o.micros ? o.micros : (picture ? 4 : 60) * 1000000L, o.rate);
    }

    if (!checkDataFiles(o.data, isVideo(kind))) {
        return 1;
    }
    std::string ffmpeg;
    if (!raw && !folderExists(o.output)) {
        return fail("cannot write %s: no such folder", o.output.c_str());
    }
    if (!raw) {
        ffmpeg = findOnPath("ffmpeg");
        if (ffmpeg.empty()) {
            return fail("ffmpeg not found on PATH: it encodes the %s (Debian package ffmpeg), "
                        "or use --raw",
                        picture ? "picture" : "video");
        }
    }

    int out = -1;
    if (raw && o.raw == "-") {
        out = STDOUT_FILENO;
    } else if (raw) {
        out = open(o.raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0) {
            return fail("cannot write %s: %s", o.raw.c_str(), std::strerror(errno));
        }
    }

    // Start-up runs in the data folder, as the program does; paths given on the
    // command line stay relative to where the tool was started.
    const std::string dataDir = absolutePath(o.data);
    if (!createOffscreenContext()) {
        return fail("no OpenGL context could be made (EGL, Mesa's surfaceless platform)");
    }
    createOffscreenFramebuffer(kWidth, kHeight);
    if (!loadDemoResources(dataDir.c_str())) {
        return fail("cannot run start-up in %s and come back", dataDir.c_str());
    }
    // The program goes on without an image it cannot use; a capture would record
    // the gap, so it stops instead (the loader has said why).
    const GLuint textures[] = {renderResources.texture1, renderResources.texture2,
                               renderResources.texture3, renderResources.texture4};
    for (int i = 0; i < 4; ++i) {
        if (textures[i] == 0) {
            return fail("%s/%s could not be used as a texture", o.data.c_str(), kDataFiles[2 + i]);
        }
    }

    std::signal(SIGPIPE, SIG_IGN);
    pid_t pid = -1;
    if (!raw) {
        const std::vector<std::string> args =
            ffmpegArguments(kind, o.output, kWidth, kHeight, o.rate, o.frames,
                            dataDir + "/" + kMusicFile, int(o.pictureWidth));
        pid = startFfmpeg(ffmpeg, args, &out);
        if (pid < 0) {
            return fail("cannot start %s: %s", ffmpeg.c_str(), std::strerror(errno));
        }
    }

    // The clocks move only by the program's own tick step, one tick at a time, from
    // 0: each frame's clocks are those the running program has after that many ticks.
    spinClock = tiltClock = scrollClock = 0;
    long tick = 0;
    bool written = true;
    int writeErrno = 0;
    const auto started = std::chrono::steady_clock::now();
    auto shown = started;
    for (long f = 0; f < o.frames && written; ++f) {
        for (const long target = tickForFrame(f, o.rate); tick < target; ++tick) {
            advanceClocks();
        }
        drawFrame();
        const std::vector<unsigned char> rgb = readFramebufferRgb(kWidth, kHeight);
        written = writeAll(out, rgb.data(), rgb.size());
        writeErrno = written ? 0 : errno;
        const auto now = std::chrono::steady_clock::now();
        if (now - shown >= std::chrono::milliseconds(250) || f + 1 == o.frames) {
            showProgress(f + 1, o.frames, o.rate,
                         std::chrono::duration<double>(now - started).count());
            shown = now;
        }
    }
    if (shown != started) {
        std::fputc('\n', stderr);
    }
    if (out != STDOUT_FILENO && close(out) != 0 && written) {
        written = false;
        writeErrno = errno;
    }
    if (pid < 0) {
        return written ? 0
                       : fail("writing %s failed: %s", o.raw.c_str(), std::strerror(writeErrno));
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return fail("ffmpeg failed making %s (%s %d)", o.output.c_str(),
                    WIFEXITED(status) ? "exit status" : "signal",
                    WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    }
    if (!written) {
        return fail("ffmpeg stopped reading before the last frame");
    }
    return 0;
}
