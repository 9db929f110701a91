// A path's coordinates read in place: off the points, or off the two coordinate lists of a path
// made from lists of unequal length.
#pragma once

#include <cstddef>
#include <span>

#include "path/path.hpp"
#include "util/differences.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {

/// One coordinate read in place: `count` values, the k-th given by read(k).
template <class Read>
struct Coordinate {
    std::size_t count;
    Read read;

    /// difference_at over these values.
    double difference(std::size_t i) const noexcept { return util::difference_at(count, i, read); }
};

/// One coordinate of each point, selected by `Member`.
template <double Point::*Member>
struct ReadPoints {
    const Point* points;
    double operator()(std::size_t k) const noexcept { return points[k].*Member; }
};

/// The entries of one coordinate list.
struct ReadList {
    const double* values;
    double operator()(std::size_t k) const noexcept { return values[k]; }
};

/// The coordinates straight off the points (the usual case, which spares the two coordinate
/// vectors). value, last and difference carry both coordinates in the lanes of one value;
/// each lane is exactly what that coordinate alone gives.
struct PointValues {
    std::span<const Point> points;

    util::PointLanes value(std::size_t i) const noexcept { return util::lanes_of(points[i]); }
    /// The last point.
    util::PointLanes last() const noexcept { return util::lanes_of(points.back()); }
    /// The first difference over the index at point i.
    util::PointLanes difference(std::size_t i) const noexcept {
        return util::difference_at(points.size(), i, [this](std::size_t k) { return value(k); });
    }
    Coordinate<ReadPoints<&Point::x>> x() const noexcept {
        return {points.size(), {points.data()}};
    }
    Coordinate<ReadPoints<&Point::y>> y() const noexcept {
        return {points.size(), {points.data()}};
    }
};

/// Lists of unequal length, of which the points pair only the first min(len(x), len(y)): each
/// coordinate's differences run over its whole list, and `last` (a spline's guard past its
/// last key) takes the last entry of each whole list, either of which may lie beyond the last
/// point.
struct ListValues {
    std::span<const double> xs;
    std::span<const double> ys;

    util::PointLanes value(std::size_t i) const noexcept { return util::PointLanes{xs[i], ys[i]}; }
    util::PointLanes last() const noexcept { return util::PointLanes{xs.back(), ys.back()}; }
    util::PointLanes difference(std::size_t i) const noexcept {
        return util::PointLanes{x().difference(i), y().difference(i)};
    }
    Coordinate<ReadList> x() const noexcept { return {xs.size(), {xs.data()}}; }
    Coordinate<ReadList> y() const noexcept { return {ys.size(), {ys.data()}}; }
};

/// `use(values)` with the values that fit the path: PointValues when its coordinates mirror its
/// points, ListValues otherwise.
template <class Use>
decltype(auto) with_coordinate_values(const Path& path, Use&& use) {
    if (path.coordinates_mirror_points()) return use(PointValues{path.points()});
    return use(ListValues{path.x(), path.y()});
}

}  // namespace ordavin::path
