// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#include "path/resampling.hpp"

#include <cmath>
#include <new>

#include "spline/hinted_sampling.hpp"
#include "spline/spline.hpp"
#include "util/fresh_memory.hpp"
#include "util/linspace.hpp"
#include "util/make_spline.hpp"
#include "util/memory_policy.hpp"
#include "util/panic.hpp"

namespace ordavin::path {
namespace {

// Bytes held per resampled point by the result: the point and its two coordinates.
constexpr std::uint64_t bytes_per_sample = sizeof(Point) + 2 * sizeof(double);

// Stores the value of sample_with_key(spline, s_k) for every sample s_k in order, or 0.0
// where it yields nothing, through store(k, value). `arrivals` holds the hints of
// keys_arriving_before, or nothing.
template <class Store>
void sample_all(const spline::Spline& spline, const util::EvenSpacing& samples, std::uint64_t count,
                const std::vector<std::uint32_t>& arrivals, Store store) {
    spline::SplineSampler sample(spline);
    if (arrivals.empty()) {
        for (std::uint64_t k = 0; k < count; ++k) {
            const std::optional<spline::Sample> value = sample(samples(k));
            store(k, value ? value->value : 0.0);
        }
        return;
    }
    std::size_t keys_before = 0;
    for (std::uint64_t k = 0; k < count; ++k) {
        keys_before += arrivals[static_cast<std::size_t>(k)];
        const std::optional<spline::Sample> value = sample(samples(k), keys_before);
        store(k, value ? value->value : 0.0);
    }
}

// Each pass in a function of its own keeps its loop in registers.
[[gnu::noinline]] void sample_x(const spline::Spline& x_spline, const util::EvenSpacing& samples,
                                std::uint64_t count, const std::vector<std::uint32_t>& arrivals,
                                std::vector<Point>& points) {
    sample_all(x_spline, samples, count, arrivals, [&points](std::uint64_t, double x) {
        points.push_back(Point{x, 0.0});
    });
}

[[gnu::noinline]] void sample_y(const spline::Spline& y_spline, const util::EvenSpacing& samples,
                                const std::vector<std::uint32_t>& arrivals,
                                std::vector<Point>& points) {
    Point* const point = points.data();
    sample_all(y_spline, samples, points.size(), arrivals,
               [point](std::uint64_t k, double y) { point[k].y = y; });
}

}  // namespace

Path resampled_path(const Path& path, std::uint64_t number_points, ResamplingType resampling_type) {
    const std::vector<double>& lengths = path.path_length_per_point();
    if (lengths.empty()) throw Panic("cannot resample a path without points");
    if (number_points == 0) throw Panic("cannot resample a path to zero points");
    // The length is a running sum, so a NaN anywhere makes it NaN, and with it every sample
    // parameter past the first; such samples cannot be placed among the keys.
    if (std::isnan(lengths.back())) {
        throw Panic("cannot resample a path whose length is NaN (NaN sample parameter)");
    }
    util::check_fits_in_memory(number_points, bytes_per_sample);

    const spline::Interpolation method = resampling_type == ResamplingType::Cubic
                                             ? spline::Interpolation::Cubic
                                             : spline::Interpolation::Linear;
    // Coordinate lists of unequal length keep both lists whole, and the end keys take the last
    // entry of each; otherwise the coordinates are read off the points.
    const bool from_points = path.coordinates_mirror_points();
    const util::EvenSpacing samples(0.0, lengths.back(), number_points);
    std::vector<Point> points;
    util::reserve_fresh(points, static_cast<std::size_t>(number_points));
    // One coordinate at a time: the x spline is gone before the y spline is built, so the
    // second takes over the memory of the first. Both splines have the keys' parameters of the
    // cumulative lengths, so the hints placed among the x keys serve the y keys as well.
    std::vector<std::uint32_t> arrivals;
    {
        const spline::Spline x_spline =
            from_points ? util::make_spline(lengths, path.points(), &Point::x, method)
                        : util::make_spline(lengths, path.x(), method);
        arrivals = spline::keys_arriving_before(x_spline, samples, number_points);
        sample_x(x_spline, samples, number_points, arrivals, points);
    }
    {
        const spline::Spline y_spline =
            from_points ? util::make_spline(lengths, path.points(), &Point::y, method)
                        : util::make_spline(lengths, path.y(), method);
        sample_y(y_spline, samples, arrivals, points);
    }
    return Path::from_points(std::move(points));
}

}  // namespace ordavin::path
