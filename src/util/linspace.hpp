// Evenly spaced values between two ends.
#pragma once

#include <cstdint>
#include <vector>

namespace ordavin::util {

/// count values from start to end, both ends included exactly; a single value is `end`.
/// Throws Panic for count = 0.
std::vector<double> linspace(double start, double end, std::uint64_t count);

}  // namespace ordavin::util
