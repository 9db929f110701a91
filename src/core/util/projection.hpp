// Projection of a point onto the line through a segment.
#pragma once

#include "util/point.hpp"

namespace ordavin::util {

/// Where a query point falls relative to the line through one segment A -> B.
struct SegmentProjection {
    Point foot;                   ///< foot of the perpendicular from the query point
    double parameter = 0.0;       ///< t with foot = A + t (B - A); not clamped
    double distance_along = 0.0;  ///< t * |B - A|, signed, from A along the segment
    double distance = 0.0;        ///< |foot - query|
};

/// Projects `point` onto the line through a and b. Not clamped to the segment; a zero-length
/// segment (a == b) gives NaN in every number.
SegmentProjection compute_projection(Point a, Point b, Point point) noexcept;

/// Whether two points are equal within epsilon in each coordinate (a square, not a circle).
/// NaN in either difference or in epsilon makes it false.
bool within_epsilon(Point a, Point b, double epsilon) noexcept;

}  // namespace ordavin::util
