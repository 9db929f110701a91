// The index and the path length of a point located on a path.
#pragma once

#include <cstdint>
#include <optional>

#include "path/path.hpp"
#include "util/point.hpp"

namespace ordavin::path {

/// The index of the path point at which the located position begins: 0 or n - 1 after a snap
/// to an end point, else the start of the nearest covering segment. Nothing outside the path.
std::optional<std::uint64_t> index_from_point(const Path& path, Point point, double epsilon);

/// The arc length from the first point to the located position, the last bit measured along
/// the segment from the query itself (so a query just behind the start is slightly negative).
/// Fills the path's cumulative-length cache. Nothing outside the path.
std::optional<double> path_length_from_point(const Path& path, Point point, double epsilon);

}  // namespace ordavin::path
