// Locating a query point on a path by the scan of every segment: end-point snapping, then the
// nearest covering segment.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "path/path.hpp"
#include "path/segment_kernels.hpp"
#include "util/point.hpp"

namespace ordavin::path {

using util::SegmentProjection;

/// Locates a query: snaps to the first, then the last point when within epsilon per
/// coordinate (foot = that point, zeros), else the nearest segment whose foot lies in
/// [start, end), the lower index on equal distances. Nothing for an empty path or a query
/// that no segment covers. Scans every segment; the segment index gives the same answer
/// faster (see locating.hpp for which one a query gets).
std::optional<LocatedPoint> nearest_projection(Vertices vertices, Point point, double epsilon);

/// nearest_projection over the path's points.
std::optional<LocatedPoint> nearest_projection(const Path& path, Point point, double epsilon);

/// The segment whose closed extent holds the nearest point to the query, by the scan of every
/// segment in order: what SegmentIndex::nearest returns (see there), for any query and path.
/// Precondition: at least two vertices, `lengths` the cumulative arc length at each.
std::optional<std::size_t> nearest_segment(Vertices vertices, std::span<const double> lengths,
                                           Point point, std::optional<ArcLengthWindow> window);

/// The vertices of a path as the kernels read them: its coordinate vectors, cut to its points.
Vertices vertices_of(const Path& path);

}  // namespace ordavin::path
