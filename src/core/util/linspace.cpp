// Evenly spaced values between two ends.
#include "util/linspace.hpp"

#include "util/panic.hpp"

namespace ordavin::util {

std::vector<double> linspace(double start, double end, std::uint64_t count) {
    if (count == 0) throw Panic("cannot space zero values");
    const EvenSpacing spacing(start, end, count);
    std::vector<double> values(static_cast<std::size_t>(count));
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = spacing(k);
    return values;
}

}  // namespace ordavin::util
