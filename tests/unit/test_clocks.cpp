// The animation clocks: a double step added to a float clock and rounded to float
// on store, tick after tick. Expected bit patterns come from an independent model
// (Python, rounding with struct) of the same sums.
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

#include "app/app.h"

namespace {

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void resetClocks() {
    spinClock = tiltClock = scrollClock = 0;
}

void tick(int n) {
    for (int i = 0; i < n; ++i) {
        advanceClocks();
    }
}

} // namespace

TEST(Clocks, StepsAreDoubleSumsRoundedOnStore) {
    // After 3 ticks the tilt clock holds 0x3dd70a3d; adding the float 0.035f instead
    // of the double 0.035 would give 0x3dd70a3e. After 5, the spin clock likewise
    // tells the double step (0x3dcccccd) from the float one (0x3dcccccc).
    resetClocks();
    tick(3);
    EXPECT_EQ(bits(tiltClock), 0x3dd70a3du);
    tick(2);
    EXPECT_EQ(bits(spinClock), 0x3dcccccdu);

    resetClocks();
    tick(10000);
    EXPECT_EQ(bits(spinClock), 0x43480183u);   // 200.006...
    EXPECT_EQ(bits(tiltClock), 0x43af03ccu);   // 350.029...
    EXPECT_EQ(bits(scrollClock), 0x4395fea6u); // 299.989...
}

TEST(Clocks, EachClockHasItsOwnStep) {
    resetClocks();
    tick(1);
    EXPECT_EQ(spinClock, static_cast<float>(0.02));
    EXPECT_EQ(tiltClock, static_cast<float>(0.035));
    EXPECT_EQ(scrollClock, static_cast<float>(0.03));
}

TEST(Clocks, StopAdvancingWhereTheStepFallsBelowHalfAnUlp) {
    // Spin and scroll stall at 2^19, tilt (the larger step) only at 2^20.
    EXPECT_EQ(clockStep(524288.0f, kSpinStep), 524288.0f);
    EXPECT_EQ(clockStep(524288.0f, kScrollStep), 524288.0f);
    EXPECT_GT(clockStep(524288.0f, kTiltStep), 524288.0f);
    EXPECT_EQ(clockStep(1048576.0f, kTiltStep), 1048576.0f);
    EXPECT_GT(clockStep(262144.0f, kSpinStep), 262144.0f);

    // Climbing from below, the spin clock reaches 2^19 exactly and stays there.
    float c = 524000.0f;
    for (int i = 0; i < 20000; ++i) {
        c = clockStep(c, kSpinStep);
    }
    EXPECT_EQ(c, 524288.0f);
}
