// The branch-free bisection and the table of buckets against the standard searches, on
// parameters with runs of equal values and uneven spreads.
#include "spline/parameter_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

using ordavin::spline::Bound;
using ordavin::spline::bound_of;
using ordavin::spline::ParameterBuckets;

namespace {

// Non-decreasing parameters: runs of equal ones, steps of very different sizes (a cluster of
// tiny steps next to huge ones puts most parameters in one bucket), from 0.
std::vector<double> uneven_parameters(std::mt19937& generator, std::size_t count) {
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> t{0.0};
    while (t.size() < count) {
        const int k = kind(generator);
        const double step = k == 0   ? 0.0
                            : k == 1 ? 1e-12 * unit(generator)
                            : k == 2 ? 1e6 * unit(generator)
                                     : unit(generator);
        t.push_back(t.back() + step);
    }
    return t;
}

}  // namespace

TEST(ParameterSearch, BucketsAndBisectionCountWhatTheStandardSearchesCount) {
    std::mt19937 generator(5);
    for (int trial = 0; trial < 200; ++trial) {
        const std::vector<double> t = uneven_parameters(generator, 1 + trial % 97);
        const ParameterBuckets buckets(t);
        ASSERT_EQ(buckets.usable(), t.front() < t.back());
        // On every parameter and its neighbours, and anywhere between the ends.
        std::vector<double> probes;
        std::uniform_real_distribution<double> anywhere(t.front(), t.back());
        for (const double p : t) {
            probes.insert(probes.end(), {p, std::nextafter(p, -INFINITY),
                                         std::nextafter(p, INFINITY), anywhere(generator)});
        }
        for (const double p : probes) {
            const auto lower =
                static_cast<std::size_t>(std::lower_bound(t.begin(), t.end(), p) - t.begin());
            const auto upper =
                static_cast<std::size_t>(std::upper_bound(t.begin(), t.end(), p) - t.begin());
            EXPECT_EQ(bound_of<Bound::Lower>(t.data(), t.size(), p), lower) << p;
            EXPECT_EQ(bound_of<Bound::Upper>(t.data(), t.size(), p), upper) << p;
            if (!buckets.usable() || p < t.front() || p > t.back()) continue;
            EXPECT_EQ(buckets.bound<Bound::Lower>(p), lower) << p;
            EXPECT_EQ(buckets.bound<Bound::Upper>(p), upper) << p;
            EXPECT_LE(buckets.first_candidate(p), lower) << p;
        }
    }
}

TEST(ParameterSearch, NoTableWithoutASpreadOfFiniteParametersOrAFiniteScale) {
    for (const std::vector<double>& t : {std::vector<double>{},
                                         {0.0},
                                         {0.0, 0.0, 0.0},
                                         {0.0, 1.0, INFINITY},
                                         {0.0, NAN},
                                         {NAN, 1.0},
                                         {0.0, 5e-324}}) {
        EXPECT_FALSE(ParameterBuckets(t).usable());
    }
}
