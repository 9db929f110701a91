// The hinted sampler against the bisecting one, and the placement of keys among even samples.
#include "spline/hinted_sampling.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "spline/spline.hpp"
#include "util/linspace.hpp"
#include "util/make_spline.hpp"
#include "util/panic.hpp"

using ordavin::spline::Interpolation;
using ordavin::spline::Sample;
using ordavin::spline::sample_with_key;
using ordavin::spline::Spline;
using ordavin::spline::SplineKey;
using ordavin::spline::SplineSampler;

namespace {

// The outcome of one sampling: a sample, nothing, or a refusal.
struct Outcome {
    bool refused = false;
    std::optional<Sample> sample;
};

template <class Sampling>
Outcome outcome_of(const Sampling& sampling) {
    try {
        return Outcome{false, sampling()};
    } catch (const ordavin::Panic&) {
        return Outcome{true, std::nullopt};
    }
}

::testing::AssertionResult same(const Outcome& actual, const Outcome& expected) {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    if (actual.refused != expected.refused ||
        actual.sample.has_value() != expected.sample.has_value() ||
        (actual.sample && (bits(actual.sample->value) != bits(expected.sample->value) ||
                           actual.sample->key_index != expected.sample->key_index))) {
        return ::testing::AssertionFailure() << "differs from sample_with_key";
    }
    return ::testing::AssertionSuccess();
}

// Splines over integer parameters with runs of equal keys, so that many parameters hit keys;
// some with a NaN parameter at the end, some too short to sample.
Spline random_spline(std::mt19937& generator, Interpolation method) {
    std::uniform_int_distribution<int> step(0, 2);
    std::uniform_int_distribution<int> size(0, 14);
    std::vector<double> t;
    std::vector<double> values;
    double running = 0.0;
    const int count = size(generator);
    for (int i = 0; i < count; ++i) {
        running += step(generator);
        t.push_back(running);
        values.push_back(std::sin(running) + i);
    }
    Spline spline;
    if (!t.empty()) spline = ordavin::util::make_spline(t, values, method);
    if (count > 3 && step(generator) == 0) spline.keys.back().t = NAN;
    return spline;
}

}  // namespace

TEST(SplineSampler, GivesTheResultsOfTheBisectionAtEveryParameter) {
    // Ascending runs (on keys, between them, before and past them), runs that go back, NaN
    // parameters, and hints right, too low, too high or past the end.
    std::mt19937 generator(3);
    std::uniform_int_distribution<int> quarter(-8, 80);
    std::uniform_int_distribution<int> roll(0, 19);
    for (int trial = 0; trial < 400; ++trial) {
        const Spline spline =
            random_spline(generator, trial % 2 ? Interpolation::Cubic : Interpolation::Linear);
        SplineSampler walking(spline);
        SplineSampler hinted(spline);
        double t = -3.0;
        for (int k = 0; k < 60; ++k) {
            const int r = roll(generator);
            if (r == 0) {
                t = quarter(generator) * 0.25;  // anywhere, also backwards
            } else if (r == 1) {
                t = NAN;
            } else {
                if (std::isnan(t)) t = 0.0;
                t += (r % 3) * 0.25;
            }
            const Outcome expected = outcome_of([&] { return sample_with_key(spline, t); });
            EXPECT_TRUE(same(outcome_of([&] { return walking(t); }), expected))
                << "trial " << trial << " t " << t;
            std::size_t hint = 0;
            while (hint < spline.keys.size() && spline.keys[hint].t < t) ++hint;
            hint = static_cast<std::size_t>(static_cast<long>(hint) + (r % 5) - 2);
            if (r == 19) hint = spline.keys.size() + 4;
            EXPECT_TRUE(same(outcome_of([&] { return hinted(t, hint); }), expected))
                << "trial " << trial << " t " << t << " hint " << hint;
        }
    }
}

TEST(KeysArrivingBefore, CountsTheKeysBeforeEachSample) {
    // Even samples over ranges that start before, at and after the first key, with keys that
    // coincide with samples; the running sums count the keys strictly before each sample.
    std::mt19937 generator(9);
    std::uniform_int_distribution<int> size(1, 40);
    std::uniform_int_distribution<int> end(-2, 30);
    for (int trial = 0; trial < 300; ++trial) {
        Spline spline = random_spline(generator, Interpolation::Linear);
        if (spline.keys.empty() || std::isnan(spline.keys.back().t)) continue;
        const std::uint64_t count = static_cast<std::uint64_t>(size(generator));
        const double start = trial % 3 == 0 ? -1.5 : 0.0;
        const ordavin::util::EvenSpacing samples(start, end(generator) * 0.5, count);
        const std::vector<std::uint32_t> arrivals =
            ordavin::spline::keys_arriving_before(spline, samples, count);
        if (arrivals.empty()) {
            // Only samples that do not ascend are left to the walk.
            EXPECT_TRUE(count < 2 || !(samples(1) > samples(0)) ||
                        samples(count - 2) > samples(count - 1));
            continue;
        }
        ASSERT_EQ(arrivals.size(), count);
        std::size_t running = 0;
        for (std::uint64_t k = 0; k < count; ++k) {
            running += arrivals[k];
            std::size_t before = 0;
            for (const SplineKey& key : spline.keys) before += key.t < samples(k) ? 1 : 0;
            EXPECT_EQ(running, before) << "trial " << trial << " sample " << k;
        }
    }
}
