// The captured frames are the program's own: the capture tool runs as its own process
// and writes raw frames; this test draws the same ticks itself with the start-up and
// frame code, the clocks stepped from 0 by the program's tick, and compares every byte.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/app.h"
#include "offscreen.h"
#include "render/render.h"

namespace {

constexpr int kWidth = kWindowWidth;
constexpr int kHeight = kWindowHeight;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3;

// The frame the program shows after n ticks, drawn in this process.
std::vector<unsigned char> frameAfterTicks(long n) {
    static bool ready = false;
    if (!ready) {
        if (!createOffscreenContext()) {
            std::fprintf(stderr, "no GL context\n");
            std::abort();
        }
        createOffscreenFramebuffer(kWidth, kHeight);
        EXPECT_TRUE(loadDemoResources(MARROWBY_DATA_DIR));
        ready = true;
    }
    setClocksToTick(n);
    drawFrame();
    return readFramebufferRgb(kWidth, kHeight);
}

// Runs the capture tool for frames at rate and returns what it wrote, raw.
std::string captureRaw(const std::string& rate, long frames) {
    const std::string path = ::testing::TempDir() + "capture-frames-" + std::to_string(getpid());
    const std::string command = std::string(CAPTURE_BIN) + " --data " + MARROWBY_DATA_DIR +
                                " --fps " + rate + " --frames " + std::to_string(frames) +
                                " --raw " + path + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

// The tool's frames at rate must be the frames after the given ticks, in order.
void expectFramesAtTicks(const std::string& rate, const std::vector<long>& ticks) {
    const std::string raw = captureRaw(rate, long(ticks.size()));
    ASSERT_EQ(raw.size(), ticks.size() * kFrameBytes);
    for (size_t f = 0; f < ticks.size(); ++f) {
        const std::vector<unsigned char> want = frameAfterTicks(ticks[f]);
        EXPECT_EQ(std::memcmp(raw.data() + f * kFrameBytes, want.data(), kFrameBytes), 0)
            << "frame " << f << " at " << rate << " fps is not the frame after " << ticks[f]
            << " ticks";
    }
}

} // namespace

TEST(CaptureFrames, SixtyPerSecondIncludingATicksEdge) {
    // Frame f at f * 50/3 ms: frame 9 at 150 ms is exactly the tenth tick.
    expectFramesAtTicks("60", {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11});
}

TEST(CaptureFrames, TwentyFourPerSecond) {
    expectFramesAtTicks("24", {0, 2, 5, 8, 11});
}

TEST(CaptureFrames, EveryThirdTick) {
    expectFramesAtTicks("200/9", {0, 3, 6, 9});
}

TEST(CaptureFrames, NeighbouringTicksDrawDifferentFrames) {
    // Without this the comparisons above could not tell a tick from the next one.
    const std::vector<unsigned char> a = frameAfterTicks(9);
    const std::vector<unsigned char> b = frameAfterTicks(10);
    EXPECT_NE(a, b);
}
