// The circle decomposition of a path and the per-point curvature it yields.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "path/circle_segments.hpp"
#include "support/reference_lapack.hpp"
#include "util/lapack.hpp"
#include "util/panic.hpp"

using ordavin::Panic;
using ordavin::Point;
using ordavin::path::CircleSegment;
using ordavin::path::Path;

namespace {

class CircleSegments : public ::testing::Test {
protected:
    void SetUp() override { ordavin::testing::use_reference_lapack(); }
};

// Five points on the circle of radius 2 at the angles k pi / 8, then five on the line y = 2.
Path worked_example() {
    std::vector<Point> points;
    for (int k = 0; k <= 4; ++k) {
        const double angle = k * std::numbers::pi / 8.0;
        points.push_back({2.0 * std::cos(angle), 2.0 * std::sin(angle)});
    }
    for (int k = 1; k <= 5; ++k) points.push_back({-static_cast<double>(k), 2.0});
    return Path::from_points(std::move(points));
}

Path arc(int count, double radius, double noise) {
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        const double angle = 1.5 * i / count;
        const double r = radius + noise * std::sin(5.0 * i);
        points.push_back({1.0 + r * std::cos(angle), -2.0 + r * std::sin(angle)});
    }
    return Path::from_points(std::move(points));
}

// The segments tile [start, end) in order.
void expect_tiling(const std::vector<CircleSegment>& segments, std::uint64_t start,
                   std::uint64_t end) {
    ASSERT_FALSE(segments.empty());
    EXPECT_EQ(segments.front().start, start);
    EXPECT_EQ(segments.back().end, end);
    for (std::size_t i = 1; i < segments.size(); ++i) {
        EXPECT_EQ(segments[i].start, segments[i - 1].end);
    }
}

// Expected curvature from numpy (circle_fit.taubinSVD of the first seven points).
constexpr double kWorkedCurvature = 0.3450989502065983;

TEST_F(CircleSegments, WorkedExampleMergesAcrossTheTopSplit) {
    const auto segments = find_circle_segments(worked_example(), 0, 10, 0.15);
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0].start, 0u);
    EXPECT_EQ(segments[0].end, 7u);
    EXPECT_NEAR(segments[0].curvature, kWorkedCurvature, 1e-12);
    EXPECT_EQ(segments[1].start, 7u);
    EXPECT_EQ(segments[1].end, 8u);
    EXPECT_EQ(segments[1].curvature, 0.0);
    EXPECT_EQ(segments[2].start, 8u);
    EXPECT_EQ(segments[2].end, 10u);
    EXPECT_EQ(segments[2].curvature, 0.0);
}

TEST_F(CircleSegments, WorkedExampleCurvaturePerPoint) {
    const auto curvature = compute_circle_fit_curvature(worked_example(), 0.15);
    ASSERT_EQ(curvature.size(), 10u);
    for (std::size_t i = 0; i < 7; ++i) EXPECT_NEAR(curvature[i], kWorkedCurvature, 1e-12);
    for (std::size_t i = 7; i < 10; ++i) EXPECT_EQ(curvature[i], 0.0);
}

TEST_F(CircleSegments, ArcOfRadiusFourIsOneSegment) {
    const auto segments = find_circle_segments(arc(50, 4.0, 0.0), 0, 50, 0.15);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].end, 50u);
    EXPECT_NEAR(segments[0].curvature, 0.25, 1e-12);
}

// Every fit of an axis-parallel line has a NaN rmse, so nothing is ever accepted.
TEST_F(CircleSegments, AxisParallelLineSplitsIntoShortSegments) {
    std::vector<Point> points;
    for (int i = 0; i < 37; ++i) points.push_back({static_cast<double>(i), 3.0});
    const Path line = Path::from_points(std::move(points));
    const auto segments = find_circle_segments(line, 0, 37, 0.15);
    expect_tiling(segments, 0, 37);
    for (const auto& segment : segments) {
        EXPECT_LE(segment.end - segment.start, 2u);
        EXPECT_EQ(segment.curvature, 0.0);
    }
    EXPECT_EQ(compute_circle_fit_curvature(line, 0.15), std::vector<double>(37, 0.0));
}

