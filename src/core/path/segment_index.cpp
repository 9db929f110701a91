// A static hierarchy of boxes over a path's segments, for locating many points exactly.
//
// The search must return what the scan of every segment returns, to the bit. Three tests rule
// out a node, and all are proved against the scan's own rounded arithmetic (u = 2^-53; all
// coordinates, the query's included, are finite and at most 2^500 in magnitude, so nothing
// overflows; other paths and queries go to the scan).
//
// Distance. For a covering parameter t in [0, 1) the scan's foot coordinate is
// fl(ax + fl(t * dx)) with dx = fl(bx - ax). Rounding to nearest is monotone, so fl(t * dx)
// lies between 0 and dx, and the foot between ax and ex = fl(ax + dx); the box holds both,
// for every segment of the node. With gx = fl(min_x - px) when px < min_x, fl(px - max_x)
// when px > max_x, and 0 otherwise (likewise gy), monotonicity carries
// |fl(foot_x - px)| >= gx through each rounded operation of the scan's distance
// sqrt(ox * ox + oy * oy), so the same operations on gx and gy never exceed the distance the
// scan computes for any segment in the box: no margin is needed, and underflow does not
// matter. The search compares the rounded sum before the square root with the largest double
// whose rounded root is the best distance, which is the same comparison without the root. A
// node is ruled out only when its bound is strictly greater than the best distance, so a
// segment at an equal distance and a lower index is never lost, and the best is kept by
// (distance, index), so the order of the visit does not matter either.
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

#include "path/nearest_projection.hpp"
#include "path/path.hpp"
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
// Segments on either side of the previous query's segment tried before the search.
constexpr std::size_t hint_reach = 16;
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

