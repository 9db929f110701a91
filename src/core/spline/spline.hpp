// A one-dimensional spline over sorted keys, and its sampler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

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
};

/// The strict order of key parameters: ascending, NaN last.
inline bool parameter_before(double left, double right) noexcept {
    return left < right || (right != right && left == left);
}

/// The strict order of keys: by t, NaN last.
inline bool key_before(const SplineKey& left, const SplineKey& right) noexcept {
    return parameter_before(left.t, right.t);
}

/// The parameters of the two guard keys after the last key: t_last + 0.01 and t_last + 0.02.
/// From a last parameter of 2^47 (about 1.4e14) on, the 0.01 offset vanishes in rounding (and
/// from 2^48 the 0.02 one), the guards would coincide with the last key and a sample at the very end would divide 0 by 0; each guard then moves to the
/// next representable double instead, so both stay strictly beyond the end, in order.
std::pair<double, double> end_guard_parameters(double t_last) noexcept;

/// A sampled value and the index of the key that starts the interval it came from.
struct Sample {
    double value = 0.0;
    std::size_t key_index = 0;
};

/// Linear interpolation at u between the value at u = 0 and the value at u = 1.
inline double linear_value(double u, double a_value, double b_value) noexcept {
    return u * b_value + (1.0 - u) * a_value;
}

/// The slope of the chord from key p to key q: the tangent direction at the key between them,
/// before it is scaled to an interval's width.
inline double chord_slope(const SplineKey& p, const SplineKey& q) noexcept {
    return (q.value - p.value) / (q.t - p.t);
}

/// The four cubic Hermite basis functions at u.
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
    double value(double a, double m_a, double b, double m_b) const noexcept {
        return h00 * a + h10 * m_a + h01 * b + h11 * m_b;
    }
};

/// The value at u on interval `index` of `count` keys (index + 1 < count), whose width is h,
/// in `value`; false where the cubic lacks a key before or after the interval. Linear
/// interpolation, or a cubic Hermite curve whose tangent at each end is the slope of the chord
/// between its neighbouring keys, scaled to the interval width: Catmull-Rom on a non-uniform
/// grid. u and h come from the caller, so that splines over the same parameters share them;
/// no std::optional here, whose flag the compiler keeps in memory, in the loops that sample
/// many parameters.
inline bool interpolate(const SplineKey* keys, std::size_t count, std::size_t index, double u,
                        double h, double& value) noexcept {
    const SplineKey& a = keys[index];
    const SplineKey& b = keys[index + 1];
    if (a.method == Interpolation::Linear) {
        value = linear_value(u, a.value, b.value);
        return true;
    }
    if (index == 0 || index + 2 >= count) return false;
    const double m_a = chord_slope(keys[index - 1], b) * h;
    const double m_b = chord_slope(a, keys[index + 2]) * h;
    value = HermiteBasis::at(u).value(a.value, m_a, b.value, m_b);
    return true;
}

namespace detail {

/// The failures of the bisection, kept out of line so that sampling loops carry no code for
/// them.
[[noreturn]] void throw_nan_parameter();
[[noreturn]] void throw_nan_key();

}  // namespace detail

/// The interval index for parameter t found by bisection: a hit on a key's t stops the search
/// there (so among keys of equal t the probe order decides), otherwise the key before the
/// insertion point. Nothing before the first key, past the last key, or on a hit of the last
/// key. Throws Panic when t, or a key the bisection probes, is NaN.
///
/// Plain bisection that stops at the first probe equal to t: with several keys of equal t the
/// probe order picks one of them, and which one matters (the interval after the first of two
/// equal keys has zero width), so this must not become a lower-bound search.
inline std::optional<std::size_t> find_interval(const Spline& spline, double t) {
    const SplineKey* const keys = spline.keys.data();
    const std::size_t count = spline.keys.size();
    if (count < 2) return std::nullopt;
    if (t != t) detail::throw_nan_parameter();
    std::size_t left = 0;
    std::size_t right = count;
    while (left < right) {
        const std::size_t mid = left + (right - left) / 2;
        const double probe = keys[mid].t;
        if (probe < t) {
            left = mid + 1;
        } else if (probe > t) {
            right = mid;
        } else if (probe == t) {
            if (mid == count - 1) return std::nullopt;
            return mid;
        } else {
            detail::throw_nan_key();
        }
    }
    if (left == 0 || left == count) return std::nullopt;
    return left - 1;
}

/// The value at t on interval `index` (keys index and index + 1), as interpolate gives it;
/// nothing where interpolate gives nothing or the interval does not exist.
inline std::optional<double> evaluate_interval(const Spline& spline, std::size_t index,
                                               double t) noexcept {
    const std::vector<SplineKey>& keys = spline.keys;
    if (index + 1 >= keys.size()) return std::nullopt;
    const double h = keys[index + 1].t - keys[index].t;
    const double u = (t - keys[index].t) / h;
    double value = 0.0;
    if (!interpolate(keys.data(), keys.size(), index, u, h, value)) return std::nullopt;
    return value;
}

/// find_interval followed by evaluate_interval. Fewer than two keys give nothing.
inline std::optional<Sample> sample_with_key(const Spline& spline, double t) {
    const std::optional<std::size_t> index = find_interval(spline, t);
    if (!index) return std::nullopt;
    const std::optional<double> value = evaluate_interval(spline, *index, t);
    if (!value) return std::nullopt;
    return Sample{*value, *index};
}

}  // namespace ordavin::spline
