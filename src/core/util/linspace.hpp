// Evenly spaced values between two ends.
#pragma once

#include <cstdint>
#include <vector>

namespace ordavin::util {

/// The values of linspace one at a time, for callers that consume them in a single pass.
class EvenSpacing {
public:
    /// count >= 1 (a single value is `end`).
    EvenSpacing(double start, double end, std::uint64_t count) noexcept
        : start_(start),
          end_(end),
          last_(count - 1),
          step_((end - start) / (static_cast<double>(count) - 1.0)) {}

    /// Value k < count: k steps from the start, except that the last value is the end itself,
    /// not the accumulated steps.
    double operator()(std::uint64_t k) const noexcept {
        if (k == last_) return end_;
        if (k == 0) return start_;
        return static_cast<double>(k) * step_ + start_;
    }

private:
    double start_;
    double end_;
    std::uint64_t last_;
    double step_;
};

/// count values from start to end, both ends included exactly; a single value is `end`.
/// Throws Panic for count = 0.
std::vector<double> linspace(double start, double end, std::uint64_t count);

}  // namespace ordavin::util
