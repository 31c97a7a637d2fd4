// The frame benchmark: the demo's frame, the same 205 draws with the cheapest
// shader pair that keeps every input active (the floor), and an empty frame,
// timed back to back at 1280x720 with the clocks stepping one tick per frame.
//
// The frames go to a real GLUT window, made by the program's own createWindow
// (run it under Xvfb). The demo pays for its swap, a copy of the back buffer to
// the X server, inside every 15 ms tick, so the swap belongs in each figure and
// the empty frame is a true clear and swap. --offscreen draws into a framebuffer
// object on a surfaceless EGL context instead, for a machine without X; there is
// no swap there, and the glFinish that ends every frame stands in for it.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "app/app.h"
#include "assets/assets.h"
#include "offscreen.h"
#include "render/render.h"

namespace {

// Position transform, texture coordinate, one texture sample: nothing else. The
// normal and normalview only feed gl_PointSize, which quads never read: they stay
// active, so the frame's attribute and uniform calls on them raise no error, at
// the cost of one vector product per vertex (820 vertices a frame, against
// millions of fragments).
const char* const kFloorVertex = R"(#version 110
attribute vec4 vertex;
attribute vec3 vnormal;
attribute vec2 texcoords;
uniform mat4 modelview;
uniform mat4 normalview;
uniform mat4 projection;
varying vec2 uv;
void main() {
    gl_Position = vertex * modelview * projection;
    gl_PointSize = 1.0 + (vec4(vnormal, 0.0) * normalview).z;
    uv = texcoords;
}
)";

const char* const kFloorFragment = R"(#version 110
uniform sampler2D texture;
varying vec2 uv;
void main() {
    gl_FragColor = texture2D(texture, uv);
}
)";

struct Options {
    int frames = 500;
    int warmup = 20;
    int block = 10;
    bool offscreen = false;
    bool callgrind = false;
    bool machine = false;
    std::string dataDir = MARROWBY_DATA_DIR;
};

// One case: its shader resources, its own clocks and its timings.
struct Case {
    const char* name = "";
    bool empty = false;
    RenderResources resources{};
    float spin = 0, tilt = 0, scroll = 0;
    std::vector<double> ms;
    std::vector<double> cpuMs; // all threads of the process: what the frame costs the machine
    long errorFrames = 0;
    GLenum firstError = GL_NO_ERROR;
};

Case makeCase(const char* name, bool empty, const RenderResources& resources) {
    Case c;
    c.name = name;
    c.empty = empty;
    c.resources = resources;
    return c;
}

double processCpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool gWindow = false;
bool gExposed = false;

void onExpose() {
    gExposed = true;
}

void usage() {
    std::fprintf(stderr, "usage: bench_frame [--frames N] [--warmup N] [--block N] [--offscreen]"
                         " [--data DIR] [--callgrind] [--machine]\n");
    std::exit(2);
}

bool parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto number = [&](int* out) {
            if (i + 1 >= argc) {
                usage();
            }
            *out = std::atoi(argv[++i]);
            if (*out < 1) {
                usage();
            }
        };
        if (a == "--frames") {
            number(&o->frames);
        } else if (a == "--warmup") {
            number(&o->warmup);
        } else if (a == "--block") {
            number(&o->block);
        } else if (a == "--offscreen") {
            o->offscreen = true;
        } else if (a == "--callgrind") {
            o->callgrind = true;
        } else if (a == "--machine") {
            o->machine = true;
        } else if (a == "--data" && i + 1 < argc) {
            o->dataDir = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

GLuint compile(GLenum type, const char* source) {
    const GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[4096] = "";
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        std::fprintf(stderr, "floor shader does not compile:\n%s\n", log);
        std::exit(1);
    }
    return s;
}

// The floor program with the seven inputs looked up as start-up looks them up.
RenderResources floorResources(const RenderResources& demo) {
    RenderResources r = demo;
    const GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, kFloorVertex));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, kFloorFragment));
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        std::fprintf(stderr, "floor program does not link\n");
        std::exit(1);
    }
    r.shader = lookUpShaderInputs(program);
    const ShaderProgram& s = r.shader;
    const GLint locations[] = {s.attribVertex,     s.attribNormal,      s.attribTexcoords,
                               s.uniformModelview, s.uniformNormalview, s.uniformProjection,
                               s.uniformTexture};
    for (GLint l : locations) {
        if (l < 0) {
            // An input the compiler dropped would make this a different frame.
            std::fprintf(stderr, "the floor program lost one of its seven inputs\n");
            std::exit(1);
        }
    }
    return r;
}

void swapOrNothing() {
    if (gWindow) {
        glutSwapBuffers();
    }
}

// One frame of a case, advancing that case's own clocks first: each case sees
// the same sequence of clock values whatever the interleaving.
void drawCaseFrame(Case& c) {
    const Clocks next = nextTick({c.spin, c.tilt, c.scroll});
    c.spin = spinClock = next.spin;
    c.tilt = tiltClock = next.tilt;
    c.scroll = scrollClock = next.scroll;
    if (c.empty) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else {
        renderResources = c.resources;
        drawFrame();
    }
    swapOrNothing();
    glFinish();
}

