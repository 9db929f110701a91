"""Building paths and reading their points back."""

import math
import struct

import pytest

from ordavin import Path


def bits(values):
    return [struct.pack("<d", v) for v in values]


def test_empty_and_single_point_paths():
    empty = Path.from_points([])
    assert (empty.points, empty.x, empty.y) == ([], [], [])
    single = Path.from_points([[1, 2]])
    assert single.x == [1.0] and type(single.x[0]) is float


def test_unequal_coordinate_lengths_keep_both_lists():
    path = Path.from_coordinates([0, 1, 2], [5, 6])
    assert path.points == [[0.0, 5.0], [1.0, 6.0]]
    assert path.x == [0.0, 1.0, 2.0]
    assert path.y == [5.0, 6.0]


def test_values_are_stored_bit_for_bit():
    values = [math.nan, -0.0, math.inf, -math.inf, 5e-324, 1.7976931348623157e308]
    path = Path.from_coordinates(values, values)
    assert bits(path.x) == bits(values)
    assert bits([p[1] for p in path.points]) == bits(values)


def test_reads_are_fresh_lists():
    path = Path.from_points([[0, 0], [1, 1]])
    points = path.points
    points[0][0] = 99.0
    points.append([5, 5])
    assert path.points == [[0.0, 0.0], [1.0, 1.0]]
    assert path.points is not path.points


@pytest.mark.parametrize(
    "points, expected",
    [
        ([[0, 0], [0, 0], [1, 1], [1, 1], [0, 0]], [[0, 0], [1, 1], [0, 0]]),
        ([[0.0, 0.0], [-0.0, 0.0]], [[0.0, 0.0]]),
        ([[0, 0], [1e-300, 0]], [[0, 0], [1e-300, 0]]),
        ([[1, 2], [1, 2], [1, 2]], [[1, 2]]),
        ([], []),
    ],
)
def test_without_duplicate_points(points, expected):
    assert Path.from_points(points).without_duplicate_points().points == expected


def test_without_duplicate_points_keeps_nan_points():
    result = Path.from_points([[math.nan, 0], [math.nan, 0]]).without_duplicate_points()
    assert len(result.points) == 2


def test_without_duplicate_points_returns_a_new_path_and_leaves_the_receiver():
    path = Path.from_points([[0, 0], [0, 0], [1, 0]])
    result = path.without_duplicate_points()
    assert result is not path
    assert path.points == [[0.0, 0.0], [0.0, 0.0], [1.0, 0.0]]
    unchanged = Path.from_points([[0, 0], [1, 0]])
    assert unchanged.without_duplicate_points() is not unchanged


def test_without_duplicate_points_takes_no_arguments():
    with pytest.raises(TypeError):
        Path.from_points([]).without_duplicate_points(1)
