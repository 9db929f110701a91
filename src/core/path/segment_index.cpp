// A static hierarchy of boxes over a path's segments, for locating many points exactly.
//
// The search must return what the scan of every segment returns, to the bit, for two rules:
// locating (the nearest segment whose foot lies in [start, end)) and the nearest point of the
// closed segments (the parameter clamped to [0, 1]). Three tests rule out a node for the
// first, the distance test alone for the second, and all are proved against the scan's own
// rounded arithmetic (u = 2^-53; the coordinates of every segment in the hierarchy and of the
// query are finite and at most 2^500 in magnitude, so nothing overflows). A segment with an
// end point beyond that stays out of the hierarchy and is tried by every search directly; a
// query beyond it goes to the scan.
//
// Distance. For a covering parameter t in [0, 1) the scan's foot coordinate is
// fl(ax + fl(t * dx)) with dx = fl(bx - ax). Rounding to nearest is monotone, so fl(t * dx)
// lies between 0 and dx, and the foot between ax and ex = fl(ax + dx); the box holds both,
// for every segment of the node. With gx = fl(min_x - px) when px < min_x, fl(px - max_x)
// when px > max_x, and 0 otherwise (likewise gy), monotonicity carries
// |fl(foot_x - px)| >= gx through each rounded operation of the scan's distance
// sqrt(ox * ox + oy * oy), so the same operations on gx and gy never exceed the distance the
// scan computes for any segment in the box: no margin is needed, and underflow does not
// matter. The search compares the rounded sum before the square root with a double at least as
// large as any whose rounded root is the best distance (see squared_limit), which rules out
// no more than the same comparison after the root. A
// node is ruled out only when its bound is strictly greater than the best distance, so a
// segment at an equal distance and a lower index is never lost, and the best is kept by
// (distance, index), so the order of the visit does not matter either.
//
// Clamped feet. The nearest point of a closed segment takes t = fl(n / s) clamped to [0, 1],
// and 0 where t is NaN. At t = 0 the foot is fl(ax + 0 * dx) = ax (dx is finite, so 0 * dx is a
// zero and adding it leaves ax's value), at t = 1 it is fl(ax + dx) = ex, and in between it
// lies between ax and ex as above. A zero-length segment, or one whose squared length
// underflows to 0 (t = +-inf or NaN), has its foot at A or E too. Every foot is therefore in
// the box, and the distance bound holds for the clamped rule with the same operations. The
// coverage and rectangle tests are proved only for feet with t in [0, 1): the clamped rule does
// not use them. With an arc-length window, a node keeps the least s_k and the greatest
// s_(k+1) of its segments (those whose lengths are not NaN, since a NaN never meets a window):
// when they do not meet the window, neither does any of its segments.
//
// Coverage. The scan's t is in [0, 1) only if its numerator n and squared length s satisfy
// -2^-1074 s <= n < s. For a squared length of at least 2^-960 (so that the absolute underflow
// errors, at most 2^-1073, are negligible), the rounding errors give, for the exact
// q = (P - A) . e along the unit direction e of the computed difference d:
// -sigma <= q <= |d| (1 + 2.1u) + sigma with sigma = 3.1u |P - A| + 2^-590. Writing
// P = A + q e + r e' (e' perpendicular, |r| <= |P - A|), for any vector c with |c| ~ 1:
// P . c lies within sigma + 2.1u |d| + |r| |e' . c| of the range of A . c and (A + d) . c. The
// node keeps c, a bound s >= |e' . c| over its segments, and an interval holding those
// projections (from its points at a leaf; above, from the corners of each child's box and of
// its rectangle, below). The query rules the node out when its computed P . c lies outside
// the interval by more than
//     (s + 2^-32) R + 2^-32 (|px| + |py|),
// R >= |P - A| being the L1 reach from P to the farthest box corner, after the interval was
// widened by 2^-32 (Mx + My + width + height) + 2^-580, Mx + My the largest coordinate
// magnitudes of the box. Each 2^-32 term covers a few u of the rounding of the projections, of
// the thresholds and of sigma, with a factor of 2^19 to spare. A node holding a segment whose
// squared length is positive but below 2^-960, or whose cone holds every direction, is never
// ruled out this way.
//
// Rectangle. The node also keeps an interval of the projections onto the normal
// c' = (-cy, cx) of the points of its segments of positive length, widened like the one along
// c, so the rectangle of the two intervals holds, exactly, every point within 2^-33 (Mx + My)
// of such a segment from A to E: the rounding of each computed projection is at most
// 2.1u (|x| + |y|). A parent's intervals hold what the corners of each child's box and, when
// its interval along c is finite, of its rectangle map to (the child's points lie in both, and
// a corner computed from the child's intervals is off by a few u of the magnitudes), before
// its own widening. The scan's foot F of a covering segment lies within 4u (Mx + My) of the
// exact segment from A to E, hence in the rectangle, and since c and c' are orthogonal with
// |c| = |c'| within 2^-50 of 1, |F - P|^2 |c|^2 is at least ga^2 + gc^2, the gaps from P . c
// and P . c' to the intervals. The query computes each gap with an error of at most
// 2.1u (|px| + |py|) plus u of itself, takes off 2^-32 (|px| + |py|) + 2^-500, squares and sums
// (2u) and shrinks the sum by 2^-32; the scan's sum before its root is at least
// |F - P|^2 (1 - 4u) - 2^-1073, and a positive gap left after the 2^-500 means |F - P|^2 is
// above 2^-1000, so the bound never exceeds it. It then serves like the box's bound.
#include "path/segment_index.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

