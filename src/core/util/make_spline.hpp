// Building a spline from parameters and values, with guard keys beyond both ends.
#pragma once

#include <span>

#include "spline/in_place_spline.hpp"
#include "spline/spline.hpp"
#include "util/panic.hpp"

namespace ordavin::util {

/// Keys (t[i], values[i]) for i below the shorter length, sorted stably by t, plus three guard
/// keys: (-1.0, values[0]) before the start and (t_last + 0.01, v_last), (t_last + 0.02,
/// v_last) after the end, where t_last and v_last are the last entries of the whole inputs.
/// Throws Panic when t or values is empty.
spline::Spline make_spline(std::span<const double> t, std::span<const double> values,
                           spline::Interpolation method);

/// Parameters that never decrease, starting after -1 (where the guard key before the start goes), a
/// NaN only as a tail: the stable sorts of make_spline leave them where they are. Cumulative path
/// lengths are such parameters: a running sum of non-negative terms from 0.
struct NonDecreasing {
    std::span<const double> parameters;
};

/// The keys of make_spline(t, values, Method) for parameters already in order, read in place
/// instead of copied and sorted; `values` holds a value for every parameter. The same keys in
/// the same order, key for key.
template <spline::Interpolation Method, spline::ValueSequence Values>
spline::InPlaceSpline<Values, Method> make_spline(NonDecreasing t, Values values) {
    if (t.parameters.empty()) throw Panic("cannot build a spline without keys");
    if (t.parameters.front() <= -1.0) {
        throw Panic("in-place spline parameters must start after -1");
    }
    return spline::InPlaceSpline<Values, Method>(t.parameters, values);
}

}  // namespace ordavin::util
