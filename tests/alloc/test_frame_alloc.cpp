// The per-frame code allocates nothing: every modelview and normalview of a
// frame, tick after tick, is computed on the stack. The counter is shown to see
// allocations first, by the same means the zero is measured with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "alloc_hook.h"
#include "app/app.h"
#include "render/render.h"

namespace {

// Keeps a pointer or value alive in the compiler's eyes, so that no allocation
// or computation under test is optimised away.
void* volatile sinkPointer;
volatile float sinkValue;

template <typename F> long allocationsDuring(F work) {
    startCountingAllocations();
    work();
    return stopCountingAllocations();
}

TEST(AllocationCounter, SeesMallocNewAndContainers) {
    EXPECT_EQ(1, allocationsDuring([] {
                  void* p = std::malloc(64);
                  sinkPointer = p;
                  std::free(p);
              }));
    EXPECT_EQ(1, allocationsDuring([] {
                  int* p = new int(7);
                  sinkPointer = p;
                  delete p;
              }));
    EXPECT_GE(allocationsDuring([] {
                  std::vector<Mat4> v(205);
                  sinkPointer = v.data();
                  std::string s(100, 'x');
                  sinkPointer = &s[0];
              }),
              2);
    // Counting is off outside the measured section.
    void* p = std::malloc(8);
    sinkPointer = p;
    std::free(p);
    EXPECT_EQ(0, allocationsDuring([] {}));
}

// What one tick and one frame compute with no GL: the clocks, the projection,
// all 205 modelviews and their normalviews.
void computeTicks(int ticks) {
    float sum = 0;
    for (int t = 0; t < ticks; ++t) {
        advanceClocks();
        Mat4 modelviews[kFrameDraws];
        frameModelviews(spinClock, tiltClock, scrollClock, modelviews);
        const Mat4 projection = frameProjection();
        sum += projection.m[0];
        for (const Mat4& m : modelviews) {
            const Mat4 n = normalviewOf(m);
            sum += m.m[12] + n.m[3];
        }
    }
    sinkValue = sum;
}

TEST(FrameMath, AllocatesNothingOverManyTicks) {
    // First the same work plus one vector a tick, as a cache rebuilt every frame
    // would be: the count shows it, once per tick.
    spinClock = tiltClock = scrollClock = 0;
    EXPECT_EQ(50, allocationsDuring([] {
                  for (int t = 0; t < 50; ++t) {
                      std::vector<Mat4> cache(kFrameDraws);
                      sinkPointer = cache.data();
                      computeTicks(1);
                  }
              }));

    // Then the frame's own work, long enough that the tiles wrap in x and y and
    // the squares turn past a full circle.
    spinClock = tiltClock = scrollClock = 0;
    EXPECT_EQ(0, allocationsDuring([] { computeTicks(400); }));
    EXPECT_GT(scrollClock, 2.7f * 4);
    EXPECT_GT(spinClock, 6.3f);
}

} // namespace
