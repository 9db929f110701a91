// Sampling an in-place spline at a parameter: the interval from the parameter's place among the
// keys, found by bisection or moved forward from the previous sample's, and the value on it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "spline/in_place_spline.hpp"
#include "spline/spline.hpp"

namespace ordavin::spline {

/// Whether `lower_bound`, the number of parameters t_0 .. t_(n-1) below t, is itself the
/// interval find_interval gives for t, for t_0 <= t. Key i + 1 holds parameter i, and the key at
/// -1 lies before t, so the interval starts at key `lower_bound` when the parameter there lies
/// strictly after t: no key equals t and the bisection ends just there. When it equals t, the
/// bisection decides which of possibly several equal keys is hit (the interval after the first
/// of two equal keys has zero width); past the last parameter the guards decide, through the
/// bisection too.
template <ValueSequence Values, Interpolation Method>
bool lower_bound_is_interval(const InPlaceSpline<Values, Method>& spline, std::size_t lower_bound,
                             double t) noexcept {
    const std::span<const double> parameters = spline.parameters();
    return lower_bound != parameters.size() && !(parameters[lower_bound] == t);
}

/// The interval find_interval gives for t, from `lower_bound` (see lower_bound_is_interval).
template <ValueSequence Values, Interpolation Method>
std::optional<std::size_t> interval_at_lower_bound(const InPlaceSpline<Values, Method>& spline,
                                                   std::size_t lower_bound, double t) {
    if (lower_bound_is_interval(spline, lower_bound, t)) return lower_bound;
    return find_interval(spline, t);
}

/// evaluate_interval(spline, index, t), with the same bits.
template <ValueSequence Values, Interpolation Method>
std::optional<typename InPlaceSpline<Values, Method>::Value> evaluate_in_place(
    const InPlaceSpline<Values, Method>& spline, std::size_t index, double t) {
    // One evaluation, over one of two key sequences, rather than a choice between two whole
    // samples: the loop then holds the code of one evaluation, not of two, and was measured
    // the faster for it.
    return spline.reads_only_parameters(index) ? evaluate_interval(spline.inner(), index, t)
                                               : evaluate_interval(spline, index, t);
}

/// The lower bound of samples that never decrease among parameters that never decrease, moved
/// forward from one sample to the next: over m samples and n parameters it reads each
/// parameter about once, O(n + m) in all.
class MovingLowerBound {
public:
    explicit MovingLowerBound(std::span<const double> parameters) noexcept
        : parameters_(parameters.data()), count_(parameters.size()) {}

    /// The lower bound of t, for t at or after the sample before it.
    std::size_t advance(double t) noexcept {
        // Samples denser than the parameters mostly stay where they are: one comparison says so.
        if (lower_bound_ < count_ && !(parameters_[lower_bound_] < t)) return lower_bound_;
        // A branch-free count over a window of parameters at a time: most samples move by
        // none or a few, and a branch per parameter would be mispredicted at every stop.
        constexpr std::size_t window = 4;
        while (lower_bound_ + window <= count_) {
            std::size_t before = 0;
            for (std::size_t m = 0; m < window; ++m) {
                before += static_cast<std::size_t>(parameters_[lower_bound_ + m] < t);
            }
            lower_bound_ += before;
            if (before < window) return lower_bound_;
        }
        while (lower_bound_ < count_ && parameters_[lower_bound_] < t) ++lower_bound_;
        return lower_bound_;
    }

    /// The lower bound moved by `arrivals` parameters, counted by the caller.
    std::size_t add(std::size_t arrivals) noexcept { return lower_bound_ += arrivals; }

    /// Starts over from the first parameter.
    void restart() noexcept { lower_bound_ = 0; }

private:
    const double* parameters_;
    std::size_t count_;
    std::size_t lower_bound_ = 0;
};

}  // namespace ordavin::spline
