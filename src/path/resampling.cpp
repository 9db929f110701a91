// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#include <unistd.h>

#include <cmath>
#include <new>

#include "path/path.hpp"
#include "spline/spline.hpp"
#include "util/linspace.hpp"
#include "util/panic.hpp"

namespace ordavin::path {
namespace {

// Bytes held per resampled point by the result: the point and its two coordinates.
constexpr std::uint64_t bytes_per_sample = sizeof(Point) + 2 * sizeof(double);

// A request that cannot fit into physical memory is refused before anything is allocated:
// with an overcommitting allocator the vectors would otherwise be handed out and the process
// killed on first touch instead of raising MemoryError.
void check_fits_in_memory(std::uint64_t number_points) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return;  // unknown: let the allocator decide
    const std::uint64_t physical_bytes =
        static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
    if (number_points > physical_bytes / bytes_per_sample) throw std::bad_alloc();
}

// The keys that make_spline builds from the cumulative lengths and one coordinate each, read
// in place: (-1, v_0), then (s_i, v_i) for every point, then (L + 0.01, v_last) and
// (L + 0.02, v_last), v_last being the last entry of the whole coordinate vector. That is the
// sorted order, since the lengths start at 0 and never decrease and the guards lie strictly
// beyond L. Both coordinates share the parameters, hence the intervals.
class PathKeys {
public:
    PathKeys(const std::vector<double>& lengths, const std::vector<double>& x,
             const std::vector<double>& y)
        : lengths_(lengths.data()),
          x_(x.data()),
          y_(y.data()),
          points_(lengths.size()),
          end_guard_(spline::end_guard_parameters(lengths.back()).first),
          far_guard_(spline::end_guard_parameters(lengths.back()).second),
          last_x_(x.back()),
          last_y_(y.back()) {}

    std::size_t size() const noexcept { return points_ + 3; }

    double t(std::size_t i) const noexcept {
        if (i == 0) return -1.0;
        if (i <= points_) return lengths_[i - 1];
        return i == points_ + 1 ? end_guard_ : far_guard_;
    }

    spline::SplineKey x_key(std::size_t i) const noexcept {
        return {t(i), value(x_, last_x_, i), spline::Interpolation::Cubic};
    }
    spline::SplineKey y_key(std::size_t i) const noexcept {
        return {t(i), value(y_, last_y_, i), spline::Interpolation::Cubic};
    }
    double x(std::size_t i) const noexcept { return value(x_, last_x_, i); }
    double y(std::size_t i) const noexcept { return value(y_, last_y_, i); }

private:
    double value(const double* values, double last, std::size_t i) const noexcept {
        if (i == 0) return values[0];
        return i <= points_ ? values[i - 1] : last;
    }

    const double* lengths_;
    const double* x_;
    const double* y_;
    std::size_t points_;
    double end_guard_;
    double far_guard_;
    double last_x_;
    double last_y_;
};

// Finds the interval of each sample in turn. The samples do not decrease, so the number of
// cumulative lengths before the sample (their lower bound) only moves forward; it advances by
// a branch-free count over a window of lengths, since a data-dependent loop per sample would
// mispredict on most of them. When the length at the lower bound lies strictly after the
// sample, no key equals the sample and the bisection would end just there; when it equals the
// sample, the bisection decides which of possibly several equal keys is hit, so it is asked.
class IntervalWalker {
public:
    IntervalWalker(const PathKeys& keys, const std::vector<double>& lengths)
        : keys_(keys), lengths_(lengths.data()), count_(lengths.size()) {}

    std::optional<std::size_t> find(double t) {
        if (t < last_t_) lower_bound_ = 0;  // not monotone after all: start over
        last_t_ = t;
        advance(t);
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
    void advance(double t) {
        constexpr std::size_t window = 8;
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

    const PathKeys& keys_;
    const double* lengths_;
    std::size_t count_;
    std::size_t lower_bound_ = 0;
    double last_t_ = -INFINITY;
};

}  // namespace

Path Path::resampled_path(std::uint64_t number_points, ResamplingType resampling_type) const {
    const std::vector<double>& lengths = path_length_per_point();
    if (lengths.empty()) throw Panic("cannot resample a path without points");
    if (number_points == 0) throw Panic("cannot resample a path to zero points");
    const double total_length = lengths.back();
    // The length is a running sum, so a NaN anywhere makes it NaN, and with it every sample
    // parameter past the first; such samples cannot be placed among the keys.
    if (std::isnan(total_length)) {
        throw Panic("cannot resample a path whose length is NaN (NaN sample parameter)");
    }
    check_fits_in_memory(number_points);

    // The keys of the two splines are read in place rather than copied into two Spline
    // records; the values are those of make_spline and sample_with_key.
    const PathKeys keys(lengths, x(), y());
    const std::size_t last_key = keys.size() - 1;
    const util::EvenSpacing samples(0.0, total_length, number_points);
    const bool linear = resampling_type == ResamplingType::Linear;
    std::vector<Point> points(static_cast<std::size_t>(number_points));
    IntervalWalker walker(keys, lengths);
    for (std::size_t k = 0; k < points.size(); ++k) {
        const double s = samples(k);
        const std::optional<std::size_t> interval = walker.find(s);
        if (!interval) continue;  // outside the keys: the point stays (0, 0)
        const std::size_t i = *interval;
        const double a_t = keys.t(i);
        const double u = (s - a_t) / (keys.t(i + 1) - a_t);
        if (linear) {
            points[k] = Point{spline::linear_value(u, keys.x(i), keys.x(i + 1)),
                              spline::linear_value(u, keys.y(i), keys.y(i + 1))};
        } else if (i != 0 && i + 1 < last_key) {
            points[k] = Point{spline::hermite_value(keys.x_key(i - 1), keys.x_key(i),
                                                    keys.x_key(i + 1), keys.x_key(i + 2), u),
                              spline::hermite_value(keys.y_key(i - 1), keys.y_key(i),
                                                    keys.y_key(i + 1), keys.y_key(i + 2), u)};
        }
    }
    return from_points(std::move(points));
}

}  // namespace ordavin::path
