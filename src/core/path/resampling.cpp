// Equidistant resampling of a path by linear or cubic Hermite interpolation over arc length.
#include "path/resampling.hpp"

#include <cmath>
#include <cstdint>
#include <vector>

#include "path/arc_length_spline.hpp"
#include "spline/even_sampler.hpp"
#include "spline/in_place_spline.hpp"
#include "spline/spline.hpp"
#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"
#include "util/linspace.hpp"
#include "util/memory_policy.hpp"
#include "util/panic.hpp"
#include "util/point_lanes.hpp"

namespace ordavin::path {
namespace {

// Bytes held per resampled point by the result: the point and its two coordinates.
constexpr std::uint64_t bytes_per_sample = sizeof(Point) + 2 * sizeof(double);

template <spline::ValueSequence Values, spline::Interpolation Method>
std::vector<Point> resample(const spline::InPlaceSpline<Values, Method>& spline, double length,
                            std::uint64_t number_points) {
    // The values of linspace(0, L, number_points), one at a time.
    const util::EvenSpacing samples(0.0, length, number_points);
    spline::EvenSampler sampler(spline, samples, number_points);
    std::vector<Point> points;
    util::reserve_fresh(points, static_cast<std::size_t>(number_points));
    util::for_each_block(number_points, 8, [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const auto sample = sampler.sample(k);
            // Outside the keys, or without a neighbouring key, the point stays (0, 0).
            points.push_back(sample ? util::point_of(sample->value) : Point{});
        }
    });
    return points;
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

    return Path::from_points(
        with_arc_length_spline(path, resampling_type, [&](const auto& spline) {
            return resample(spline, lengths.back(), number_points);
        }));
}

}  // namespace ordavin::path