#include "util/fresh_memory.hpp"

namespace ordavin::path {
namespace {

using Node = SegmentIndex::Node;

static_assert(SegmentIndex::leaf_size <= 64, "a leaf is scanned with a 64-bit mask");

// Keeps every difference, product and squared length of the projection finite.
constexpr double coordinate_limit = 0x1p500;
// Below this squared length the coverage bound does not hold; zero never covers.
constexpr double shortest_squared_length = 0x1p-960;
constexpr double relative_slack = 0x1p-32;
constexpr double absolute_slack = 0x1p-580;
// Taken off each gap of the rectangle bound: below it, the scan's squares may underflow.
constexpr double gap_slack = 0x1p-500;
// Widening of each angle computed in the direction cones, far above their rounding.
constexpr double angle_slack = 0x1p-30;
constexpr double infinity = std::numeric_limits<double>::infinity();
// Segments on either side of the previous query's segment tried before the search, by rule:
// a covering segment may lie several segments away from the previous query's (outside a
// corner nothing near covers), while the nearest point of the closed segments moves along
// the path with the query.
constexpr std::size_t covering_hint_reach = 16;
constexpr std::size_t clamped_hint_reach = 3;
constexpr double pi = std::numbers::pi;
constexpr double half_pi = std::numbers::pi / 2;

bool bounded(Point point) noexcept {
    return std::abs(point.x) <= coordinate_limit && std::abs(point.y) <= coordinate_limit;
}

// The line directions of a node's segments, as angles modulo pi: within half_width of center.
struct Cone {
    double center = 0.0;      // in (-pi/2, pi/2]
    double half_width = 0.0;  // in [0, pi/2]; pi/2 holds every direction
};

// What the build carries alongside each node.
struct NodeInfo {
    Cone cone;
    bool coverable = false;  // some segment has a positive squared length
    bool has_short = false;  // some segment is too short for the coverage bound
};

double folded(double angle) noexcept {
    if (angle > half_pi) angle -= pi;
    if (angle <= -half_pi) angle += pi;
    return angle;
}

Cone merged(const NodeInfo& a, const NodeInfo& b) noexcept {
    if (!a.coverable) return b.cone;
    if (!b.coverable) return a.cone;
    const Cone full{0.0, half_pi};
    if (a.cone.half_width >= half_pi || b.cone.half_width >= half_pi) return full;
    // b's interval, moved by a multiple of pi next to a's, then the arc holding both.
    const double delta = folded(b.cone.center - a.cone.center);
    const double low = std::min(-a.cone.half_width, delta - b.cone.half_width);
    const double high = std::max(a.cone.half_width, delta + b.cone.half_width);
    const double half_width = (high - low) * 0.5 + angle_slack;
    if (half_width >= half_pi) return full;
    return Cone{folded(a.cone.center + (low + high) * 0.5), half_width};
}

void include(Node& node, double x, double y) noexcept {
    node.min_x = std::min(node.min_x, x);
    node.max_x = std::max(node.max_x, x);
    node.min_y = std::min(node.min_y, y);
    node.max_y = std::max(node.max_y, y);
}

double projected(const Node& node, double x, double y) noexcept {
    return x * node.direction_x + y * node.direction_y;
}

// The projection onto the normal (-cy, cx) of the node's direction.
double across(const Node& node, double x, double y) noexcept {
    return y * node.direction_x - x * node.direction_y;
}

// Finishes the coverage bound of a node whose direction, spread and exact-as-computed
// projection interval are set: the interval is widened by the node's share of the rounding
// allowance, and the spread takes the share that grows with the query's reach. A node whose
// cone holds every direction (spread 1 or more) or that holds a segment too short for the
// bound can never be ruled out, and one without a segment that covers anything always is.
void finish_coverage(Node& node, const NodeInfo& info) noexcept {
    const double magnitude = std::max(std::abs(node.min_x), std::abs(node.max_x)) +
                             std::max(std::abs(node.min_y), std::abs(node.max_y));
    const double widening =
        relative_slack * (magnitude + (node.max_x - node.min_x) + (node.max_y - node.min_y)) +
        absolute_slack;
    if (!info.coverable) {
        node.projection_min = node.across_min = infinity;
        node.projection_max = node.across_max = -infinity;
        node.spread += relative_slack;
        return;
    }
    node.across_min -= widening;
    node.across_max += widening;
    if (info.has_short || node.spread >= 1.0) {
        node.projection_min = -infinity;
        node.projection_max = infinity;
    } else {
        node.projection_min -= widening;
        node.projection_max += widening;
    }
    node.spread += relative_slack;
}

// Widens [low, high] to hold what `node` maps the four corners to.
template <typename Projection>
void include_corners(const Node& node, const std::array<Point, 4>& corners, double& low,
                     double& high, Projection projection) noexcept {
    for (const Point corner : corners) {
        const double value = projection(node, corner.x, corner.y);
        low = std::min(low, value);
        high = std::max(high, value);
    }
}

// The projection and normal intervals of a parent, as the union over its children that can
// cover anything of the intersection of two intervals that hold the child's points: one from
// the corners of the child's box, one from the corners of the child's rectangle (when its
// projection interval is finite).
void set_intervals_from_children(Node& node, const Node* children, const NodeInfo* infos,
                                 std::size_t count) noexcept {
    node.projection_min = node.across_min = infinity;
    node.projection_max = node.across_max = -infinity;
    for (std::size_t k = 0; k < count; ++k) {
        if (!infos[k].coverable) continue;
        const Node& child = children[k];
        const std::array<Point, 4> box{
            Point{child.min_x, child.min_y}, Point{child.min_x, child.max_y},
            Point{child.max_x, child.min_y}, Point{child.max_x, child.max_y}};
        double along_low = infinity, along_high = -infinity;
        double across_low = infinity, across_high = -infinity;
        include_corners(node, box, along_low, along_high, projected);
        include_corners(node, box, across_low, across_high, across);
        if (child.projection_min > -infinity) {
            const auto corner = [&child](double along, double normal) {
                return Point{along * child.direction_x - normal * child.direction_y,
                             along * child.direction_y + normal * child.direction_x};
            };
            const std::array<Point, 4> rectangle{corner(child.projection_min, child.across_min),
                                                 corner(child.projection_min, child.across_max),
                                                 corner(child.projection_max, child.across_min),
                                                 corner(child.projection_max, child.across_max)};
            double low = infinity, high = -infinity;
            include_corners(node, rectangle, low, high, projected);
            along_low = std::max(along_low, low);
            along_high = std::min(along_high, high);
            low = infinity;
            high = -infinity;
            include_corners(node, rectangle, low, high, across);
            across_low = std::max(across_low, low);
            across_high = std::min(across_high, high);
        }
        node.projection_min = std::min(node.projection_min, along_low);
        node.projection_max = std::max(node.projection_max, along_high);
        node.across_min = std::min(node.across_min, across_low);
        node.across_max = std::max(node.across_max, across_high);
    }
}

// Whether segment i has both end points within the bounds: only such segments enter the
// hierarchy.
bool indexable(Vertices vertices, std::size_t i) noexcept {
    return bounded(vertices[i]) && bounded(vertices[i + 1]);
}

// A leaf over segments [first, last), those of them in the hierarchy: its box, its arc-length
// interval, and a direction from the mean of the doubled segment angles weighted by squared
// length (so that opposite directions agree), with the largest deviation from it measured.
std::pair<Node, NodeInfo> leaf(Vertices vertices, std::span<const double> lengths,
                               std::size_t first, std::size_t last) noexcept {
    Node node{};
    NodeInfo info;
    node.min_x = node.min_y = node.length_min = infinity;
    node.max_x = node.max_y = node.length_max = -infinity;
    double doubled_x = 0.0;
    double doubled_y = 0.0;
    for (std::size_t i = first; i < last; ++i) {
        if (!indexable(vertices, i)) continue;
        const Point a = vertices[i];
        const Point b = vertices[i + 1];
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        include(node, a.x, a.y);
        include(node, b.x, b.y);
        include(node, a.x + dx, a.y + dy);
        if (!std::isnan(lengths[i]) && !std::isnan(lengths[i + 1])) {
            node.length_min = std::min(node.length_min, lengths[i]);
            node.length_max = std::max(node.length_max, lengths[i + 1]);
        }
        const double squared_length = dx * dx + dy * dy;
        if (!(squared_length > 0.0)) continue;
        info.coverable = true;
        if (squared_length < shortest_squared_length) {
            info.has_short = true;
            continue;
        }
        doubled_x += dx * dx - dy * dy;
        doubled_y += 2.0 * dx * dy;
    }
    // Half the angle of the doubled mean, in (-pi/2, pi/2]; (1, 0) when the directions cancel.
    info.cone.center = folded(0.5 * std::atan2(doubled_y, doubled_x));
    const double cx = std::cos(info.cone.center);
    const double cy = std::sin(info.cone.center);
    node.direction_x = cx;
    node.direction_y = cy;

    double squared_spread = 0.0;
    node.projection_min = node.across_min = infinity;
    node.projection_max = node.across_max = -infinity;
    for (std::size_t i = first; i < last; ++i) {
        if (!indexable(vertices, i)) continue;
        const Point a = vertices[i];
        const double dx = vertices[i + 1].x - a.x;
        const double dy = vertices[i + 1].y - a.y;
        const double squared_length = dx * dx + dy * dy;
        if (!(squared_length > 0.0)) continue;
        const double start_across = across(node, a.x, a.y);
        const double end_across = across(node, a.x + dx, a.y + dy);
        node.across_min = std::min({node.across_min, start_across, end_across});
        node.across_max = std::max({node.across_max, start_across, end_across});
        if (!(squared_length >= shortest_squared_length)) continue;
        const double cross = dx * cy - dy * cx;
        squared_spread = std::max(squared_spread, cross * cross / squared_length);
        const double start = projected(node, a.x, a.y);
        const double end = projected(node, a.x + dx, a.y + dy);
        node.projection_min = std::min({node.projection_min, start, end});
        node.projection_max = std::max({node.projection_max, start, end});
    }
    // The cross product loses up to a few u of |d| to cancellation (its square up to 2^-57 to
    // underflow), the squares, the quotient and the root a few u relative.
    node.spread = (std::sqrt(squared_spread) + angle_slack) * (1.0 + angle_slack);
    // Near a right angle the arcsine is too steep to trust; the cone then holds everything.
    info.cone.half_width =
        node.spread >= 1.0 - 0x1p-20 ? half_pi : std::asin(node.spread) + angle_slack;
    finish_coverage(node, info);
    return {node, info};
}

// The union of consecutive nodes: their box and arc-length interval, the cone holding
// theirs, and the direction, spread and projection interval of that cone. Empty children
// (boxes from inf to -inf) change nothing.
std::pair<Node, NodeInfo> parent(const Node* children, const NodeInfo* infos,
                                 std::size_t count) noexcept {
    Node node = children[0];
    NodeInfo info = infos[0];
    for (std::size_t k = 1; k < count; ++k) {
        node.min_x = std::min(node.min_x, children[k].min_x);
        node.min_y = std::min(node.min_y, children[k].min_y);
        node.max_x = std::max(node.max_x, children[k].max_x);
        node.max_y = std::max(node.max_y, children[k].max_y);
        node.length_min = std::min(node.length_min, children[k].length_min);
        node.length_max = std::max(node.length_max, children[k].length_max);
        info.cone = merged(info, infos[k]);
        info.coverable = info.coverable || infos[k].coverable;
        info.has_short = info.has_short || infos[k].has_short;
    }
    node.direction_x = std::cos(info.cone.center);
    node.direction_y = std::sin(info.cone.center);
    node.spread = info.cone.half_width >= half_pi - 0x1p-20
                      ? 1.0 + angle_slack
                      : std::sin(info.cone.half_width) * (1.0 + angle_slack) + angle_slack;
    set_intervals_from_children(node, children, infos, count);
    finish_coverage(node, info);
    return {node, info};
}

// How far `value` lies outside [low, high], as computed (0 inside).
double outside(double value, double low, double high) noexcept {
    return std::max({0.0, low - value, value - high});
}

// The square of a lower bound of the distance the scan computes for any segment of the node
// (covering, or clamped to its closed extent), before its square root: the bound itself is
// the rounded square root of this. Infinite for an empty node.
double squared_distance_bound(const Node& node, Point point) noexcept {
    // Inside the box both differences are at most 0; outside, the one that is positive is the
    // distance to the nearer side, rounded once. Maxima rather than branches: the side a
    // query lies on is unpredictable.
    const double gx = outside(point.x, node.min_x, node.max_x);
    const double gy = outside(point.y, node.min_y, node.max_y);
    return gx * gx + gy * gy;
}

// The square of a lower bound of the same distance from the node's rectangle: the query's
// gaps to the projection and normal intervals, each less the query's share of the rounding
// allowance, squared and summed, and shrunk by the relative allowance. Holds for covering
// segments only.
double squared_rectangle_bound(const Node& node, Point point, double query_slack) noexcept {
    const double along = projected(node, point.x, point.y);
    const double normal = across(node, point.x, point.y);
    const double slack = query_slack + gap_slack;
    const double along_gap = outside(along, node.projection_min, node.projection_max) - slack;
    const double normal_gap = outside(normal, node.across_min, node.across_max) - slack;
    const double gx = std::max(0.0, along_gap);
    const double gy = std::max(0.0, normal_gap);
    return (gx * gx + gy * gy) * (1.0 - relative_slack);
}

// False only when no segment of the node can cover the query. `query_slack` is the query's
// share of the rounding allowance, 2^-32 (|px| + |py|).
bool may_cover(const Node& node, Point point, double query_slack) noexcept {
    if (node.projection_min == -infinity) return true;
    const double reach = std::max(std::abs(point.x - node.min_x), std::abs(point.x - node.max_x)) +
                         std::max(std::abs(point.y - node.min_y), std::abs(point.y - node.max_y));
    const double margin = node.spread * reach + query_slack;
    const double along = projected(node, point.x, point.y);
    return along >= node.projection_min - margin && along <= node.projection_max + margin;
}

using Pending = SearchState::Pending;

// The order of the heap of waiting nodes: a type of its own, so that the heap operations
// inline the comparison rather than call through a pointer.
struct Farther {
    bool operator()(const Pending& left, const Pending& right) const noexcept {
        return left.bound > right.bound;
    }
};

// std::push_heap of `pending` onto the heap [heap, heap + size), step for step, but sifting the
// new node up from a register: push_heap reads back the node just stored, 16 bytes at once
// over two 8-byte stores, a load that cannot be served from the pending stores.
void push_waiting(Pending* heap, std::size_t size, const Pending& pending) noexcept {
    std::size_t hole = size;
    while (hole > 0) {
        const std::size_t parent = (hole - 1) / 2;
        if (!Farther{}(heap[parent], pending)) break;
        heap[hole] = heap[parent];
        hole = parent;
    }
    heap[hole] = pending;
}

// Makes room for twice `capacity` waiting nodes in `spill`, keeping the `size` at `heap`.
Pending* grown(Pending* heap, std::size_t size, std::size_t& capacity,
               std::vector<Pending>& spill) {
    if (heap != spill.data()) spill.assign(heap, heap + size);
    spill.resize(2 * capacity);
    capacity = spill.size();
    return spill.data();
}

// Work units of the interruption poll: about a nanosecond each.
constexpr std::uint64_t node_work = 20;
constexpr std::uint64_t leaf_work = 4 * SegmentIndex::leaf_size;

// The locating rule of nearest_projection: covering segments only, ranked by their distance.
class CoveringRule {
public:
    static constexpr std::size_t hint_reach = covering_hint_reach;

