// The capture plan's arithmetic: which tick a frame shows, how many frames a length
// holds, and what the options accept. Expected values are worked out from the tick of
// 15 ms by hand, or checked against the definition in another form.
#include <gtest/gtest.h>

#include "capture.h"

namespace {

// tick = floor(t / 15 ms) with t = f / rate, in the form tick * 15 <= t < (tick + 1) * 15,
// all in whole units of 1 / (num) milliseconds.
void expectTickDefinition(long f, FrameRate r) {
    const long tick = tickForFrame(f, r);
    const long t = f * r.den * 1000; // milliseconds times r.num
    EXPECT_LE(tick * 15 * r.num, t) << f << " at " << r.num << "/" << r.den;
    EXPECT_GT((tick + 1) * 15 * r.num, t) << f << " at " << r.num << "/" << r.den;
}

} // namespace

TEST(CapturePlan, FramesOnATicksEdgeShowThatTick) {
    // At 60 fps frame f is at f * 50/3 ms: frame 9 is at 150 ms, exactly ten ticks.
    const long at60[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20};
    for (long f = 0; f < 19; ++f) {
        EXPECT_EQ(tickForFrame(f, {60, 1}), at60[f]) << "frame " << f;
    }
    // 200/9 fps is 45 ms a frame: three ticks each, never two or four.
    for (long f = 0; f < 1000; ++f) {
        EXPECT_EQ(tickForFrame(f, {200, 9}), 3 * f);
    }
    // 24 fps: 41.67 ms a frame.
    const long at24[] = {0, 2, 5, 8, 11, 13, 16, 19, 22};
    for (long f = 0; f < 9; ++f) {
        EXPECT_EQ(tickForFrame(f, {24, 1}), at24[f]) << "frame " << f;
    }
    // Frame 1953 at 60 fps is 32.55 s, exactly 2170 ticks; f / 60 * 1000 / 15 in
    // doubles comes out just below.
    EXPECT_EQ(tickForFrame(1953, {60, 1}), 2170);
    EXPECT_EQ(tickForFrame(1952, {60, 1}), 2168);
    // One hour at 60 fps is 240000 ticks of 15 ms.
    EXPECT_EQ(tickForFrame(216000, {60, 1}), 240000);
}

TEST(CapturePlan, TicksFollowTheDefinitionAtAnyRate) {
    const FrameRate rates[] = {{60, 1},  {30, 1},       {25, 1},       {24, 1},   {200, 3},
                               {200, 9}, {30000, 1001}, {24000, 1001}, {1000, 1}, {1, 7}};
    for (const FrameRate r : rates) {
        for (long f = 0; f < 3000; ++f) {
            expectTickDefinition(f, r);
        }
        // The longest capture allowed, a day, at the edges of the range of rates.
        expectTickDefinition(frameCountFor(86400000000L, r), r);
    }
    expectTickDefinition(86400000L, {1000000, 1000});
    expectTickDefinition(86400000L - 1, {999999, 1000});
}

TEST(CapturePlan, LengthsInFramesAndBack) {
    EXPECT_EQ(frameCountFor(500000, {30, 1}), 15);
    EXPECT_EQ(frameCountFor(10000000, {60, 1}), 600);
    EXPECT_EQ(frameCountFor(4000000, {200, 9}), 89);   // 88.9
    EXPECT_EQ(frameCountFor(10000000, {200, 9}), 222); // 222.2
    EXPECT_EQ(frameCountFor(50000, {30, 1}), 2);       // 1.5 rounds up
    EXPECT_EQ(frameCountFor(49999, {30, 1}), 1);
    EXPECT_EQ(frameCountFor(1, {60, 1}), 1); // never no frame at all
    EXPECT_EQ(frameCountFor(86400000000L, {1000000, 1000}), 86400000);
    EXPECT_EQ(frameCountFor(86400000000L, {30000, 1001}), 2589411); // 2589410.59

    EXPECT_EQ(microsForFrames(15, {30, 1}), 500000);
    EXPECT_EQ(microsForFrames(89, {200, 9}), 4005000);
    EXPECT_EQ(microsForFrames(1, {30000, 1001}), 33367); // 33366.67
    EXPECT_EQ(microsForFrames(2, {30000, 1001}), 66733); // 66733.33
    EXPECT_EQ(microsForFrames(86400000, {1000000, 1000}), 86400000000L);
    EXPECT_EQ(microsForFrames(2589411, {30000, 1001}), 86400013700L);

    EXPECT_EQ(secondsText(500000), "0.500000");
    EXPECT_EQ(secondsText(86400013700L), "86400.013700");
}

