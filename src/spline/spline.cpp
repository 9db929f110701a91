// A one-dimensional spline over sorted keys, and its sampler.
#include "spline/spline.hpp"

#include <cmath>

#include "util/panic.hpp"

namespace ordavin::spline {

bool key_before(const SplineKey& left, const SplineKey& right) noexcept {
    return left.t < right.t || (std::isnan(right.t) && !std::isnan(left.t));
}

std::optional<std::size_t> find_interval(const Spline& spline, double t) {
    const std::vector<SplineKey>& keys = spline.keys;
    const std::size_t count = keys.size();
    if (count < 2) return std::nullopt;
    if (std::isnan(t)) throw Panic("cannot sample a spline at a NaN parameter");

    // Plain bisection that stops at the first probe equal to t. With several keys of equal t
    // the probe order picks one of them, and which one matters (the interval after the first
    // of two equal keys has zero width), so this must not become a lower-bound search.
    std::size_t left = 0;
    std::size_t right = count;
    while (left < right) {
        const std::size_t mid = left + (right - left) / 2;
        const double key_t = keys[mid].t;
        if (key_t < t) {
            left = mid + 1;
        } else if (key_t > t) {
            right = mid;
        } else if (key_t == t) {
            if (mid == count - 1) return std::nullopt;
            return mid;
        } else {
            throw Panic("cannot sample a spline with a NaN key parameter");
        }
    }
    if (left == 0 || left == count) return std::nullopt;
    return left - 1;
}

std::optional<double> evaluate_interval(const Spline& spline, std::size_t index, double t) {
    const std::vector<SplineKey>& keys = spline.keys;
    if (index + 1 >= keys.size()) return std::nullopt;
    const SplineKey& a = keys[index];
    const SplineKey& b = keys[index + 1];
    const double h = b.t - a.t;
    const double u = (t - a.t) / h;

    if (a.method == Interpolation::Linear) return u * b.value + (1.0 - u) * a.value;

    // Cubic Hermite: the tangent at each end is the slope of the chord between its two
    // neighbouring keys, scaled to the interval width (Catmull-Rom on a non-uniform grid).
    if (index == 0 || index + 2 >= keys.size()) return std::nullopt;
    const SplineKey& p = keys[index - 1];
    const SplineKey& q = keys[index + 2];
    const double m_a = (b.value - p.value) / (b.t - p.t) * h;
    const double m_b = (q.value - a.value) / (q.t - a.t) * h;
    const double u2 = u * u;
    const double u3 = u2 * u;
    const double h00 = 2.0 * u3 - 3.0 * u2 + 1.0;
    const double h10 = u3 - 2.0 * u2 + u;
    const double h01 = 3.0 * u2 - 2.0 * u3;
    const double h11 = u3 - u2;
    return h00 * a.value + h10 * m_a + h01 * b.value + h11 * m_b;
}

std::optional<Sample> sample_with_key(const Spline& spline, double t) {
    const std::optional<std::size_t> index = find_interval(spline, t);
    if (!index) return std::nullopt;
    const std::optional<double> value = evaluate_interval(spline, *index, t);
    if (!value) return std::nullopt;
    return Sample{*value, *index};
}

}  // namespace ordavin::spline
