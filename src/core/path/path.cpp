// The path record: factories, coordinate vectors and the segment index.
#include "path/path.hpp"

#include <algorithm>
#include <span>

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
    if (x_) return *x_;
    return fill_once(x_, util::extract_points_x(points_));
}

const std::vector<double>& Path::y() const {
    if (y_) return *y_;
    return fill_once(y_, util::extract_points_y(points_));
}

const SegmentIndex& Path::segment_index() const {
    if (segment_index_cache) return *segment_index_cache;
    const std::vector<double>& lengths = path_length_per_point();
    const Vertices vertices{std::span<const double>(x()).first(size()),
                            std::span<const double>(y()).first(size())};
    return fill_once(segment_index_cache, SegmentIndex::build(vertices, lengths));
}

}  // namespace ordavin::path
