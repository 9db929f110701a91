// A one-dimensional spline over sorted keys, and its sampler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

/// The strict order of keys: by t, NaN last.
bool key_before(const SplineKey& left, const SplineKey& right) noexcept;

/// A sampled value and the index of the key that starts the interval it came from.
struct Sample {
    double value = 0.0;
    std::size_t key_index = 0;
};

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
