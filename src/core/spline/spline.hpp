// A one-dimensional spline over sorted keys, and its sampler.
#pragma once

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
};

/// The strict order of keys: by t, NaN last.
bool key_before(const SplineKey& left, const SplineKey& right) noexcept;

/// The parameters of the two guard keys after the last key: t_last + 0.01 and t_last + 0.02.
/// From a last parameter of 2^47 (about 1.4e14) on, the 0.01 offset vanishes in rounding
/// (from 2^48 the 0.02 one too), the guards would coincide with the last key and a sample at the very end would divide 0 by 0; each guard then moves to the
/// next representable double instead, so both stay strictly beyond the end, in order.
std::pair<double, double> end_guard_parameters(double t_last) noexcept;

/// A sampled value and the index of the key that starts the interval it came from.
struct Sample {
    double value = 0.0;
    std::size_t key_index = 0;
};

/// The bisection of find_interval over `count` keys whose parameters `key_t(i)` gives, for
/// samplers that hold their keys in another layout. Plain bisection that stops at the first
/// probe equal to t: with several keys of equal t the probe order picks one of them, and which
/// one matters (the interval after the first of two equal keys has zero width), so this must
/// not become a lower-bound search.
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
inline double linear_value(double u, double a_value, double b_value) noexcept {
    return u * b_value + (1.0 - u) * a_value;
}

/// The slope of the chord from key p to key q: the tangent direction at the key between them,
/// before it is scaled to an interval's width.
inline double chord_slope(const SplineKey& p, const SplineKey& q) noexcept {
    return (q.value - p.value) / (q.t - p.t);
}

/// The four cubic Hermite basis functions at u. Both coordinates of a sample share them.
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

/// The cubic Hermite value at u on the interval a -> b. The tangent at each end is the slope of
/// the chord between its neighbouring keys (p before a, q after b), scaled to the interval
/// width: Catmull-Rom on a non-uniform grid.
inline double hermite_value(const SplineKey& p, const SplineKey& a, const SplineKey& b,
                            const SplineKey& q, double u) noexcept {
    const double h = b.t - a.t;
    return HermiteBasis::at(u).value(a.value, chord_slope(p, b) * h, b.value, chord_slope(a, q) * h);
}

/// The interval index for parameter t found by bisection: a hit on a key's t stops the search
/// there (so among keys of equal t the probe order decides), otherwise the key before the
/// insertion point. Nothing before the first key, past the last key, or on a hit of the last
/// key. Throws Panic when t, or a key the bisection probes, is NaN.
std::optional<std::size_t> find_interval(const Spline& spline, double t);

/// The value at t on interval `index` (keys index and index + 1). Linear interpolation, or a
/// cubic Hermite curve with finite-difference tangents, which needs a key on either side of
/// the interval (nothing otherwise).
std::optional<double> evaluate_interval(const Spline& spline, std::size_t index, double t);

/// find_interval followed by evaluate_interval. Fewer than two keys give nothing.
std::optional<Sample> sample_with_key(const Spline& spline, double t);

}  // namespace ordavin::spline
