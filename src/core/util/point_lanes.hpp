// Both coordinates of a point in the two lanes of one register.
#pragma once

#include <cstring>

#include "util/point.hpp"

namespace ordavin::util {

/// x in lane 0, y in lane 1. Each lane of an operation gives exactly the bits of the scalar
/// operation on that coordinate alone, so a computation on both coordinates costs one
/// instruction per step (a division, above all) and keeps the results of two scalar ones.
using PointLanes = double __attribute__((vector_size(2 * sizeof(double))));

inline PointLanes lanes_of(const Point& point) noexcept {
    PointLanes lanes;
    std::memcpy(&lanes, &point, sizeof lanes);
    return lanes;
}

inline Point point_of(PointLanes lanes) noexcept { return Point{lanes[0], lanes[1]}; }

}  // namespace ordavin::util
