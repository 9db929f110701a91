// Locating a query point on a path: end-point snapping, then the nearest covering segment.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "path/path.hpp"
#include "path/segment_index.hpp"
#include "util/point.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

using util::SegmentProjection;

/// Locates a query point: snaps to the first, then the last point when within epsilon per
/// coordinate (foot = that point, zeros), else the nearest segment whose foot lies in
/// [start, end), the lower index on equal distances. Nothing for an empty path or a query
/// that no segment covers. Scans every segment; `locate` gives the same answer faster.
std::optional<LocatedPoint> nearest_projection(const Path& path, Point point, double epsilon);

namespace detail {

/// The snap to the first point, else to the last, when the query lies within epsilon of it
/// per coordinate: foot = that point and zeros. Nothing for an empty path or no snap.
std::optional<LocatedPoint> snapped_to_end(const std::vector<Point>& points, Point point,
                                           double epsilon) noexcept;

/// IEEE totalOrder: negative NaN < -inf < ... < -0 < +0 < ... < +inf < positive NaN. Mapping
/// the bits of a negative double onto their reversed magnitude makes it a signed comparison.
inline bool total_order_less(double left, double right) noexcept {
    const auto key = [](double value) {
        const auto bits = std::bit_cast<std::int64_t>(value);
        return bits < 0 ? bits ^ std::numeric_limits<std::int64_t>::max() : bits;
    };
    return key(left) < key(right);
}

/// Whether segment i, from (xs[i], ys[i]) to (xs[i + 1], ys[i + 1]), covers the query: its
/// foot lies in [start, end). If so, `distance` receives the distance to the foot, with the
/// operations of compute_projection, so that every search ranks segments by the same bits.
/// A zero-length segment gives t = NaN and never covers.
inline bool covering_distance(const double* xs, const double* ys, std::size_t i, Point point,
                              double& distance) noexcept {
    const double dx = xs[i + 1] - xs[i];
    const double dy = ys[i + 1] - ys[i];
    const double t = ((point.x - xs[i]) * dx + (point.y - ys[i]) * dy) / (dx * dx + dy * dy);
    if (!(t >= 0.0 && t < 1.0)) return false;
    const double ox = xs[i] + t * dx - point.x;
    const double oy = ys[i] + t * dy - point.y;
    distance = std::sqrt(ox * ox + oy * oy);
    return true;
}

}  // namespace detail

}  // namespace ordavin::path
