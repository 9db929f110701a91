// Projection of a point onto the line through a segment.
#include "util/projection.hpp"

#include <cmath>

namespace ordavin::util {

SegmentProjection compute_projection(Point a, Point b, Point point) noexcept {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double numerator = (point.x - a.x) * dx + (point.y - a.y) * dy;
    const double squared_length = dx * dx + dy * dy;
    const double t = numerator / squared_length;
    const Point foot{a.x + t * dx, a.y + t * dy};
    const double ox = foot.x - point.x;
    const double oy = foot.y - point.y;
    return SegmentProjection{foot, t, std::sqrt(squared_length) * t, std::sqrt(ox * ox + oy * oy)};
}

bool within_epsilon(Point a, Point b, double epsilon) noexcept {
    return std::abs(a.x - b.x) <= epsilon && std::abs(a.y - b.y) <= epsilon;
}

}  // namespace ordavin::util
