// Points at given arc lengths, on the spline that resampling samples.
#include "path/interpolation.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "path/arc_length_spline.hpp"
#include "spline/in_place_sampling.hpp"
#include "spline/in_place_spline.hpp"
#include "spline/parameter_search.hpp"
#include "spline/spline.hpp"
#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::path {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// Stations in order move one lower bound forward over every parameter, and the table of
/// buckets reads every parameter once, O(n + m) either way; a bisection from scratch costs
/// about log2(n) per station. The whole pass pays when the stations are that many.
bool worth_a_pass(std::size_t stations, std::size_t parameters) noexcept {
    return stations >= parameters / static_cast<std::size_t>(std::bit_width(parameters));
}

/// What a lower bound search answers for a station that breaks the order it relies on.
constexpr std::size_t kOutOfOrder = std::numeric_limits<std::size_t>::max();

/// The lower bounds of stations in order, moved forward from one to the next; kOutOfOrder for
/// the first station within [0, L] below the one before it. The order is checked here, as the
/// stations are read, rather than in a pass of its own: reading them twice cost about a tenth
/// of the time.
class InOrder {
public:
    explicit InOrder(std::span<const double> parameters) noexcept : lower_bound_(parameters) {}

    std::size_t operator()(double s) noexcept {
        if (s < previous_) return kOutOfOrder;
        previous_ = s;
        return lower_bound_.advance(s);
    }

private:
    spline::MovingLowerBound lower_bound_;
    double previous_ = 0.0;
};

/// The point at a station whose lower bound does not give its interval (see
/// spline::lower_bound_is_interval): rare, kept out of the loop.
template <class Spline>
[[gnu::noinline]] Point point_by_bisection(const Spline& spline, double s) {
    if (const auto sample = spline::sample_with_key(spline, s)) {
        return util::point_of(sample->value);
    }
    return Point{kNaN, kNaN};
}

/// Fetches nothing ahead: for stations in order, whose data the memory streams anyway.
struct NoFetch {
    void operator()(std::span<const double>, std::size_t, std::size_t) const noexcept {}
};

/// Appends the points of the stations to `result` until a station's lower bound is
/// kOutOfOrder; returns how many stations it did.
// Flattened: left to itself the compiler calls the interval's evaluation out of line and
// passes its optional result through memory, which made this loop about 1.5 times slower.
template <class Spline, class LowerBound, class FetchAhead = NoFetch>
[[gnu::flatten]] std::size_t sample_stations(const Spline& given_spline,
                                             std::span<const double> stations, Point first,
                                             Point last, LowerBound lower_bound_of,
                                             std::vector<double>& result,
                                             FetchAhead fetch_ahead = {}) {
    // Copies of our own, which the points written below cannot alias: through references the
    // loop would reload what it reads of them at every point.
    const Spline spline = given_spline;
    std::vector<double> out = std::move(result);
    const double length = spline.parameters().back();
    std::size_t done = stations.size();
    util::for_each_block(stations.size(), 24, [&](std::size_t begin, std::size_t end) {
        if (done != stations.size()) return;
        for (std::size_t i = begin; i < end; ++i) {
            fetch_ahead(stations, i, end);
            const double s = stations[i];
            Point point{kNaN, kNaN};
            if (!(s >= 0.0 && s <= length)) [[unlikely]] {
                if (s < 0.0) point = first;
                if (s > length) point = last;
            } else {
                // Within [0, L] the guards give every station an interval and a value.
                const std::size_t lower_bound = lower_bound_of(s);
                if (lower_bound == kOutOfOrder) {
                    done = i;
                    return;
                }
                if (spline::lower_bound_is_interval(spline, lower_bound, s)) {
                    if (const auto value = spline::evaluate_in_place(spline, lower_bound, s)) {
                        point = util::point_of(*value);
                    }
                } else {
                    point = point_by_bisection(spline, s);
                }
            }
            out.push_back(point.x);
            out.push_back(point.y);
        }
    });
    result = std::move(out);
    return done;
}

}  // namespace

std::vector<double> interpolated_coordinates(const Path& path, std::span<const double> stations,
                                             ResamplingType resampling_type) {
    util::check_fits_in_memory(stations.size(), 2 * sizeof(double));
    std::vector<double> out;
    util::reserve_fresh(out, 2 * stations.size());
    const std::vector<double>& lengths = path.path_length_per_point();
    // No points, or a NaN somewhere in the running sum of the lengths: no station can be
    // placed among the keys.
    if (lengths.empty() || std::isnan(lengths.back())) {
        out.assign(2 * stations.size(), kNaN);
        return out;
    }
    const Point first = path.points().front();
    const Point last = path.points().back();
    const std::span<const double> parameters(lengths);
    // The values the spline reads at key i + 1: a point, or an entry of each coordinate list.
    const bool from_points = path.coordinates_mirror_points();
    const Point* points = path.points().data();
    const double* xs = from_points ? nullptr : path.x().data();
    const double* ys = from_points ? nullptr : path.y().data();
    const auto fetch_values = [&](std::size_t i) {
        if (from_points) {
            __builtin_prefetch(points + i);
        } else {
            __builtin_prefetch(xs + i);
            __builtin_prefetch(ys + i);
        }
    };
    with_arc_length_spline(path, resampling_type, [&](const auto& spline) {
        const auto bisection = [&](double s) { return spline::lower_bound_of(parameters, s); };
        if (!worth_a_pass(stations.size(), lengths.size())) {
            sample_stations(spline, stations, first, last, bisection, out);
            return;
        }
        // In order as long as they are; the rest, if any, in any order.
        const std::size_t in_order =
            sample_stations(spline, stations, first, last, InOrder(parameters), out);
        const std::span<const double> rest = stations.subspan(in_order);
        if (rest.empty()) return;
        const spline::ParameterBuckets buckets(parameters);
        if (!buckets.usable()) {
            sample_stations(spline, rest, first, last, bisection, out);
            return;
        }
        // Stations in random order wait on memory three times in a row: the bucket, then the
        // lengths and the values it leads to. The bucket of the station far ahead and the
        // lengths and values of the station nearer ahead are asked for in advance, so the
        // waits overlap.
        const auto fetch_ahead = [&](std::span<const double> all, std::size_t i, std::size_t end) {
            constexpr std::size_t far_ahead = 8;
            constexpr std::size_t near_ahead = 4;
            if (i + far_ahead < end) buckets.prefetch(all[i + far_ahead]);
            if (i + near_ahead < end) {
                // The interval may start one key before the candidate, and the cubic reads
                // one more key on either side.
                const std::size_t candidate =
                    std::max<std::size_t>(buckets.first_candidate(all[i + near_ahead]), 2) - 2;
                const std::size_t last_key = std::min(candidate + 4, lengths.size() - 1);
                __builtin_prefetch(&lengths[candidate]);
                __builtin_prefetch(&lengths[last_key]);
                fetch_values(candidate);
                fetch_values(last_key);
            }
        };
        sample_stations(
            spline, rest, first, last,
            [&](double s) { return buckets.bound<spline::Bound::Lower>(s); }, out, fetch_ahead);
    });
    return out;
}

}  // namespace ordavin::path
