// Index-based finite differences of a sequence of values.
#include "util/differences.hpp"

namespace ordavin::util {

std::vector<double> compute_differences(std::span<const double> values) {
    const std::size_t count = values.size();
    if (count == 0) return {};
    if (count == 1) return {0.0};

    std::vector<double> differences(count);
    differences[0] = values[1] - values[0];
    // Halving is exact, so multiplying by 0.5 gives the same bits as dividing by 2.
    for (std::size_t i = 1; i + 1 < count; ++i) {
        differences[i] = (values[i + 1] - values[i - 1]) * 0.5;
    }
    differences[count - 1] = values[count - 1] - values[count - 2];
    return differences;
}

}  // namespace ordavin::util
