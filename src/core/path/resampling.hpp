// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#pragma once

#include <cstdint>

#include "path/path.hpp"
#include "path/resampling_type.hpp"

namespace ordavin::path {

/// number_points points equally spaced in arc length from the first point to the last.
/// Throws Panic for an empty path, number_points = 0 or a NaN sample parameter.
Path resampled_path(const Path& path, std::uint64_t number_points, ResamplingType resampling_type);

}  // namespace ordavin::path
