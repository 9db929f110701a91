// Index-based finite differences of a sequence of values.
#include "util/differences.hpp"

namespace ordavin::util {

std::vector<double> compute_differences(std::span<const double> values) {
    const std::size_t count = values.size();
    const auto value = [values](std::size_t k) { return values[k]; };
    std::vector<double> differences(count);
    for (std::size_t i = 0; i < count; ++i) differences[i] = difference_at(count, i, value);
    return differences;
}

}  // namespace ordavin::util
