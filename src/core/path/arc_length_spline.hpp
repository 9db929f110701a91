// The spline of a path's coordinates over its arc length: the one resampling samples.
#pragma once

#include <cstddef>
#include <vector>

#include "path/path.hpp"
#include "path/resampling_type.hpp"
#include "spline/in_place_spline.hpp"
#include "spline/spline.hpp"
#include "util/make_spline.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {

// Unnamed: every file that samples the spline gets its own value types, and with them its own
// instances of the sampling templates, which the compiler then inlines as it inlines a file's
// own functions. Shared instances (of types with a name outside the file) made resampling run
// at half the speed.
namespace {

// Both coordinates share the parameters, the cumulative lengths, so one spline carries the
// two in the lanes of its values; each lane is exactly the spline of that coordinate alone.
// They are read in place: straight off the points (the usual case, which spares the two
// coordinate vectors), or off the coordinate lists a path was made from.
struct PointValues {
    const Point* points;
    Point last_point;
    util::PointLanes value(std::size_t i) const noexcept { return util::lanes_of(points[i]); }
    util::PointLanes last() const noexcept { return util::lanes_of(last_point); }
};

// Lists of unequal length: the guards past the end take the last entry of each whole list,
// which may lie beyond the last point.
struct ListValues {
    const double* xs;
    const double* ys;
    Point last_entries;
    util::PointLanes value(std::size_t i) const noexcept { return util::PointLanes{xs[i], ys[i]}; }
    util::PointLanes last() const noexcept { return util::lanes_of(last_entries); }
};

}  // namespace

/// Calls `use(spline)` with the spline of the path's coordinates over its cumulative lengths,
/// of the method the resampling type names, and returns what it returns. The keys are
/// make_spline's, read in place: the cumulative lengths never decrease. Precondition: the path
/// has points.
template <class Use>
decltype(auto) with_arc_length_spline(const Path& path, ResamplingType resampling_type, Use&& use) {
    using spline::Interpolation;
    const std::vector<double>& lengths = path.path_length_per_point();
    const auto with_values = [&](auto values) -> decltype(auto) {
        const util::NonDecreasing parameters{lengths};
        if (resampling_type == ResamplingType::Cubic) {
            return use(util::make_spline<Interpolation::Cubic>(parameters, values));
        }
        return use(util::make_spline<Interpolation::Linear>(parameters, values));
    };
    if (path.coordinates_mirror_points()) {
        const std::vector<Point>& points = path.points();
        return with_values(PointValues{points.data(), points.back()});
    }
    const std::vector<double>& xs = path.x();
    const std::vector<double>& ys = path.y();
    return with_values(ListValues{xs.data(), ys.data(), {xs.back(), ys.back()}});
}

}  // namespace ordavin::path
