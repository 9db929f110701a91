// The documentation of the classes and their methods: text signature, "--", docstring.
#pragma once

namespace ordavin::module::docs {

inline constexpr const char kPath[] =
    "Path(points=None, x=None, y=None)\n--\n\n"
    "Path(points=None, x=None, y=None)\n\nClass storing a 2D path.\n\n:param points: List of "
    "points\n:param x: List of x coordinates\n:param y: List of y coordinates\n\n:type points: "
    "list[list[float]]\n:type x: list[float]\n:type y: list[float]";

inline constexpr const char kFromPoints[] =
    "from_points(points)\n"
    "--\n"
    "\n"
    "from_points(points)\n"
    "\n"
    "Initiates a path from a list of points.\n"
    "\n"
    ":param points: List of points\n"
    "\n"
    ":type points: list[list[float]]";

inline constexpr const char kFromCoordinates[] =
    "from_coordinates(x, y)\n"
    "--\n"
    "\n"
    "from_coordinates(x, y)\n"
    "\n"
    "Initiates a path from its x and y coordinates\n"
    "\n"
    ":param x: List of x coordinates\n"
    ":param y: List of y coordinates\n"
    "\n"
    ":type x: list[float]\n"
    ":type y: list[float]";

inline constexpr const char kWithoutDuplicatePoints[] =
    "without_duplicate_points($self)\n"
    "--\n"
    "\n"
    "without_duplicate_points()\n"
    "\n"
    "Returns the path without consecutive duplicate points.\n"
    "\n"
    ":returns: New path\n"
    ":rtype: Path";

inline constexpr const char kFindCircleSegments[] =
    "find_circle_segments($self, start, end, max_rmse=0.15)\n"
    "--\n"
    "\n"
    "find_circle_segments(start, end, max_rmse=0.15)\n"
    "\n"
    "Decomposes the path into its circle segments, such that the maximum\n"
    "RMSE (root mean squared error) is not exceeded.\n"
    "\n"
    ":param start: Index of point to start from\n"
    ":param end: Index of point to stop with\n"
    ":param max_rmse: Maximum RMSE\n"
    "\n"
    ":type start: int\n"
    ":type end: int\n"
    ":type max_rmse: float\n"
    "\n"
    ":returns: The list of arc segments\n"
    ":rtype: list[tuple[int, int, float]]";

inline constexpr const char kComputeCircleFitCurvature[] =
    "compute_circle_fit_curvature($self, max_rmse=0.15)\n"
    "--\n"
    "\n"
    "compute_circle_fit_curvature(max_rmse=0.15)\n"
    "\n"
    "Computes the curvature by decomposing the path into arc segments.\n"
    "\n"
    ":param max_rmse: The maximum RMSE (root mean squared error) that is not exceeded when\n"
    "                    fitting the arc segments\n"
    "\n"
    ":type max_rmse: float\n"
    "\n"
    ":returns: The curvature of the path\n"
    ":rtype: list[float]";

inline constexpr const char kResampledPath[] =
    "resampled_path($self, number_points, resampling_type=...)\n"
    "--\n"
    "\n"
    "resampled_path(number_points, resampling_type=ResamplingType.Linear)\n"
    "\n"
    "Resamples the path equidistantly using the given interpolation method.\n"
    "\n"
    ":param number_points: Number of points of the resampled path\n"
    ":param resampling_type: Method of interpolation\n"
    "\n"
    ":type number_points: int\n"
    ":type resampling_type: ResamplingType\n"
    "\n"
    ":returns: Resampled path\n"
    ":rtype: Path";

inline constexpr const char kIndexFromPoint[] =
    "index_from_point($self, point, epsilon=1e-2)\n"
    "--\n"
    "\n"
    "index_from_point(point, epsilon=1e-2)\n"
    "\n"
    "Returns the index of the nearest point on the path in front of the given point.\n"
    "If the point outside the path, None is returned\n"
    "\n"
    ":param point: Point of interest\n"
    ":param epsilon: The distance within two points are considered equal\n"
    "\n"
    ":type point: list[float]\n"
    ":type epsilon: float\n"
    "\n"
    ":returns: The index of the nearest point\n"
    ":rtype: Option[int]";

inline constexpr const char kPathLengthFromPoint[] =
    "path_length_from_point($self, point, epsilon=1e-2)\n"
    "--\n"
    "\n"
    "path_length_from_point(point, epsilon=1e-2)\n"
    "\n"
    "Returns the path length from the first point to the given point.\n"
    "If the point outside the path, None is returned\n"
    "\n"
    ":param point: Point of interest\n"
    ":param epsilon: The distance within two points are considered equal\n"
    "\n"
    ":type point: list[float]\n"
    ":type epsilon: float\n"
    "\n"
    ":returns: The path length\n"
    ":rtype: Option[float]";

inline constexpr const char kSubPath[] =
    "sub_path($self, start=None, end=None, epsilon=0.01)\n"
    "--\n"
    "\n"
    "sub_path(start=None, end=None, epsilon=0.01)\n"
    "\n"
    "Returns the sub path from start to end.\n"
    "If start is None, the path begins at the beginning.\n"
    "The same holds for end.\n"
    "The new path is not necessarily equidistant.\n"
    "\n"
    ":param start: Beginning of the sub path\n"
    ":param end: End of the sub path\n"
    ":param epsilon: The distance within two points are considered equal\n"
    "\n"
    ":type start: list[float]\n"
    ":type end: list[float]\n"
    ":type epsilon: float\n"
    "\n"
    ":returns: The sub path\n"
    ":rtype: Path";

inline constexpr const char kSmoothedPath[] =
    "smoothed_path($self, max_deviation)\n"
    "--\n"
    "\n"
    "smoothed_path(max_deviation)\n"
    "\n"
    "Smoothes the path using an algorithm from Autoware [1]. A QP has to be solved for that.\n"
    "CLARABEL [2] is used as the solver.\n"
    "\n"
    "[1] "
    "https://autowarefoundation.github.io/autoware.universe/main/planning/autoware_path_smoother/"
    "docs/eb/\n"
    "[2] https://oxfordcontrol.github.io/ClarabelDocs/stable/\n"
    "\n"
    ":param max_deviation: Maximum deviation from the original path\n"
    "\n"
    ":type max_deviation: float\n"
    "\n"
    ":returns: The smoothed path\n"
    ":rtype: Path";

// ---- PathArrays, the NumPy view ----------------------------------------------------------

namespace arrays {

inline constexpr const char kComputeCircleFitCurvature[] =
    "compute_circle_fit_curvature($self, max_rmse=0.15)\n--\n\n"
    "The curvature of the circle arc each point belongs to, as a new float64 array of one\n"
    "entry per x coordinate; Path.compute_circle_fit_curvature gives the same values as a list.";

inline constexpr const char kFindCircleSegments[] =
    "find_circle_segments($self, start, end, max_rmse=0.15)\n--\n\n"
    "The circle segments of the points start <= i < end as three new arrays: start and end\n"
    "(uint64) and curvature (float64); Path.find_circle_segments gives the same segments as a\n"
    "list of (start, end, curvature) tuples.";

inline constexpr const char kIndexFromPoint[] =
    "index_from_point($self, points, epsilon=1e-2)\n--\n\n"
    "The index Path.index_from_point gives for each point of `points`, an array-like of shape\n"
    "(..., 2), as a new int64 array of shape (...); -1 where it gives None. The path's segment\n"
    "index is built once for all the points.";

inline constexpr const char kPathLengthFromPoint[] =
    "path_length_from_point($self, points, epsilon=1e-2)\n--\n\n"
    "The path length Path.path_length_from_point gives for each point of `points`, an\n"
    "array-like of shape (..., 2), as a new float64 array of shape (...); NaN where it gives\n"
    "None. The path's segment index is built once for all the points.";

inline constexpr const char kPathArrays[] =
    "Read-only NumPy views of a Path's coordinates and per-point quantities.\n\n"
    "Each property is a float64 array that shares the path's memory (no copy) and keeps the\n"
    "path alive; it cannot be made writable. Copy it (numpy.array(view)) to change it. The\n"
    "circle and locating methods return new arrays.";

inline constexpr const char kFrenet[] =
    "frenet($self, points, s_hint=None, window=1e999)\n--\n\n"
    "The Frenet coordinates of each point of `points`, an array-like of shape (..., 2), as a\n"
    "tuple (s, d, index) of new arrays of shape (...): float64, float64 and int64. For each\n"
    "point P the nearest point of the polyline is found, every segment closed: on segment k,\n"
    "from A = p_k to B = p_(k+1), t = ((P - A) . (B - A)) / |B - A|^2 clamped to [0, 1] (0 for\n"
    "a zero-length segment), the foot A + t (B - A) and its distance to P. The least distance\n"
    "wins, the lowest k on equal distances; a NaN distance never does. s is the arc length of\n"
    "the foot (path_length_per_point[k] + |B - A| t), d the distance, positive when P lies on\n"
    "the left of the segment ((B - A) x (P - A) >= 0) and negative on its right, index k.\n"
    "With s_hint (a number, or an array-like broadcast to the shape (...)), only segments\n"
    "whose arc lengths meet [s_hint - window, s_hint + window] compete, which tells apart the\n"
    "passes of a loop; window needs s_hint and must be at least 0. No competing segment, a\n"
    "NaN point or an empty path give (NaN, NaN, -1); a one-point path gives s = 0, index 0\n"
    "and d the distance to its point. Each entry is exactly what this rule gives point by\n"
    "point; the path's segment index is built once for all the points.";

inline constexpr const char kInterpolate[] =
    "interpolate($self, s, resampling_type=...)\n--\n\n"
    "The points at arc lengths `s` (a number or an array-like of any shape) as a new float64\n"
    "array of shape s.shape + (2,), on the very curve resampled_path samples with the same\n"
    "resampling_type (ResamplingType.Linear unless given): at the sample lengths\n"
    "numpy.linspace(0, length, n) they are, bit for bit, the points of\n"
    "resampled_path(n, resampling_type). s below 0 gives the first point and s above the\n"
    "length the last, as numpy.interp does; NaN gives NaN, and so does every s on a path\n"
    "without points or whose length is NaN. Lengths in order are located in one pass, others\n"
    "by bisection, with the same results.";

inline constexpr const char kFromFrenet[] =
    "from_frenet($self, s, d=0.0)\n--\n\n"
    "The points at arc length `s` plus the signed offset `d` along the left unit normal of the\n"
    "segment that holds s (the one that starts at s on a vertex), as a new float64 array of\n"
    "shape broadcast(s, d).shape + (2,); s and d are numbers or array-likes of any shape. On\n"
    "segment k from A to B: t = (s - s_k) / |B - A| and A + t (B - A) + d (-(B - A).y,\n"
    "(B - A).x) / |B - A|. Before 0 and past the length the first and last segments extend\n"
    "straight. Segments of zero length lend no direction: at the ends the nearest segment of\n"
    "positive length takes over. NaN in s or d gives NaN; a path without a segment of positive\n"
    "length (no points, one point, all points equal) has no direction and gives NaN for every\n"
    "pair.";

}  // namespace arrays

}  // namespace ordavin::module::docs
