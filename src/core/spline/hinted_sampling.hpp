// Sampling a spline at ascending parameters, the interval found from a hint instead of bisecting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "spline/spline.hpp"
#include "util/linspace.hpp"

namespace ordavin::spline {

/// sample_with_key(spline, t) for parameters that mostly ascend, as a resampling asks for them:
/// the same results, with the interval taken from a hint (where the previous parameter
/// stopped, or a count handed in with the parameter) wherever that gives the interval the
/// bisection gives, and from the bisection otherwise. The spline's keys must be sorted, as
/// Spline requires, and must not change while the sampler lives. A wrong hint costs time,
/// never a different result.
class SplineSampler {
public:
    explicit SplineSampler(const Spline& spline) noexcept
        : spline_(&spline),
          keys_(spline.keys.data()),
          count_(spline.keys.size()),
          // NaN parameters sort last, so the last key tells whether there is one.
          walkable_(count_ >= 2 && keys_[count_ - 1].t == keys_[count_ - 1].t) {}

    /// sample_with_key(spline, t).
    std::optional<Sample> operator()(double t) {
        const std::optional<std::size_t> before = keys_before(t);
        if (!before) [[unlikely]] {
            return sample_with_key(*spline_, t);
        }
        // t before the first key: the bisection finds no interval either.
        if (*before == 0) return std::nullopt;
        return on_interval(*before - 1, t);
    }

    /// sample_with_key(spline, t) again, with the hint that `keys_before` keys lie before t.
    /// A key before t and the next one after it fix the interval as the walk would.
    std::optional<Sample> operator()(double t, std::size_t keys_before) {
        keys_before_ = keys_before;
        if (walkable_ && keys_before - 1 < count_ - 1 && keys_[keys_before - 1].t < t &&
            keys_[keys_before].t > t) [[likely]] {
            return on_interval(keys_before - 1, t);
        }
        return (*this)(t);
    }

private:
    std::optional<Sample> on_interval(std::size_t index, double t) const noexcept {
        const double h = keys_[index + 1].t - keys_[index].t;
        double value = 0.0;
        if (!interpolate(keys_, count_, index, (t - keys_[index].t) / h, h, value)) {
            return std::nullopt;
        }
        return Sample{value, index};
    }

    // The number of keys before t, where that number decides the interval exactly as the
    // bisection would: no key is NaN and none equals t. Then all keys before that number lie
    // before t and all from it on after t, so every probe of the bisection moves towards that
    // boundary and it ends there. Otherwise nothing: on a hit, which of several equal keys
    // the bisection stops on follows from its probe order alone, and with a NaN key present
    // one of its probes may fail where the walk would not look.
    std::optional<std::size_t> keys_before(double t) noexcept {
        if (!walkable_) return std::nullopt;
        std::size_t before = keys_before_;
        // The keys are sorted, so when the key just before the hint lies before t, all keys up
        // to there do; otherwise the count is searched afresh.
        if (before > count_ || (before > 0 && !(keys_[before - 1].t < t))) {
            before = lower_bound(t);
        }
        while (before < count_ && keys_[before].t < t) ++before;
        keys_before_ = before;
        if (before == count_ || !(keys_[before].t > t)) return std::nullopt;
        return before;
    }

    // The number of keys before t (not NaN, keys free of NaN), by bisection.
    std::size_t lower_bound(double t) const noexcept {
        std::size_t low = 0;
        std::size_t high = count_;
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            if (keys_[mid].t < t) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low;
    }

    const Spline* spline_;
    const SplineKey* keys_;
    std::size_t count_;
    bool walkable_;
    std::size_t keys_before_ = 0;
};

/// Hints for SplineSampler at the `count` values of `samples`: the sum of the first k + 1
/// entries is the number of keys before sample k. Each key is placed among the samples on its
/// own (its position guessed from the step, then settled by comparing with the samples
/// themselves), so that the sampling loop never waits for a walk whose length it cannot
/// predict. Empty where the samples do not ascend in a step that can be inverted, or the
/// spline holds a NaN parameter; the sampler then walks.
std::vector<std::uint32_t> keys_arriving_before(const Spline& spline,
                                                const util::EvenSpacing& samples,
                                                std::uint64_t count);

}  // namespace ordavin::spline
