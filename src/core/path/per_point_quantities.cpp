// The per-point quantities of a path, each computed on first use and kept in its cache.
#include <cmath>

#include "path/coordinate_values.hpp"
#include "path/path.hpp"
#include "util/differences.hpp"
#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {

const std::vector<double>& Path::path_length_per_point() const {
    if (path_length_per_point_cache) return *path_length_per_point_cache;

    std::vector<double> lengths;
    util::reserve_fresh(lengths, points_.size());
    if (!points_.empty()) {
        // A plain square root and a running left-to-right sum: the results must not depend on
        // a guarded hypotenuse or on a reordered summation.
        double total = 0.0;
        lengths.push_back(total);
        util::for_each_block(points_.size() - 1, 2, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin + 1; i <= end; ++i) {
                const double dx = points_[i].x - points_[i - 1].x;
                const double dy = points_[i].y - points_[i - 1].y;
                total += std::sqrt(dx * dx + dy * dy);
                lengths.push_back(total);
            }
        });
    }
    return fill_once(path_length_per_point_cache, std::move(lengths));
}

double Path::length() const {
    const std::vector<double>& lengths = path_length_per_point();
    return lengths.empty() ? 0.0 : lengths.back();
}

const std::vector<double>& Path::orientation() const {
    if (orientation_cache) return *orientation_cache;

    const std::size_t count = points_.size();
    std::vector<double> angles;
    util::reserve_fresh(angles, count);
    if (count == 1) angles.push_back(0.0);
    if (count >= 2) {
        // The heading at an interior point follows the chord between its neighbours; the ends
        // use their only segment.
        angles.push_back(std::atan2(points_[1].y - points_[0].y, points_[1].x - points_[0].x));
        util::for_each_block(count - 2, 20, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin + 1; i <= end; ++i) {
                angles.push_back(std::atan2(points_[i + 1].y - points_[i - 1].y,
                                            points_[i + 1].x - points_[i - 1].x));
            }
        });
        angles.push_back(std::atan2(points_[count - 1].y - points_[count - 2].y,
                                    points_[count - 1].x - points_[count - 2].x));
    }
    return fill_once(orientation_cache, std::move(angles));
}

const std::vector<Point>& Path::unit_tangent_vector() const {
    if (unit_tangent_vector_cache) return *unit_tangent_vector_cache;

    std::vector<Point> tangents = with_coordinate_values(*this, [this](auto values) {
        const std::size_t count = points_.size();
        std::vector<Point> result;
        util::reserve_fresh(result, count);
        // Both coordinates in the lanes of one register: the two divisions by the norm become
        // one, with the bits of two. No guard: a zero difference (a repeated neighbour, a
        // one-point path) gives NaN.
        util::for_each_block(count, 4, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const util::PointLanes d = values.difference(i);
                const double norm = std::sqrt(d[0] * d[0] + d[1] * d[1]);
                result.push_back(util::point_of(d / norm));
            }
        });
        return result;
    });
    return fill_once(unit_tangent_vector_cache, std::move(tangents));
}

const std::vector<double>& Path::curvature() const {
    if (curvature_cache) return *curvature_cache;

    std::vector<double> kappa = with_coordinate_values(*this, [this](auto values) {
        const std::size_t count = points_.size();
        std::vector<double> result;
        util::reserve_fresh(result, count);
        // Signed curvature of the index-parametrised curve. Each coordinate is differenced on
        // its own: in lanes, a product of two NaNs may pass on the other one. The second
        // difference at i takes the first differences at its neighbours, each recomputed in
        // place, which gives the bits of two passes of compute_differences without their
        // vectors. pow(.., 1.5) rather than r * sqrt(r) keeps the rounding of the general power
        // function. A zero speed gives NaN or infinity.
        const auto x = values.x();
        const auto y = values.y();
        const auto dx = [&x](std::size_t k) { return x.difference(k); };
        const auto dy = [&y](std::size_t k) { return y.difference(k); };
        util::for_each_block(count, 20, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const double dxi = dx(i);
                const double dyi = dy(i);
                const double ddx = util::difference_at(x.count, i, dx);
                const double ddy = util::difference_at(y.count, i, dy);
                const double speed_squared = dxi * dxi + dyi * dyi;
                result.push_back((dxi * ddy - dyi * ddx) / std::pow(speed_squared, 1.5));
            }
        });
        return result;
    });
    return fill_once(curvature_cache, std::move(kappa));
}

}  // namespace ordavin::path
