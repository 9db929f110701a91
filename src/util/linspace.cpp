// Evenly spaced values between two ends.
#include "util/linspace.hpp"

#include "util/panic.hpp"

namespace ordavin::util {

std::vector<double> linspace(double start, double end, std::uint64_t count) {
    if (count == 0) throw Panic("cannot space zero values");
    if (count == 1) return {end};

    std::vector<double> values(static_cast<std::size_t>(count));
    const double step = (end - start) / (static_cast<double>(count) - 1.0);
    values[0] = start;
    for (std::size_t k = 1; k + 1 < values.size(); ++k) {
        values[k] = static_cast<double>(k) * step + start;
    }
    // The last value is the end itself, not the accumulated steps.
    values.back() = end;
    return values;
}

}  // namespace ordavin::util
