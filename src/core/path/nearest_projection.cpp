// Locating a query point on a path: end-point snapping, then the nearest covering segment.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "path/nearest_projection.hpp"

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

constexpr std::size_t block_size = 8;

// Whether any of the block_size segments starting at xs[0], ys[0] may cover the query, without
// dividing. A covering t = numerator / squared_length < 1 needs numerator < squared_length (a
// quotient of at least 1 rounds to at least 1), and t >= 0 needs numerator >= 0 unless a
// negative quotient underflows to -0.0, which needs |numerator| < squared_length * 2^-1074.
// NaN fails both comparisons, as it fails the exact test.
bool may_cover(const double* xs, const double* ys, Point point) noexcept {
    std::uint64_t any = 0;
    for (std::size_t j = 0; j < block_size; ++j) {
        const double dx = xs[j + 1] - xs[j];
        const double dy = ys[j + 1] - ys[j];
        const double numerator = (point.x - xs[j]) * dx + (point.y - ys[j]) * dy;
        const double squared_length = dx * dx + dy * dy;
        any |= static_cast<std::uint64_t>((numerator < squared_length) &
                                          (numerator >= -(squared_length * 0x1p-1000)));
    }
    return any != 0;
}

LocatedPoint snapped(std::uint64_t index, Point point) noexcept {
    return LocatedPoint{index, SegmentProjection{point, 0.0, 0.0, 0.0}};
}

}  // namespace

std::optional<LocatedPoint> nearest_projection(const Path& path, Point point, double epsilon) {
    const std::vector<Point>& points = path.points();
    const std::size_t count = points.size();
    if (count == 0) return std::nullopt;
    // The first point is tested first, so on a closed path the start wins.
    if (util::within_epsilon(point, points.front(), epsilon)) {
        return snapped(0, points.front());
    }
    if (util::within_epsilon(point, points.back(), epsilon)) {
        return snapped(count - 1, points.back());
    }

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
        const double dx = xs[i + 1] - xs[i];
        const double dy = ys[i + 1] - ys[i];
        const double t = ((point.x - xs[i]) * dx + (point.y - ys[i]) * dy) / (dx * dx + dy * dy);
        if (!(t >= 0.0 && t < 1.0)) return;
        const double ox = xs[i] + t * dx - point.x;
        const double oy = ys[i] + t * dy - point.y;
        const double distance = std::sqrt(ox * ox + oy * oy);
        if (!found || total_order_less(distance, best_distance)) {
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
        if (may_cover(xs + i, ys + i, point)) {
            for (std::size_t j = i; j < i + block_size; ++j) consider(j);
        }
    }
    for (; i < segments; ++i) consider(i);
    if (!found) return std::nullopt;
    return LocatedPoint{best_index, util::compute_projection(points[best_index],
                                                             points[best_index + 1], point)};
}

}  // namespace ordavin::path
