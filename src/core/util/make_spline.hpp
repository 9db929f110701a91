// Building a spline from parameters and values, with guard keys beyond both ends.
#pragma once

#include <span>

#include "spline/spline.hpp"

namespace ordavin::util {

/// Keys (t[i], values[i]) for i below the shorter length, sorted stably by t, plus three guard
/// keys: (-1.0, values[0]) before the start and (t_last + 0.01, v_last), (t_last + 0.02,
/// v_last) after the end, where t_last and v_last are the last entries of the whole inputs.
/// Throws Panic when t or values is empty.
spline::Spline make_spline(std::span<const double> t, std::span<const double> values,
                           spline::Interpolation method);

}  // namespace ordavin::util
