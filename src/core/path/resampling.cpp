// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "path/resampling.hpp"
#include "spline/spline.hpp"
#include "util/fresh_memory.hpp"
#include "util/linspace.hpp"
#include "util/memory_policy.hpp"
#include "util/panic.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {
namespace {

// Bytes held per resampled point by the result: the point and its two coordinates.
constexpr std::uint64_t bytes_per_sample = sizeof(Point) + 2 * sizeof(double);

using util::lanes_of;
using util::point_of;
using util::PointLanes;

// The coordinates of the points read in place: straight off the points (the usual case, which
// spares the two coordinate vectors) or off the coordinate lists a path was made from.
struct PointCoordinates {
    const Point* points;
    double x(std::size_t i) const noexcept { return points[i].x; }
    double y(std::size_t i) const noexcept { return points[i].y; }
    PointLanes pair(std::size_t i) const noexcept { return lanes_of(points[i]); }
};

struct ListCoordinates {
    const double* xs;
    const double* ys;
    double x(std::size_t i) const noexcept { return xs[i]; }
    double y(std::size_t i) const noexcept { return ys[i]; }
    PointLanes pair(std::size_t i) const noexcept { return PointLanes{xs[i], ys[i]}; }
};

// The keys that make_spline builds from the cumulative lengths and one coordinate each, read
// in place: (-1, v_0), then (s_i, v_i) for every point, then (L + 0.01, v_last) and
// (L + 0.02, v_last), v_last being the last entry of the whole coordinate vector. That is the
// sorted order, since the lengths start at 0 and never decrease and the guards lie strictly
// beyond L. Both coordinates share the parameters, hence the intervals.
template <class Coordinates>
class PathKeys {
public:
    PathKeys(const std::vector<double>& lengths, Coordinates coordinates, Point last)
        : lengths_(lengths.data()),
          coordinates_(coordinates),
          points_(lengths.size()),
          end_guard_(spline::end_guard_parameters(lengths.back()).first),
          far_guard_(spline::end_guard_parameters(lengths.back()).second),
          last_(last) {}

    std::size_t size() const noexcept { return points_ + 3; }

    double t(std::size_t i) const noexcept {
        if (i == 0) return -1.0;
        if (i <= points_) return lengths_[i - 1];
        return i == points_ + 1 ? end_guard_ : far_guard_;
    }

    Point value(std::size_t i) const noexcept {
        if (i == 0) return Point{coordinates_.x(0), coordinates_.y(0)};
        if (i <= points_) return Point{coordinates_.x(i - 1), coordinates_.y(i - 1)};
        return last_;
    }

    /// The chord slopes of both coordinates at key i, which needs a key on either side.
    Point chord_slope(std::size_t i) const noexcept {
        const double before_t = t(i - 1);
        const double after_t = t(i + 1);
        const Point before = value(i - 1);
        const Point after = value(i + 1);
        return Point{spline::chord_slope({before_t, before.x}, {after_t, after.x}),
                     spline::chord_slope({before_t, before.y}, {after_t, after.y})};
    }

private:
    const double* lengths_;
    Coordinates coordinates_;
    std::size_t points_;
    double end_guard_;
    double far_guard_;
    Point last_;
};

// Finds the interval of each sample in turn. The samples do not decrease, so the number of
// cumulative lengths before the sample (their lower bound) only moves forward. When the
// length at the lower bound lies strictly after the sample, no key equals the sample and the
// bisection would end just there; when it equals the sample, the bisection decides which of
// possibly several equal keys is hit, so it is asked.
//
// Moving the lower bound forward sample by sample makes every sample wait for the previous
// one (load, compare, add). Instead, each length is first placed among the samples, which
// needs no result of another length: the first sample strictly after length j is found from
// j's position divided by the step and corrected by comparing with the samples themselves,
// and counted in `arrivals`. The lower bound of sample k is then the running sum of the
// arrivals up to k. Where that placement cannot be trusted (a zero or infinite step, a last
// step that goes backwards in rounding, counts too large for the counters) the lower bound
// advances by a branch-free count over a window of lengths instead.
template <class Keys>
class IntervalWalker {
public:
    IntervalWalker(const Keys& keys, const std::vector<double>& lengths,
                   const util::EvenSpacing& samples, std::uint64_t count)
        : keys_(keys), lengths_(lengths.data()), count_(lengths.size()) {
        const double step = count >= 2 ? samples(1) - samples(0) : 0.0;
        const bool placeable = count >= 2 && step > 0.0 && std::isfinite(1.0 / step) && std::isfinite(lengths.back()) &&
                               samples(count - 2) <= samples(count - 1) &&
                               count < std::numeric_limits<std::uint32_t>::max() &&
                               lengths.size() < std::numeric_limits<std::uint32_t>::max();
        if (placeable) place_lengths(samples, count, step);
    }

