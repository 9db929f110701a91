// A one-dimensional spline over sorted keys, and its sampler.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "util/panic.hpp"

namespace ordavin::spline {

/// How the interval that starts at a key is interpolated.
enum class Interpolation : std::uint8_t {
    Linear,
    Cubic,
};

/// One support point: the value at parameter t, and how to continue from it.
struct SplineKey {
    double t = 0.0;
    double value = 0.0;
    Interpolation method = Interpolation::Linear;
};

/// Keys ordered by ascending t; keys with equal t keep the order in which they were added.
/// NaN parameters are ordered after every number (they make every sample at or past them fail).
struct Spline {
    std::vector<SplineKey> keys;

    std::size_t size() const noexcept { return keys.size(); }
    double t(std::size_t i) const noexcept { return keys[i].t; }
    double value(std::size_t i) const noexcept { return keys[i].value; }
    Interpolation method(std::size_t i) const noexcept { return keys[i].method; }
};

/// What the sampler reads of a spline: its keys by index, in ascending order of t. Spline holds
/// its keys; other key sequences read them in place, and their values may carry several
/// coordinates in the lanes of a vector, each lane computed exactly as on its own.
template <class Keys>
concept KeySequence = requires(const Keys& keys, std::size_t i) {
    { keys.size() } -> std::convertible_to<std::size_t>;
    { keys.t(i) } -> std::convertible_to<double>;
    keys.value(i);
    { keys.method(i) } -> std::convertible_to<Interpolation>;
};

template <KeySequence Keys>
using ValueOf = decltype(std::declval<const Keys&>().value(0));

/// The strict order of keys: by t, NaN last.
bool key_before(const SplineKey& left, const SplineKey& right) noexcept;

/// The parameters of the two guard keys after the last key: t_last + 0.01 and t_last + 0.02.
/// From a last parameter of 2^47 (about 1.4e14) on, the 0.01 offset vanishes in rounding
/// (from 2^48 the 0.02 one too), the guards would coincide with the last key and a sample at
/// the very end would divide 0 by 0; each guard then moves to the next representable double
/// instead, so both stay strictly beyond the end, in order.
std::pair<double, double> end_guard_parameters(double t_last) noexcept;

/// A sampled value and the index of the key that starts the interval it came from.
template <class Value>
struct SampleOf {
    Value value{};
    std::size_t key_index = 0;
};

using Sample = SampleOf<double>;

/// The interval index for parameter t found by bisection over `count` keys whose parameters
/// `key_t(i)` gives: a hit on a key's t stops the search there, otherwise the key before the
/// insertion point. Nothing before the first key, past the last key, or on a hit of the last
/// key. Throws Panic when t, or a key the bisection probes, is NaN.
///
/// With several keys of equal t the probe order picks one of them, and which one matters (the
/// interval after the first of two equal keys has zero width), so this must not become a
/// lower-bound search.
template <class KeyParameter>
std::optional<std::size_t> bisect_interval(std::size_t count, const KeyParameter& key_t, double t) {
    if (count < 2) return std::nullopt;
    if (t != t) throw Panic("cannot sample a spline at a NaN parameter");
    std::size_t left = 0;
    std::size_t right = count;
    while (left < right) {
        const std::size_t mid = left + (right - left) / 2;
        const double probe = key_t(mid);
        if (probe < t) {
            left = mid + 1;
        } else if (probe > t) {
            right = mid;
        } else if (probe == t) {
            if (mid == count - 1) return std::nullopt;
            return mid;
        } else {
            throw Panic("cannot sample a spline with a NaN key parameter");
        }
    }
    if (left == 0 || left == count) return std::nullopt;
    return left - 1;
}

/// Linear interpolation at u between the value at u = 0 and the value at u = 1.
template <class Value>
Value linear_value(double u, Value a_value, Value b_value) noexcept {
    return u * b_value + (1.0 - u) * a_value;
}

/// The slope of the chord from the key at p_t to the key at q_t: the tangent direction at the
/// key between them, before it is scaled to an interval's width.
template <class Value>
Value chord_slope(double p_t, Value p_value, double q_t, Value q_value) noexcept {
    return (q_value - p_value) / (q_t - p_t);
}

/// The four cubic Hermite basis functions at u. All coordinates of a sample share them.
struct HermiteBasis {
    double h00 = 0.0;
    double h10 = 0.0;
    double h01 = 0.0;
    double h11 = 0.0;

    static HermiteBasis at(double u) noexcept {
        const double u2 = u * u;
        const double u3 = u2 * u;
        return {2.0 * u3 - 3.0 * u2 + 1.0, u3 - 2.0 * u2 + u, 3.0 * u2 - 2.0 * u3, u3 - u2};
    }

    /// The value from the end values a and b and the end tangents m_a and m_b, these already
    /// scaled to the interval width; the four terms are summed in this order.
    template <class Value>
    Value value(Value a, Value m_a, Value b, Value m_b) const noexcept {
        return h00 * a + h10 * m_a + h01 * b + h11 * m_b;
    }
};

/// The interval index for parameter t: bisect_interval over the keys.
template <KeySequence Keys>
std::optional<std::size_t> find_interval(const Keys& keys, double t) {
    return bisect_interval(keys.size(), [&keys](std::size_t i) { return keys.t(i); }, t);
}

/// The value at t on interval `index` (keys index and index + 1). Linear interpolation, or a
/// cubic Hermite curve whose tangent at each end is the slope of the chord between its
/// neighbouring keys, scaled to the interval width (Catmull-Rom on a non-uniform grid); the
/// cubic needs a key on either side of the interval (nothing otherwise).
template <KeySequence Keys>
std::optional<ValueOf<Keys>> evaluate_interval(const Keys& keys, std::size_t index, double t) {
    if (index + 1 >= keys.size()) return std::nullopt;
    const double a_t = keys.t(index);
    const double b_t = keys.t(index + 1);
    const double h = b_t - a_t;
    const double u = (t - a_t) / h;
    const ValueOf<Keys> a = keys.value(index);
    const ValueOf<Keys> b = keys.value(index + 1);
    if (keys.method(index) == Interpolation::Linear) return linear_value(u, a, b);
    if (index == 0 || index + 2 >= keys.size()) return std::nullopt;
    const ValueOf<Keys> m_a = chord_slope(keys.t(index - 1), keys.value(index - 1), b_t, b) * h;
    const ValueOf<Keys> m_b = chord_slope(a_t, a, keys.t(index + 2), keys.value(index + 2)) * h;
    return HermiteBasis::at(u).value(a, m_a, b, m_b);
}

/// find_interval followed by evaluate_interval. Fewer than two keys give nothing.
template <KeySequence Keys>
std::optional<SampleOf<ValueOf<Keys>>> sample_with_key(const Keys& keys, double t) {
    const std::optional<std::size_t> index = find_interval(keys, t);
    if (!index) return std::nullopt;
    const std::optional<ValueOf<Keys>> value = evaluate_interval(keys, *index, t);
    if (!value) return std::nullopt;
    return SampleOf<ValueOf<Keys>>{*value, *index};
}

}  // namespace ordavin::spline
