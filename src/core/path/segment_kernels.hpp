// The per-segment arithmetic of locating a query on a path, and the one ranking of candidate
// segments, shared by the scan of every segment and by the segment index: both read the same
// bits through these functions, so they agree to the bit.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "util/point.hpp"
#include "util/projection.hpp"

namespace ordavin::path {

/// The vertices of a polyline as two coordinate arrays of one length: what the scan and the
/// index read. A path's points and its coordinate vectors hold the same values.
struct Vertices {
    std::span<const double> x;
    std::span<const double> y;

    std::size_t size() const noexcept { return x.size(); }
    Point operator[](std::size_t i) const noexcept { return Point{x[i], y[i]}; }
};

/// The arc-length interval [low, high] a segment's [s_k, s_(k+1)] must meet to compete.
struct ArcLengthWindow {
    double low;
    double high;

    /// Whether [start, end] meets the window; false when either is NaN.
    bool meets(double start, double end) const noexcept { return end >= low && start <= high; }
};

/// Where a query was located: the index of the path point at which its position begins (the
/// covering segment's start, or the end point it snapped to), and the projection there.
struct LocatedPoint {
    std::uint64_t index = 0;
    util::SegmentProjection projection;
};

/// The snap to the first point, else to the last, when the query lies within epsilon of it
/// per coordinate: foot = that point and zeros. The first point is tested first, so on a
/// closed path the start wins. Nothing for an empty path or no snap.
inline std::optional<LocatedPoint> snapped_to_end(Vertices vertices, Point point,
                                                  double epsilon) noexcept {
    if (vertices.size() == 0) return std::nullopt;
    const Point first = vertices[0];
    if (util::within_epsilon(point, first, epsilon)) {
        return LocatedPoint{0, util::SegmentProjection{first, 0.0, 0.0, 0.0}};
    }
    const std::size_t last = vertices.size() - 1;
    if (util::within_epsilon(point, vertices[last], epsilon)) {
        return LocatedPoint{last, util::SegmentProjection{vertices[last], 0.0, 0.0, 0.0}};
    }
    return std::nullopt;
}

/// A bit k for each of the `count` (at most 64) segments starting at xs[k], ys[k] that may
/// cover the query, without dividing; every covering segment has its bit set. A covering
/// t = numerator / squared_length < 1 needs numerator < squared_length (a quotient of at least
/// 1 rounds to at least 1), and t >= 0 needs numerator >= 0 unless a negative quotient
/// underflows to -0.0, which needs |numerator| < squared_length * 2^-1074 (and so a squared
/// length above 1, whose product with 2^-1000 does not underflow). NaN fails both comparisons,
/// as it fails the exact test. The numerator and squared length are the bits
/// covering_distance computes.
inline std::uint64_t covering_candidates(const double* xs, const double* ys, std::size_t count,
                                         Point point) noexcept {
    std::uint64_t candidates = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double dx = xs[k + 1] - xs[k];
        const double dy = ys[k + 1] - ys[k];
        const double numerator = (point.x - xs[k]) * dx + (point.y - ys[k]) * dy;
        const double squared_length = dx * dx + dy * dy;
        const bool may_cover =
            (numerator < squared_length) & (numerator >= -(squared_length * 0x1p-1000));
        candidates |= static_cast<std::uint64_t>(may_cover) << k;
    }
    return candidates;
}

/// Whether segment i, from (xs[i], ys[i]) to (xs[i + 1], ys[i + 1]), covers the query: its
/// foot lies in [start, end). If so, `squared` receives the square of the distance to the
/// foot before its square root, with the operations of compute_projection. A zero-length
/// segment gives t = NaN and never covers.
inline bool covering_squared_distance(const double* xs, const double* ys, std::size_t i,
                                      Point point, double& squared) noexcept {
    const double dx = xs[i + 1] - xs[i];
    const double dy = ys[i + 1] - ys[i];
    const double t = ((point.x - xs[i]) * dx + (point.y - ys[i]) * dy) / (dx * dx + dy * dy);
    if (!(t >= 0.0 && t < 1.0)) return false;
    const double ox = xs[i] + t * dx - point.x;
    const double oy = ys[i] + t * dy - point.y;
    squared = ox * ox + oy * oy;
    return true;
}

/// covering_squared_distance, with `distance` its rounded square root: the distance
/// compute_projection gives.
inline bool covering_distance(const double* xs, const double* ys, std::size_t i, Point point,
                              double& distance) noexcept {
    double squared = 0.0;
    if (!covering_squared_distance(xs, ys, i, point, squared)) return false;
    distance = std::sqrt(squared);
    return true;
}

