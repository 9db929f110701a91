// The path record: factories and duplicate removal.
#include "path/path.hpp"

#include <algorithm>

#include "util/coordinates.hpp"

namespace ordavin::path {

Path Path::from_points(std::vector<Point> points) {
    auto x = util::extract_points_x(points);
    auto y = util::extract_points_y(points);
    return Path(std::move(points), std::move(x), std::move(y));
}

Path Path::from_coordinates(std::vector<double> x, std::vector<double> y) {
    const std::size_t count = std::min(x.size(), y.size());
    std::vector<Point> points(count);
    for (std::size_t i = 0; i < count; ++i) points[i] = Point{x[i], y[i]};
    return Path(std::move(points), std::move(x), std::move(y));
}

Path Path::without_duplicate_points() const {
    // Each point is compared with the last point kept, not with its input predecessor, so a
    // run of equal points collapses to its first. Exact IEEE comparison: NaN never equals
    // anything (such points are kept), while 0.0 and -0.0 are equal.
    std::vector<Point> kept;
    kept.reserve(points_.size());
    for (const Point& point : points_) {
        if (kept.empty() || !(point.x == kept.back().x && point.y == kept.back().y)) {
            kept.push_back(point);
        }
    }
    kept.shrink_to_fit();
    return from_points(std::move(kept));
}

}  // namespace ordavin::path
