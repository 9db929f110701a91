// Spline construction with guard keys, and the sampler's bisection, boundaries and methods.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spline/spline.hpp"
#include "util/make_spline.hpp"
#include "util/panic.hpp"

using ordavin::spline::Interpolation;
using ordavin::spline::sample_with_key;
using ordavin::spline::Spline;
using ordavin::spline::SplineKey;
using ordavin::util::make_spline;

namespace {

std::vector<double> key_ts(const Spline& spline) {
    std::vector<double> ts;
    for (const SplineKey& key : spline.keys) ts.push_back(key.t);
    return ts;
}

std::vector<double> key_values(const Spline& spline) {
    std::vector<double> values;
    for (const SplineKey& key : spline.keys) values.push_back(key.value);
    return values;
}

}  // namespace

TEST(MakeSpline, AddsGuardKeysAroundSortedInput) {
    const Spline spline = make_spline(std::vector<double>{0.0, 1.0, 3.0},
                                      std::vector<double>{5.0, 6.0, 7.0}, Interpolation::Cubic);
    EXPECT_EQ(key_ts(spline), (std::vector<double>{-1.0, 0.0, 1.0, 3.0, 3.01, 3.02}));
    EXPECT_EQ(key_values(spline), (std::vector<double>{5.0, 5.0, 6.0, 7.0, 7.0, 7.0}));
    for (const SplineKey& key : spline.keys) EXPECT_EQ(key.method, Interpolation::Cubic);
}

TEST(MakeSpline, SortsStablyAndPlacesGuardsAfterEqualKeys) {
    // Unsorted input with equal parameters; t_last and v_last are the last inputs, not the
    // largest. The guard at -1.0 goes after the key already at -1.0 and before -0.5.
    const Spline spline =
        make_spline(std::vector<double>{2.0, -1.0, 2.0, -3.0, -0.99},
                    std::vector<double>{1.0, 2.0, 3.0, 4.0, 5.0}, Interpolation::Linear);
    EXPECT_EQ(key_ts(spline),
              (std::vector<double>{-3.0, -1.0, -1.0, -0.99, -0.98, -0.97, 2.0, 2.0}));
    EXPECT_EQ(key_values(spline), (std::vector<double>{4.0, 2.0, 1.0, 5.0, 5.0, 5.0, 1.0, 3.0}));
}

TEST(MakeSpline, UsesTheShorterLengthForKeysAndTheWholeInputsForGuards) {
    const Spline spline = make_spline(std::vector<double>{0.0, 1.0},
                                      std::vector<double>{4.0, 5.0, 9.0}, Interpolation::Linear);
    EXPECT_EQ(key_ts(spline), (std::vector<double>{-1.0, 0.0, 1.0, 1.01, 1.02}));
    EXPECT_EQ(key_values(spline), (std::vector<double>{4.0, 4.0, 5.0, 9.0, 9.0}));
}

TEST(MakeSpline, EmptyInputIsRefused) {
    const std::vector<double> some{1.0};
    EXPECT_THROW(make_spline({}, some, Interpolation::Linear), ordavin::Panic);
    EXPECT_THROW(make_spline(some, {}, Interpolation::Linear), ordavin::Panic);
}

class SampleWithKey : public testing::Test {
protected:
    // Keys of the path (0, 0), (0, 0), (1, 0): -1, 0, 0, 1, 1.01, 1.02.
    Spline duplicate = make_spline(std::vector<double>{0.0, 0.0, 1.0},
                                   std::vector<double>{0.0, 0.0, 1.0}, Interpolation::Linear);
    // Keys of the straight path (0, 0) ... (3, 0): -1, 0, 1, 2, 3, 3.01, 3.02.
    Spline line = make_spline(std::vector<double>{0.0, 1.0, 2.0, 3.0},
                              std::vector<double>{0.0, 1.0, 2.0, 3.0}, Interpolation::Cubic);
};

TEST_F(SampleWithKey, FewerThanTwoKeysGiveNothing) {
    EXPECT_FALSE(sample_with_key(Spline{}, 0.0));
    EXPECT_FALSE(sample_with_key(Spline{{SplineKey{0.0, 1.0, Interpolation::Linear}}}, 0.0));
}

