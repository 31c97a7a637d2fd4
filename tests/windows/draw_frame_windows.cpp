// Draws the reference frame (spin 0.7, tilt 0.3, scroll 3.1) with the program's own
// start-up and frame code and writes its pixels raw, RGB, top row first: libpng is
// not built for Windows, so the comparison with the reference runs in Python.
//   draw_frame DATA_DIR OUT.rgb
#include <cstdio>

#include "app/state.h"
#include "offscreen.h"
#include "render/render.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_frame DATA_DIR OUT.rgb\n");
        return 2;
    }
    constexpr int kWidth = 1280;
    constexpr int kHeight = 720;
    if (!createOffscreenContext()) {
        std::fprintf(stderr, "draw_frame: no GL context\n");
        return 1;
    }
    createOffscreenFramebuffer(kWidth, kHeight);
    if (!loadDemoResources(argv[1])) {
        return 1;
    }
    spinClock = 0.7f;
    tiltClock = 0.3f;
    scrollClock = 3.1f;
    drawFrame();
    glFinish();
    const std::vector<unsigned char> rgb = readFramebufferRgb(kWidth, kHeight);
    if (glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "draw_frame: GL error\n");
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    const bool written = out && std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    if (!out || std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "draw_frame: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
