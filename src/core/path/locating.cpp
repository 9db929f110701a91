// The index and the path length of a point located on a path, for one query or many.
#include "path/locating.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "path/nearest_projection.hpp"
#include "path/segment_index.hpp"
#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"
#include "util/memory_policy.hpp"
#include "util/projection.hpp"

namespace ordavin::path {
namespace {

// From this many points on, a single query builds the path's segment index and uses it. The
// build costs about as much as seven scans of every segment, and each later query on the path
// costs a small fraction of one: a path this long is rarely asked only once or twice.
constexpr std::size_t indexed_path_size = 4096;
// From this many queries on, a batch builds the index whatever the path's size: the build
// then costs less than the scans it spares.
constexpr std::size_t indexed_batch_size = 8;

// What a batch locator holds per query at its peak: the queries read, the results, and the
// spatial order with its two arrays of sort keys.
constexpr std::size_t batch_bytes_per_query =
    sizeof(Point) + sizeof(std::int64_t) + sizeof(std::size_t) + 2 * sizeof(std::uint64_t);

// Work units of the interruption poll (about a nanosecond each) per query; the scan and the
// search ask the check themselves as they go.
constexpr std::uint64_t query_work = 50;

// Measured from the query itself even after a snap to the first point, so a query just
// behind the start gets a small negative length.
double length_at(const Path& path, const LocatedPoint& location, Point point) {
    const std::vector<Point>& points = path.points();
    const std::size_t index = location.index;
    double length = path.path_length_per_point()[index];
    if (index + 1 < points.size()) {
        length += util::compute_projection(points[index], points[index + 1], point)
                      .distance_along;
    }
    return length;
}

// The position of cell (x, y) of a 2^16 by 2^16 grid along the Hilbert curve through it.
std::uint32_t hilbert_position(std::uint32_t x, std::uint32_t y) noexcept {
    constexpr std::uint32_t side = 1u << 16;
    std::uint32_t position = 0;
    for (std::uint32_t half = side / 2; half > 0; half /= 2) {
        const std::uint32_t rx = (x & half) != 0 ? 1u : 0u;
        const std::uint32_t ry = (y & half) != 0 ? 1u : 0u;
        position += half * half * ((3u * rx) ^ ry);
        // Turns the quadrant so that the curve inside it starts where the last one ended: in
        // the lower quadrants x and y swap, in the lower right one both are mirrored first
        // (side - 1 - v is v with its 16 bits flipped). Masks instead of branches, which the
        // queries' scattered quadrants would mispredict half the time.
        const std::uint32_t lower = 0u - (ry ^ 1u);
        const std::uint32_t mirror = lower & (0u - rx) & (side - 1);
        x ^= mirror;
        y ^= mirror;
        const std::uint32_t swapped = (x ^ y) & lower;
        x ^= swapped;
        y ^= swapped;
    }
    return position;
}

}  // namespace

// The part of the hierarchy consecutive queries meet stays in cache.
std::vector<std::size_t> spatial_order(std::span<const Point> queries) {
    std::vector<std::size_t> order;
    util::reserve_fresh(order, queries.size());
    // Positions and query numbers share one 64-bit word; beyond 2^32 queries, keep the order.
    if (queries.size() > std::numeric_limits<std::uint32_t>::max()) {
        for (std::size_t k = 0; k < queries.size(); ++k) order.push_back(k);
        return order;
    }
    double min_x = std::numeric_limits<double>::infinity();
    double min_y = min_x;
    double max_x = -min_x;
    double max_y = -min_x;
    for (const Point query : queries) {
        if (!std::isfinite(query.x) || !std::isfinite(query.y)) continue;
        min_x = std::min(min_x, query.x);
        max_x = std::max(max_x, query.x);
        min_y = std::min(min_y, query.y);
        max_y = std::max(max_y, query.y);
    }
    // Square cells, so that the curve follows the queries along a long, thin box too. Halves
    // keep a box as wide as the whole range of doubles finite. A tiny width can make the scale
    // infinite and 0 * inf NaN; such a query goes to the first cell.
    constexpr double cells = 0x1p16;
    const double half_width = std::max(max_x * 0.5 - min_x * 0.5, max_y * 0.5 - min_y * 0.5);
    const double scale = half_width > 0.0 ? cells / half_width : 0.0;
    const auto cell = [scale](double offset) -> std::uint32_t {
        const double scaled = offset * 0.5 * scale;
        if (!(scaled >= 0.0)) return 0;
        return static_cast<std::uint32_t>(std::min(scaled, cells - 1.0));
    };

    std::vector<std::uint64_t> keys;
    util::reserve_fresh(keys, queries.size());
    // A position costs some tens of nanoseconds: the loop asks whether to stop now and then.
    util::for_each_block(queries.size(), 64, [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const Point query = queries[k];
            std::uint64_t position = std::numeric_limits<std::uint32_t>::max();
            if (std::isfinite(query.x) && std::isfinite(query.y)) {
                position = hilbert_position(cell(query.x - min_x), cell(query.y - min_y));
            }
            keys.push_back(position << 32 | k);
        }
    });
    // A stable radix sort on the position, one byte per pass.
    std::vector<std::uint64_t> sorted(keys.size());
    for (unsigned shift = 32; shift < 64; shift += 8) {
        util::throw_if_interrupted();
        std::array<std::size_t, 257> starts{};
        for (const std::uint64_t key : keys) ++starts[((key >> shift) & 0xff) + 1];
        for (std::size_t digit = 1; digit < starts.size(); ++digit) {
            starts[digit] += starts[digit - 1];
        }
        for (const std::uint64_t key : keys) sorted[starts[(key >> shift) & 0xff]++] = key;
        keys.swap(sorted);
    }
    for (const std::uint64_t key : keys) order.push_back(key & 0xffffffffu);
    return order;
}

