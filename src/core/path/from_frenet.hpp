// Points from Frenet coordinates: arc length along a path and signed offset across it.
#pragma once

#include <span>
#include <vector>

#include "path/path.hpp"

namespace ordavin::path {

/// The points at arc lengths `s` plus offsets `d` along the left unit normal, as x and y of each
/// pair in turn (2 entries per pair). `s` and `d` hold one value per pair, or one of them a
/// single value for every pair.
///
/// The segment k from A = p_k to B = p_(k+1) that holds s (s_k <= s < s_(k+1), with s_k the
/// cumulative length at p_k: on a vertex, the segment that starts there) gives
/// t = (s - s_k) / |B - A| and the point A + t (B - A) + d (-(B - A).y, (B - A).x) / |B - A|,
/// the inverse of the projection rule that finds (s, d) from a point. Before 0 the first
/// segment and past the length the last one extend straight. A segment of zero length (as the
/// cumulative lengths measure it) never lends its direction: where s falls on one (only before
/// 0 or at and past the length, as the others hold no s), the nearest segment of positive length
/// takes over, forward from the start and backward from the end.
///
/// A NaN s or d gives (NaN, NaN); so does every pair on a path without a segment of positive
/// length (no points, one point, all points equal), which has no direction. Finite s and d on
/// a path of finite length with a segment of positive length give finite points.
std::vector<double> points_from_frenet(const Path& path, std::span<const double> s,
                                       std::span<const double> d);

}  // namespace ordavin::path