TEST(CapturePlan, RatesAndDurationsAcceptedAndRefused) {
    FrameRate r{0, 0};
    ASSERT_TRUE(parseFrameRate("60", &r));
    EXPECT_EQ(r.num, 60);
    EXPECT_EQ(r.den, 1);
    ASSERT_TRUE(parseFrameRate("30000/1001", &r));
    EXPECT_EQ(r.num, 30000);
    EXPECT_EQ(r.den, 1001);
    ASSERT_TRUE(parseFrameRate("1000", &r));
    for (const char* bad : {"", "0", "0/5", "60/0", "-60", "+60", "59.94", "60/", "/9", " 60",
                            "60 ", "1001", "2001/2", "99999999999999999999", "60/1/1", "6O"}) {
        EXPECT_FALSE(parseFrameRate(bad, &r)) << "'" << bad << "'";
    }

    long us = 0;
    ASSERT_TRUE(parseSeconds("10", &us));
    EXPECT_EQ(us, 10000000);
    ASSERT_TRUE(parseSeconds("2.5", &us));
    EXPECT_EQ(us, 2500000);
    ASSERT_TRUE(parseSeconds(".125", &us));
    EXPECT_EQ(us, 125000);
    ASSERT_TRUE(parseSeconds("0.000001", &us));
    EXPECT_EQ(us, 1);
    ASSERT_TRUE(parseSeconds("86400", &us));
    EXPECT_EQ(us, 86400000000L);
    for (const char* bad : {"", ".", "0", "0.000000", "-1", "1e3", "1.1234567", "86400.000001",
                            "2.5s", "1..5", "1,5", "99999999999999999999"}) {
        EXPECT_FALSE(parseSeconds(bad, &us)) << "'" << bad << "'";
    }

    long n = 0;
    ASSERT_TRUE(parseCount("640", 1280, &n));
    EXPECT_EQ(n, 640);
    for (const char* bad : {"", "0", "1281", "-2", "12x"}) {
        EXPECT_FALSE(parseCount(bad, 1280, &n)) << "'" << bad << "'";
    }
}

TEST(CapturePlan, OutputKindFromTheName) {
    EXPECT_EQ(outputKindOf("marrowby.mp4"), OutputKind::H264Video);
    EXPECT_EQ(outputKindOf("out/Demo.MP4"), OutputKind::H264Video);
    EXPECT_EQ(outputKindOf("a.webm"), OutputKind::Vp9Video);
    EXPECT_EQ(outputKindOf("docs/demo.webp"), OutputKind::WebpPicture);
    EXPECT_EQ(outputKindOf("x.gif"), OutputKind::GifPicture);
    EXPECT_EQ(outputKindOf("a.mp4.part"), OutputKind::Unknown);
    EXPECT_EQ(outputKindOf("mp4"), OutputKind::Unknown);
    EXPECT_EQ(outputKindOf("a.avi"), OutputKind::Unknown);
    EXPECT_TRUE(isVideo(OutputKind::H264Video));
    EXPECT_TRUE(isVideo(OutputKind::Vp9Video));
    EXPECT_FALSE(isVideo(OutputKind::WebpPicture));
    EXPECT_FALSE(isVideo(OutputKind::GifPicture));
}
