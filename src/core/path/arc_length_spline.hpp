// The spline of a path's coordinates over its arc length: the one resampling samples.
#pragma once

#include <cstddef>
#include <vector>

#include "path/coordinate_values.hpp"
#include "path/path.hpp"
#include "path/resampling_type.hpp"
#include "spline/in_place_spline.hpp"
#include "spline/spline.hpp"
#include "util/make_spline.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {

namespace {

/// The path's coordinate values as a type of the including file's own. The sampling templates
/// instantiated over it are then that file's own functions, which the compiler inlines into its
/// sampling loop as it inlines a file's static functions; instantiated over a type with a name
/// outside the file, they are shared between files and were left out of line, which made
/// resampling run at half the speed.
template <class Values>
struct FileValues : Values {};

}  // namespace

/// Calls `use(spline)` with the spline of the path's coordinates over its cumulative lengths,
/// of the method the resampling type names, and returns what it returns. The keys are
/// make_spline's, read in place: the cumulative lengths never decrease. Precondition: the path
/// has points.
template <class Use>
decltype(auto) with_arc_length_spline(const Path& path, ResamplingType resampling_type, Use&& use) {
    using spline::Interpolation;
    const std::vector<double>& lengths = path.path_length_per_point();
    // Both coordinates share the parameters, the cumulative lengths, so one spline carries the
    // two in the lanes of its values; each lane is exactly the spline of that coordinate alone.
    return with_coordinate_values(path, [&](auto values) -> decltype(auto) {
        const FileValues<decltype(values)> own{values};
        const util::NonDecreasing parameters{lengths};
        if (resampling_type == ResamplingType::Cubic) {
            return use(util::make_spline<Interpolation::Cubic>(parameters, own));
        }
        return use(util::make_spline<Interpolation::Linear>(parameters, own));
    });
}

}  // namespace ordavin::path
