// Finding where a value falls among parameters that never decrease: a bisection without
// branches, and a table of buckets that narrows it to a few parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "util/fresh_memory.hpp"
#include "util/interruption.hpp"

namespace ordavin::spline {

/// What a search counts: the parameters below the value (its lower bound) or at or below it
/// (its upper bound).
enum class Bound : std::uint8_t { Lower, Upper };

template <Bound Kind>
bool counted(double parameter, double t) noexcept {
    if constexpr (Kind == Bound::Lower) return parameter < t;
    return parameter <= t;
}

/// The number of the `count` parameters from `first` that `Kind` counts, by a bisection whose
/// steps do not branch on the comparisons: over values in random order a mispredicted branch
/// per step costs more than the step. A NaN t or parameter gives some number in [0, count].
template <Bound Kind>
std::size_t bound_of(const double* first, std::size_t count, double t) noexcept {
    if (count == 0) return 0;
    const double* base = first;
    while (count > 1) {
        const std::size_t half = count / 2;
        base = counted<Kind>(base[half], t) ? base + half : base;
        count -= half;
    }
    return static_cast<std::size_t>(base - first) + (counted<Kind>(*base, t) ? 1 : 0);
}

/// The number of parameters below t.
inline std::size_t lower_bound_of(std::span<const double> parameters, double t) noexcept {
    return bound_of<Bound::Lower>(parameters.data(), parameters.size(), t);
}

/// For many values in any order: the span from the first parameter p_0 to the last p_(n-1)
/// cut into n equal buckets, and where each bucket's parameters begin. A value's bucket then
/// holds the few parameters its bound can still differ on, and the bisection runs over those.
///
/// The bucket of a value is floor((t - p_0) * n / (p_(n-1) - p_0)), clamped to the buckets, for
/// parameters and values alike. That function never decreases in t (each rounded step keeps
/// the order), so every parameter of an earlier bucket lies below the value and every parameter
/// of a later bucket above it: the bound is exact, whatever the rounding, however unevenly the
/// parameters are spread (at worst one bucket holds them all, and the bisection is a full one).
class ParameterBuckets {
public:
    /// A table when the parameters are finite, spread (p_0 < p_(n-1)) with a finite n / (p_(n-1)
    /// - p_0), and fewer than 2^32; none otherwise (see usable).
    explicit ParameterBuckets(std::span<const double> parameters) : parameters_(parameters) {
        const std::size_t count = parameters.size();
        if (count < 2 || count >= std::numeric_limits<std::uint32_t>::max()) return;
        const double first = parameters.front();
        const double span = parameters.back() - first;
        const double scale = static_cast<double>(count) / span;
        constexpr double kInfinity = std::numeric_limits<double>::infinity();
        if (!(span > 0.0 && span < kInfinity && scale > 0.0 && scale < kInfinity)) return;
        first_ = first;
        scale_ = scale;
        buckets_ = count;
        // starts_[b]: the parameters of buckets before b, for b = 0 .. n.
        util::reserve_fresh(starts_, buckets_ + 1);
        util::for_each_block(count, 4, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const std::size_t bucket = bucket_of(parameters[i]);
                while (starts_.size() <= bucket) starts_.push_back(static_cast<std::uint32_t>(i));
            }
        });
        while (starts_.size() <= buckets_) starts_.push_back(static_cast<std::uint32_t>(count));
    }

    /// Whether the table was built; without it, bound() must not be asked.
    bool usable() const noexcept { return buckets_ != 0; }

    /// The number of parameters `Kind` counts for t, for p_0 <= t <= p_(n-1).
    template <Bound Kind>
    std::size_t bound(double t) const noexcept {
        const std::size_t bucket = bucket_of(t);
        const std::size_t begin = starts_[bucket];
        const std::size_t end = starts_[bucket + 1];
        return begin + bound_of<Kind>(parameters_.data() + begin, end - begin, t);
    }

    /// The first parameter bound(t) may count from: where to fetch the parameters and values
    /// t will read, ahead of asking bound(t). Reads the table entry of t's bucket, which
    /// prefetch(t) can fetch earlier still. Any t, NaN included, gives an index in [0, n].
    std::size_t first_candidate(double t) const noexcept { return starts_[bucket_of(t)]; }

    /// Asks the memory for the table entry of t's bucket (see first_candidate). Any t.
    void prefetch(double t) const noexcept { __builtin_prefetch(&starts_[bucket_of(t)]); }

private:
    std::size_t bucket_of(double t) const noexcept {
        const double position = (t - first_) * scale_;
        if (!(position > 0.0)) return 0;
        if (position >= static_cast<double>(buckets_)) return buckets_ - 1;
        return static_cast<std::size_t>(position);
    }

    std::span<const double> parameters_;
    double first_ = 0.0;
    double scale_ = 0.0;
    std::size_t buckets_ = 0;
    std::vector<std::uint32_t> starts_;
};

}  // namespace ordavin::spline
