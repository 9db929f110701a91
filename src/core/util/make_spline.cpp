// Building a spline from parameters and values, with guard keys beyond both ends.
#include "util/make_spline.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "util/fresh_memory.hpp"
#include "util/panic.hpp"

namespace ordavin::util {
namespace {

using spline::Interpolation;
using spline::SplineKey;

// The three guards in the order a stable sort gives them.
std::array<SplineKey, 3> sorted_guards(std::array<SplineKey, 3> guards) {
    for (std::size_t i = 1; i < guards.size(); ++i) {
        for (std::size_t j = i; j > 0 && spline::key_before(guards[j], guards[j - 1]); --j) {
            std::swap(guards[j], guards[j - 1]);
        }
    }
    return guards;
}

// How many of the sorted keys, whose parameters t_at(i), i < count, gives, come before the
// guard in the result: adding a guard and re-sorting stably puts it after the keys of equal t.
template <class ParameterAt>
std::size_t keys_not_after(const SplineKey& guard, std::size_t count, const ParameterAt& t_at) {
    std::size_t low = 0;
    std::size_t high = count;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (spline::parameter_before(guard.t, t_at(mid))) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return low;
}

// The result of adding the guards one by one to the sorted keys key_at(i), i < count, with a
// stable re-sort after each: each guard after the keys of equal t already present and after
// the guards of equal t added before it, which is where a stable merge of the stably sorted
// guards behind the keys puts them. The keys are read once, in order, and appended to `keys`.
template <class ParameterAt, class KeyAt>
void place_with_guards(std::vector<SplineKey>& keys, std::size_t count, const ParameterAt& t_at,
                       const KeyAt& key_at, const std::array<SplineKey, 3>& guards) {
    std::size_t next = 0;
    for (std::size_t g = 0; g < guards.size(); ++g) {
        const std::size_t end = keys_not_after(guards[g], count, t_at);
        for (; next < end; ++next) keys.push_back(key_at(next));
        keys.push_back(guards[g]);
    }
    for (; next < count; ++next) keys.push_back(key_at(next));
}

// The keys (t[i], value_at(i)) for i < count with the guards, `first` and `last` being the
// values of the whole input at its ends.
template <class ValueAt>
spline::Spline build_spline(std::span<const double> t, std::size_t count, const ValueAt& value_at,
                            double first, double last, Interpolation method) {
    const auto [end_guard, far_guard] = spline::end_guard_parameters(t.back());
    const std::array<SplineKey, 3> guards =
        sorted_guards({SplineKey{-1.0, first, method}, SplineKey{end_guard, last, method},
                       SplineKey{far_guard, last, method}});
    spline::Spline result;
    reserve_fresh(result.keys, count + guards.size());
    const std::span<const double> parameters = t.first(count);
    const auto parameter_at = [parameters](std::size_t i) { return parameters[i]; };
    const auto input_key = [&](std::size_t i) {
        return SplineKey{parameters[i], value_at(i), method};
    };

    // Cumulative path lengths arrive sorted and free of NaN. Such input is placed as it comes,
    // the order checked on the way (a NaN fails the check too); only other input pays for
    // the exact order and the sort.
    bool ascending = true;
    double previous = -std::numeric_limits<double>::infinity();
    const auto checked_key = [&](std::size_t i) {
        ascending &= parameters[i] >= previous;
        previous = parameters[i];
        return input_key(i);
    };
    place_with_guards(result.keys, count, parameter_at, checked_key, guards);
    if (ascending) return result;

    result.keys.clear();
    if (std::is_sorted(parameters.begin(), parameters.end(), spline::parameter_before)) {
        place_with_guards(result.keys, count, parameter_at, input_key, guards);
        return result;
    }
    std::vector<SplineKey> sorted;
    sorted.reserve(count);
    for (std::size_t i = 0; i < count; ++i) sorted.push_back(input_key(i));
    std::stable_sort(sorted.begin(), sorted.end(), spline::key_before);
    place_with_guards(
        result.keys, count, [&sorted](std::size_t i) { return sorted[i].t; },
        [&sorted](std::size_t i) { return sorted[i]; }, guards);
    return result;
}

}  // namespace

spline::Spline make_spline(std::span<const double> t, std::span<const double> values,
                           Interpolation method) {
    if (t.empty() || values.empty()) throw Panic("cannot build a spline without keys");
    return build_spline(
        t, std::min(t.size(), values.size()), [values](std::size_t i) { return values[i]; },
        values.front(), values.back(), method);
}

spline::Spline make_spline(std::span<const double> t, std::span<const Point> points,
                           double Point::*coordinate, Interpolation method) {
    if (t.empty() || points.empty()) throw Panic("cannot build a spline without keys");
    return build_spline(
        t, std::min(t.size(), points.size()),
        [points, coordinate](std::size_t i) { return points[i].*coordinate; },
        points.front().*coordinate, points.back().*coordinate, method);
}

}  // namespace ordavin::util
