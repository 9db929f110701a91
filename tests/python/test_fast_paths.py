"""The fast paths give exactly what the plain ones give, and leave no trace behind."""

import gc
import math

import numpy as np
import pytest

from ordavin import Path


def bits(values):
    return np.asarray(values, dtype=float).view(np.int64).tolist()


@pytest.fixture(scope="module")
def large():
    # Large enough that every buffer of the path takes the huge-page branch (>= 4 MiB).
    rng = np.random.default_rng(5)
    s = np.linspace(0.0, 40.0, 400_000)
    points = np.column_stack((s * np.cos(s), s * np.sin(s))) + rng.normal(0, 1e-3, (len(s), 2))
    points[7] = [-0.0, math.nan]
    return points


def test_large_array_and_list_give_the_same_bits(large):
    from_array = Path.from_points(large)
    from_list = Path.from_points(large.tolist())
    assert bits(from_array.x) == bits(from_list.x) == bits(large[:, 0])
    assert bits(from_array.y) == bits(from_list.y) == bits(large[:, 1])
    assert bits(np.ravel(from_array.points)) == bits(large.ravel())


def test_large_quantities_match_numpy(large):
    points = large[:1000].copy()
    points[7] = [7.0, 7.0]
    points = np.vstack([points] * 200)  # 200 000 points, about 3 MiB of coordinates each
    path = Path.from_points(points)
    x, y = points[:, 0], points[:, 1]
    steps = np.sqrt(np.diff(x) ** 2 + np.diff(y) ** 2)
    assert bits(path.path_length_per_point) == bits(np.concatenate([[0.0], np.cumsum(steps)]))
    dx, dy = np.gradient(x), np.gradient(y)
    norm = np.sqrt(dx * dx + dy * dy)
    assert bits(np.ravel(path.unit_tangent_vector)) == bits(
        np.column_stack((dx / norm, dy / norm)).ravel())
    ddx, ddy = np.gradient(dx), np.gradient(dy)
    expected = (dx * ddy - dy * ddx) / (dx * dx + dy * dy) ** 1.5
    np.testing.assert_allclose(path.curvature, expected, rtol=1e-13, atol=0.0)


def test_unequal_coordinate_lengths_differentiate_each_whole_list():
    # x differences over [0, 1, 4, 9]: [1, 2, 4, 5], second ones [1, 1.5, 1.5, 1];
    # y differences over [0, 1]: [1, 1], second ones [0, 0]. Two points, worked by hand.
    path = Path.from_coordinates([0, 1, 4, 9], [0, 1])
    assert path.points == [[0.0, 0.0], [1.0, 1.0]]
    assert path.x == [0.0, 1.0, 4.0, 9.0]
    tangent = path.unit_tangent_vector
    assert tangent[0] == pytest.approx([1 / math.sqrt(2), 1 / math.sqrt(2)], rel=1e-15)
    assert tangent[1] == pytest.approx([2 / math.sqrt(5), 1 / math.sqrt(5)], rel=1e-15)
    assert path.curvature == pytest.approx([-1 / 2**1.5, -1.5 / 5**1.5], rel=1e-15)


def test_coordinates_of_a_path_from_points_appear_on_first_use():
    path = Path.from_points([[1, 2], [3, 4], [5, 6]])
    assert path.index_from_point([3, 4.5]) == 1  # the locating scan reads x and y first
    assert path.x == [1.0, 3.0, 5.0] and path.y == [2.0, 4.0, 6.0]
    copy = path.x
    copy[0] = 99.0
    assert path.x == [1.0, 3.0, 5.0]


@pytest.mark.parametrize("enabled", [True, False])
def test_building_lists_of_pairs_leaves_the_collector_as_it_was(enabled):
    path = Path.from_points([[float(i), 0.0] for i in range(2000)])
    was = gc.isenabled()
    try:
        gc.enable() if enabled else gc.disable()
        pairs = path.points
        assert gc.isenabled() is enabled
        assert gc.is_tracked(pairs[0])  # the pairs are ordinary, collectable lists
        segments = path.find_circle_segments(0, 2000, 0.15)
        assert gc.isenabled() is enabled and segments
    finally:
        gc.enable() if was else gc.disable()
