// Removing consecutive duplicate points.
#pragma once

#include "path/path.hpp"

namespace ordavin::path {

/// A new path without the points equal (exact IEEE comparison, so NaN is always kept and
/// -0.0 equals 0.0) to the last point kept: a run of equal points collapses to its first.
Path without_duplicate_points(const Path& path);

}  // namespace ordavin::path
