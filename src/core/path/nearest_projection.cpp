// Locating a query point on a path: end-point snapping, then the nearest covering segment.
#include "path/nearest_projection.hpp"

namespace ordavin::path {
namespace {

constexpr std::size_t block_size = 8;

}  // namespace

namespace detail {

std::optional<LocatedPoint> snapped_to_end(const std::vector<Point>& points, Point point,
                                           double epsilon) noexcept {
    if (points.empty()) return std::nullopt;
    // The first point is tested first, so on a closed path the start wins.
    if (util::within_epsilon(point, points.front(), epsilon)) {
        return LocatedPoint{0, SegmentProjection{points.front(), 0.0, 0.0, 0.0}};
    }
    if (util::within_epsilon(point, points.back(), epsilon)) {
        return LocatedPoint{points.size() - 1, SegmentProjection{points.back(), 0.0, 0.0, 0.0}};
    }
    return std::nullopt;
}

}  // namespace detail

std::optional<LocatedPoint> nearest_projection(const Path& path, Point point, double epsilon) {
    const std::vector<Point>& points = path.points();
    const std::size_t count = points.size();
    if (count == 0) return std::nullopt;
    if (auto snapped = detail::snapped_to_end(points, point, epsilon)) return snapped;

    // A segment covers the query when the foot lies in [start, end): a vertex belongs to the
    // segment that starts there. A zero-length segment gives t = NaN and never covers. Square
    // roots are taken only for covering segments; ties keep the earlier segment. The
    // coordinate vectors hold the points' coordinates in their first `count` entries.
    const double* xs = path.x().data();
    const double* ys = path.y().data();
    bool found = false;
    std::size_t best_index = 0;
    double best_distance = 0.0;
    const auto consider = [&](std::size_t i) {
        double distance = 0.0;
        if (!detail::covering_distance(xs, ys, i, point, distance)) return;
        if (!found || detail::total_order_less(distance, best_distance)) {
            found = true;
            best_index = i;
            best_distance = distance;
        }
    };

    // Nearly all segments are far from the query. A branch-free test per block of segments,
    // with no division, rules out blocks in which no segment can cover; only the rare block
    // that may cover is examined exactly, segment by segment in order.
    const std::size_t segments = count - 1;
    std::size_t i = 0;
    for (; i + block_size <= segments; i += block_size) {
        if (detail::covering_candidates(xs + i, ys + i, block_size, point) != 0) {
            for (std::size_t j = i; j < i + block_size; ++j) consider(j);
        }
    }
    for (; i < segments; ++i) consider(i);
    if (!found) return std::nullopt;
    return LocatedPoint{
        best_index, util::compute_projection(points[best_index], points[best_index + 1], point)};
}

}  // namespace ordavin::path