TEST_F(SampleWithKey, OutsideTheKeysAndOnTheLastKeyGiveNothing) {
    EXPECT_FALSE(sample_with_key(duplicate, -1.5));
    EXPECT_FALSE(sample_with_key(duplicate, 1.03));
    EXPECT_FALSE(sample_with_key(duplicate, 1.02));
    EXPECT_FALSE(sample_with_key(duplicate, INFINITY));
    const auto first = sample_with_key(duplicate, -1.0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->key_index, 0u);
    EXPECT_EQ(first->value, 0.0);
}

TEST_F(SampleWithKey, BisectionDecidesBetweenEqualKeys) {
    // Probes key 3 (t = 1), then hits key 1, the first of the two keys at 0: zero width, 0/0.
    const auto at_zero = sample_with_key(duplicate, 0.0);
    ASSERT_TRUE(at_zero);
    EXPECT_EQ(at_zero->key_index, 1u);
    EXPECT_TRUE(std::isnan(at_zero->value));
    // Strictly between keys the equal pair does not matter.
    const auto inside = sample_with_key(duplicate, 0.25);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->key_index, 2u);
    EXPECT_EQ(inside->value, 0.25);

    // (0, 0), (1, 0), (1, 0): keys -1, 0, 1, 1, 1.01, 1.02; the sample at 1 hits key 3,
    // the second of the equal pair, whose interval is regular.
    const Spline tail = make_spline(std::vector<double>{0.0, 1.0, 1.0},
                                    std::vector<double>{0.0, 1.0, 1.0}, Interpolation::Linear);
    const auto at_end = sample_with_key(tail, 1.0);
    ASSERT_TRUE(at_end);
    EXPECT_EQ(at_end->key_index, 3u);
    EXPECT_EQ(at_end->value, 1.0);
}

TEST_F(SampleWithKey, NanParameterIsRefused) {
    EXPECT_THROW(sample_with_key(duplicate, NAN), ordavin::Panic);
}

TEST_F(SampleWithKey, NanKeyIsRefusedOnlyWhenProbed) {
    Spline spline{{SplineKey{0.0, 0.0, Interpolation::Linear},
                   SplineKey{1.0, 1.0, Interpolation::Linear},
                   SplineKey{2.0, 2.0, Interpolation::Linear},
                   SplineKey{NAN, 3.0, Interpolation::Linear}}};
    EXPECT_THROW(sample_with_key(spline, 2.5), ordavin::Panic);  // probes 2, then 3
    const auto early = sample_with_key(spline, 0.5);              // probes 2, then 1, 0
    ASSERT_TRUE(early);
    EXPECT_EQ(early->value, 0.5);
}

TEST_F(SampleWithKey, CubicNeedsANeighbourOnBothSides) {
    // Interval 0 has no key before it, the interval before the last key none after it.
    EXPECT_FALSE(sample_with_key(line, -0.5));
    EXPECT_FALSE(sample_with_key(line, 3.015));
    EXPECT_TRUE(sample_with_key(line, 3.005));
}

TEST_F(SampleWithKey, CubicMatchesHandWorkedHermiteValues) {
    // First interval: tangents (1 - 0) / (1 + 1) * 1 = 0.5 and (2 - 0) / 2 * 1 = 1; at u = 0.5
    // the basis is 0.5, 0.125, 0.5, -0.125: 0.0625 + 0.5 - 0.125 = 0.4375.
    EXPECT_EQ(sample_with_key(line, 0.5)->value, 0.4375);
    // Interior interval: both tangents 1, the line itself.
    EXPECT_EQ(sample_with_key(line, 1.5)->value, 1.5);
    // Last interval: m_b = 1 / 1.01, value 2.625 - 0.125 / 1.01.
    EXPECT_EQ(sample_with_key(line, 2.5)->value, 2.501237623762376);
    EXPECT_EQ(sample_with_key(line, 2.5)->key_index, 3u);
    // On a key the value is the key's value exactly.
    EXPECT_EQ(sample_with_key(line, 3.0)->value, 3.0);
}

TEST_F(SampleWithKey, LinearInterpolatesBetweenNeighbours) {
    const Spline spline = make_spline(std::vector<double>{0.0, 2.0, 3.0},
                                      std::vector<double>{1.0, 5.0, -1.0}, Interpolation::Linear);
    EXPECT_EQ(sample_with_key(spline, 0.5)->value, 2.0);
    EXPECT_EQ(sample_with_key(spline, 2.5)->value, 2.0);
    EXPECT_EQ(sample_with_key(spline, -0.5)->value, 1.0);
    EXPECT_EQ(sample_with_key(spline, 3.005)->value, -1.0);
}
