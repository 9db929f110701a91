// The index and the path length of a located point.
#include "path/locating.hpp"

#include "path/nearest_projection.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

std::optional<std::uint64_t> index_from_point(const Path& path, Point point, double epsilon) {
    const std::optional<LocatedPoint> located = nearest_projection(path, point, epsilon);
    if (!located) return std::nullopt;
    return located->first;
}

std::optional<double> path_length_from_point(const Path& path, Point point, double epsilon) {
    const std::optional<LocatedPoint> located = nearest_projection(path, point, epsilon);
    const std::vector<Point>& points = path.points();
    if (!located) return std::nullopt;
    const std::size_t index = located->first;
    double length = path.path_length_per_point()[index];
    // Measured from the query itself even after a snap to the first point, so a query just
    // behind the start gets a small negative length.
    if (index + 1 < points.size()) {
        length += util::compute_projection(points[index], points[index + 1], point)
                      .distance_along;
    }
    return length;
}

}  // namespace ordavin::path
