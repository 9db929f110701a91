// The path record: an ordered polyline of points with lazily cached per-point quantities.
// The algorithms over it live in their own units beside this one.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "path/segment_index.hpp"
#include "util/point.hpp"

namespace ordavin::path {

/// A path. Its points never change after construction; only its caches (the per-point
/// quantities and the segment index) are filled, each at most once, on first use. Operations
/// that change geometry return a new Path (the free functions of the units beside this one).
///
/// `x` and `y` normally mirror `points`; a path made from coordinate lists of unequal length
/// keeps both lists whole while `points` holds only the first min(len(x), len(y)) pairs.
class Path {
public:
    /// The one way new paths are made from points: x and y are copied out of them.
    static Path from_points(std::vector<Point> points);
    /// Pairs x[i] with y[i] for i below the shorter length; keeps both vectors whole.
    static Path from_coordinates(std::vector<double> x, std::vector<double> y);

    const std::vector<Point>& points() const noexcept { return points_; }
    /// The x coordinates: those of the points, or the whole x list a path was made from.
    const std::vector<double>& x() const;
    /// The y coordinates: those of the points, or the whole y list a path was made from.
    const std::vector<double>& y() const;
    std::size_t size() const noexcept { return points_.size(); }

    // Per-point quantities, one entry per point, each computed once and cached.

    /// Cumulative arc length; the first entry is 0.0.
    const std::vector<double>& path_length_per_point() const;
    /// The last cumulative length; 0.0 for an empty path.
    double length() const;
    /// Heading in radians, atan2 of the chord through the neighbours (one-sided at the ends).
    const std::vector<double>& orientation() const;
    /// Unit tangent from index-based differences; a zero difference gives (NaN, NaN).
    const std::vector<Point>& unit_tangent_vector() const;
    /// Signed curvature from index-based differences, positive turning counter-clockwise.
    const std::vector<double>& curvature() const;

    /// The hierarchy over the segments that locates many query points without a scan each.
    const SegmentIndex& segment_index() const;

    /// Whether x and y are exactly the coordinates of the points (always so, unless the path
    /// was made from coordinate lists of unequal length).
    bool coordinates_mirror_points() const noexcept {
        return (!x_ || x_->size() == points_.size()) && (!y_ || y_->size() == points_.size());
    }

private:
    /// Keeps `value` in `cache` unless the cache was filled meanwhile, and returns what the
    /// cache holds. A long computation asks whether to stop, and that check can run Python
    /// code which reads the same quantity: a filled cache must never be replaced, since arrays
    /// handed out over it point into its memory.
    template <class T>
    static const T& fill_once(std::optional<T>& cache, T&& value) {
        if (!cache) cache.emplace(std::move(value));
        return *cache;
    }

    explicit Path(std::vector<Point> points) noexcept : points_(std::move(points)) {}
    Path(std::vector<Point> points, std::vector<double> x, std::vector<double> y) noexcept
        : points_(std::move(points)), x_(std::move(x)), y_(std::move(y)) {}

    std::vector<Point> points_;
    // A path made from points takes its coordinate vectors out of them on first use: most
    // paths never need them, and copying them eagerly would triple the memory written per
    // point. A path made from coordinates keeps the vectors it was given.
    mutable std::optional<std::vector<double>> x_;
    mutable std::optional<std::vector<double>> y_;
    mutable std::optional<std::vector<double>> path_length_per_point_cache;
    mutable std::optional<std::vector<double>> orientation_cache;
    mutable std::optional<std::vector<Point>> unit_tangent_vector_cache;
    mutable std::optional<std::vector<double>> curvature_cache;
    mutable std::optional<SegmentIndex> segment_index_cache;
};

}  // namespace ordavin::path
