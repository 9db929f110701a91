// The index and the path length of a point located on a path, for one query or many.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "path/path.hpp"
#include "path/segment_index.hpp"
#include "path/segment_kernels.hpp"
#include "util/point.hpp"

namespace ordavin::path {

/// Locates queries on one path: the one place that decides between the path's segment index
/// and the scan of every segment. Both give the same answers, bit for bit; the choice is only
/// about speed.
class Locator {
public:
    /// For `queries` queries on `path`: the segment index (built on first use and kept by the
    /// path) for a path of at least 4096 points or a batch of at least 8 queries, else the
    /// scan. A query
    /// the index cannot bound (SegmentIndex::bounds) is scanned either way.
    Locator(const Path& path, std::size_t queries);

    /// What nearest_projection gives.
    std::optional<LocatedPoint> locate(Point point, double epsilon);

    /// What nearest_segment gives. Precondition: the path has at least two points.
    std::optional<std::size_t> nearest(Point point, std::optional<ArcLengthWindow> window);

private:
    const Path& path_;
    Vertices vertices_;
    const SegmentIndex* index_ = nullptr;
    SearchState state_;
};

/// The order in which a batch visits its queries: along a Hilbert curve over their bounding
/// box, non-finite ones last. Consecutive queries of the order lie close together, so their
/// searches meet the same part of the segment index and each starts from its predecessor's
/// segment. The order only affects the speed, never a result.
std::vector<std::size_t> spatial_order(std::span<const Point> queries);

/// Runs visit(k) for every query number k in spatial_order. The order scatters the queries and
/// the entries of the result arrays `slots` (written at k) over memory, so each step asks for
/// those of a step a little later, which arrive while the searches in between run.
template <class Visit, class... Slots>
void visit_in_spatial_order(std::span<const Point> queries, Visit&& visit, Slots*... slots) {
    constexpr std::size_t ahead = 16;
    const std::vector<std::size_t> order = spatial_order(queries);
    for (std::size_t j = 0; j < order.size(); ++j) {
        if (j + ahead < order.size()) {
            const std::size_t later = order[j + ahead];
            __builtin_prefetch(queries.data() + later);
            (__builtin_prefetch(slots + later, 1), ...);
        }
        visit(order[j]);
    }
}

/// The index of the path point at which the located position begins: 0 or n - 1 after a snap
/// to an end point, else the start of the nearest covering segment. Nothing outside the path.
/// A long path builds its segment index on the first query and answers from it.
std::optional<std::uint64_t> index_from_point(const Path& path, Point point, double epsilon);

/// The arc length from the first point to the located position, the last bit measured along
/// the segment from the query itself (so a query just behind the start is slightly negative).
/// Fills the path's cumulative-length cache (and, on a long path, its segment index). Nothing
/// outside the path.
std::optional<double> path_length_from_point(const Path& path, Point point, double epsilon);

/// index_from_point for each query, -1 where it gives nothing. Builds the path's segment
/// index on first use, so each query costs about the logarithm of the path's size.
std::vector<std::int64_t> index_from_points(const Path& path, std::span<const Point> points,
                                            double epsilon);

/// path_length_from_point for each query, NaN where it gives nothing. Builds the path's
/// segment index on first use; fills the cumulative-length cache once a query is located.
std::vector<double> path_length_from_points(const Path& path, std::span<const Point> points,
                                            double epsilon);

}  // namespace ordavin::path
