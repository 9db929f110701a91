// A one-dimensional spline over sorted keys, and its sampler.
#include "spline/spline.hpp"

#include <cmath>
#include <limits>

#include "util/panic.hpp"

namespace ordavin::spline {

namespace detail {

void throw_nan_parameter() {
    throw Panic("cannot sample a spline at a NaN parameter");
}

void throw_nan_key() {
    throw Panic("cannot sample a spline with a NaN key parameter");
}

}  // namespace detail

std::pair<double, double> end_guard_parameters(double t_last) noexcept {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    double end = t_last + 0.01;
    if (!(end > t_last)) end = std::nextafter(t_last, kInfinity);
    double far = t_last + 0.02;
    if (!(far > end)) far = std::nextafter(end, kInfinity);
    return {end, far};
}

}  // namespace ordavin::spline
