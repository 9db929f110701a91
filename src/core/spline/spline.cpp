// A one-dimensional spline over sorted keys, and its sampler.
#include "spline/spline.hpp"

#include <cmath>
#include <limits>

namespace ordavin::spline {

bool key_before(const SplineKey& left, const SplineKey& right) noexcept {
    return left.t < right.t || (std::isnan(right.t) && !std::isnan(left.t));
}

std::optional<std::size_t> find_interval(const Spline& spline, double t) {
    const std::vector<SplineKey>& keys = spline.keys;
    return bisect_interval(keys.size(), [&keys](std::size_t i) { return keys[i].t; }, t);
}

std::optional<double> evaluate_interval(const Spline& spline, std::size_t index, double t) {
    const std::vector<SplineKey>& keys = spline.keys;
    if (index + 1 >= keys.size()) return std::nullopt;
    const SplineKey& a = keys[index];
    const SplineKey& b = keys[index + 1];
    const double u = (t - a.t) / (b.t - a.t);
    if (a.method == Interpolation::Linear) return linear_value(u, a.value, b.value);
    if (index == 0 || index + 2 >= keys.size()) return std::nullopt;
    return hermite_value(keys[index - 1], a, b, keys[index + 2], u);
}

std::optional<Sample> sample_with_key(const Spline& spline, double t) {
    const std::optional<std::size_t> index = find_interval(spline, t);
    if (!index) return std::nullopt;
    const std::optional<double> value = evaluate_interval(spline, *index, t);
    if (!value) return std::nullopt;
    return Sample{*value, *index};
}

std::pair<double, double> end_guard_parameters(double t_last) noexcept {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    double end = t_last + 0.01;
    if (!(end > t_last)) end = std::nextafter(t_last, kInfinity);
    double far = t_last + 0.02;
    if (!(far > end)) far = std::nextafter(end, kInfinity);
    return {end, far};
}

}  // namespace ordavin::spline
