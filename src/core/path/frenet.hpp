// Frenet coordinates of query points along a path: arc length, signed lateral offset and
// segment of the nearest point of the polyline.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "path/path.hpp"
#include "util/point.hpp"

namespace ordavin::path {

/// One entry per query: s, d and the segment index; NaN, NaN and -1 where there is no answer.
struct FrenetCoordinates {
    std::vector<double> s;
    std::vector<double> d;
    std::vector<std::int64_t> index;
};

/// The arc-length hints of a batch with the half-width of their window: one hint for every
/// query, or one per query.
struct ArcLengthHints {
    std::span<const double> hints;
    double window;
};

/// For each query P, the nearest point of the polyline, every segment k from A = p_k to
/// B = p_(k+1) closed: t = ((P - A) . (B - A)) / |B - A|^2 clamped to [0, 1] (0 where NaN),
/// foot A + t (B - A), distance |foot - P|; the least distance wins, the lowest index on equal
/// distances, and a NaN distance never does. s = s_k + |B - A| t, d = +distance when
/// (B - A) x (P - A) >= 0 (P on the left), else -distance; index k.
///
/// With hints, only segments whose [s_k, s_(k+1)] meets [hint - window, hint + window]
/// compete. No competing segment, a NaN query or an empty path: NaN, NaN, -1. A one-point
/// path: s = 0, index 0, d = the distance to its point. Every entry is bit for bit what a scan
/// of this rule gives, whatever the order of the queries; long batches use the segment index.
FrenetCoordinates frenet(const Path& path, std::span<const Point> queries,
                         std::optional<ArcLengthHints> hints);

}  // namespace ordavin::path
