"""Index, path length and sub-path from a query point."""

import math

import numpy as np
import pytest

from ordavin import Path

LINE = [[0, 0], [1, 0], [2, 0], [3, 0]]


@pytest.fixture
def line():
    return Path.from_points(LINE)


@pytest.mark.parametrize("query, index", [
    ([1.5, 0.2], 1),
    ([0, 0], 0),
    ([3, 0], 3),
    ([1, 0], 1),  # an interior vertex belongs to the segment that starts there
    ([2.999, 0], 3),  # snapped to the last point
    ([5, 0], None),
    ([-1, 0], None),
])
def test_index_from_point(line, query, index):
    assert line.index_from_point(query) == index


@pytest.mark.parametrize("query, length", [
    ([1.5, 0.2], 1.5),
    ([3.005, 0], 3.0),  # snapped to the last point
    ([-0.005, 0], -0.005),  # snapped to the first, measured along the first segment
    ([0.004, 0.01], 0.004),
    ([2, 0], 2.0),
    ([5, 0], None),
])
def test_path_length_from_point(line, query, length):
    assert line.path_length_from_point(query) == (None if length is None
                                                  else pytest.approx(length, abs=1e-15))


def test_snapping_is_a_square():
    path = Path.from_points([[0, 0], [0, 1]])
    assert path.index_from_point([0.01, 0.01]) == 0
    assert path.index_from_point([-0.01, -0.01]) == 0
    assert path.index_from_point([0.011, 0]) == 0  # covered by the segment, not snapped
    assert path.index_from_point([0.011, -0.001]) is None
    assert path.index_from_point([0.5, 0.5], epsilon=0.6) == 0
    assert path.index_from_point([0.02, 0.02], epsilon=0.02) == 0


def test_epsilon_only_serves_the_end_points(line):
    # Beyond the last point along the last segment and farther than epsilon: nothing.
    assert line.index_from_point([3.02, 0]) is None
    assert line.index_from_point([3.02, 0], 0.05) == 3
    assert line.path_length_from_point([3.02, 0], 0.05) == 3.0


def test_wedge_outside_a_corner():
    corner = Path.from_points([[0, 0], [1, 0], [1, 1]])
    assert corner.index_from_point([2, -1]) is None
    assert corner.path_length_from_point([2, -1]) is None
    # Inside the corner both segments cover; the nearer one wins.
    assert corner.index_from_point([0.5, 0.2]) == 0
    assert corner.index_from_point([0.8, 0.5]) == 1
    assert corner.path_length_from_point([0.8, 0.5]) == pytest.approx(1.5)


def test_nearest_of_several_covering_segments():
    # A U-turn: (1, 0.3) is covered by the outward leg (distance 0.3) and the way back (0.7).
    path = Path.from_points([[0, 0], [2, 0], [2, 1], [0, 1]])
    assert path.index_from_point([1, 0.3]) == 0
    assert path.index_from_point([1, 0.7]) == 2
    assert path.path_length_from_point([1, 0.7]) == pytest.approx(4.0)


def test_repeated_points_are_skipped():
    path = Path.from_points([[0, 0], [1, 0], [1, 0], [2, 0]])
    assert path.index_from_point([1, 0.1]) == 2
    assert path.index_from_point([0.5, 0.1]) == 0


def test_closed_path_snaps_to_the_start():
    ring = Path.from_points([[0, 0], [1, 0], [1, 1], [0, 1], [0, 0.005]])
    assert ring.index_from_point([0, 0]) == 0
    assert ring.index_from_point([0.0, 0.004]) == 0
    assert ring.sub_path().points == [[0.0, 0.0]]


@pytest.mark.parametrize("method", ["index_from_point", "path_length_from_point"])
def test_empty_and_single_point_paths(method):
    assert getattr(Path.from_points([]), method)([0, 0]) is None
    single = Path.from_points([[2, 3]])
    assert getattr(single, method)([2.01, 2.99]) == 0
    assert getattr(single, method)([2.02, 3]) is None


