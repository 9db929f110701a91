"""Cumulative length, orientation, tangent and curvature of a path, and their caches."""

import math
import struct

import numpy as np
import pytest

from ordavin import Path

nan = math.nan


def bits(values):
    return [struct.pack("<d", v) for v in values]


def smooth_path(seed, count=400):
    rng = np.random.default_rng(seed)
    s = np.sort(rng.uniform(0.0, 20.0, count))
    x = 3.0 * np.cos(s / 3.0) + 0.1 * s
    y = 2.0 * np.sin(s / 2.0) * (1.0 + 0.01 * s)
    return x, y


def test_empty_path():
    path = Path.from_points([])
    assert path.path_length_per_point == []
    assert path.length == 0.0
    assert path.orientation == []
    assert path.unit_tangent_vector == []
    assert path.curvature == []


def test_single_point():
    path = Path.from_points([[2, 3]])
    assert path.path_length_per_point == [0.0]
    assert path.length == 0.0
    assert path.orientation == [0.0]
    assert all(math.isnan(v) for v in path.unit_tangent_vector[0])
    assert math.isnan(path.curvature[0])


def test_two_points():
    path = Path.from_points([[0, 0], [3, 4]])
    assert path.path_length_per_point == [0.0, 5.0]
    assert path.length == 5.0
    assert path.orientation == [math.atan2(4, 3)] * 2
    assert path.unit_tangent_vector == [[0.6, 0.8], [0.6, 0.8]]
    assert path.curvature == [0.0, 0.0]


def test_right_angle():
    path = Path.from_points([[0, 0], [1, 0], [1, 1]])
    assert path.orientation == [0.0, math.pi / 4, math.pi / 2]
    # dx = [1, .5, 0], dy = [0, .5, 1], second differences -.5 and .5 throughout.
    assert path.curvature == pytest.approx([0.5, math.sqrt(2.0), 0.5], rel=1e-15)
    h = math.sqrt(0.5)
    flat = [v for tangent in path.unit_tangent_vector for v in tangent]
    assert flat == pytest.approx([1, 0, h, h, 0, 1], rel=1e-15)


def test_straight_line_with_integer_coordinates():
    path = Path.from_points([[0, 0], [1, 2], [2, 4], [3, 6]])
    assert path.curvature == [0.0] * 4
    assert path.orientation == [math.atan2(2, 1)] * 4


def test_repeated_neighbours():
    # The middle point's neighbours coincide: atan2(0, 0) and a zero difference.
    path = Path.from_points([[0, 0], [1, 1], [0, 0]])
    assert path.orientation[1] == 0.0
    assert all(math.isnan(v) for v in path.unit_tangent_vector[1])
    duplicated = Path.from_points([[0, 0], [3, 4], [3, 4], [6, 8]])
    assert duplicated.path_length_per_point == [0.0, 5.0, 5.0, 10.0]


def test_unequal_coordinate_lengths_give_one_entry_per_point():
    path = Path.from_coordinates([0, 1, 2, 3], [5, 6])
    for quantity in (path.path_length_per_point, path.orientation, path.unit_tangent_vector,
                     path.curvature):
        assert len(quantity) == 2


def test_special_values_propagate():
    path = Path.from_points([[0, 0], [nan, 0], [2, 0], [3, 0]])
    assert path.path_length_per_point[0] == 0.0
    assert all(math.isnan(v) for v in path.path_length_per_point[1:])
    assert math.isnan(path.length)
    assert Path.from_points([[0, 0], [math.inf, 0]]).length == math.inf


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_against_numpy(seed):
    x, y = smooth_path(seed)
    path = Path.from_coordinates(x.tolist(), y.tolist())

    steps = np.sqrt(np.diff(x) ** 2 + np.diff(y) ** 2)
    expected_lengths = np.concatenate([[0.0], np.cumsum(steps)])
    assert bits(path.path_length_per_point) == bits(expected_lengths.tolist())
    assert path.length == expected_lengths[-1]

    chord_x = np.concatenate([[x[1] - x[0]], x[2:] - x[:-2], [x[-1] - x[-2]]])
    chord_y = np.concatenate([[y[1] - y[0]], y[2:] - y[:-2], [y[-1] - y[-2]]])
    expected_orientation = [math.atan2(b, a) for a, b in zip(chord_x, chord_y)]
    assert bits(path.orientation) == bits(expected_orientation)

    dx, dy = np.gradient(x), np.gradient(y)
    ddx, ddy = np.gradient(dx), np.gradient(dy)
    norm = np.sqrt(dx * dx + dy * dy)
    tangent = np.array(path.unit_tangent_vector)
    assert bits(tangent[:, 0].tolist()) == bits((dx / norm).tolist())
    assert bits(tangent[:, 1].tolist()) == bits((dy / norm).tolist())
    expected_curvature = [(a * d - b * c) / math.pow(a * a + b * b, 1.5)
                          for a, b, c, d in zip(dx, dy, ddx, ddy)]
    assert bits(path.curvature) == bits(expected_curvature)


@pytest.mark.parametrize("name", ["path_length_per_point", "orientation", "unit_tangent_vector",
                                  "curvature"])
def test_reads_are_equal_fresh_lists(name):
    path = Path.from_points([[0, 0], [1, 0], [1, 2], [3, 3]])
    first = getattr(path, name)
    second = getattr(path, name)
    assert first == second and first is not second
    first[0] = "changed"
    first.append(1.0)
    assert getattr(path, name) == second
    if name == "unit_tangent_vector":
        second[1][0] = 42.0
        assert getattr(path, name)[1][0] != 42.0


def test_properties_are_read_only():
    path = Path.from_points([[0, 0], [1, 0]])
    with pytest.raises(AttributeError):
        path.length = 3.0
