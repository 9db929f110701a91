// Locating a query point on a path: end-point snapping, then the nearest covering segment.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "path/path.hpp"
#include "util/point.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

using util::SegmentProjection;

/// The index of the path point at which the covering segment starts, and the projection.
using LocatedPoint = std::pair<std::uint64_t, SegmentProjection>;

/// Locates a query point: snaps to the first, then the last point when within epsilon per
/// coordinate (foot = that point, zeros), else the nearest segment whose foot lies in
/// [start, end), the lower index on equal distances. Nothing for an empty path or a query
/// that no segment covers.
std::optional<LocatedPoint> nearest_projection(const Path& path, Point point, double epsilon);

}  // namespace ordavin::path
