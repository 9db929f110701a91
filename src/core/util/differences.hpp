// Index-based finite differences of a sequence of values.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace ordavin::util {

/// The difference at index i < count of `count` values over the index (unit spacing), value(k)
/// giving value k: forward at the first index, backward at the last, central in between, and
/// 0.0 for a single value. compute_differences is this at every index; callers that read the
/// values in place (one coordinate of a run of points) take it one index at a time.
/// The values may be doubles or any type with the same arithmetic, such as both coordinates
/// of a point in the lanes of a vector, each lane then computed exactly as a double would be.
template <class Value>
auto difference_at(std::size_t count, std::size_t i, const Value& value) noexcept {
    using Result = decltype(value(i));
    if (count == 1) return Result{};
    if (i == 0) return value(1) - value(0);
    if (i + 1 == count) return value(count - 1) - value(count - 2);
    // Halving is exact, so multiplying by 0.5 gives the same bits as dividing by 2.
    return (value(i + 1) - value(i - 1)) * 0.5;
}

/// Differences over the index (unit spacing): one-sided at both ends, central in between.
/// The result has as many entries as the input; one value gives [0.0], none gives [].
std::vector<double> compute_differences(std::span<const double> values);

}  // namespace ordavin::util
