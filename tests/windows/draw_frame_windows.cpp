// Draws the reference frame (spin 0.7, tilt 0.3, scroll 3.1) with the program's own
// start-up and frame code and writes its pixels raw, RGB, top row first: libpng is
// not built for Windows, so the comparison with the reference runs in Python.
//   draw_frame DATA_DIR OUT.rgb
#include <cstdio>

#include "app/app.h"
#include "offscreen.h"
#include "render/render.h"

int main(int argc, char** argv) {
    if (argc != 3 || !createOffscreenContext()) {
        std::fprintf(stderr, "usage: draw_frame DATA_DIR OUT.rgb (with a GL context)\n");
        return 2;
    }
    createOffscreenFramebuffer(kWindowWidth, kWindowHeight);
    if (!loadDemoResources(argv[1])) {
        return 1;
    }
    spinClock = 0.7f;
    tiltClock = 0.3f;
    scrollClock = 3.1f;
    drawFrame();
    const std::vector<unsigned char> rgb = readFramebufferRgb(kWindowWidth, kWindowHeight);
    std::FILE* out = std::fopen(argv[2], "wb");
    const bool written = out && std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    return written && std::fclose(out) == 0 && glGetError() == GL_NO_ERROR ? 0 : 1;
}
