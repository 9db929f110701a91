// Cutting a path between two located points.
#include "path/sub_path.hpp"

#include "path/locating.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

std::optional<Path> sub_path(const Path& path, std::optional<Point> start, std::optional<Point> end,
                             double epsilon) {
    const std::vector<Point>& points = path.points();
    const std::size_t count = points.size();
    if (count == 0) return std::nullopt;

    Locator locator(path, 2);
    const std::optional<LocatedPoint> from = locator.locate(start.value_or(points.front()), epsilon);
    if (!from) return std::nullopt;
    const std::optional<LocatedPoint> to = locator.locate(end.value_or(points.back()), epsilon);
    if (!to) return std::nullopt;

    const auto& [first, start_projection] = *from;
    const auto& [last, end_projection] = *to;
    if (first > last) return std::nullopt;
    if (first == last && start_projection.parameter > end_projection.parameter) {
        return std::nullopt;
    }

    // The start segment's first point is represented by the start foot, which gives way to
    // the next path point when the two coincide within epsilon; likewise the end foot gives
    // way to the last point collected.
    std::vector<Point> result;
    result.reserve(static_cast<std::size_t>(last - first) + 2);
    const Point start_foot = start_projection.foot;
    if (first + 1 < count && !util::within_epsilon(start_foot, points[first + 1], epsilon)) {
        result.push_back(start_foot);
    }
    for (std::size_t i = first + 1; i <= last; ++i) result.push_back(points[i]);
    const Point end_foot = end_projection.foot;
    if (result.empty() || !util::within_epsilon(end_foot, result.back(), epsilon)) {
        result.push_back(end_foot);
    }
    return Path::from_points(std::move(result));
}

}  // namespace ordavin::path