    CoveringRule(Vertices vertices, Point point) noexcept
        : xs_(vertices.x.data()),
          ys_(vertices.y.data()),
          point_(point),
          query_slack_(relative_slack * (std::abs(point.x) + std::abs(point.y))) {}

    // The square of the node's lower bound, or nothing when the node holds no segment that can
    // beat the best so far.
    std::optional<double> bound(const Node& node) const noexcept {
        const double box_bound = squared_distance_bound(node, point_);
        if (box_bound > limit_ || !may_cover(node, point_, query_slack_)) return std::nullopt;
        const double bound =
            std::max(box_bound, squared_rectangle_bound(node, point_, query_slack_));
        if (bound > limit_) return std::nullopt;
        return bound;
    }

    double limit() const noexcept { return limit_; }

    void consider(std::size_t i) noexcept {
        double squared = 0.0;
        if (!covering_squared_distance(xs_, ys_, i, point_, squared)) return;
        // Above the limit its root exceeds the best distance (a covering segment's sum of
        // squares is never NaN: its parameter, its start and the query are finite).
        if (!(squared <= limit_)) return;
        const double distance = std::sqrt(squared);
        if (best_.offer(i, distance)) limit_ = squared_limit(distance);
    }

    // Segments [first, first + count), count at most 64: a test without division picks the
    // few that may cover, and only those are projected.
    void consider_run(std::size_t first, std::size_t count) noexcept {
        for (std::uint64_t candidates = covering_candidates(xs_ + first, ys_ + first, count, point_);
             candidates != 0; candidates &= candidates - 1) {
            consider(first + static_cast<std::size_t>(std::countr_zero(candidates)));
        }
    }

