// Cutting a path between two located points.
#pragma once

#include <optional>

#include "path/path.hpp"
#include "util/point.hpp"

namespace ordavin::path {

/// The part of the path between two located points (the first point when `start` is not
/// given, the last when `end` is not): the start foot, the path points after it up to the
/// end segment's start, then the end foot, each foot dropped when it lies within epsilon of
/// its neighbour. Nothing for an empty path, a point outside the path, or an end before the
/// start.
std::optional<Path> sub_path(const Path& path, std::optional<Point> start, std::optional<Point> end,
                             double epsilon);

}  // namespace ordavin::path
