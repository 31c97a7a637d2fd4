// Where every draw of the frame stands, from the clocks, without a GL context.
// Exact bit patterns come from the Python model in tests/model
// (python3 tests/model/scene_expectations.py prints them); the five-decimal
// figures are the scene's published values.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "app/app.h"
#include "render/render.h"

namespace {

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void expectBits(const Mat4& m, const uint32_t (&want)[16]) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(bits(m.m[i]), want[i]) << "element " << i << " is " << m.m[i];
    }
}

void expectTranslation(const Mat4& m, uint32_t x, uint32_t y, uint32_t z) {
    EXPECT_EQ(bits(m.m[12]), x) << m.m[12];
    EXPECT_EQ(bits(m.m[13]), y) << m.m[13];
    EXPECT_EQ(bits(m.m[14]), z) << m.m[14];
}

void expectNear5(const Mat4& m, const double (&rows)[4][4]) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(m.m[4 * r + c], rows[r][c], 5e-6) << "row " << r << " col " << c;
        }
    }
}

uint64_t fnv1a(uint64_t h, const Mat4& m) {
    for (float f : m.m) {
        const uint32_t w = bits(f);
        for (int k = 0; k < 4; ++k) {
            h = (h ^ ((w >> (8 * k)) & 0xff)) * 0x100000001b3ull;
        }
    }
    return h;
}

bool isPureTranslation(const Mat4& m) {
    for (int i = 0; i < 12; ++i) {
        if (m.m[i] != (i % 5 == 0 ? 1.0f : 0.0f)) {
            return false;
        }
    }
    return m.m[15] == 1.0f;
}

} // namespace

TEST(TileField, GridsCoincideAtScrollZero) {
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 10; ++j) {
            const Mat4 a = tileModelview(0, i, j, 0);
            const Mat4 b = tileModelview(1, i, j, 0);
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
            EXPECT_TRUE(isPureTranslation(a));
            EXPECT_EQ(a.m[12], static_cast<float>(2.5 * i - 10));
            EXPECT_EQ(a.m[13], static_cast<float>(2.7 * j - 10));
            EXPECT_EQ(a.m[14], -8.0f);
        }
    }
    const Mat4 n = normalviewOf(tileModelview(0, 0, 0, 0));
    EXPECT_EQ(n.m[3], 10.0f);
    EXPECT_EQ(n.m[7], 10.0f);
    EXPECT_EQ(n.m[11], 8.0f);
}

TEST(TileField, OffsetsAtScrollOneAndNearThreePointOne) {
    expectTranslation(tileModelview(0, 0, 0, 1), 0xc1300000, 0xc1300000, 0xc1000000);
    expectTranslation(tileModelview(1, 0, 0, 1), 0xc12e6666, 0xc13b3333, 0xc1000000);

    const float s = 3.1f;
    expectTranslation(tileModelview(0, 0, 0, s), 0xc129999a, 0xc1266666, 0xc1000000);
    expectTranslation(tileModelview(1, 0, 0, s), 0xc124a3d7, 0xc1491eb8, 0xc1000000);
    expectTranslation(tileModelview(0, 9, 9, s), 0x413e6666, 0x415e6667, 0xc1000000);
    expectTranslation(tileModelview(1, 9, 9, s), 0x41435c29, 0x413bae15, 0xc1000000);
    EXPECT_NEAR(tileModelview(1, 0, 0, s).m[12], -10.29, 5e-6);
    EXPECT_NEAR(tileModelview(1, 0, 0, s).m[13], -12.57, 5e-6);
    EXPECT_NEAR(tileModelview(1, 9, 9, s).m[12], 12.21, 5e-6);
    EXPECT_NEAR(tileModelview(1, 9, 9, s).m[13], 11.73, 5e-6);
}

