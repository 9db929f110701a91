// Splitting a list of points into its coordinate vectors.
#include "util/coordinates.hpp"

namespace ordavin::util {

std::vector<double> extract_points_x(std::span<const Point> points) {
    std::vector<double> x(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) x[i] = points[i].x;
    return x;
}

std::vector<double> extract_points_y(std::span<const Point> points) {
    std::vector<double> y(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) y[i] = points[i].y;
    return y;
}

}  // namespace ordavin::util