    const NearestSegment& best() const noexcept { return best_; }

private:
    const double* xs_;
    const double* ys_;
    Point point_;
    double query_slack_;
    NearestSegment best_;
    // Nodes are compared by the squares of their bounds: see squared_limit.
    double limit_ = infinity;
};

// The rule of the nearest point on any segment, its parameter clamped to [0, 1], among the
// segments whose arc-length interval meets the window (all of them without one).
class ClampedRule {
public:
    static constexpr std::size_t hint_reach = clamped_hint_reach;

    ClampedRule(Vertices vertices, std::span<const double> lengths, Point point,
                std::optional<ArcLengthWindow> window) noexcept
        : xs_(vertices.x.data()),
          ys_(vertices.y.data()),
          lengths_(lengths.data()),
          point_(point),
          window_(window) {}

    // Only the box bound: the foot at a clamped parameter is an end point or a covering foot,
    // and the box holds both; the coverage and rectangle bounds hold for covering feet only.
    std::optional<double> bound(const Node& node) const noexcept {
        if (window_ && !window_->meets(node.length_min, node.length_max)) return std::nullopt;
        const double bound = squared_distance_bound(node, point_);
        if (bound > limit_) return std::nullopt;
        return bound;
    }

    double limit() const noexcept { return limit_; }

