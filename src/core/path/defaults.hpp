// The defaults of the optional arguments that several operations share.
#pragma once

namespace ordavin::path {

/// The root-mean-square error, in the path's units, a circle fit may reach: circle segments
/// and the curvature taken from them.
inline constexpr double kDefaultMaxRmse = 0.15;

/// The tolerance, per coordinate, within which a located point snaps to an end of the path.
inline constexpr double kDefaultEpsilon = 0.01;

}  // namespace ordavin::path
