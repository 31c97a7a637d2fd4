// The picture: one frame at fixed clocks drawn with the program's own start-up and
// frame code on Mesa at 1280x720, compared with the committed reference image.
// To regenerate the reference after changing the art or the shaders:
//   MARROWBY_WRITE_REFERENCE=1 build/release/tests/gl_tests --gtest_filter='Picture.*'
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "app/app.h"
#include "gl_context.h"
#include "offscreen.h"
#include "render/render.h"

namespace {

constexpr int kWidth = kWindowWidth;
constexpr int kHeight = kWindowHeight;
const std::string kReference = std::string(MARROWBY_TEST_DIR) + "/reference/frame.png";

std::vector<unsigned char> drawAt(float spin, float tilt, float scroll) {
    makeFramebuffer(kWidth, kHeight);
    EXPECT_TRUE(loadDemoResources(MARROWBY_DATA_DIR));
    spinClock = spin;
    tiltClock = tilt;
    scrollClock = scroll;
    drawFrame();
    glFinish();
    return readFramebufferRgb(kWidth, kHeight);
}

} // namespace

TEST(Picture, FrameMatchesTheReference) {
    const std::vector<unsigned char> got = drawAt(0.7f, 0.3f, 3.1f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    if (std::getenv("MARROWBY_WRITE_REFERENCE")) {
        ASSERT_TRUE(writePng(kReference, kWidth, kHeight, got));
        GTEST_SKIP() << "wrote " << kReference;
    }
    int w = 0, h = 0;
    std::vector<unsigned char> want;
    ASSERT_TRUE(readPng(kReference, &w, &h, &want)) << kReference;
    ASSERT_EQ(w, kWidth);
    ASSERT_EQ(h, kHeight);
    // Rasterisers may differ in the last bit of a blend or a filter: allow a small
    // difference per channel, and only a few pixels beyond it.
    long differing = 0;
    int worst = 0;
    for (size_t p = 0; p < got.size(); p += 3) {
        int d = 0;
        for (int c = 0; c < 3; ++c) {
            d = std::max(d, std::abs(int(got[p + c]) - int(want[p + c])));
        }
        worst = std::max(worst, d);
        differing += d > 6;
    }
    EXPECT_LE(differing, kWidth * kHeight / 1000)
        << "pixels differing by more than 6: " << differing << ", worst " << worst;
    if (differing > kWidth * kHeight / 1000) {
        writePng(::testing::TempDir() + "frame-actual.png", kWidth, kHeight, got);
    }
}

TEST(Picture, TheLayersShowInTheirPlaces) {
    // Independent of the art's details: the window is not blank, and the picture
    // changes when the clocks move.
    const std::vector<unsigned char> a = drawAt(0.7f, 0.3f, 3.1f);
    const std::vector<unsigned char> b = drawAt(1.7f, 1.3f, 4.1f);
    long nonWhite = 0, changed = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        nonWhite += a[i] < 250;
        changed += a[i] != b[i];
    }
    EXPECT_GT(nonWhite, long(a.size() / 10));
    EXPECT_GT(changed, long(a.size() / 10));
}