/// The parameter of the nearest point of the closed segment i to the query: the projection's
/// t clamped to [0, 1], and 0 where t is NaN (a zero-length segment, or NaN around).
inline double clamped_parameter(const double* xs, const double* ys, std::size_t i,
                                Point point) noexcept {
    const double dx = xs[i + 1] - xs[i];
    const double dy = ys[i + 1] - ys[i];
    const double t = ((point.x - xs[i]) * dx + (point.y - ys[i]) * dy) / (dx * dx + dy * dy);
    if (!(t >= 0.0)) return 0.0;
    return t > 1.0 ? 1.0 : t;
}

/// The square of the distance from the query to the nearest point of the closed segment i,
/// the foot (xs[i] + t dx, ys[i] + t dy) at the clamped parameter, before the square root:
/// the distance is its rounded square root. NaN when anything involved is.
inline double clamped_squared_distance(const double* xs, const double* ys, std::size_t i,
                                       Point point) noexcept {
    const double t = clamped_parameter(xs, ys, i, point);
    const double ox = xs[i] + t * (xs[i + 1] - xs[i]) - point.x;
    const double oy = ys[i] + t * (ys[i + 1] - ys[i]) - point.y;
    return ox * ox + oy * oy;
}

/// A bit k for each of the `count` (at most 64) segments starting at xs[k], ys[k] whose
/// clamped_squared_distance may be at most `limit`; every such segment has its bit set,
/// without a division. The foot's coordinate lies between xs[k] and xs[k] + dx as computed
/// (rounding is monotone), so the rounded gap from the query to that interval never exceeds
/// the rounded difference the distance squares, nor the sum of squares the distance's. NaN
/// gaps keep their bit: they rule nothing out.
inline std::uint64_t near_candidates(const double* xs, const double* ys, std::size_t count,
                                     Point point, double limit) noexcept {
    std::uint64_t candidates = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double ex = xs[k] + (xs[k + 1] - xs[k]);
        const double ey = ys[k] + (ys[k + 1] - ys[k]);
        const double low_x = xs[k] < ex ? xs[k] : ex;
        const double high_x = xs[k] < ex ? ex : xs[k];
        const double low_y = ys[k] < ey ? ys[k] : ey;
        const double high_y = ys[k] < ey ? ey : ys[k];
        double gx = low_x - point.x;
        gx = gx > point.x - high_x ? gx : point.x - high_x;
        gx = gx > 0.0 ? gx : 0.0;
        double gy = low_y - point.y;
        gy = gy > point.y - high_y ? gy : point.y - high_y;
        gy = gy > 0.0 ? gy : 0.0;
        const bool near = !(gx * gx + gy * gy > limit);
        candidates |= static_cast<std::uint64_t>(near) << k;
    }
    return candidates;
}

/// The square of the distance from the query to vertex i, before the square root.
inline double vertex_squared_distance(const double* xs, const double* ys, std::size_t i,
                                      Point point) noexcept {
    const double ox = xs[i] - point.x;
    const double oy = ys[i] - point.y;
    return ox * ox + oy * oy;
}

/// A double at least as large as every double whose rounded square root does not exceed
/// `distance` (>= 0, or inf): since the rounded square root is monotone, a node whose squared
/// bound exceeds this holds no segment at `distance` or nearer, which spares the square root of
/// every node visited. Such an x has sqrt(x) < distance (1 + 2^-53), so x is below
/// distance^2 (1 + 2^-51); the square rounds by at most 2^-53 relative or 2^-1075 absolute,
/// the product and the sum by 2^-53 relative, which 2^-49 and 2^-1070 cover. Taking a larger
/// value than the least such bound only rules out fewer nodes, and costs no loop: a search
/// that improves its best at every segment (a query near the centre of a circle, whose
/// distances fall steadily along it) calls this each time.
inline double squared_limit(double distance) noexcept {
    return distance * distance * (1.0 + 0x1p-49) + 0x1p-1070;
}

/// The best of the segments offered so far by (distance, then lowest index): the one ranking
/// of every locating rule. A NaN distance never wins. Offers may come in any order and more
/// than once; the result is the same.
///
/// Every distance offered is a rounded square root of a sum of squares, so it is +0, positive
/// or NaN, never -0 or negative: on such values `<` is IEEE totalOrder once NaN is left out,
/// the order the scan always ranked by.
class NearestSegment {
public:
    /// Takes segment i at `distance` if it ranks before the best so far; true when the best
    /// distance changed (a search then tightens its bound).
    bool offer(std::size_t i, double distance) noexcept {
        if (distance < distance_ || (distance == distance_ && (!found_ || i < index_))) {
            const bool changed = !found_ || distance != distance_;
            found_ = true;
            index_ = i;
            distance_ = distance;
            return changed;
        }
        return false;
    }

    bool found() const noexcept { return found_; }
    std::size_t index() const noexcept { return index_; }
    /// The best distance; +inf while nothing was found.
    double distance() const noexcept { return distance_; }

private:
    bool found_ = false;
    std::size_t index_ = 0;
    double distance_ = std::numeric_limits<double>::infinity();
};

}  // namespace ordavin::path
