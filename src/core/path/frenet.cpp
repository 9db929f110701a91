// Frenet coordinates of query points along a path.
#include "path/frenet.hpp"

#include <cmath>
#include <limits>

#include "path/locating.hpp"
#include "path/nearest_projection.hpp"
#include "path/segment_kernels.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::path {
namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// What frenet holds per query at its peak: the queries read, the three results, and the
// spatial order with its two arrays of sort keys.
constexpr std::size_t bytes_per_query = sizeof(Point) + 2 * sizeof(double) + sizeof(std::int64_t) +
                                        sizeof(std::size_t) + 2 * sizeof(std::uint64_t);

struct Coordinates {
    double s;
    double d;
};

// s and d of the query on segment k, by the rule's own operations.
Coordinates on_segment(Vertices vertices, std::span<const double> lengths, std::size_t k,
                       Point point) noexcept {
    const double* xs = vertices.x.data();
    const double* ys = vertices.y.data();
    const double dx = xs[k + 1] - xs[k];
    const double dy = ys[k + 1] - ys[k];
    const double t = clamped_parameter(xs, ys, k, point);
    const double distance = std::sqrt(clamped_squared_distance(xs, ys, k, point));
    const double cross = dx * (point.y - ys[k]) - dy * (point.x - xs[k]);
    return Coordinates{lengths[k] + std::sqrt(dx * dx + dy * dy) * t,
                       cross >= 0.0 ? distance : -distance};
}

}  // namespace

FrenetCoordinates frenet(const Path& path, std::span<const Point> queries,
                         std::optional<ArcLengthHints> hints) {
    util::check_fits_in_memory(queries.size(), bytes_per_query, "points", "frenet");
    FrenetCoordinates result;
    result.s.assign(queries.size(), not_a_number);
    result.d.assign(queries.size(), not_a_number);
    result.index.assign(queries.size(), -1);
    if (queries.empty() || path.size() == 0) return result;

    const Vertices vertices = vertices_of(path);
    const std::span<const double> lengths = path.path_length_per_point();
    const auto window_of = [&hints](std::size_t k) -> std::optional<ArcLengthWindow> {
        if (!hints) return std::nullopt;
        const double hint = hints->hints[hints->hints.size() == 1 ? 0 : k];
        return ArcLengthWindow{hint - hints->window, hint + hints->window};
    };

    if (path.size() == 1) {
        // No segment: the one point is the nearest, at arc length 0.
        for (std::size_t k = 0; k < queries.size(); ++k) {
            const std::optional<ArcLengthWindow> window = window_of(k);
            if (window && !window->meets(lengths[0], lengths[0])) continue;
            const double distance =
                std::sqrt(vertex_squared_distance(vertices.x.data(), vertices.y.data(), 0,
                                                  queries[k]));
            if (std::isnan(distance)) continue;
            result.s[k] = 0.0;
            result.d[k] = distance;
            result.index[k] = 0;
        }
        return result;
    }

    Locator locator(path, queries.size());
    visit_in_spatial_order(
        queries,
        [&](std::size_t k) {
            const Point query = queries[k];
            // A NaN coordinate makes every distance NaN: no segment wins.
            if (std::isnan(query.x) || std::isnan(query.y)) return;
            const std::optional<std::size_t> segment = locator.nearest(query, window_of(k));
            if (!segment) return;
            const Coordinates coordinates = on_segment(vertices, lengths, *segment, query);
            result.s[k] = coordinates.s;
            result.d[k] = coordinates.d;
            result.index[k] = static_cast<std::int64_t>(*segment);
        },
        result.s.data(), result.d.data(), result.index.data());
    return result;
}

}  // namespace ordavin::path
