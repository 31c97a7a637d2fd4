// The context shared by the in-process GL tests, and their main.
#include "gl_context.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#include "offscreen.h"

void ensureGlContext() {
    static bool ready = false;
    if (!ready && !createOffscreenContext()) {
        std::fprintf(stderr, "gl_tests: no EGL surfaceless GL context\n");
        std::abort();
    }
    ready = true;
}

GLuint makeFramebuffer(int w, int h) {
    return createOffscreenFramebuffer(w, h);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ensureGlContext();
    return RUN_ALL_TESTS();
}
