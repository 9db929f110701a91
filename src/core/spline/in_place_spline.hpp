// The spline of parameters that never decrease, its keys read in place.
#pragma once

#include <concepts>
#include <cstddef>
#include <span>
#include <utility>

#include "spline/spline.hpp"

namespace ordavin::spline {

/// The values of an InPlaceSpline: value(i) pairs with parameter i, and last() is the value of
/// the two guard keys past the end (the last entry of the whole values, which may lie beyond
/// the last parameter).
template <class Values>
concept ValueSequence = requires(const Values& values, std::size_t i) {
    values.value(i);
    { values.last() } -> std::convertible_to<decltype(values.value(i))>;
};

/// The keys make_spline builds from n parameters that never decrease (t_0 > -1, a NaN only as a
/// tail) and their values, without copying them: (-1, v_0), (t_i, v_i) for every i, then (t_(n-1) +
/// 0.01, v_last) and (t_(n-1) + 0.02, v_last). That is the order the stable sorts give: the guard
/// before the start lies before every parameter, and the guards past the end lie after t_(n-1)
/// (strictly, or equal to an infinite or NaN end and added after it). Every key carries `Method`,
/// which the type fixes so that a sampling loop does not ask it sample by sample.
template <ValueSequence Values, Interpolation Method>
class InPlaceSpline {
public:
    using Value = decltype(std::declval<const Values&>().value(0));

    /// n >= 1 parameters.
    InPlaceSpline(std::span<const double> t, Values values) noexcept
        : t_(t.data()),
          count_(t.size()),
          values_(values),
          last_(values.last()),
          guards_(end_guard_parameters(t.back())) {}

    std::size_t size() const noexcept { return count_ + 3; }

    double t(std::size_t i) const noexcept {
        if (i == 0) return -1.0;
        if (i <= count_) return t_[i - 1];
        return i == count_ + 1 ? guards_.first : guards_.second;
    }

    Value value(std::size_t i) const noexcept {
        if (i == 0) return values_.value(0);
        if (i <= count_) return values_.value(i - 1);
        return last_;
    }

    static constexpr Interpolation method(std::size_t) noexcept { return Method; }

    /// The parameters t_0 .. t_(n-1): keys 1 .. n.
    std::span<const double> parameters() const noexcept { return {t_, count_}; }

    /// Keys 1 .. n without the guards, read without their branches. Good for the intervals whose
    /// value reads no guard (see reads_only_parameters).
    class Inner {
    public:
        std::size_t size() const noexcept { return count_ + 1; }
        double t(std::size_t i) const noexcept { return t_[i - 1]; }
        Value value(std::size_t i) const noexcept { return values_.value(i - 1); }
        static constexpr Interpolation method(std::size_t) noexcept { return Method; }

    private:
        friend class InPlaceSpline;
        Inner(const double* t, std::size_t count, Values values) noexcept
            : t_(t), count_(count), values_(values) {}

        const double* t_;
        std::size_t count_;
        Values values_;
    };

    Inner inner() const noexcept { return Inner(t_, count_, values_); }

    /// Whether the value on interval i reads keys 1 .. n only: its two ends, and for the cubic
    /// the key on either side.
    bool reads_only_parameters(std::size_t i) const noexcept {
        if constexpr (Method == Interpolation::Linear) return i >= 1 && i < count_;
        return i >= 2 && i + 2 <= count_;
    }

private:
    const double* t_;
    std::size_t count_;
    Values values_;
    Value last_;
    std::pair<double, double> guards_;
};

}  // namespace ordavin::spline
