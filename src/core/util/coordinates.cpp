// Splitting a list of points into its coordinate vectors.
#include "util/coordinates.hpp"

#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"

namespace ordavin::util {

namespace {

/// One coordinate of every point. Fresh memory is slow to touch the first time, a few
/// nanoseconds a coordinate, so a long copy asks whether to stop now and then.
template <double Point::*Coordinate>
std::vector<double> extract(std::span<const Point> points) {
    std::vector<double> values;
    reserve_fresh(values, points.size());
    for_each_block(points.size(), 8, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) values.push_back(points[i].*Coordinate);
    });
    return values;
}

}  // namespace

std::vector<double> extract_points_x(std::span<const Point> points) {
    return extract<&Point::x>(points);
}

std::vector<double> extract_points_y(std::span<const Point> points) {
    return extract<&Point::y>(points);
}

}  // namespace ordavin::util
