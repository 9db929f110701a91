// Removing consecutive duplicate points.
#include "path/without_duplicate_points.hpp"

#include "util/fresh_memory.hpp"

namespace ordavin::path {

Path without_duplicate_points(const Path& path) {
    // Each point is compared with the last point kept, not with its input predecessor, so a
    // run of equal points collapses to its first. Exact IEEE comparison: NaN never equals
    // anything (such points are kept), while 0.0 and -0.0 are equal.
    std::vector<Point> kept;
    util::reserve_fresh(kept, path.points().size());
    for (const Point& point : path.points()) {
        if (kept.empty() || !(point.x == kept.back().x && point.y == kept.back().y)) {
            kept.push_back(point);
        }
    }
    // Only a result much shorter than its input is worth a copy to give memory back.
    if (kept.size() < kept.capacity() / 2) kept.shrink_to_fit();
    return Path::from_points(std::move(kept));
}

}  // namespace ordavin::path
