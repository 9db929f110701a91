// Evenly spaced values: the small counts and the exact end.
#include <gtest/gtest.h>

#include <vector>

#include "util/linspace.hpp"
#include "util/panic.hpp"

using ordavin::util::linspace;

TEST(Linspace, ZeroValuesIsRefused) { EXPECT_THROW(linspace(0.0, 1.0, 0), ordavin::Panic); }

TEST(Linspace, OneValueIsTheEnd) { EXPECT_EQ(linspace(2.0, 5.0, 1), std::vector<double>{5.0}); }

TEST(Linspace, TwoValuesAreTheEnds) {
    EXPECT_EQ(linspace(2.0, 5.0, 2), (std::vector<double>{2.0, 5.0}));
}

TEST(Linspace, LastValueIsTheEndNotTheAccumulatedStep) {
    // The step is 1/49; 49 steps accumulate to 0.9999999999999999, but the last value is 1.
    ASSERT_NE(49.0 * (1.0 / 49.0), 1.0);
    const std::vector<double> values = linspace(0.0, 1.0, 50);
    ASSERT_EQ(values.size(), 50u);
    EXPECT_EQ(values.front(), 0.0);
    EXPECT_EQ(values.back(), 1.0);
    EXPECT_EQ(values[1], 1.0 / 49.0);
}
