// Splitting a list of points into its coordinate vectors.
#include "util/coordinates.hpp"

#include "util/fresh_memory.hpp"

namespace ordavin::util {

std::vector<double> extract_points_x(std::span<const Point> points) {
    std::vector<double> x;
    reserve_fresh(x, points.size());
    for (const Point& point : points) x.push_back(point.x);
    return x;
}

std::vector<double> extract_points_y(std::span<const Point> points) {
    std::vector<double> y;
    reserve_fresh(y, points.size());
    for (const Point& point : points) y.push_back(point.y);
    return y;
}

}  // namespace ordavin::util
