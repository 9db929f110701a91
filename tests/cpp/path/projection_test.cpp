// Projection onto a segment and location of a query on a path, down to the tie and NaN rules.
#include <gtest/gtest.h>

#include <cmath>
#include <compare>
#include <random>
#include <vector>

#include "path/nearest_projection.hpp"
#include "util/projection.hpp"

using ordavin::Point;
using ordavin::path::Path;
using ordavin::util::compute_projection;

TEST(ComputeProjection, ZeroLengthSegmentGivesNan) {
    const auto projection = compute_projection({1.0, 1.0}, {1.0, 1.0}, {2.0, 3.0});
    EXPECT_TRUE(std::isnan(projection.parameter));
    EXPECT_TRUE(std::isnan(projection.foot.x));
    EXPECT_TRUE(std::isnan(projection.foot.y));
    EXPECT_TRUE(std::isnan(projection.distance_along));
    EXPECT_TRUE(std::isnan(projection.distance));
}

TEST(ComputeProjection, IsNotClampedToTheSegment) {
    // Segment (1, 1) -> (4, 5), length 5; the query projects 2 lengths behind the start.
    const auto projection = compute_projection({1.0, 1.0}, {4.0, 5.0}, {-5.0 - 4.0, -7.0 + 3.0});
    EXPECT_EQ(projection.parameter, -2.0);
    EXPECT_EQ(projection.foot, (Point{-5.0, -7.0}));
    EXPECT_EQ(projection.distance_along, -10.0);
    EXPECT_EQ(projection.distance, 5.0);
}

TEST(NearestProjection, EqualDistancesKeepTheLowerIndex) {
    // (1, 1) lies at distance 1 from the middle of both segments.
    const Path path = Path::from_points({{0, 0}, {2, 0}, {2, 2}});
    const auto located = nearest_projection(path, {1.0, 1.0}, 0.01);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->index, 0u);
    EXPECT_EQ(located->projection.foot, (Point{1.0, 0.0}));
}

TEST(NearestProjection, LaterSegmentWinsOnlyWhenStrictlyNearer) {
    const Path path = Path::from_points({{0, 0}, {2, 0}, {2, 2}});
    const auto located = nearest_projection(path, {1.5, 1.0}, 0.01);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->index, 1u);
    EXPECT_EQ(located->projection.distance, 0.5);
    EXPECT_EQ(located->projection.distance_along, 1.0);
}

TEST(NearestProjection, ZeroLengthSegmentsAreSkipped) {
    const Path path = Path::from_points({{0, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 0}});
    const auto at_vertex = nearest_projection(path, {1.0, 0.5}, 0.01);
    ASSERT_TRUE(at_vertex);
    EXPECT_EQ(at_vertex->index, 3u);
    EXPECT_EQ(at_vertex->projection.parameter, 0.0);
}

TEST(NearestProjection, NanQueryOrEpsilonLocatesNothing) {
    const Path path = Path::from_points({{0, 0}, {1, 0}});
    EXPECT_FALSE(nearest_projection(path, {NAN, 0.0}, 0.01));
    // With a NaN epsilon nothing snaps, but the segment search still covers (0.5, 0).
    const auto inside = nearest_projection(path, {0.5, 0.0}, NAN);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->index, 0u);
    // The first point itself: t = 0 covers, without snapping.
    const auto start = nearest_projection(path, {0.0, 0.0}, NAN);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->projection.parameter, 0.0);
}

namespace {

// The covering segment found the slow way: every segment through compute_projection, the
// nearest by IEEE total order, the first on ties.
std::optional<std::pair<std::size_t, double>> brute_force(const Path& path, Point query) {
    std::optional<std::pair<std::size_t, double>> best;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const auto projection = compute_projection(path.points()[i], path.points()[i + 1], query);
        if (!(projection.parameter >= 0.0 && projection.parameter < 1.0)) continue;
        if (!best || std::strong_order(projection.distance, best->second) < 0) {
            best = std::pair{i, projection.distance};
        }
    }
    return best;
}

}  // namespace

TEST(NearestProjection, AgreesWithAnExhaustiveSearch) {
    // Noisy zigzags with repeated points and sizes around the search's block of segments; the
    // queries sit near vertices and segments, where the blocks' shortcut must not lose one.
    std::mt19937_64 generator(99);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::uniform_int_distribution<int> repeat(0, 9);
    for (std::size_t count : {2u, 3u, 8u, 9u, 10u, 17u, 40u, 123u}) {
        std::vector<Point> points;
        for (std::size_t i = 0; i < count; ++i) {
            if (!points.empty() && repeat(generator) == 0) {
                points.push_back(points.back());
                continue;
            }
            points.push_back({static_cast<double>(i) * 0.5 + noise(generator), noise(generator)});
        }
        const Path path = Path::from_points(points);
        for (int k = 0; k < 300; ++k) {
            const Point near = points[static_cast<std::size_t>(k) % count];
            const Point query{near.x + noise(generator) * 0.2, near.y + noise(generator) * 0.2};
            const auto located = nearest_projection(path, query, 0.0);
            const auto expected = brute_force(path, query);
            const bool snapped = query == points.front() || query == points.back();
            if (snapped) continue;
            ASSERT_EQ(located.has_value(), expected.has_value()) << count << " " << k;
            if (!located) continue;
            EXPECT_EQ(located->index, expected->first);
            EXPECT_EQ(located->projection.distance, expected->second);
        }
    }
}
