// The path record: an ordered polyline of points with lazily cached per-point quantities.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "path/resampling_type.hpp"
#include "qp/solver/solver_status.hpp"
#include "util/point.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

/// One arc of a circle decomposition: the points start <= i < end and 1 / radius of their fit
/// (0.0 for fewer than three points; never negative).
struct CircleSegment {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    double curvature = 0.0;
};

using util::SegmentProjection;

/// The index of the path point at which the covering segment starts, and the projection.
using LocatedPoint = std::pair<std::uint64_t, SegmentProjection>;

/// A path. Its points never change after construction; only the four caches of per-point
/// quantities are filled, each at most once, on first use. Operations that change geometry
/// return a new Path.
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

    /// Drops every point equal (exact IEEE comparison) to the last point kept.
    Path without_duplicate_points() const;

    /// Decomposes the points start <= i < end into circular arcs whose Taubin fits have an
    /// RMSE of at most max_rmse. Throws Panic for start > end, a range past the points, or a
    /// decomposition that reports failure.
    std::vector<CircleSegment> find_circle_segments(std::uint64_t start, std::uint64_t end,
                                                    double max_rmse) const;
    /// The curvature of the arc each point belongs to, one value per entry of x.
    std::vector<double> compute_circle_fit_curvature(double max_rmse) const;

    /// number_points points equally spaced in arc length from the first point to the last.
    /// Throws Panic for an empty path, number_points = 0 or a NaN sample parameter.
    Path resampled_path(std::uint64_t number_points, ResamplingType resampling_type) const;

    /// Locates a query point: snaps to the first, then the last point when within epsilon
    /// per coordinate, else the nearest segment whose foot lies in [start, end).
    std::optional<LocatedPoint> nearest_projection(Point point, double epsilon) const;
    std::optional<std::uint64_t> index_from_point(Point point, double epsilon) const;
    std::optional<double> path_length_from_point(Point point, double epsilon) const;
    /// The part of the path between two located points; nothing when either is outside the
    /// path or the end lies before the start.
    std::optional<Path> sub_path(std::optional<Point> start, std::optional<Point> end,
                                 double epsilon) const;

    /// Elastic-band smoothing: interior points move along their normal by at most
    /// |max_deviation| so that the sum of squared second differences is least.
    /// Throws Panic for fewer than two points; a failed solve is returned as its status.
    std::variant<Path, qp::SolverStatus> smoothed_path(double max_deviation) const;

private:
    explicit Path(std::vector<Point> points) noexcept : points_(std::move(points)) {}
    Path(std::vector<Point> points, std::vector<double> x, std::vector<double> y) noexcept
        : points_(std::move(points)), x_(std::move(x)), y_(std::move(y)) {}

    /// Whether x and y are exactly the coordinates of the points (always so, unless the path
    /// was made from coordinate lists of unequal length).
    bool coordinates_mirror_points() const noexcept {
        return (!x_ || x_->size() == points_.size()) && (!y_ || y_->size() == points_.size());
    }

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
};

}  // namespace ordavin::path
