// Sampling an in-place spline at evenly spaced parameters, in order.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "spline/in_place_sampling.hpp"
#include "spline/in_place_spline.hpp"
#include "spline/spline.hpp"
#include "util/linspace.hpp"

namespace ordavin::spline {

/// sample_with_key(spline, t) at the values t of linspace(start, end, count) in turn, for t_0 <=
/// start <= end <= t_(n-1) (end may exceed t_(n-1) by rounding), each found from where the one
/// before it was instead of by a bisection from scratch, with exactly the interval and value the
/// bisection gives.
///
/// The samples do not decrease, so the number of parameters before the sample (their lower bound)
/// only moves forward, and interval_at_lower_bound turns it into the bisection's interval.
///
/// Moving the lower bound forward sample by sample makes every sample wait for the previous one
/// (load, compare, add). Instead, each parameter is first placed among the samples, which needs no
/// result of another parameter: the first sample strictly after parameter j is found from its
/// position divided by the step and corrected by comparing with the samples themselves, and counted
/// in `arrivals`. The lower bound of sample k is then the running sum of the arrivals up to k.
/// Where that placement cannot be trusted (a zero or infinite step, a last step that goes backwards
/// in rounding, counts too large for the counters) the lower bound advances by a branch-free count
/// over a window of parameters instead.
template <ValueSequence Values, Interpolation Method>
class EvenSampler {
public:
    using Value = typename InPlaceSpline<Values, Method>::Value;

    EvenSampler(const InPlaceSpline<Values, Method>& spline, const util::EvenSpacing& samples,
                std::uint64_t count)
        : spline_(spline),
          samples_(samples),
          parameters_(spline.parameters().data()),
          count_(spline.parameters().size()),
          lower_bound_(spline.parameters()) {
        const double step = count >= 2 ? samples(1) - samples(0) : 0.0;
        const bool placeable = count >= 2 && step > 0.0 && std::isfinite(1.0 / step) &&
                               std::isfinite(parameters_[count_ - 1]) &&
                               samples(count - 2) <= samples(count - 1) &&
                               count < std::numeric_limits<std::uint32_t>::max() &&
                               count_ < std::numeric_limits<std::uint32_t>::max();
        if (placeable) place_parameters(count, step);
    }

    /// Sample k; samples come in order, k = 0, 1, ...
    std::optional<SampleOf<Value>> sample(std::uint64_t k) {
        const double t = samples_(k);
        const std::optional<std::size_t> index = find(k, t);
        if (!index) return std::nullopt;
        const std::optional<Value> value = evaluate_in_place(spline_, *index, t);
        if (!value) return std::nullopt;
        return SampleOf<Value>{*value, *index};
    }

private:
    std::optional<std::size_t> find(std::uint64_t k, double t) {
        std::size_t lower_bound;
        if (!arrivals_.empty()) {
            lower_bound = lower_bound_.add(arrivals_[static_cast<std::size_t>(k)]);
        } else {
            if (t < last_t_) lower_bound_.restart();  // not monotone after all: start over
            last_t_ = t;
            lower_bound = lower_bound_.advance(t);
        }
        return interval_at_lower_bound(spline_, lower_bound, t);
    }

    // arrivals_[k]: how many parameters have sample k as the first sample strictly after them.
    void place_parameters(std::uint64_t count, double step) {
        arrivals_.assign(static_cast<std::size_t>(count) + 1, 0);
        // Only a first guess: the comparisons below make it exact.
        const double inverse_step = 1.0 / step;
        for (std::size_t j = 0; j < count_; ++j) {
            const double parameter = parameters_[j];
            // Samples 0 .. floor(parameter / step) lie at or before the parameter, up to
            // rounding; the parameter is at most the last sample, so the guess stays near count.
            std::uint64_t first =
                std::min(static_cast<std::uint64_t>(parameter * inverse_step) + 1, count);
            while (first > 0 && samples_(first - 1) > parameter) --first;
            while (first < count && samples_(first) <= parameter) ++first;
            ++arrivals_[static_cast<std::size_t>(first)];
        }
    }

    const InPlaceSpline<Values, Method>& spline_;
    util::EvenSpacing samples_;
    const double* parameters_;
    std::size_t count_;
    std::vector<std::uint32_t> arrivals_;
    MovingLowerBound lower_bound_;
    double last_t_ = -INFINITY;
};

}  // namespace ordavin::spline
