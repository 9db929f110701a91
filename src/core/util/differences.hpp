// Index-based finite differences of a sequence of values.
#pragma once

#include <span>
#include <vector>

namespace ordavin::util {

/// Differences over the index (unit spacing): one-sided at both ends, central in between.
/// The result has as many entries as the input; one value gives [0.0], none gives [].
std::vector<double> compute_differences(std::span<const double> values);

}  // namespace ordavin::util