TEST(TileField, GridAWrapsAtTwoPointFiveAndAtTheFloatNearestTwoPointSeven) {
    // x: just under 2.5 the tile stands almost a whole spacing towards -x; at 2.5
    // it jumps back onto its base.
    const float below = std::nextafter(2.5f, 0.0f);
    EXPECT_NEAR(tileModelview(0, 3, 0, below).m[12], 2.5 * 3 - 10 - 2.5, 1e-6);
    EXPECT_EQ(tileModelview(0, 3, 0, 2.5f).m[12], static_cast<float>(2.5 * 3 - 10));
    EXPECT_EQ(tileModelview(0, 3, 0, 5.0f).m[12], static_cast<float>(2.5 * 3 - 10));

    // y: at the clock 2.7f the remainder is exactly 0, so row 4 sits at 0.8f
    // (0x3f4ccccd); a divisor of the double 2.7 would leave 4.7e-8 and 0x3f4ccccc.
    EXPECT_EQ(bits(tileModelview(0, 0, 4, 2.7f).m[13]), 0x3f4ccccdu);
    EXPECT_EQ(tileModelview(0, 0, 0, 2.7f).m[13], -10.0f);
    EXPECT_NEAR(tileModelview(0, 0, 0, std::nextafter(2.7f, 0.0f)).m[13], -12.7, 1e-6);
}

TEST(UpperLayers, PureTranslationsWhenTheClocksStandAtZero) {
    expectTranslation(backdropModelview(), bits(2.6f), 0, bits(-5.0f));
    EXPECT_TRUE(isPureTranslation(backdropModelview()));
    for (int k = 0; k < 3; ++k) {
        const Mat4 m = spinningModelview(k, 0, 0);
        EXPECT_TRUE(isPureTranslation(m)) << "square " << k;
        expectTranslation(m, bits(-1.1f), 0, bits(-5.0f));
    }
    EXPECT_TRUE(isPureTranslation(topModelview(0)));
    expectTranslation(topModelview(0), bits(-1.1f), 0, bits(-5.0f));
}

