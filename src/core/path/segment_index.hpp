// A static hierarchy of boxes over a path's segments, for locating many points exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "path/segment_kernels.hpp"
#include "util/interruption.hpp"
#include "util/point.hpp"

namespace ordavin::path {

class SegmentIndex;

/// What a batch of queries carries from one search to the next: the segment found last, which
/// the next search tries first with the segments around it (any value gives the same results;
/// a near one makes the search shorter), room for a search that outgrows its own small
/// buffer, and the interruption poll that every visited node adds to.
struct SearchState {
    struct Pending {
        std::size_t level;
        std::size_t node;
        double bound;  // the square of the node's lower bound of the distance
    };

    std::size_t segment = 0;
    std::vector<Pending> spill;
    util::InterruptionPoll poll;
};

/// Runs of consecutive segments in index order, each with a box and a rectangle along its
/// segments that hold every foot they can produce, a cone that holds their directions and the
/// interval of their arc lengths, merged four at a time up to one root. Built once per path in
/// O(n); a query visits only the nodes that may hold a segment at least as near as the best
/// found so far, and once it has visited a share of the nodes, passes over the leaves in order
/// instead, so that no query costs much more than the scan of every segment.
///
/// A segment with an end point that is not finite, or so large (beyond 2^500) that squared
/// differences could overflow, stays out of the hierarchy: every search tries it directly.
class SegmentIndex {
public:
    /// The hierarchy over the segments between consecutive vertices; `lengths` holds the
    /// cumulative arc length at each vertex. Asks the interruption check as it goes.
    static SegmentIndex build(Vertices vertices, std::span<const double> lengths);

    /// Whether a search can bound the distances from `query`: both coordinates finite and at
    /// most 2^500 in magnitude. Other queries are answered by the scan.
    static bool bounds(Point query) noexcept;

    /// The segments kept out of the hierarchy, in index order.
    std::span<const std::size_t> outsiders() const noexcept { return outsiders_; }

    /// What nearest_projection returns for the query, bit for bit. Precondition:
    /// bounds(point); `vertices` are the ones the index was built from.
    std::optional<LocatedPoint> locate(Vertices vertices, Point point, double epsilon,
                                       SearchState& state) const;

    /// The segment whose closed extent holds the nearest point to the query, among those whose
    /// arc-length interval meets `window` when there is one, by (distance, lowest index) with
    /// the clamped projection of segment_kernels.hpp; nothing when no segment competes or every
    /// distance is NaN. Precondition: bounds(point), at least two vertices, `vertices` and `lengths`
    /// the ones the index was built from.
    std::optional<std::size_t> nearest(Vertices vertices, std::span<const double> lengths,
                                       Point point, std::optional<ArcLengthWindow> window,
                                       SearchState& state) const;

    /// One run of segments, or the union of up to `arity` nodes of the level below.
    struct Node {
        // Holds every segment's start, end and the end as start + (end - start) rounds, hence
        // every foot the projection computes for a parameter in [0, 1]. Empty (min inf, max
        // -inf) when the run holds no segment of the hierarchy.
        double min_x, min_y, max_x, max_y;
        // A direction c, a bound on |sin| of the angle between any covering segment's line and
        // c (plus the rounding allowance that grows with the query's distance), and an
        // interval that holds the projections onto c of the segments' points, widened by the
        // rest of the allowance; (-inf, inf) when the bound cannot rule anything out, empty
        // (inf, -inf) when no segment can cover anything.
        double direction_x, direction_y, spread, projection_min, projection_max;
        // An interval that holds the projections of the segments' points onto the normal
        // (-cy, cx), widened like the one above: with it, a rectangle along c that holds every
        // covering foot, far tighter than the box around a run of segments that is neither
        // horizontal nor vertical. Empty when no segment can cover anything.
        double across_min, across_max;
        // The least s_k and the greatest s_(k+1) of the segments whose lengths are not NaN;
        // empty when there are none.
        double length_min, length_max;
    };

    /// Segments per leaf; at most 64, the bits of the mask a leaf is scanned with.
    static constexpr std::size_t leaf_size = 32;
    /// Children per node above the leaves.
    static constexpr std::size_t arity = 4;

private:
    template <class Rule>
    void search(Rule& rule, SearchState& state) const;

    // Level 0 holds the leaves, leaf j covering segments [j * leaf_size, (j + 1) * leaf_size);
    // node j of level k + 1 is the union of nodes [j * arity, (j + 1) * arity) of level k. The
    // last level holds the root alone.
    std::vector<Node> nodes_;
    std::vector<std::size_t> level_begin_;  // one entry per level, plus the end
    std::vector<std::size_t> outsiders_;
    std::size_t segment_count_ = 0;
};

}  // namespace ordavin::path
