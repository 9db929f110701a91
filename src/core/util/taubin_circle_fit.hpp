// Taubin's algebraic circle fit of a run of points.
#pragma once

#include <optional>
#include <span>

#include "util/point.hpp"

namespace ordavin::util {

/// A fitted circle and the quality of the fit.
struct CircleFit {
    Point center;         ///< in the caller's coordinates
    double radius = 0.0;  ///< never negative; +inf for collinear points, NaN when undefined
    double rmse = 0.0;    ///< root mean square of the radial residuals; NaN for a degenerate fit
};

/// Fits one circle to the points (x[i], y[i]) by Taubin's method, solved through the singular
/// value decomposition of LAPACK dgesvd, found on the first fit (see util/lapack.hpp).
///
/// No result for empty input or when dgesvd reports failure. Exactly collinear points give an
/// infinite radius and a NaN rmse. Points that all coincide, and coordinates that are not
/// finite (or whose squares overflow), give NaN radius and rmse without calling dgesvd, so that
/// a bound on the rmse rejects them. Throws Panic when x and y differ in length, when there
/// are more points than LAPACK can index, or when no dgesvd can be found (or rethrows what
/// the resolver throws).
std::optional<CircleFit> taubin_circle_fit(std::span<const double> x, std::span<const double> y);

}  // namespace ordavin::util
