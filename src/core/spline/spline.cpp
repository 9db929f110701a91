// The order of spline keys and the guard keys past the end.
#include "spline/spline.hpp"

#include <cmath>
#include <limits>

namespace ordavin::spline {

bool key_before(const SplineKey& left, const SplineKey& right) noexcept {
    return left.t < right.t || (std::isnan(right.t) && !std::isnan(left.t));
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