TEST_F(CircleSegments, BoundThatAcceptsNothingOrEverything) {
    const Path path = arc(23, 4.0, 0.5);
    for (const double bound : {-1.0, std::numeric_limits<double>::quiet_NaN()}) {
        const auto segments = find_circle_segments(path, 0, 23, bound);
        expect_tiling(segments, 0, 23);
        for (const auto& segment : segments) {
            EXPECT_LE(segment.end - segment.start, 2u);
            EXPECT_EQ(segment.curvature, 0.0);
        }
    }
    EXPECT_GT(find_circle_segments(path, 0, 23, 0.15).size(), 1u);
    const auto whole = find_circle_segments(path, 0, 23, std::numeric_limits<double>::infinity());
    ASSERT_EQ(whole.size(), 1u);
    // numpy: circle_fit.taubinSVD of the same 23 points.
    EXPECT_NEAR(whole[0].curvature, 0.3078728120393389, 1e-12);
}

// Runs of coincident points have no circle; they split like collinear ones instead of failing.
TEST_F(CircleSegments, RunsOfCoincidentPointsSplit) {
    std::vector<Point> points;
    for (int i = 0; i < 6; ++i) points.push_back({0.1, 0.1});
    for (int i = 0; i < 6; ++i) points.push_back({0.1 + i, 0.1 + i * i});
    const Path path = Path::from_points(std::move(points));
    const auto segments = find_circle_segments(path, 0, 12, 0.15);
    expect_tiling(segments, 0, 12);
    EXPECT_EQ(segments.front().curvature, 0.0);
    EXPECT_EQ(compute_circle_fit_curvature(path, 0.15).size(), 12u);
}

TEST_F(CircleSegments, NanCoordinateNeitherFailsNorHangs) {
    std::vector<Point> points;
    for (int i = 0; i < 9; ++i) points.push_back({std::cos(i * 0.2), std::sin(i * 0.2)});
    points[4].x = std::nan("");
    const auto segments = find_circle_segments(Path::from_points(std::move(points)), 0, 9, 0.15);
    expect_tiling(segments, 0, 9);
}

TEST_F(CircleSegments, ShortRangesNeedNoPoints) {
    const Path path = arc(5, 1.0, 0.0);
    for (const auto& [start, end] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
             {10, 12}, {3, 3}, {100, 102}, {0, 2}}) {
        const auto segments = find_circle_segments(path, start, end, 0.15);
        ASSERT_EQ(segments.size(), 1u);
        EXPECT_EQ(segments[0].start, start);
        EXPECT_EQ(segments[0].end, end);
        EXPECT_EQ(segments[0].curvature, 0.0);
    }
    EXPECT_EQ(compute_circle_fit_curvature(Path::from_points({{0, 0}, {1, 1}}), 0.15),
              std::vector<double>(2, 0.0));
    EXPECT_TRUE(compute_circle_fit_curvature(Path::from_points({}), 0.15).empty());
}

TEST_F(CircleSegments, CurvatureIsUnsignedWhicheverWayThePathTurns) {
    std::vector<Point> points;
    for (int i = 0; i < 30; ++i) {
        const double angle = -0.1 * i;
        points.push_back({2.0 * std::cos(angle), 2.0 * std::sin(angle)});
    }
    const Path clockwise = Path::from_points(std::move(points));
    for (const double value : compute_circle_fit_curvature(clockwise, 0.15)) {
        EXPECT_NEAR(value, 0.5, 1e-9);
    }
}

TEST_F(CircleSegments, CoordinateListsOfUnequalLength) {
    const std::vector<double> longer{0, 1, 2, 3, 4};
    const std::vector<double> shorter{0, 1, 4, 9};
    EXPECT_THROW(compute_circle_fit_curvature(Path::from_coordinates(longer, shorter), 0.15),
                 Panic);
    EXPECT_EQ(compute_circle_fit_curvature(Path::from_coordinates(shorter, longer), 0.15).size(),
              4u);
}

TEST_F(CircleSegments, BrokenPreconditionsPanic) {
    const Path path = arc(5, 1.0, 0.0);
    EXPECT_THROW(find_circle_segments(path, 3, 2, 0.15), Panic);
    EXPECT_THROW(find_circle_segments(path, 0, 6, 0.15), Panic);
    EXPECT_THROW(find_circle_segments(path, 3, 6, 0.15), Panic);
    EXPECT_NO_THROW(find_circle_segments(path, 2, 5, 0.15));
}

TEST_F(CircleSegments, FailedFitPanics) {
    ordavin::util::set_dgesvd([](char*, char*, int*, int*, double*, int*, double*, double*,
                                 int*, double*, int*, double* work, int* lwork, int* info) {
        if (*lwork == -1) work[0] = 1.0;
        *info = *lwork == -1 ? 0 : 1;
    });
    EXPECT_THROW(find_circle_segments(arc(8, 1.0, 0.0), 0, 8, 0.15), Panic);
}

}  // namespace
