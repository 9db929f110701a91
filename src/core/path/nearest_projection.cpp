// Locating a query point on a path by the scan of every segment.
#include "path/nearest_projection.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

#include "util/interruption.hpp"

namespace ordavin::path {
namespace {

constexpr std::size_t block_size = 8;
// Work units of the interruption check (about a nanosecond each) per block, and per segment
// of the scan of closed segments.
constexpr std::uint64_t block_work = 16;
constexpr std::uint64_t segment_work = 8;

}  // namespace

Vertices vertices_of(const Path& path) {
    // The coordinate vectors hold the points' coordinates in their first `size` entries.
    return Vertices{std::span<const double>(path.x()).first(path.size()),
                    std::span<const double>(path.y()).first(path.size())};
}

std::optional<LocatedPoint> nearest_projection(Vertices vertices, Point point, double epsilon) {
    const std::size_t count = vertices.size();
    if (count == 0) return std::nullopt;
    if (auto snapped = snapped_to_end(vertices, point, epsilon)) return snapped;

    // A segment covers the query when the foot lies in [start, end): a vertex belongs to the
    // segment that starts there. A zero-length segment gives t = NaN and never covers. Square
    // roots are taken only for covering segments.
    const double* xs = vertices.x.data();
    const double* ys = vertices.y.data();
    NearestSegment best;
    // A sum of squares above the limit has a root beyond the best distance, which could not
    // win: its root is not taken.
    double limit = std::numeric_limits<double>::infinity();
    const auto consider = [&](std::size_t i) {
        double squared = 0.0;
        if (!covering_squared_distance(xs, ys, i, point, squared) || !(squared <= limit)) return;
        if (best.offer(i, std::sqrt(squared))) limit = squared_limit(best.distance());
    };

    // Nearly all segments are far from the query. A branch-free test per block of segments,
    // with no division, rules out blocks in which no segment can cover; only the rare block
    // that may cover is examined exactly, segment by segment in order. The interruption check
    // is asked between runs of blocks, so that even one scan of a huge path stops on request.
    const std::size_t segments = count - 1;
    const std::size_t blocks = segments / block_size;
    util::for_each_block(blocks, block_work, [&](std::size_t begin, std::size_t end) {
        for (std::size_t b = begin; b < end; ++b) {
            const std::size_t i = b * block_size;
            if (covering_candidates(xs + i, ys + i, block_size, point) != 0) {
                for (std::size_t j = i; j < i + block_size; ++j) consider(j);
            }
        }
    });
    for (std::size_t i = blocks * block_size; i < segments; ++i) consider(i);
    if (!best.found()) return std::nullopt;
    const std::size_t k = best.index();
    return LocatedPoint{k, util::compute_projection(vertices[k], vertices[k + 1], point)};
}

std::optional<std::size_t> nearest_segment(Vertices vertices, std::span<const double> lengths,
                                           Point point, std::optional<ArcLengthWindow> window) {
    const double* xs = vertices.x.data();
    const double* ys = vertices.y.data();
    NearestSegment best;
    const std::size_t segments = vertices.size() - 1;
    util::for_each_block(segments, segment_work, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (window && !window->meets(lengths[i], lengths[i + 1])) continue;
            best.offer(i, std::sqrt(clamped_squared_distance(xs, ys, i, point)));
        }
    });
    if (!best.found()) return std::nullopt;
    return best.index();
}

std::optional<LocatedPoint> nearest_projection(const Path& path, Point point, double epsilon) {
    return nearest_projection(vertices_of(path), point, epsilon);
}

}  // namespace ordavin::path
