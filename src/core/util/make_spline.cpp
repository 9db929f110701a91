// Building a spline from parameters and values, with guard keys beyond both ends.
#include "util/make_spline.hpp"

#include <algorithm>

#include "util/panic.hpp"

namespace ordavin::util {

spline::Spline make_spline(std::span<const double> t, std::span<const double> values,
                           spline::Interpolation method) {
    using spline::SplineKey;
    if (t.empty() || values.empty()) throw Panic("cannot build a spline without keys");

    const std::size_t count = std::min(t.size(), values.size());
    spline::Spline result;
    std::vector<SplineKey>& keys = result.keys;
    keys.reserve(count + 3);
    for (std::size_t i = 0; i < count; ++i) keys.push_back(SplineKey{t[i], values[i], method});
    // Cumulative path lengths arrive sorted; only other input pays for the sort.
    if (!std::is_sorted(keys.begin(), keys.end(), spline::key_before)) {
        std::stable_sort(keys.begin(), keys.end(), spline::key_before);
    }

    // The guard keys repeat the end values: they give the cubic tangents a neighbour on the
    // first and last interval, and let a sample at exactly the last t find an interval.
    // Adding them one by one with a stable re-sort after each puts every guard after the keys
    // of equal t already present and after the guards added before it with equal t; a stable
    // merge of the stably sorted guards behind the keys yields the same order in one pass.
    const auto [end_guard, far_guard] = spline::end_guard_parameters(t.back());
    keys.push_back(SplineKey{-1.0, values.front(), method});
    keys.push_back(SplineKey{end_guard, values.back(), method});
    keys.push_back(SplineKey{far_guard, values.back(), method});
    const auto guards = keys.begin() + static_cast<std::ptrdiff_t>(count);
    std::stable_sort(guards, keys.end(), spline::key_before);
    std::inplace_merge(keys.begin(), guards, keys.end(), spline::key_before);
    return result;
}

}  // namespace ordavin::util
