// Projection onto a segment and location of a query on a path, down to the tie and NaN rules.
#include <gtest/gtest.h>

#include <cmath>

#include "path/path.hpp"
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
    const auto located = path.nearest_projection({1.0, 1.0}, 0.01);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->first, 0u);
    EXPECT_EQ(located->second.foot, (Point{1.0, 0.0}));
}

TEST(NearestProjection, LaterSegmentWinsOnlyWhenStrictlyNearer) {
    const Path path = Path::from_points({{0, 0}, {2, 0}, {2, 2}});
    const auto located = path.nearest_projection({1.5, 1.0}, 0.01);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->first, 1u);
    EXPECT_EQ(located->second.distance, 0.5);
    EXPECT_EQ(located->second.distance_along, 1.0);
}

TEST(NearestProjection, ZeroLengthSegmentsAreSkipped) {
    const Path path = Path::from_points({{0, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 0}});
    const auto at_vertex = path.nearest_projection({1.0, 0.5}, 0.01);
    ASSERT_TRUE(at_vertex);
    EXPECT_EQ(at_vertex->first, 3u);
    EXPECT_EQ(at_vertex->second.parameter, 0.0);
}

TEST(NearestProjection, NanQueryOrEpsilonLocatesNothing) {
    const Path path = Path::from_points({{0, 0}, {1, 0}});
    EXPECT_FALSE(path.nearest_projection({NAN, 0.0}, 0.01));
    // With a NaN epsilon nothing snaps, but the segment search still covers (0.5, 0).
    const auto inside = path.nearest_projection({0.5, 0.0}, NAN);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->first, 0u);
    // The first point itself: t = 0 covers, without snapping.
    const auto start = path.nearest_projection({0.0, 0.0}, NAN);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->second.parameter, 0.0);
}
