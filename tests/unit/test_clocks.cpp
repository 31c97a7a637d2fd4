// The clock step: a double step added to a float clock, rounded to float on store.
#include <gtest/gtest.h>
#include "app/app.h"
TEST(Clocks, Placeholder) { EXPECT_EQ(clockStep(0.0f, 0.5), 0.5f); }
