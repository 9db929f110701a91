// Locating a query point on a path: end-point snapping, then the nearest covering segment.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "path/path.hpp"

namespace ordavin::path {
namespace {

// IEEE totalOrder: negative NaN < -inf < ... < -0 < +0 < ... < +inf < positive NaN. Mapping
// the bits of a negative double onto their reversed magnitude makes it a signed comparison.
bool total_order_less(double left, double right) noexcept {
    const auto key = [](double value) {
        const auto bits = std::bit_cast<std::int64_t>(value);
        return bits < 0 ? bits ^ std::numeric_limits<std::int64_t>::max() : bits;
    };
    return key(left) < key(right);
}

LocatedPoint snapped(std::uint64_t index, Point point) noexcept {
    return LocatedPoint{index, SegmentProjection{point, 0.0, 0.0, 0.0}};
}

}  // namespace

std::optional<LocatedPoint> Path::nearest_projection(Point point, double epsilon) const {
    const std::size_t count = points_.size();
    if (count == 0) return std::nullopt;
    // The first point is tested first, so on a closed path the start wins.
    if (util::within_epsilon(point, points_.front(), epsilon)) {
        return snapped(0, points_.front());
    }
    if (util::within_epsilon(point, points_.back(), epsilon)) {
        return snapped(count - 1, points_.back());
    }

    // A segment covers the query when the foot lies in [start, end): a vertex belongs to the
    // segment that starts there. A zero-length segment gives t = NaN and never covers. Square
    // roots are taken only for covering segments; ties keep the earlier segment.
    bool found = false;
    std::size_t best_index = 0;
    double best_distance = 0.0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const Point a = points_[i];
        const double dx = points_[i + 1].x - a.x;
        const double dy = points_[i + 1].y - a.y;
        const double t = ((point.x - a.x) * dx + (point.y - a.y) * dy) / (dx * dx + dy * dy);
        if (!(t >= 0.0 && t < 1.0)) continue;
        const double ox = a.x + t * dx - point.x;
        const double oy = a.y + t * dy - point.y;
        const double distance = std::sqrt(ox * ox + oy * oy);
        if (!found || total_order_less(distance, best_distance)) {
            found = true;
            best_index = i;
            best_distance = distance;
        }
    }
    if (!found) return std::nullopt;
    return LocatedPoint{best_index, util::compute_projection(points_[best_index],
                                                             points_[best_index + 1], point)};
}

std::optional<std::uint64_t> Path::index_from_point(Point point, double epsilon) const {
    const std::optional<LocatedPoint> located = nearest_projection(point, epsilon);
    if (!located) return std::nullopt;
    return located->first;
}

std::optional<double> Path::path_length_from_point(Point point, double epsilon) const {
    const std::optional<LocatedPoint> located = nearest_projection(point, epsilon);
    if (!located) return std::nullopt;
    const std::size_t index = located->first;
    double length = path_length_per_point()[index];
    // Measured from the query itself even after a snap to the first point, so a query just
    // behind the start gets a small negative length.
    if (index + 1 < points_.size()) {
        length += util::compute_projection(points_[index], points_[index + 1], point)
                      .distance_along;
    }
    return length;
}

}  // namespace ordavin::path