void checkError(Case& c) {
    const GLenum e = glGetError();
    if (e != GL_NO_ERROR) {
        if (c.errorFrames++ == 0) {
            c.firstError = e;
        }
        while (glGetError() != GL_NO_ERROR) {
        }
    }
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    // Nearest rank: the smallest value with at least p of the samples at or below it.
    size_t rank = size_t(std::ceil(p * double(v.size())));
    return v[std::max<size_t>(rank, 1) - 1];
}

void setUp(int argc, char** argv, const Options& o) {
    if (o.offscreen) {
        if (!createOffscreenContext()) {
            std::fprintf(stderr, "no offscreen GL context\n");
            std::exit(1);
        }
        createOffscreenFramebuffer(kWindowWidth, kWindowHeight);
    } else {
        createWindow(&argc, argv);
        gWindow = true;
        glutDisplayFunc(onExpose);
        // The window shows once the server has mapped it and asked for a repaint.
        for (int i = 0; i < 1000 && !gExposed; ++i) {
            glutMainLoopEvent();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    loadDemoResources(o.dataDir.c_str());
    if (glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "start-up left a GL error\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, &o)) {
        usage();
    }
    setUp(argc, argv, o);
    const RenderResources demo = renderResources;

    std::vector<Case> cases;
    cases.push_back(makeCase("(a) demo frame", false, demo));
    if (!o.callgrind) {
        cases.push_back(makeCase("(b) floor", false, floorResources(demo)));
        cases.push_back(makeCase("(c) empty frame", true, demo));
    }

    // Shader variants are compiled on a program's first draws: keep them out.
    for (Case& c : cases) {
        for (int f = 0; f < o.warmup; ++f) {
            drawCaseFrame(c);
            checkError(c);
        }
    }
    if (o.callgrind) {
        // Only the measured frames are counted, in every thread of the process.
        CALLGRIND_START_INSTRUMENTATION;
        for (int f = 0; f < o.frames; ++f) {
            drawCaseFrame(cases[0]);
        }
        CALLGRIND_STOP_INSTRUMENTATION;
        checkError(cases[0]);
        std::printf("callgrind frames %d\n", o.frames);
        return cases[0].errorFrames == 0 ? 0 : 1;
    }

    // Blocks of frames in turn, so that a change in the machine's load falls on
    // every case alike and the ratios stay fair.
    using Clock = std::chrono::steady_clock;
    for (int done = 0; done < o.frames; done += o.block) {
        const int n = std::min(o.block, o.frames - done);
        for (Case& c : cases) {
            for (int f = 0; f < n; ++f) {
                const double cpu0 = processCpuMs();
                const auto t0 = Clock::now();
                drawCaseFrame(c);
                const auto t1 = Clock::now();
                c.cpuMs.push_back(processCpuMs() - cpu0);
                c.ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
                checkError(c);
            }
        }
    }

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    double med[3], p99[3], cpu[3];
    for (int i = 0; i < 3; ++i) {
        med[i] = percentile(cases[size_t(i)].ms, 0.5);
        p99[i] = percentile(cases[size_t(i)].ms, 0.99);
        cpu[i] = percentile(cases[size_t(i)].cpuMs, 0.5);
    }
    long errors = 0;
    for (const Case& c : cases) {
        errors += c.errorFrames;
    }
    if (o.machine) {
        std::printf("renderer=%s\nmode=%s\nframes=%d\n", renderer ? renderer : "?",
                    o.offscreen ? "offscreen" : "window", o.frames);
        const char* keys[] = {"a", "b", "c"};
        for (int i = 0; i < 3; ++i) {
            std::printf("%s_median=%.4f\n%s_p99=%.4f\n%s_cpu_median=%.4f\n%s_error_frames=%ld\n",
                        keys[i], med[i], keys[i], p99[i], keys[i], cpu[i], keys[i],
                        cases[size_t(i)].errorFrames);
        }
    } else {
        std::printf("frame benchmark: %dx%d, %s, %d frames per case in blocks of %d\n",
                    kWindowWidth, kWindowHeight,
                    o.offscreen ? "offscreen FBO (glFinish stands in for the swap)"
                                : "GLUT window (clear ... swap, glFinish)",
                    o.frames, o.block);
        std::printf("renderer: %s\n", renderer ? renderer : "?");
        std::printf("%-18s %10s %10s %12s   %s\n", "case", "median ms", "p99 ms", "CPU ms (med)",
                    "GL errors");
        for (int i = 0; i < 3; ++i) {
            const Case& c = cases[size_t(i)];
            char err[64] = "none";
            if (c.errorFrames) {
                std::snprintf(err, sizeof err, "%ld frames, first 0x%04x", c.errorFrames,
                              c.firstError);
            }
            std::printf("%-18s %10.3f %10.3f %12.3f   %s\n", c.name, med[i], p99[i], cpu[i], err);
        }
        std::printf("a/b %.3f (p99 %.3f)   a/c %.2f   draws alone (a-c)/(b-c) %.3f\n",
                    med[0] / med[1], p99[0] / p99[1], med[0] / med[2],
                    (med[0] - med[2]) / (med[1] - med[2]));
    }
    return errors == 0 ? 0 : 1;
}
