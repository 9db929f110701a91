// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#include "path/resampling.hpp"

#include <cmath>
#include <span>

#include "path/coordinate_values.hpp"
#include "spline/even_sampler.hpp"
#include "spline/spline.hpp"
#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"
#include "util/linspace.hpp"
#include "util/make_spline.hpp"
#include "util/memory_policy.hpp"
#include "util/panic.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {
namespace {

// Bytes held per resampled point by the result: the point and its two coordinates.
constexpr std::uint64_t bytes_per_sample = sizeof(Point) + 2 * sizeof(double);

using util::point_of;

template <spline::Interpolation Method, class Values>
std::vector<Point> resample(std::span<const double> lengths, Values values,
                            std::uint64_t number_points) {
    // Cumulative lengths never decrease, so make_spline reads its keys in place.
    const auto spline = util::make_spline<Method>(util::NonDecreasing{lengths}, values);
    // The values of linspace(0, L, number_points), one at a time.
    const util::EvenSpacing samples(0.0, lengths.back(), number_points);
    spline::EvenSampler sampler(spline, samples, number_points);
    std::vector<Point> points;
    util::reserve_fresh(points, static_cast<std::size_t>(number_points));
    util::for_each_block(number_points, 8, [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const auto sample = sampler.sample(k);
            // Outside the keys, or without a neighbouring key, the point stays (0, 0).
            points.push_back(sample ? point_of(sample->value) : Point{});
        }
    });
    return points;
}

template <class Values>
std::vector<Point> resample(std::span<const double> lengths, Values values,
                            std::uint64_t number_points, ResamplingType resampling_type) {
    using spline::Interpolation;
    return resampling_type == ResamplingType::Cubic
               ? resample<Interpolation::Cubic>(lengths, values, number_points)
               : resample<Interpolation::Linear>(lengths, values, number_points);
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
    util::check_fits_in_memory(number_points, bytes_per_sample, "points", "resampled_path");

    // Both coordinates share the parameters, the cumulative lengths, so one spline carries the
    // two in the lanes of its values; each lane is exactly the spline of that coordinate alone.
    return with_coordinate_values(path, [&](auto values) {
        return Path::from_points(resample(lengths, values, number_points, resampling_type));
    });
}

}  // namespace ordavin::path
