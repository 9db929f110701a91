// Splitting a list of points into its coordinate vectors.
#pragma once

#include <span>
#include <vector>

#include "util/point.hpp"

namespace ordavin::util {

/// The first coordinate of every point, in order.
std::vector<double> extract_points_x(std::span<const Point> points);

/// The second coordinate of every point, in order.
std::vector<double> extract_points_y(std::span<const Point> points);

}  // namespace ordavin::util