// A leaf over segments [first, last): its box, and a direction from the mean of the doubled
// segment angles weighted by squared length (so that opposite directions agree), with the
// largest deviation from it measured.
std::pair<Node, NodeInfo> leaf(const std::vector<Point>& points, std::size_t first,
                               std::size_t last) noexcept {
    Node node{};
    NodeInfo info;
    node.min_x = node.max_x = points[first].x;
    node.min_y = node.max_y = points[first].y;
    double doubled_x = 0.0;
    double doubled_y = 0.0;
    for (std::size_t i = first; i < last; ++i) {
        const Point a = points[i];
        const Point b = points[i + 1];
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        include(node, b.x, b.y);
        include(node, a.x + dx, a.y + dy);
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
        const Point a = points[i];
        const double dx = points[i + 1].x - a.x;
        const double dy = points[i + 1].y - a.y;
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

// The union of consecutive nodes: their box, the cone holding theirs, and the direction,
// spread and projection interval of that cone.
std::pair<Node, NodeInfo> parent(const Node* children, const NodeInfo* infos,
                                 std::size_t count) noexcept {
    Node node = children[0];
    NodeInfo info = infos[0];
    for (std::size_t k = 1; k < count; ++k) {
        include(node, children[k].min_x, children[k].min_y);
        include(node, children[k].max_x, children[k].max_y);
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

// The square of a lower bound of the distance the scan computes for any covering segment of
// the node, before its square root: the bound itself is the rounded square root of this.
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
// allowance, squared and summed, and shrunk by the relative allowance.
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

// The largest double whose rounded square root does not exceed `distance` (finite, >= 0).
// Since the rounded square root is monotone, a bound beats `distance` exactly when its square
// exceeds this, which spares the square root of every node visited.
double squared_limit(double distance) noexcept {
    if (!(distance < infinity)) return infinity;
    double limit = distance * distance;
    while (std::sqrt(limit) > distance) limit = std::nextafter(limit, 0.0);
    while (std::sqrt(std::nextafter(limit, infinity)) <= distance) {
        limit = std::nextafter(limit, infinity);
    }
    return limit;
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

// The order of the heap of waiting nodes: a type of its own, so that the heap operations
// inline the comparison rather than call through a pointer.
struct Farther {
    bool operator()(const SegmentIndex::Pending& left,
                    const SegmentIndex::Pending& right) const noexcept {
        return left.bound > right.bound;
    }
};

// std::push_heap of `pending` onto the heap [heap, heap + size), step for step, but sifting the
// new node up from a register: push_heap reads back the node just stored, 16 bytes at once over
// two 8-byte stores, which the processor cannot forward and which cost a tenth of a search.
void push_waiting(SegmentIndex::Pending* heap, std::size_t size,
                  const SegmentIndex::Pending& pending) noexcept {
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
SegmentIndex::Pending* grown(SegmentIndex::Pending* heap, std::size_t size, std::size_t& capacity,
                             std::vector<SegmentIndex::Pending>& spill) {
    if (heap != spill.data()) spill.assign(heap, heap + size);
    spill.resize(2 * capacity);
    capacity = spill.size();
    return spill.data();
}

}  // namespace

SegmentIndex SegmentIndex::build(const std::vector<Point>& points) {
    SegmentIndex index;
    if (points.size() < 2 || !std::all_of(points.begin(), points.end(), bounded)) return index;

    index.segment_count_ = points.size() - 1;
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
        auto [node, info] = leaf(points, first, std::min(first + leaf_size, index.segment_count_));
        index.nodes_.push_back(node);
        infos.push_back(info);
    }
    for (std::size_t level = 1; level < sizes.size(); ++level) {
        const std::size_t below = index.level_begin_[level - 1];
        for (std::size_t j = 0; j < sizes[level]; ++j) {
            const std::size_t first = j * arity;
            const std::size_t count = std::min(arity, sizes[level - 1] - first);
            auto [node, info] = parent(&index.nodes_[below + first], &infos[below + first], count);
            index.nodes_.push_back(node);
            infos.push_back(info);
        }
    }
    index.searchable_ = true;
    return index;
}

std::optional<LocatedPoint> SegmentIndex::search(const SegmentIndex& index, const Path& path,
                                                 Point point, double epsilon, LocateState* state) {
    if (!index.searchable_ || !bounded(point)) return nearest_projection(path, point, epsilon);
    const std::vector<Point>& points = path.points();
    if (auto snapped = detail::snapped_to_end(points, point, epsilon)) return snapped;

    // The coordinate vectors hold the points' coordinates in their first entries, read by
    // the same kernel as the scan.
    const double* xs = path.x().data();
    const double* ys = path.y().data();
    const std::vector<Node>& nodes = index.nodes_;
    const std::vector<std::size_t>& level_begin = index.level_begin_;

    bool found = false;
    std::size_t best_index = 0;
    double best_distance = 0.0;
    // Nodes are compared by the squares of their bounds: see squared_limit.
    double best_limit = infinity;
    const auto improve = [&](std::size_t i, double distance) {
        best_index = i;
        if (!found || distance != best_distance) best_limit = squared_limit(distance);
        found = true;
        best_distance = distance;
    };
    // The segments along the path around the previous query's, among which a query near it
    // usually finds a covering one, give the search a distance to beat from the start. They
    // stay candidates like any other: the least (distance, index) wins whatever was tried first.
    double distance = 0.0;
    const auto consider = [&](std::size_t i) {
        if (!detail::covering_distance(xs, ys, i, point, distance)) return;
        // The scan keeps the first of equal distances: the least (distance, index).
        if (!found || detail::total_order_less(distance, best_distance) ||
            (!detail::total_order_less(best_distance, distance) && i < best_index)) {
            improve(i, distance);
        }
    };
    if (state != nullptr && state->segment < index.segment_count_) {
        const std::size_t first = state->segment > hint_reach ? state->segment - hint_reach : 0;
        const std::size_t count = std::min(2 * hint_reach, index.segment_count_ - first);
        for (std::uint64_t candidates =
                 detail::covering_candidates(xs + first, ys + first, count, point);
             candidates != 0; candidates &= candidates - 1) {
            consider(first + static_cast<std::size_t>(std::countr_zero(candidates)));
        }
    }

    // Best first: the node with the least bound is opened next, so the search ends as soon
    // as every waiting node is farther than the best segment found. A node is ruled out only
    // when its bound is strictly greater than the best distance, so a segment at an equal
    // distance and a lower index is never lost. The waiting nodes form a binary heap in a
    // small array on the stack, moved to the caller's spill in the rare search that outgrows
    // it, so that a query allocates nothing. The array is left uninitialised: clearing it
    // would cost a fair share of a search.
    std::array<Pending, 64> inline_heap;
    std::vector<Pending> local_spill;
    std::vector<Pending>& spill = state != nullptr ? state->spill : local_spill;
    Pending* heap = inline_heap.data();
    std::size_t size = 0;
    std::size_t capacity = inline_heap.size();
    const double query_slack = relative_slack * (std::abs(point.x) + std::abs(point.y));
    const auto open = [&](std::size_t level, std::size_t j) {
        const Node& node = nodes[level_begin[level] + j];
        const double box_bound = squared_distance_bound(node, point);
        if (box_bound > best_limit || !may_cover(node, point, query_slack)) return;
        const double bound = std::max(box_bound, squared_rectangle_bound(node, point, query_slack));
        if (bound > best_limit) return;
        if (size == capacity) heap = grown(heap, size, capacity, spill);
        push_waiting(heap, size++, Pending{level, j, bound});
    };

    open(level_begin.size() - 2, 0);
    while (size > 0) {
        std::pop_heap(heap, heap + size, Farther{});
        const Pending current = heap[--size];
        // Every node still waiting is at least as far as this one.
        if (current.bound > best_limit) break;
        if (current.level == 0) {
            // Most segments of a leaf do not cover the query: a test without division picks
            // the few that may, and only those are projected.
            const std::size_t first = current.node * leaf_size;
            const std::size_t count = std::min(leaf_size, index.segment_count_ - first);
            for (std::uint64_t candidates =
                     detail::covering_candidates(xs + first, ys + first, count, point);
                 candidates != 0; candidates &= candidates - 1) {
                consider(first + static_cast<std::size_t>(std::countr_zero(candidates)));
            }
            continue;
        }
        const std::size_t below = current.level - 1;
        const std::size_t first = current.node * arity;
        const std::size_t last =
            std::min(first + arity, level_begin[below + 1] - level_begin[below]);
        for (std::size_t j = first; j < last; ++j) open(below, j);
    }
    if (!found) return std::nullopt;
    if (state != nullptr) state->segment = best_index;
    return LocatedPoint{
        best_index, util::compute_projection(points[best_index], points[best_index + 1], point)};
}

std::optional<LocatedPoint> locate(const SegmentIndex& index, const Path& path, Point point,
                                   double epsilon) {
    return SegmentIndex::search(index, path, point, epsilon, nullptr);
}

std::optional<LocatedPoint> locate(const SegmentIndex& index, const Path& path, Point point,
                                   double epsilon, LocateState& state) {
    return SegmentIndex::search(index, path, point, epsilon, &state);
}

}  // namespace ordavin::path
