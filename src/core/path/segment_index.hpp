// A static hierarchy of boxes over a path's segments, for locating many points exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "util/point.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

class Path;

/// The index of the path point at which the covering segment starts, and the projection.
using LocatedPoint = std::pair<std::uint64_t, util::SegmentProjection>;

struct LocateState;

/// Runs of consecutive segments in index order, each with a box and a rectangle along its
/// segments that hold every foot they can produce and a cone that holds their directions,
/// merged four at a time up to one root. Built once per path in O(n); a query visits only the
/// nodes that may hold a covering segment at least as near as the best found so far.
class SegmentIndex {
public:
    /// The hierarchy over the segments between consecutive `points`. A path with a coordinate
    /// that is not finite, or so large that squared differences could overflow, gets an index
    /// that is not searchable: its queries fall back to the scan of every segment.
    static SegmentIndex build(const std::vector<Point>& points);

    /// Whether queries can use the hierarchy; false for paths the bounds do not cover.
    bool searchable() const noexcept { return searchable_; }

    /// One run of segments, or the union of up to `arity` nodes of the level below.
    struct Node {
        // Holds every segment's start, end and the end as start + (end - start) rounds, hence
        // every foot the projection computes for a covering parameter.
        double min_x, min_y, max_x, max_y;
        // A direction c, a bound on |sin| of the angle between any covering segment's line and
        // c (plus the rounding allowance that grows with the query's distance), and an
        // interval that holds the projections onto c of the segments' points, widened by the
        // rest of the allowance; (-inf, inf) when the bound cannot rule anything out, empty
        // (inf, -inf) when no segment can cover anything.
        double direction_x, direction_y, spread, projection_min, projection_max;
        // An interval that holds the projections of the segments' points onto the normal
        // (-cy, cx), widened like the one above: with it, a rectangle along c that holds every
        // foot, far tighter than the box around a run of segments that is neither horizontal
        // nor vertical. Empty when no segment can cover anything.
        double across_min, across_max;
    };

    /// A node waiting in the search, with the square of its lower bound of the distance.
    struct Pending {
        std::size_t level;
        std::size_t node;
        double bound;
    };

    /// Segments per leaf; at most 64, the bits of the mask a leaf is scanned with.
    static constexpr std::size_t leaf_size = 32;
    /// Children per node above the leaves.
    static constexpr std::size_t arity = 4;

private:
    friend std::optional<LocatedPoint> locate(const SegmentIndex& index, const Path& path,
                                              Point point, double epsilon);
    friend std::optional<LocatedPoint> locate(const SegmentIndex& index, const Path& path,
                                              Point point, double epsilon, LocateState& state);
    // Both forms of locate; `state` may be null.
    static std::optional<LocatedPoint> search(const SegmentIndex& index, const Path& path,
                                              Point point, double epsilon, LocateState* state);

    // Level 0 holds the leaves, leaf j covering segments [j * leaf_size, (j + 1) * leaf_size);
    // node j of level k + 1 is the union of nodes [j * arity, (j + 1) * arity) of level k. The
    // last level holds the root alone.
    std::vector<Node> nodes_;
    std::vector<std::size_t> level_begin_;  // one entry per level, plus the end
    std::size_t segment_count_ = 0;
    bool searchable_ = false;
};

/// Locates a query on `path` with the index built from its points: exactly what
/// nearest_projection returns, bit for bit, including the lower index on equal distances.
/// Paths or queries the index cannot bound are answered by the scan.
std::optional<LocatedPoint> locate(const SegmentIndex& index, const Path& path, Point point,
                                   double epsilon);

/// What a batch of queries carries from one search to the next: the segment found last, which
/// the next search tries first with the segments around it (any value gives the same results;
/// a near one makes the search shorter), and room for a search that outgrows its own small
/// buffer.
struct LocateState {
    std::size_t segment = 0;
    std::vector<SegmentIndex::Pending> spill;
};

/// locate, trying the state's segment first and leaving the segment it finds there.
std::optional<LocatedPoint> locate(const SegmentIndex& index, const Path& path, Point point,
                                   double epsilon, LocateState& state);

}  // namespace ordavin::path