Locator::Locator(const Path& path, std::size_t queries)
    : path_(path), vertices_(vertices_of(path)) {
    if (queries >= indexed_batch_size || path.size() >= indexed_path_size) {
        index_ = &path.segment_index();
    }
}

std::optional<LocatedPoint> Locator::locate(Point point, double epsilon) {
    // A NaN coordinate makes every comparison of the snap and every parameter NaN: the scan
    // locates nothing.
    state_.poll.add(query_work);
    if (std::isnan(point.x) || std::isnan(point.y)) return std::nullopt;
    if (index_ != nullptr && SegmentIndex::bounds(point)) {
        return index_->locate(vertices_, point, epsilon, state_);
    }
    return nearest_projection(vertices_, point, epsilon);
}

std::optional<std::size_t> Locator::nearest(Point point, std::optional<ArcLengthWindow> window) {
    state_.poll.add(query_work);
    const std::span<const double> lengths = path_.path_length_per_point();
    if (index_ != nullptr && SegmentIndex::bounds(point)) {
        return index_->nearest(vertices_, lengths, point, window, state_);
    }
    return nearest_segment(vertices_, lengths, point, window);
}

std::optional<std::uint64_t> index_from_point(const Path& path, Point point, double epsilon) {
    const std::optional<LocatedPoint> location = Locator(path, 1).locate(point, epsilon);
    if (!location) return std::nullopt;
    return location->index;
}

std::optional<double> path_length_from_point(const Path& path, Point point, double epsilon) {
    const std::optional<LocatedPoint> location = Locator(path, 1).locate(point, epsilon);
    if (!location) return std::nullopt;
    return length_at(path, *location, point);
}

std::vector<std::int64_t> index_from_points(const Path& path, std::span<const Point> points,
                                            double epsilon) {
    util::check_fits_in_memory(points.size(), batch_bytes_per_query, "points", "index_from_point");
    Locator locator(path, points.size());
    std::vector<std::int64_t> indices(points.size(), -1);
    visit_in_spatial_order(
        points,
        [&](std::size_t k) {
            const std::optional<LocatedPoint> location = locator.locate(points[k], epsilon);
            if (location) indices[k] = static_cast<std::int64_t>(location->index);
        },
        indices.data());
    return indices;
}

std::vector<double> path_length_from_points(const Path& path, std::span<const Point> points,
                                            double epsilon) {
    util::check_fits_in_memory(points.size(), batch_bytes_per_query, "points",
                               "path_length_from_point");
    Locator locator(path, points.size());
    std::vector<double> lengths(points.size(), std::numeric_limits<double>::quiet_NaN());
    visit_in_spatial_order(
        points,
        [&](std::size_t k) {
            const std::optional<LocatedPoint> location = locator.locate(points[k], epsilon);
            if (location) lengths[k] = length_at(path, *location, points[k]);
        },
        lengths.data());
    return lengths;
}
}  // namespace ordavin::path