@pytest.mark.parametrize("start, end, points", [
    (None, None, LINE),
    ([0.5, 0.1], [2.5, -0.1], [[0.5, 0], [1, 0], [2, 0], [2.5, 0]]),
    ([0.995, 0], [2, 0], [[1, 0], [2, 0]]),  # both feet within epsilon of a kept point
    ([0.3, 0], [0.3, 0], [[0.3, 0]]),
    ([0.2, 0.1], [0.7, -0.1], [[0.2, 0], [0.7, 0]]),
    ([3, 0], None, [[3, 0]]),
    (None, [1.5, 0], [[0, 0], [1, 0], [1.5, 0]]),
    ([0.005, 0], None, [[0, 0], [1, 0], [2, 0], [3, 0]]),  # snapped to the first point
    ([1.5, 0], [2.005, 0], [[1.5, 0], [2, 0]]),  # end foot within epsilon of (2, 0) is dropped
    ([1.5, 0], [1.995, 0], [[1.5, 0], [1.995, 0]]),  # ... but not when (2, 0) lies ahead
])
def test_sub_path(line, start, end, points):
    result = line.sub_path(start, end)
    assert result.points == [[float(x), float(y)] for x, y in points]


@pytest.mark.parametrize("start, end", [
    ([2.5, 0], [0.5, 0]),  # end before start
    ([0.7, 0], [0.3, 0]),  # same segment, start further along
    (None, [5, 0]),  # end outside the path
    ([-1, 0], None),  # start outside the path
])
def test_sub_path_none(line, start, end):
    assert line.sub_path(start, end) is None


def test_sub_path_of_an_empty_path():
    assert Path.from_points([]).sub_path() is None


def test_sub_path_keeps_the_first_point_unless_it_coincides_with_the_second():
    close = Path.from_points([[0, 0], [0.005, 0], [1, 0]])
    assert close.sub_path().points == [[0.005, 0.0], [1.0, 0.0]]
    assert close.sub_path(epsilon=0.001).points == close.points


def test_sub_path_is_a_new_path(line):
    result = line.sub_path()
    assert result is not line and result.points == line.points


def test_epsilon_none_is_a_conversion_error(line):
    with pytest.raises(TypeError, match="epsilon"):
        line.index_from_point([1, 0], None)


def test_against_shapely():
    shapely = pytest.importorskip("shapely")
    from shapely import ops
    rng = np.random.default_rng(5)
    s = np.cumsum(rng.uniform(0.2, 0.4, 200))
    x, y = s * np.cos(s / 20.0), s * np.sin(s / 20.0)  # a gentle open curve
    path = Path.from_coordinates(x.tolist(), y.tolist())
    shape = shapely.LineString(np.column_stack([x, y]))
    for _ in range(200):
        # A point a little to the side of a segment's middle part: it is covered by that
        # segment and nearest to it, so the projection on the polyline is that foot.
        i = int(rng.integers(0, len(x) - 1))
        t = rng.uniform(0.2, 0.8)
        a, b = np.array([x[i], y[i]]), np.array([x[i + 1], y[i + 1]])
        normal = np.array([a[1] - b[1], b[0] - a[0]]) / np.linalg.norm(b - a)
        query = a + t * (b - a) + rng.uniform(-0.05, 0.05) * normal
        assert path.index_from_point(query.tolist()) == i
        assert path.path_length_from_point(query.tolist()) == pytest.approx(
            shape.project(shapely.Point(query)), abs=1e-9)
        end = shape.interpolate(min(shape.length, shape.project(shapely.Point(query)) + 3.0))
        sub = path.sub_path(query.tolist(), [end.x, end.y])
        expected = ops.substring(shape, shape.project(shapely.Point(query)), shape.project(end))
        # The same polyline, except that a foot within epsilon of its neighbouring path point
        # is left out (so at most 0.01 * sqrt(2) of length is lost at each end).
        expected_points = np.array(expected.coords)
        for point in sub.points:
            assert np.min(np.abs(expected_points - point).max(axis=1)) < 1e-9
        assert len(sub.points) >= len(expected_points) - 2
        assert -1e-9 <= expected.length - Path.from_points(sub.points).length <= 0.0283
