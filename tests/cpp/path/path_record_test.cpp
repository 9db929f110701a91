// The path record's factories keep coordinates and points consistent.
#include <gtest/gtest.h>

#include <cmath>

#include "path/without_duplicate_points.hpp"

using ordavin::Point;
using ordavin::path::Path;

TEST(PathRecord, FromCoordinatesOfUnequalLengthKeepsBothListsWhole) {
    const Path path = Path::from_coordinates({0.0, 1.0, 2.0}, {5.0, 6.0});
    ASSERT_EQ(path.points().size(), 2u);
    EXPECT_EQ(path.points()[1], (Point{1.0, 6.0}));
    EXPECT_EQ(path.x().size(), 3u);
    EXPECT_EQ(path.y().size(), 2u);
}

TEST(PathRecord, WithoutDuplicatesComparesWithTheLastKeptPoint) {
    const double nan = std::nan("");
    const Path path = Path::from_points(
        {{0, 0}, {0, 0}, {1, 1}, {1, 1}, {0, 0}, {nan, 0}, {nan, 0}, {0.0, 0.0}, {-0.0, 0.0}});
    const Path result = without_duplicate_points(path);
    ASSERT_EQ(result.size(), 6u);
    EXPECT_EQ(result.points()[2], (Point{0, 0}));
    EXPECT_TRUE(std::isnan(result.x()[3]));
    EXPECT_TRUE(std::isnan(result.x()[4]));
    EXPECT_EQ(result.points()[5], (Point{0, 0}));
}