    /// The interval of sample k, whose parameter is t; samples come in order.
    std::optional<std::size_t> find(std::uint64_t k, double t) {
        if (!arrivals_.empty()) {
            lower_bound_ += arrivals_[static_cast<std::size_t>(k)];
        } else {
            if (t < last_t_) lower_bound_ = 0;  // not monotone after all: start over
            last_t_ = t;
            advance(t);
        }
        // Key i + 1 holds length i, and the key at -1 lies before every sample (t >= 0), so
        // the interval starts at key lower_bound_. Past the last length (t > L, only from
        // rounding) the guards decide, through the bisection.
        if (lower_bound_ == count_ || lengths_[lower_bound_] == t) {
            return spline::bisect_interval(
                keys_.size(), [this](std::size_t i) { return keys_.t(i); }, t);
        }
        return lower_bound_;
    }

private:
    // arrivals_[k]: how many lengths have sample k as the first sample strictly after them.
    void place_lengths(const util::EvenSpacing& samples, std::uint64_t count, double step) {
        arrivals_.assign(static_cast<std::size_t>(count) + 1, 0);
        // Only a first guess: the comparisons below make it exact.
        const double inverse_step = 1.0 / step;
        for (std::size_t j = 0; j < count_; ++j) {
            const double length = lengths_[j];
            // Samples 0 .. floor(length / step) lie at or before the length, up to rounding;
            // the length is at most the last sample, so the guess stays near count.
            std::uint64_t first =
                std::min(static_cast<std::uint64_t>(length * inverse_step) + 1, count);
            while (first > 0 && samples(first - 1) > length) --first;
            while (first < count && samples(first) <= length) ++first;
            ++arrivals_[static_cast<std::size_t>(first)];
        }
    }

    void advance(double t) {
        constexpr std::size_t window = 4;
        while (lower_bound_ + window <= count_) {
            std::size_t before = 0;
            for (std::size_t m = 0; m < window; ++m) {
                before += static_cast<std::size_t>(lengths_[lower_bound_ + m] < t);
            }
            lower_bound_ += before;
            if (before < window) return;
        }
        while (lower_bound_ < count_ && lengths_[lower_bound_] < t) ++lower_bound_;
    }

