// Points from Frenet coordinates: arc length along a path and signed offset across it.
#include "path/from_frenet.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "spline/parameter_search.hpp"
#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"
#include "util/memory_policy.hpp"
#include "util/panic.hpp"

namespace ordavin::path {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// The length of segment k, as the cumulative lengths add it up.
double segment_length(const Point& a, const Point& b) noexcept {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    return std::sqrt(dx * dx + dy * dy);
}

/// The first and last segments of positive length; nothing when there is none.
std::optional<std::pair<std::size_t, std::size_t>> positive_segments(
    const std::vector<Point>& points) noexcept {
    std::size_t first = 0;
    while (first + 1 < points.size() && !(segment_length(points[first], points[first + 1]) > 0.0)) {
        ++first;
    }
    if (first + 1 >= points.size()) return std::nullopt;
    std::size_t last = points.size() - 2;
    while (!(segment_length(points[last], points[last + 1]) > 0.0)) --last;
    return std::pair{first, last};
}

}  // namespace

std::vector<double> points_from_frenet(const Path& path, std::span<const double> s,
                                       std::span<const double> d) {
    if (s.size() != d.size() && s.size() != 1 && d.size() != 1) {
        throw Panic("s and d must hold one value per pair, or one of them a single value");
    }
    const std::size_t count = s.size() == 1 ? d.size() : s.size();
    util::check_fits_in_memory(count, 2 * sizeof(double));
    std::vector<double> out;
    util::reserve_fresh(out, 2 * count);

    const std::vector<Point>& points = path.points();
    const std::optional<std::pair<std::size_t, std::size_t>> segments = positive_segments(points);
    if (!segments) {
        out.assign(2 * count, kNaN);
        return out;
    }
    const std::vector<double>& lengths = path.path_length_per_point();
    // The segment holding s, k = upper bound - 1, lies between the first and the last segment
    // of positive length except before 0 or at and past the length; clamping to them is the
    // rule for those.
    const auto [first, last] = *segments;
    const std::size_t s_step = s.size() == 1 ? 0 : 1;
    const std::size_t d_step = d.size() == 1 ? 0 : 1;
    const double length = lengths.back();
    // The table pays for itself from about one pair per log2(n) lengths on.
    const bool many =
        count >= lengths.size() / static_cast<std::size_t>(std::bit_width(lengths.size()));
    const spline::ParameterBuckets buckets(many ? std::span<const double>(lengths)
                                                : std::span<const double>());
    const auto upper_bound_of = [&](double station) {
        if (!(station >= 0.0)) return std::size_t{0};  // before the start, or NaN
        if (station >= length) return lengths.size();
        if (buckets.usable()) return buckets.bound<spline::Bound::Upper>(station);
        return spline::bound_of<spline::Bound::Upper>(lengths.data(), lengths.size(), station);
    };
    // Pairs in random order wait on memory three times in a row: the bucket, then the
    // lengths and the points it leads to. The bucket of the pair far ahead and the lengths
    // and points of the pair nearer ahead are asked for in advance, so the waits overlap.
    constexpr std::size_t far_ahead = 8;
    constexpr std::size_t near_ahead = 4;
    const auto fetch_ahead = [&](std::size_t i, std::size_t end) {
        if (i + far_ahead < end) buckets.prefetch(s[(i + far_ahead) * s_step]);
        if (i + near_ahead < end) {
            const std::size_t candidate =
                std::min(buckets.first_candidate(s[(i + near_ahead) * s_step]), points.size() - 2);
            __builtin_prefetch(&lengths[candidate]);
            __builtin_prefetch(&points[candidate]);
            __builtin_prefetch(&points[candidate + 1]);
        }
    };
    util::for_each_block(count, 24, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (buckets.usable()) fetch_ahead(i, end);
            const double station = s[i * s_step];
            const double offset = d[i * d_step];
            const std::size_t above = upper_bound_of(station);
            const std::size_t k = above <= first ? first : above - 1 > last ? last : above - 1;
            const Point a = points[k];
            const Point b = points[k + 1];
            const double dx = b.x - a.x;
            const double dy = b.y - a.y;
            const double segment = std::sqrt(dx * dx + dy * dy);
            // The foot as the projection computes it, A + t (B - A), then the offset.
            const double t = (station - lengths[k]) / segment;
            const double across = offset / segment;
            out.push_back((a.x + t * dx) - across * dy);
            out.push_back((a.y + t * dy) + across * dx);
        }
    });
    return out;
}

}  // namespace ordavin::path
