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

/// A bit k for each of the `count` (at most 64) segments starting at xs[k], ys[k] that may
/// cover the query, without dividing; every covering segment has its bit set. A covering
/// t = numerator / squared_length < 1 needs numerator < squared_length (a quotient of at least
/// 1 rounds to at least 1), and t >= 0 needs numerator >= 0 unless a negative quotient
/// underflows to -0.0, which needs |numerator| < squared_length * 2^-1074 (and so a squared
/// length above 1, whose product with 2^-1000 does not underflow). NaN fails both comparisons,
/// as it fails the exact test. The numerator and squared length are the bits
/// covering_distance computes.
inline std::uint64_t covering_candidates(const double* xs, const double* ys, std::size_t count,
                                         Point point) noexcept {
    std::uint64_t candidates = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double dx = xs[k + 1] - xs[k];
        const double dy = ys[k + 1] - ys[k];
        const double numerator = (point.x - xs[k]) * dx + (point.y - ys[k]) * dy;
        const double squared_length = dx * dx + dy * dy;
        const bool may_cover =
            (numerator < squared_length) & (numerator >= -(squared_length * 0x1p-1000));
        candidates |= static_cast<std::uint64_t>(may_cover) << k;
    }
    return candidates;
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
