// Spline construction with guard keys, the sampler's bisection, boundaries and methods, and the
// in-place spline of parameters already in order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "spline/even_sampler.hpp"
#include "spline/in_place_sampling.hpp"
#include "spline/parameter_search.hpp"
#include "spline/spline.hpp"
#include "util/linspace.hpp"
#include "util/make_spline.hpp"
#include "util/panic.hpp"

using ordavin::spline::Interpolation;
using ordavin::spline::Sample;
using ordavin::spline::sample_with_key;
using ordavin::spline::Spline;
using ordavin::spline::SplineKey;
using ordavin::util::make_spline;
using ordavin::util::NonDecreasing;

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

namespace {

struct ListedValues {
    const std::vector<double>* values;
    double value(std::size_t i) const { return (*values)[i]; }
    double last() const { return values->back(); }
};

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <Interpolation Method>
void expect_in_place_equals_sorted(const std::vector<double>& t, const std::vector<double>& v,
                                   std::mt19937& generator) {
    const Spline sorted = make_spline(t, v, Method);
    const auto in_place = make_spline<Method>(NonDecreasing{t}, ListedValues{&v});
    ASSERT_EQ(in_place.size(), sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        ASSERT_TRUE(same_bits(in_place.t(i), sorted.t(i)) &&
                    same_bits(in_place.value(i), sorted.value(i)) &&
                    in_place.method(i) == sorted.method(i))
            << "key " << i;
    }
    // Sampled at every key, halfway between neighbours and at random: the same intervals,
    // values and failures.
    std::vector<double> probes;
    std::uniform_real_distribution<double> anywhere(-2.0, t.back() + 1.0);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        probes.push_back(sorted.t(i));
        if (i + 1 < sorted.size()) probes.push_back((sorted.t(i) + sorted.t(i + 1)) / 2.0);
        probes.push_back(anywhere(generator));
    }
    for (double s : probes) {
        if (std::isnan(s)) continue;
        std::optional<Sample> expected;
        bool expected_throws = false;
        try {
            expected = sample_with_key(sorted, s);
        } catch (const ordavin::Panic&) {
            expected_throws = true;
        }
        if (expected_throws) {
            EXPECT_THROW(sample_with_key(in_place, s), ordavin::Panic);
            continue;
        }
        const auto actual = sample_with_key(in_place, s);
        ASSERT_EQ(actual.has_value(), expected.has_value()) << "at " << s;
        if (!expected) continue;
        EXPECT_EQ(actual->key_index, expected->key_index) << "at " << s;
        EXPECT_TRUE(same_bits(actual->value, expected->value)) << "at " << s;
    }
    // From the lower bound of a probe at or after t_0, the bisection's interval and value.
    for (double s : probes) {
        if (!(s >= t.front()) || !std::isfinite(t.back())) continue;
        const auto expected_index = ordavin::spline::find_interval(sorted, s);
        const std::size_t lower_bound = ordavin::spline::lower_bound_of(in_place.parameters(), s);
        const auto index = ordavin::spline::interval_at_lower_bound(in_place, lower_bound, s);
        ASSERT_EQ(index, expected_index) << "at " << s;
        if (ordavin::spline::lower_bound_is_interval(in_place, lower_bound, s)) {
            EXPECT_EQ(lower_bound, expected_index) << "at " << s;
        }
        if (!index) continue;
        const auto expected = sample_with_key(sorted, s);
        const auto value = ordavin::spline::evaluate_in_place(in_place, *index, s);
        ASSERT_EQ(value.has_value(), expected.has_value()) << "at " << s;
        if (value) EXPECT_TRUE(same_bits(*value, expected->value)) << "at " << s;
    }
    // The even sampler from the first parameter to the last gives sample_with_key's samples.
    if (!std::isfinite(t.back())) return;
    for (std::uint64_t count : {1u, 2u, 3u, 17u, 64u}) {
        const ordavin::util::EvenSpacing spacing(t.front(), t.back(), count);
        ordavin::spline::EvenSampler sampler(in_place, spacing, count);
        for (std::uint64_t k = 0; k < count; ++k) {
            const auto expected = sample_with_key(sorted, spacing(k));
            const auto actual = sampler.sample(k);
            ASSERT_EQ(actual.has_value(), expected.has_value()) << count << " samples, " << k;
            if (!expected) continue;
            EXPECT_EQ(actual->key_index, expected->key_index) << count << " samples, " << k;
            EXPECT_TRUE(same_bits(actual->value, expected->value)) << count << " samples, " << k;
        }
    }
}

}  // namespace

TEST(InPlaceSpline, HasTheKeysAndSamplesOfTheSortedSpline) {
    // Non-decreasing parameters with runs of equal ones, starting after -1, some with an
    // infinite or NaN tail.
    std::mt19937 generator(11);
    std::uniform_int_distribution<int> step(0, 3);
    std::uniform_real_distribution<double> value(-5.0, 5.0);
    for (int trial = 0; trial < 300; ++trial) {
        const int start_kind = trial % 3;
        std::vector<double> t{start_kind == 0 ? -0.75 : start_kind == 1 ? 0.0 : 1.5};
        const std::size_t count = 1 + trial % 23;
        while (t.size() < count) t.push_back(t.back() + 0.5 * step(generator));
        if (trial % 7 == 3) t.back() = INFINITY;
        if (trial % 7 == 5) t.back() = NAN;
        std::vector<double> v;
        for (std::size_t i = 0; i < count + trial % 2; ++i) v.push_back(value(generator));
        expect_in_place_equals_sorted<Interpolation::Linear>(t, v, generator);
        expect_in_place_equals_sorted<Interpolation::Cubic>(t, v, generator);
    }
}