TEST(UpperLayers, LargestSquareTurnsClockwiseAboutZ) {
    for (float s : {0.3f, 1.0f, 2.5f, 10.0f}) {
        const Mat4 m = spinningModelview(0, s, 0);
        const float c = static_cast<float>(std::cos(double(s)));
        const float sn = static_cast<float>(std::sin(double(s)));
        const float want[9] = {c, -sn, 0, sn, c, 0, 0, 0, 1};
        const int at[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
        for (int e = 0; e < 9; ++e) {
            EXPECT_EQ(m.m[at[e]], want[e]) << "s " << s << " element " << at[e];
        }
    }
}

TEST(UpperLayers, TopQuadEdgeOnAtHalfPi) {
    const Mat4 m = topModelview(static_cast<float>(M_PI / 2));
    EXPECT_EQ(m.m[2], -1.0f);
    EXPECT_EQ(m.m[8], 1.0f);
    EXPECT_LT(std::fabs(m.m[0]), 1e-7f);
    EXPECT_LT(std::fabs(m.m[10]), 1e-7f);
}

TEST(UpperLayers, DrawsTwoHundredThreeAndFiveAtSpinPointSevenTiltPointThree) {
    const Mat4 m203 = spinningModelview(1, 0.7f, 0.3f);
    const Mat4 m205 = topModelview(0.7f);
    expectNear5(m203, {{0.63765, -0.73448, -0.23226, 0},
                       {0.74464, 0.51050, 0.42999, 0},
                       {-0.19725, -0.44714, 0.87245, 0},
                       {-1.1, 0, -5, 1}});
    expectNear5(
        m205,
        {{0.76484, 0, -0.64422, 0}, {0, 1, 0, 0}, {0.64422, 0, 0.76484, 0}, {-1.1, 0, -5, 1}});
    const Mat4 n203 = normalviewOf(m203);
    const Mat4 n205 = normalviewOf(m205);
    EXPECT_NEAR(n203.m[3], -0.45988, 5e-6);
    EXPECT_NEAR(n203.m[7], 2.96906, 5e-6);
    EXPECT_NEAR(n203.m[11], 4.14526, 5e-6);
    EXPECT_NEAR(n205.m[3], -2.37976, 5e-6);
    EXPECT_NEAR(n205.m[11], 4.53285, 5e-6);

    expectBits(m203,
               {0x3f233d23, 0xbf3c06a5, 0xbe6dd5a3, 0, 0x3f3ea0ee, 0x3f02b060, 0x3edc27d3, 0,
                0xbe49fb94, 0xbee4eef9, 0x3f5f58a5, 0, 0xbf8ccccd, 0, 0xc0a00000, 0x3f800000});
    expectBits(n203,
               {0x3f233d23, 0xbf3c06a5, 0xbe6dd5a4, 0xbeeb7600, 0x3f3ea0ee, 0x3f02b060, 0x3edc27d4,
                0x403e0526, 0xbe49fb93, 0xbee4eef8, 0x3f5f58a4, 0x4084a5f4, 0, 0, 0, 0x3f800000});
    expectBits(m205, {0x3f43ccb3, 0, 0xbf24eb73, 0, 0, 0x3f800000, 0, 0, 0x3f24eb73, 0, 0x3f43ccb3,
                      0, 0xbf8ccccd, 0, 0xc0a00000, 0x3f800000});
    expectBits(n205,
               {0x3f43ccb3, 0x80000000, 0xbf24eb73, 0xc0184e05, 0x80000000, 0x3f800000, 0x80000000,
                0x80000000, 0x3f24eb73, 0x80000000, 0x3f43ccb3, 0x40910d1d, 0, 0, 0, 0x3f800000});
}

TEST(Frame, AllTwoHundredFiveDrawsMatchTheModelBitForBit) {
    // A hash of every modelview and normalview bit, in draw order, after n ticks.
    const struct {
        long ticks;
        uint64_t hash;
    } cases[] = {{0, 0xd0cb6ff574573615ull},
                 {1, 0xf4f621896f8f1927ull},
                 {100, 0xd558b9a576118654ull},
                 {1234, 0xf97d615cecc9bfc9ull},
                 {100000, 0x7e49aa0ab23aa15eull}};
    spinClock = tiltClock = scrollClock = 0;
    long at = 0;
    for (const auto& c : cases) {
        for (; at < c.ticks; ++at) {
            advanceClocks();
        }
        Mat4 mv[kFrameDraws];
        frameModelviews(spinClock, tiltClock, scrollClock, mv);
        uint64_t h = 0xcbf29ce484222325ull;
        for (const Mat4& m : mv) {
            h = fnv1a(fnv1a(h, m), normalviewOf(m));
        }
        EXPECT_EQ(h, c.hash) << "after " << c.ticks << " ticks";
    }
}

TEST(Frame, LayersBindEachDrawsTextureAndQuadInDrawOrder) {
    // Per draw: the image its texture comes from (1 for texture.tga, 2 for
    // texture2.tga, ...) and its quad, as the frame's table publishes them.
    std::vector<std::pair<int, int>> want(kTileDraws, {3, 3});
    want.insert(want.end(), {{4, 4}, {1, 0}, {1, 1}, {1, 2}, {2, 3}});
    std::vector<std::pair<int, int>> got;
    for (const FrameLayer& layer : kFrameLayers) {
        for (int k = 0; k < layer.draws; ++k) {
            got.push_back({layer.texture, layer.quad == kQuadPerDraw ? k : layer.quad});
        }
    }
    EXPECT_EQ(got, want);
}

TEST(Frame, EveryNormalviewEndsInTheUnitRow) {
    for (long n = 0; n < 3000; n += 37) {
        const float t = static_cast<float>(n);
        Mat4 mv[kFrameDraws];
        frameModelviews(t * 0.02f, t * 0.035f, t * 0.03f, mv);
        for (int d = 0; d < kFrameDraws; ++d) {
            const Mat4 nv = normalviewOf(mv[d]);
            EXPECT_TRUE(nv.m[12] == 0 && nv.m[13] == 0 && nv.m[14] == 0 && nv.m[15] == 1)
                << "draw " << d + 1 << " at " << n;
        }
    }
}
