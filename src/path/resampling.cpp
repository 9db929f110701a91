// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "path/path.hpp"
#include "spline/spline.hpp"
#include "util/linspace.hpp"
#include "util/make_spline.hpp"
#include "util/panic.hpp"

namespace ordavin::path {
namespace {

// Bytes held per resampled point during the call: its parameter, the point, and the new
// path's two coordinate vectors.
constexpr std::uint64_t bytes_per_sample = sizeof(double) + sizeof(Point) + 2 * sizeof(double);

// A request that cannot fit into physical memory is refused before anything is allocated:
// with overcommitting allocators the vectors would otherwise be handed out and the process
// killed on first touch instead of raising MemoryError.
void check_fits_in_memory(std::uint64_t number_points) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return;  // unknown: let the allocator decide
    const std::uint64_t physical_bytes =
        static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
    if (number_points > physical_bytes / bytes_per_sample) throw std::bad_alloc();
}

// Finds the interval of each sample in turn. The samples do not decrease, so the first key
// not before the sample (its lower bound) only moves forward. When that key lies strictly
// after the sample, no key equals it and the bisection would end at this same lower bound;
// when the key equals the sample, the bisection decides which of possibly several equal keys
// is hit, so it is asked.
class IntervalWalker {
public:
    explicit IntervalWalker(const spline::Spline& spline) : spline_(spline) {}

    std::optional<std::size_t> find(double t) {
        const std::vector<spline::SplineKey>& keys = spline_.keys;
        if (t < last_t_) lower_bound_ = 0;  // not monotone after all: start over
        last_t_ = t;
        while (lower_bound_ < keys.size() && keys[lower_bound_].t < t) ++lower_bound_;
        if (lower_bound_ < keys.size() && keys[lower_bound_].t == t) {
            return spline::find_interval(spline_, t);
        }
        if (lower_bound_ == 0 || lower_bound_ == keys.size() || keys.size() < 2) {
            return std::nullopt;
        }
        return lower_bound_ - 1;
    }

private:
    const spline::Spline& spline_;
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

    const spline::Interpolation method = resampling_type == ResamplingType::Linear
                                             ? spline::Interpolation::Linear
                                             : spline::Interpolation::Cubic;
    const spline::Spline x_spline = util::make_spline(lengths, x_, method);
    const spline::Spline y_spline = util::make_spline(lengths, y_, method);
    const std::vector<double> samples = util::linspace(0.0, total_length, number_points);

    // Both splines have the same key parameters (the cumulative lengths and the same guards),
    // so one interval search serves both coordinates.
    std::vector<Point> points(samples.size());
    IntervalWalker walker(x_spline);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const double s = samples[k];
        const std::optional<std::size_t> interval = walker.find(s);
        if (!interval) continue;  // outside the keys: the point stays (0, 0)
        points[k] = Point{spline::evaluate_interval(x_spline, *interval, s).value_or(0.0),
                          spline::evaluate_interval(y_spline, *interval, s).value_or(0.0)};
    }
    return from_points(std::move(points));
}

}  // namespace ordavin::path
