"""Type-checked, never run: what the stubs must accept and what they must refuse.

mypy runs on this file with warn_unused_ignores, so each refused call below carries an ignore
comment for the exact error code, and the check fails if the stubs stop refusing it.
"""

import copy
from typing import TYPE_CHECKING, assert_type

import numpy as np
from numpy.typing import NDArray

from ordavin import Path, ResamplingType

if TYPE_CHECKING:
    from ordavin import PathArrays

# Everything the module converts: lists, tuples, ranges, NumPy arrays and scalars.
rows = np.array([[0.0, 0.0], [1.0, 0.5], [2.0, 0.0]])
path = Path.from_points(rows)
assert_type(Path([(0, 0), (1, 1)]), Path)
assert_type(Path(x=np.arange(3.0), y=[0, 1, 2]), Path)
assert_type(Path(None, range(3), (0.0, 1.0, 2.0)), Path)
assert_type(Path.from_coordinates(np.linspace(0, 1, 5), [0.5] * 5), Path)

# Results.
assert_type(path.points, list[list[float]])
assert_type(path.length, float)
assert_type(path.unit_tangent_vector, list[list[float]])
assert_type(path.find_circle_segments(0, np.int64(3)), list[tuple[int, int, float]])
assert_type(path.compute_circle_fit_curvature(max_rmse=np.float64(0.1)), list[float])
assert_type(path.resampled_path(10, ResamplingType.Cubic), Path)
assert_type(path.smoothed_path(0.5), Path)
assert_type(path.index_from_point(rows[1]), int | None)
assert_type(path.path_length_from_point((1, 0.5), epsilon=0.1), float | None)
assert_type(path.sub_path(start=[0, 0]), Path | None)
assert_type(int(ResamplingType.Linear), int)
assert_type(path.arrays.index_from_point(rows.astype(np.float32)), NDArray[np.int64])
assert_type(path.arrays.path_length_from_point([[0, 1], [2, 0]], 0.1), NDArray[np.float64])
assert_type(path.arrays.interpolate([[0.5, 1.0]], ResamplingType.Cubic), NDArray[np.float64])
assert_type(path.arrays.from_frenet(rows[:, 0], d=np.float32(0.5)), NDArray[np.float64])


# The view's class exists for type checkers only, and annotations may name it.
def curvature_of(view: "PathArrays") -> NDArray[np.float64]:
    return view.curvature


assert_type(curvature_of(path.arrays), NDArray[np.float64])

# Pickling and copying keep the type.
assert_type(copy.deepcopy(path), Path)
rebuild, state = path.__reduce__()
assert_type(rebuild(*state), Path)

# What the module refuses at run time, the stubs refuse too.
Path()  # type: ignore[call-overload]
Path(x=[0.0, 1.0])  # type: ignore[call-overload]
Path([[0, 0]], x=[0], y=[0])  # type: ignore[call-overload]
Path.from_points("ab")  # type: ignore[arg-type]
Path.from_coordinates([0.0], "ab")  # type: ignore[arg-type]
Path.from_points([[0, "1"]])  # type: ignore[list-item]
path.resampled_path(10, 1)  # type: ignore[arg-type]
path.resampled_path(10.0)  # type: ignore[arg-type]
path.sub_path(start=0.0)  # type: ignore[arg-type]
path.points = []  # type: ignore[misc]
ResamplingType.Cubic < ResamplingType.Linear  # type: ignore[operator]
