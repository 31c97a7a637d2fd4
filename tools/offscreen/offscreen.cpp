// The offscreen framebuffer, start-up and read-back behind the picture test, the
// frame benchmark and the capture tool; the context is each platform's own file.
#include "offscreen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/app.h"

GLuint createOffscreenFramebuffer(int w, int h) {
    GLuint fbo, colour, depth;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glViewport(0, 0, w, h);
    return fbo;
}

bool loadDemoResources(const char* dataDir) {
    // The loaders open bare file names, as the program does in its working folder.
    char* previous = getcwd(nullptr, 0);
    if (!previous || chdir(dataDir) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", dataDir);
        std::free(previous);
        return false;
    }
    createGlResources();
    const bool back = chdir(previous) == 0;
    std::free(previous);
    return back;
}

void setClocksToTick(long n) {
    const Clocks c = clocksAtTick(n);
    spinClock = c.spin;
    tiltClock = c.tilt;
    scrollClock = c.scroll;
}

std::vector<unsigned char> readFramebufferRgb(int w, int h) {
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    // GL reads bottom row first; pictures are stored top row first.
    const size_t row = size_t(w) * 3;
    for (int y = 0; y < h / 2; ++y) {
        std::swap_ranges(rgb.begin() + y * row, rgb.begin() + (y + 1) * row,
                         rgb.begin() + (h - 1 - y) * row);
    }
    return rgb;
}
