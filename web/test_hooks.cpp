// Test-only hooks for the browser tests, linked into the test build alone: the
// matrices' digest and the projection's bits computed here in WebAssembly, and one
// frame drawn at given clocks and read back.
#include <GL/glew.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <emscripten/emscripten.h>
#include <vector>

#include "app/app.h"
#include "render/render.h"

namespace {

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// FNV-1a 64 over each float's bytes, low byte first: the scene tests' digest.
uint64_t fnv1a(uint64_t h, const Mat4& m) {
    for (float f : m.m) {
        const uint32_t w = bits(f);
        for (int k = 0; k < 4; ++k) {
            h = (h ^ ((w >> (8 * k)) & 0xff)) * 0x100000001b3ull;
        }
    }
    return h;
}

char text[16 * 9 + 20];

} // namespace

extern "C" {

// The digest of every modelview and normalview of the frame after `ticks` ticks
// from 0, as 16 hex digits. The clocks are stepped as the tick steps them, on
// copies: the running demo's clocks are left alone.
EMSCRIPTEN_KEEPALIVE const char* webTestFrameDigest(int ticks) {
    float spin = 0, tilt = 0, scroll = 0;
    for (int n = 0; n < ticks; ++n) {
        spin = clockStep(spin, kSpinStep);
        tilt = clockStep(tilt, kTiltStep);
        scroll = clockStep(scroll, kScrollStep);
    }
    Mat4 mv[kFrameDraws];
    frameModelviews(spin, tilt, scroll, mv);
    uint64_t h = 0xcbf29ce484222325ull;
    for (const Mat4& m : mv) {
        h = fnv1a(fnv1a(h, m), normalviewOf(m));
    }
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// The projection's 16 elements as 8-digit hex words separated by spaces.
EMSCRIPTEN_KEEPALIVE const char* webTestProjectionBits() {
    const Mat4 p = frameProjection();
    char* at = text;
    for (float f : p.m) {
        at += std::snprintf(at, 10, "%08x ", static_cast<unsigned>(bits(f)));
    }
    return text;
}

// Draws one frame at the given clocks into the canvas and reads it back: RGB,
// top row first, 1280 x 720. The demo's own clocks are put back afterwards.
EMSCRIPTEN_KEEPALIVE const unsigned char* webTestDrawAt(float spin, float tilt, float scroll) {
    constexpr int w = 1280, h = 720;
    static std::vector<unsigned char> rgba(w * h * 4), rgb(w * h * 3);
    const float saved[3] = {spinClock, tiltClock, scrollClock};
    spinClock = spin;
    tiltClock = tilt;
    scrollClock = scroll;
    drawFrame();
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    spinClock = saved[0];
    tiltClock = saved[1];
    scrollClock = saved[2];
    for (int y = 0; y < h; ++y) {
        const unsigned char* from = &rgba[size_t(h - 1 - y) * w * 4];
        unsigned char* to = &rgb[size_t(y) * w * 3];
        for (int x = 0; x < w; ++x) {
            to[3 * x] = from[4 * x];
            to[3 * x + 1] = from[4 * x + 1];
            to[3 * x + 2] = from[4 * x + 2];
        }
    }
    return rgb.data();
}
}
