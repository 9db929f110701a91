// Resampling: the monotone interval walk must pick exactly the bisection's interval.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <random>
#include <vector>

#include "path/resampling.hpp"
#include "spline/spline.hpp"
#include "util/linspace.hpp"
#include "util/make_spline.hpp"
#include "util/panic.hpp"

using ordavin::Point;
using ordavin::path::Path;
using ordavin::path::ResamplingType;
using ordavin::spline::Interpolation;

namespace {

bool same_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The resampled points computed sample by sample with the bisecting sampler.
std::vector<Point> bisected(const Path& path, std::uint64_t count, Interpolation method) {
    const auto& lengths = path.path_length_per_point();
    const auto x_spline = ordavin::util::make_spline(lengths, path.x(), method);
    const auto y_spline = ordavin::util::make_spline(lengths, path.y(), method);
    std::vector<Point> points;
    for (double s : ordavin::util::linspace(0.0, lengths.back(), count)) {
        const auto x = ordavin::spline::sample_with_key(x_spline, s);
        const auto y = ordavin::spline::sample_with_key(y_spline, s);
        points.push_back({x ? x->value : 0.0, y ? y->value : 0.0});
    }
    return points;
}

}  // namespace

class ResampledPath : public testing::TestWithParam<ResamplingType> {};

TEST_P(ResampledPath, EqualsTheBisectingSamplerOnPathsWithRepeatedPoints) {
    // Integer steps along a zigzag with runs of repeated points: many samples fall exactly on
    // key parameters, some of them shared by several keys.
    const Interpolation method = GetParam() == ResamplingType::Linear ? Interpolation::Linear
                                                                      : Interpolation::Cubic;
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> step(0, 2);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<Point> points{{0.0, 0.0}};
        for (int i = 0; i < 30; ++i) {
            const Point last = points.back();
            const int kind = step(generator);
            points.push_back(kind == 0   ? last
                             : kind == 1 ? Point{last.x + 1.0, last.y}
                                         : Point{last.x, last.y + 2.0});
        }
        const Path path = Path::from_points(points);
        const auto length = static_cast<std::uint64_t>(path.length());
        const std::vector<std::uint64_t> counts{1, 2, length + 1, 2 * length + 1, 4 * length + 1,
                                                97};
        for (std::uint64_t count : counts) {
            const std::vector<Point> expected = bisected(path, count, method);
            const Path actual = resampled_path(path, count, GetParam());
            ASSERT_EQ(actual.size(), expected.size());
            for (std::size_t k = 0; k < expected.size(); ++k) {
                EXPECT_TRUE(same_bits(actual.points()[k].x, expected[k].x) &&
                            same_bits(actual.points()[k].y, expected[k].y))
                    << "trial " << trial << " count " << count << " sample " << k;
            }
        }
    }
}

TEST_P(ResampledPath, EqualsTheBisectingSamplerOnLongIrregularPaths) {
    // Irregular spacing puts zero, one or several samples into an interval, and interior
    // intervals as well as the first and last ones (whose keys include guards) are sampled.
    // A path from coordinate lists of unequal length reads the end keys off the whole x list,
    // and one whose points all coincide has no length to space the samples along.
    const Interpolation method = GetParam() == ResamplingType::Linear ? Interpolation::Linear
                                                                      : Interpolation::Cubic;
    std::mt19937 generator(11);
    std::uniform_real_distribution<double> gap(0.0, 0.3);
    std::vector<double> x{0.0};
    std::vector<double> y{0.0};
    for (int i = 1; i < 2000; ++i) {
        x.push_back(x.back() + gap(generator));
        y.push_back(std::sin(x.back()) + gap(generator));
    }
    std::vector<double> longer_x = x;
    longer_x.push_back(-4.0);
    const std::vector<Path> paths{Path::from_coordinates(x, y),
                                  Path::from_coordinates(longer_x, y),
                                  Path::from_points(std::vector<Point>(5, Point{1.5, -2.0}))};
    for (const Path& path : paths) {
        for (std::uint64_t count : {1, 2, 3, 7, 500, 1999, 2000, 2001, 6007}) {
            const std::vector<Point> expected = bisected(path, count, method);
            const Path actual = resampled_path(path, count, GetParam());
            ASSERT_EQ(actual.size(), expected.size());
            for (std::size_t k = 0; k < expected.size(); ++k) {
                ASSERT_TRUE(same_bits(actual.points()[k].x, expected[k].x) &&
                            same_bits(actual.points()[k].y, expected[k].y))
                    << "points " << path.size() << " count " << count << " sample " << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothMethods, ResampledPath,
                         testing::Values(ResamplingType::Linear, ResamplingType::Cubic));

TEST(ResampledPathFailures, RefusedRequests) {
    const Path empty = Path::from_points({});
    EXPECT_THROW(resampled_path(empty, 3, ResamplingType::Linear), ordavin::Panic);
    const Path line = Path::from_points({{0, 0}, {1, 0}});
    EXPECT_THROW(resampled_path(line, 0, ResamplingType::Cubic), ordavin::Panic);
    const Path with_nan = Path::from_points({{0, 0}, {NAN, 0}, {1, 0}});
    EXPECT_THROW(resampled_path(with_nan, 1, ResamplingType::Linear), ordavin::Panic);
    EXPECT_THROW(resampled_path(line, 1'000'000'000'000ull, ResamplingType::Linear),
                 std::bad_alloc);
}