    void consider(std::size_t i) noexcept {
        if (window_ && !window_->meets(lengths_[i], lengths_[i + 1])) return;
        const double squared = clamped_squared_distance(xs_, ys_, i, point_);
        // Above the limit its root exceeds the best distance; NaN never wins.
        if (!(squared <= limit_)) return;
        const double distance = std::sqrt(squared);
        if (best_.offer(i, distance)) limit_ = squared_limit(distance);
    }

    // Segments [first, first + count), count at most 64: a test without division picks the
    // ones whose box may be near enough, and only those are projected.
    void consider_run(std::size_t first, std::size_t count) noexcept {
        for (std::uint64_t candidates =
                 near_candidates(xs_ + first, ys_ + first, count, point_, limit_);
             candidates != 0; candidates &= candidates - 1) {
            consider(first + static_cast<std::size_t>(std::countr_zero(candidates)));
        }
    }

    const NearestSegment& best() const noexcept { return best_; }

private:
    const double* xs_;
    const double* ys_;
    const double* lengths_;
    Point point_;
    std::optional<ArcLengthWindow> window_;
    NearestSegment best_;
    double limit_ = infinity;
};

}  // namespace

bool SegmentIndex::bounds(Point query) noexcept {
    return bounded(query);
}

SegmentIndex SegmentIndex::build(Vertices vertices, std::span<const double> lengths) {
    SegmentIndex index;
    if (vertices.size() < 2) return index;

    index.segment_count_ = vertices.size() - 1;
    util::InterruptionPoll poll;
    for (std::size_t i = 0; i < index.segment_count_; ++i) {
        if (!indexable(vertices, i)) index.outsiders_.push_back(i);
    }
    std::vector<std::size_t> sizes{(index.segment_count_ + leaf_size - 1) / leaf_size};
    while (sizes.back() > 1) sizes.push_back((sizes.back() + arity - 1) / arity);
    std::size_t total = 0;
    for (const std::size_t size : sizes) {
        index.level_begin_.push_back(total);
        total += size;
    }
    index.level_begin_.push_back(total);

    util::reserve_fresh(index.nodes_, total);
    std::vector<NodeInfo> infos;
    infos.reserve(total);
    for (std::size_t j = 0; j < sizes[0]; ++j) {
        const std::size_t first = j * leaf_size;
        auto [node, info] =
            leaf(vertices, lengths, first, std::min(first + leaf_size, index.segment_count_));
        index.nodes_.push_back(node);
        infos.push_back(info);
        poll.add(8 * leaf_work);
    }
    for (std::size_t level = 1; level < sizes.size(); ++level) {
        const std::size_t below = index.level_begin_[level - 1];
        for (std::size_t j = 0; j < sizes[level]; ++j) {
            const std::size_t first = j * arity;
            const std::size_t count = std::min(arity, sizes[level - 1] - first);
            auto [node, info] = parent(&index.nodes_[below + first], &infos[below + first], count);
            index.nodes_.push_back(node);
            infos.push_back(info);
            poll.add(8 * node_work);
        }
    }
    return index;
}

// Best first: the node with the least bound is opened next, so the search ends as soon as
// every waiting node is farther than the best segment found. A node is ruled out only when
// its bound is strictly greater than the best distance, so a segment at an equal distance and
// a lower index is never lost. The waiting nodes form a binary heap in a small array on the
// stack, moved to the state's spill in the rare search that outgrows it, so that a query
// allocates nothing. The array is left uninitialised: clearing it would cost a fair share of
// a search.
//
// When every segment is about equally near (a query at the centre of a circle), the bounds
// rule out little and the heap would order every node of the tree: after a sixteenth of the
// leaves' worth of visits the search instead passes over the leaves in index order, each
// still ruled out by its bound against the best so far. The best is kept by (distance, index)
// whatever the order of the offers, so either way gives the same segment.
template <class Rule>
void SegmentIndex::search(Rule& rule, SearchState& state) const {
    for (const std::size_t i : outsiders_) rule.consider(i);
    // The segments along the path around the previous query's, among which a query near it
    // usually finds its segment, give the search a distance to beat from the start. They stay
    // candidates like any other.
    if (state.segment < segment_count_) {
        const std::size_t reach = Rule::hint_reach;
        const std::size_t first = state.segment > reach ? state.segment - reach : 0;
        rule.consider_run(first, std::min(2 * reach, segment_count_ - first));
    }
    if (nodes_.empty()) return;

    std::array<Pending, 64> inline_heap;
    Pending* heap = inline_heap.data();
    std::size_t size = 0;
    std::size_t capacity = inline_heap.size();
    const auto open = [&](std::size_t level, std::size_t j) {
        const std::optional<double> bound = rule.bound(nodes_[level_begin_[level] + j]);
        if (!bound) return;
        if (size == capacity) heap = grown(heap, size, capacity, state.spill);
        push_waiting(heap, size++, Pending{level, j, *bound});
    };
    const std::size_t leaf_count = level_begin_[1] - level_begin_[0];
    const std::size_t visit_budget = 32 + leaf_count / 16;
    std::size_t visits = 0;

    open(level_begin_.size() - 2, 0);
    while (size > 0) {
        std::pop_heap(heap, heap + size, Farther{});
        const Pending current = heap[--size];
        // Every node still waiting is at least as far as this one.
        if (current.bound > rule.limit()) return;
        if (++visits > visit_budget) break;
        if (current.level == 0) {
            state.poll.add(leaf_work);
            const std::size_t first = current.node * leaf_size;
            rule.consider_run(first, std::min(leaf_size, segment_count_ - first));
            continue;
        }
        state.poll.add(node_work * arity);
        const std::size_t below = current.level - 1;
        const std::size_t first = current.node * arity;
        const std::size_t last = std::min(first + arity, level_begin_[below + 1] - level_begin_[below]);
        for (std::size_t j = first; j < last; ++j) open(below, j);
    }
    if (visits <= visit_budget) return;
    for (std::size_t j = 0; j < leaf_count; ++j) {
        state.poll.add(node_work);
        const std::optional<double> bound = rule.bound(nodes_[j]);
        if (!bound) continue;
        state.poll.add(leaf_work);
        const std::size_t first = j * leaf_size;
        rule.consider_run(first, std::min(leaf_size, segment_count_ - first));
    }
}

std::optional<LocatedPoint> SegmentIndex::locate(Vertices vertices, Point point, double epsilon,
                                                 SearchState& state) const {
    if (auto snapped = snapped_to_end(vertices, point, epsilon)) return snapped;
    CoveringRule rule(vertices, point);
    search(rule, state);
    if (!rule.best().found()) return std::nullopt;
    const std::size_t k = rule.best().index();
    state.segment = k;
    return LocatedPoint{k, util::compute_projection(vertices[k], vertices[k + 1], point)};
}

std::optional<std::size_t> SegmentIndex::nearest(Vertices vertices,
                                                 std::span<const double> lengths, Point point,
                                                 std::optional<ArcLengthWindow> window,
                                                 SearchState& state) const {
    ClampedRule rule(vertices, lengths, point, window);
    search(rule, state);
    if (!rule.best().found()) return std::nullopt;
    state.segment = rule.best().index();
    return rule.best().index();
}

}  // namespace ordavin::path
