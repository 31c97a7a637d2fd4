// Test-only hooks for the browser tests, linked into the test build alone: a frame's
// matrices as WebAssembly computes them, and one frame drawn at given clocks.
#include <GL/glew.h>
#include <emscripten/emscripten.h>

#include "app/app.h"
#include "render/render.h"

extern "C" {

// Every modelview and normalview of the frame after `ticks` ticks from 0, in draw
// order, then the projection. The clocks are stepped as the tick steps them, on
// a copy: the running demo's clocks are left alone.
EMSCRIPTEN_KEEPALIVE const Mat4* webTestFrameMatrices(int ticks) {
    static Mat4 out[2 * kFrameDraws + 1];
    const Clocks c = clocksAtTick(ticks);
    Mat4 mv[kFrameDraws];
    frameModelviews(c.spin, c.tilt, c.scroll, mv);
    for (int d = 0; d < kFrameDraws; ++d) {
        out[2 * d] = mv[d];
        out[2 * d + 1] = normalviewOf(mv[d]);
    }
    out[2 * kFrameDraws] = frameProjection();
    return out;
}

// Draws one frame at the given clocks into the canvas and reads it back as GL
// gives it (RGBA, bottom row first); the demo's own clocks are put back.
EMSCRIPTEN_KEEPALIVE const unsigned char* webTestDrawAt(float spin, float tilt, float scroll) {
    static unsigned char rgba[kWindowWidth * kWindowHeight * 4];
    const float saved[3] = {spinClock, tiltClock, scrollClock};
    spinClock = spin;
    tiltClock = tilt;
    scrollClock = scroll;
    drawFrame();
    glReadPixels(0, 0, kWindowWidth, kWindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    spinClock = saved[0];
    tiltClock = saved[1];
    scrollClock = saved[2];
    return rgba;
}
}
