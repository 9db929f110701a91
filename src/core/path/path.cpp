// The path record: factories, coordinate vectors and duplicate removal.
#include "path/path.hpp"

#include <algorithm>

#include "util/coordinates.hpp"
#include "util/fresh_memory.hpp"

namespace ordavin::path {

Path Path::from_points(std::vector<Point> points) {
    return Path(std::move(points));
}

Path Path::from_coordinates(std::vector<double> x, std::vector<double> y) {
    const std::size_t count = std::min(x.size(), y.size());
    std::vector<Point> points;
    util::reserve_fresh(points, count);
    for (std::size_t i = 0; i < count; ++i) points.push_back(Point{x[i], y[i]});
    return Path(std::move(points), std::move(x), std::move(y));
}

const std::vector<double>& Path::x() const {
    if (!x_) x_ = util::extract_points_x(points_);
    return *x_;
}

const std::vector<double>& Path::y() const {
    if (!y_) y_ = util::extract_points_y(points_);
    return *y_;
}

Path Path::without_duplicate_points() const {
    // Each point is compared with the last point kept, not with its input predecessor, so a
    // run of equal points collapses to its first. Exact IEEE comparison: NaN never equals
    // anything (such points are kept), while 0.0 and -0.0 are equal.
    std::vector<Point> kept;
    util::reserve_fresh(kept, points_.size());
    for (const Point& point : points_) {
        if (kept.empty() || !(point.x == kept.back().x && point.y == kept.back().y)) {
            kept.push_back(point);
        }
    }
    // Only a result much shorter than its input is worth a copy to give memory back.
    if (kept.size() < kept.capacity() / 2) kept.shrink_to_fit();
    return from_points(std::move(kept));
}

}  // namespace ordavin::path
