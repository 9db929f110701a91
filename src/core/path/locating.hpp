// The index and the path length of a point located on a path, for one query or many.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "path/path.hpp"
#include "util/point.hpp"

namespace ordavin::path {

/// The index of the path point at which the located position begins: 0 or n - 1 after a snap
/// to an end point, else the start of the nearest covering segment. Nothing outside the path.
/// A long path builds its segment index on the first query and answers from it.
std::optional<std::uint64_t> index_from_point(const Path& path, Point point, double epsilon);

/// The arc length from the first point to the located position, the last bit measured along
/// the segment from the query itself (so a query just behind the start is slightly negative).
/// Fills the path's cumulative-length cache (and, on a long path, its segment index). Nothing
/// outside the path.
std::optional<double> path_length_from_point(const Path& path, Point point, double epsilon);

/// index_from_point for each query, -1 where it gives nothing. Builds the path's segment
/// index on first use, so each query costs about the logarithm of the path's size.
std::vector<std::int64_t> index_from_points(const Path& path, std::span<const Point> points,
                                            double epsilon);

/// path_length_from_point for each query, NaN where it gives nothing. Builds the path's
/// segment index on first use; fills the cumulative-length cache once a query is located.
std::vector<double> path_length_from_points(const Path& path, std::span<const Point> points,
                                            double epsilon);

}  // namespace ordavin::path