    const Keys& keys_;
    const double* lengths_;
    std::size_t count_;
    std::vector<std::uint32_t> arrivals_;
    std::size_t lower_bound_ = 0;
    double last_t_ = -INFINITY;
};

// The value at s on interval i (keys i and i + 1) of both coordinates at once; the two share
// the position in the interval, the chord denominators and, for the cubic, the basis. The
// operations are those of sample_with_key on each coordinate's spline.
template <class Keys>
Point linear_point(const Keys& keys, std::size_t i, double s) noexcept {
    const double a_t = keys.t(i);
    const double u = (s - a_t) / (keys.t(i + 1) - a_t);
    const Point a = keys.value(i);
    const Point b = keys.value(i + 1);
    return Point{spline::linear_value(u, a.x, b.x), spline::linear_value(u, a.y, b.y)};
}

// The cubic needs a key before the interval and one after it: 1 <= i < size - 2.
template <class Keys>
Point cubic_point(const Keys& keys, std::size_t i, double s) noexcept {
    const double a_t = keys.t(i);
    const double h = keys.t(i + 1) - a_t;
    const double u = (s - a_t) / h;
    const Point a = keys.value(i);
    const Point b = keys.value(i + 1);
    const Point slope_a = keys.chord_slope(i);
    const Point slope_b = keys.chord_slope(i + 1);
    const spline::HermiteBasis basis = spline::HermiteBasis::at(u);
    return Point{basis.value(a.x, slope_a.x * h, b.x, slope_b.x * h),
                 basis.value(a.y, slope_a.y * h, b.y, slope_b.y * h)};
}

// The same values on an interval between two points of the path whose neighbouring keys are
// points too (no guard key involved), read straight from the arrays: j is the point that
// starts the interval, key j + 1.
template <class Coordinates>
Point inner_linear_point(const double* lengths, const Coordinates& values, std::size_t j,
                         double s) noexcept {
    const double u = (s - lengths[j]) / (lengths[j + 1] - lengths[j]);
    // linear_value on both coordinates at once.
    return point_of(u * values.pair(j + 1) + (1.0 - u) * values.pair(j));
}

template <class Coordinates>
Point inner_cubic_point(const double* lengths, const Coordinates& values, std::size_t j,
                        double s) noexcept {
    const double h = lengths[j + 1] - lengths[j];
    const double u = (s - lengths[j]) / h;
    const double before = lengths[j + 1] - lengths[j - 1];
    const double after = lengths[j + 2] - lengths[j];
    const PointLanes a = values.pair(j);
    const PointLanes b = values.pair(j + 1);
    // The chord slopes of both coordinates, scaled to the interval: chord_slope * h.
    const PointLanes m_a = (b - values.pair(j - 1)) / before * h;
    const PointLanes m_b = (values.pair(j + 2) - a) / after * h;
    const spline::HermiteBasis basis = spline::HermiteBasis::at(u);
    // HermiteBasis::value on both coordinates, its four terms summed in the same order.
    return point_of(basis.h00 * a + basis.h10 * m_a + basis.h01 * b + basis.h11 * m_b);
}

template <bool Cubic, class Coordinates>
std::vector<Point> resample(const std::vector<double>& lengths, Coordinates coordinates,
                            Point last, std::uint64_t number_points) {
    using Keys = PathKeys<Coordinates>;
    const Keys keys(lengths, coordinates, last);
    const std::size_t point_count = lengths.size();
    const std::size_t last_key = keys.size() - 1;
    const util::EvenSpacing samples(0.0, lengths.back(), number_points);
    std::vector<Point> points;
    util::reserve_fresh(points, static_cast<std::size_t>(number_points));
    IntervalWalker<Keys> walker(keys, lengths, samples, number_points);
    for (std::uint64_t k = 0; k < number_points; ++k) {
        const double s = samples(k);
        const std::optional<std::size_t> index = walker.find(k, s);
        if (!index) {
            points.push_back(Point{});  // outside the keys: the point stays (0, 0)
            continue;
        }
        const std::size_t i = *index;
        if constexpr (Cubic) {
            if (i >= 2 && i + 2 < point_count + 1) {
                points.push_back(inner_cubic_point(lengths.data(), coordinates, i - 1, s));
            } else if (i != 0 && i + 1 < last_key) {
                points.push_back(cubic_point(keys, i, s));
            } else {
                points.push_back(Point{});  // no neighbouring key: the point stays (0, 0)
            }
        } else {
            if (i >= 1 && i < point_count) {
                points.push_back(inner_linear_point(lengths.data(), coordinates, i - 1, s));
            } else {
                points.push_back(linear_point(keys, i, s));
            }
        }
    }
    return points;
}

template <class Coordinates>
std::vector<Point> resample(const std::vector<double>& lengths, Coordinates coordinates,
                            Point last, std::uint64_t number_points, bool cubic) {
    return cubic ? resample<true>(lengths, coordinates, last, number_points)
                 : resample<false>(lengths, coordinates, last, number_points);
}

}  // namespace

Path resampled_path(const Path& path, std::uint64_t number_points,
                    ResamplingType resampling_type) {
    const std::vector<double>& lengths = path.path_length_per_point();
    if (lengths.empty()) throw Panic("cannot resample a path without points");
    if (number_points == 0) throw Panic("cannot resample a path to zero points");
    // The length is a running sum, so a NaN anywhere makes it NaN, and with it every sample
    // parameter past the first; such samples cannot be placed among the keys.
    if (std::isnan(lengths.back())) {
        throw Panic("cannot resample a path whose length is NaN (NaN sample parameter)");
    }
    util::check_fits_in_memory(number_points, bytes_per_sample);

    // The keys of the two splines are read in place rather than copied into two Spline
    // records; the values are those of make_spline and sample_with_key.
    const bool cubic = resampling_type == ResamplingType::Cubic;
    if (path.coordinates_mirror_points()) {
        return Path::from_points(
            resample(lengths, PointCoordinates{path.points().data()}, path.points().back(), number_points,
                     cubic));
    }
    // Coordinate lists of unequal length: the end keys take the last entry of each whole list.
    const std::vector<double>& xs = path.x();
    const std::vector<double>& ys = path.y();
    return Path::from_points(resample(lengths, ListCoordinates{xs.data(), ys.data()},
                                Point{xs.back(), ys.back()}, number_points, cubic));
}

}  // namespace ordavin::path
