"""A representative workload for valgrind: building paths, every property, resampling, circle
fitting, locating, smoothing, and the main failure paths, each a few times."""

import math
import os

from ordavin import Path, ResamplingType

ARC = [[math.cos(k * 0.2) * 4, math.sin(k * 0.2) * 4] for k in range(20)]
LINE = [[float(k), 0.0] for k in range(10)]

for _ in range(int(os.environ.get("ORDAVIN_VALGRIND_ROUNDS", "1"))):
    for points in (ARC, LINE, ARC + LINE, [[0.0, 0.0]], []):
        path = Path.from_points(points)
        for name in ("points", "x", "y", "path_length_per_point", "length", "orientation",
                     "unit_tangent_vector", "curvature"):
            getattr(path, name)
        path.without_duplicate_points()
        path.find_circle_segments(0, len(points))
        path.compute_circle_fit_curvature(0.05)
        path.index_from_point([1.5, 0.1])
        path.path_length_from_point([1.5, 0.1])
        path.sub_path([0.5, 0.0], [3.5, 0.0])
        if points:
            path.resampled_path(25)
            path.resampled_path(25, ResamplingType.Cubic)
        if len(points) >= 2:
            path.smoothed_path(0.3)
    Path.from_coordinates([0, 1, 2, 3], [0, 1])
    Path(x=[0, 1], y=[1, 2]).curvature
    for failing in (
        lambda: Path.from_points([[0, 0], [1, "x"]]),
        lambda: Path.from_points([[0, 0, 0]]),
        lambda: Path.from_points(LINE).resampled_path(0),
        lambda: Path.from_points(LINE).resampled_path(10**12),
        lambda: Path.from_points(LINE).find_circle_segments(5, 2),
        lambda: Path.from_points([[0, 0]]).smoothed_path(1.0),
        lambda: Path.from_points([[0, 0], [1, 1], [2, 0]]).smoothed_path(math.nan),
        lambda: Path(points=LINE, x=[1]),
    ):
        try:
            failing()
        except BaseException:  # noqa: BLE001,S110 - the failure paths must not leak either
            pass
print("workload done")
