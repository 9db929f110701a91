// Points at given arc lengths, on the spline that resampling samples.
#pragma once

#include <span>
#include <vector>

#include "path/path.hpp"
#include "path/resampling_type.hpp"

namespace ordavin::path {

/// The points at the arc lengths `stations`, as x and y of each station in turn (2 entries per
/// station), on the spline of `resampling_type` that resampled_path samples: the same keys,
/// guards and interval evaluation, so that at the values of linspace(0, L, n) they are the bits
/// of resampled_path(path, n, resampling_type)'s points. Stations in order find their intervals
/// by moving the previous one's forward, others by bisection; the results do not depend on the
/// order. A station below 0 gives the first point and one above the length the last (as
/// np.interp does); a NaN station gives (NaN, NaN), and so does every station on a path without
/// points or whose length is NaN.
std::vector<double> interpolated_coordinates(const Path& path, std::span<const double> stations,
                                             ResamplingType resampling_type);

}  // namespace ordavin::path
