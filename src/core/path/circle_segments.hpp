// The decomposition of a path into circular arcs, and the per-point curvature it yields.
#pragma once

#include <cstdint>
#include <vector>

#include "path/path.hpp"

namespace ordavin::path {

/// One arc of a circle decomposition: the points start <= i < end and 1 / radius of their fit
/// (0.0 for fewer than three points; never negative).
struct CircleSegment {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    double curvature = 0.0;
};

/// Decomposes the points start <= i < end into circular arcs whose Taubin fits have an RMSE
/// of at most max_rmse, by recursive bisection with one merge attempt at each split. Throws
/// Panic for start > end, a range of three or more points past the points, or a fit that
/// reports failure.
std::vector<CircleSegment> find_circle_segments(const Path& path, std::uint64_t start,
                                                std::uint64_t end, double max_rmse);

/// The curvature of the arc each point belongs to, one value per entry of x.
std::vector<double> compute_circle_fit_curvature(const Path& path, double max_rmse);

}  // namespace ordavin::path
