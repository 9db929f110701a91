"""Properties that hold for every path, checked on random paths including degenerate ones:
repeated points, collinear runs, a single point, huge and tiny coordinates."""

import math

import numpy as np
import pytest
from hypothesis import assume, given
from hypothesis import strategies as st

from ordavin import Path, ResamplingType

coordinate = st.one_of(
    st.floats(-1e3, 1e3, allow_nan=False),
    st.sampled_from([0.0, -0.0, 1.0, 1e-300, -1e-300, 1e150, -1e150]),
)
point = st.tuples(coordinate, coordinate).map(list)


@st.composite
def paths(draw, min_size=1, max_size=30):
    """Point lists with runs of repeated points and collinear runs mixed in."""
    points = [draw(point)]
    target = draw(st.integers(min_size, max_size))
    while len(points) < target:
        kind = draw(st.sampled_from(["free", "repeat", "collinear"]))
        if kind == "repeat":
            points.append(list(points[-1]))
        elif kind == "collinear" and len(points) >= 2:
            (ax, ay), (bx, by) = points[-2], points[-1]
            points.append([2 * bx - ax, 2 * by - ay])
        else:
            points.append(draw(point))
    assume(all(math.isfinite(v) for p in points for v in p))
    return points


def well_spaced(points, gap):
    """Drops every point closer than `gap` (per coordinate) to the one kept before it."""
    kept = [points[0]]
    for p in points[1:]:
        if abs(p[0] - kept[-1][0]) > gap or abs(p[1] - kept[-1][1]) > gap:
            kept.append(p)
    return kept


@given(paths(), st.integers(1, 40), st.sampled_from([ResamplingType.Linear, ResamplingType.Cubic]))
def test_resampling_keeps_count_and_end_points(points, count, kind):
    path = Path.from_points(points)
    assume(math.isfinite(path.length))
    result = path.resampled_path(count, kind)
    assert len(result.points) == count
    # Equal keys (repeated points, or segments so short their length underflows to 0) may
    # evaluate 0/0, and from a length of 2^47 (about 1.4e14) on the fixed end-key offsets
    # of 0.01 and 0.02 vanish in rounding; otherwise the first and last samples land exactly on the end points.
    lengths = path.path_length_per_point
    if all(a < b for a, b in zip(lengths, lengths[1:])) and path.length < 1e12:
        assert result.points[-1] == [float(v) for v in points[-1]]
        if count >= 2:
            assert result.points[0] == [float(v) for v in points[0]]


@given(st.lists(st.tuples(st.floats(0.05, 100), st.floats(-100, 100)), min_size=2, max_size=30))
def test_path_length_of_a_vertex_is_its_cumulative_length(steps):
    # x strictly increasing: a vertex lies on no segment but the one starting there (t = 0,
    # distance 0), so it is located exactly there.
    points = [[float(x), y] for x, y in zip(np.cumsum([dx for dx, _ in steps]), (y for _, y in steps))]
    path = Path.from_points(points)
    lengths = path.path_length_per_point
    for k, p in enumerate(points):
        assert path.path_length_from_point(p) == pytest.approx(lengths[k], rel=1e-12, abs=1e-12)


@given(paths(min_size=2))
def test_sub_path_without_near_duplicates_is_the_path(points):
    points = well_spaced(points, 0.05)
    assume(len(points) >= 2)
    first, last = points[0], points[-1]
    assume(abs(first[0] - last[0]) > 0.02 or abs(first[1] - last[1]) > 0.02)
    path = Path.from_points(points)
    assert path.sub_path().points == [[float(x), float(y)] for x, y in points]


@given(paths())
def test_without_duplicate_points_is_idempotent_and_drops_only_repeats(points):
    once = Path.from_points(points).without_duplicate_points()
    assert once.without_duplicate_points().points == once.points
    assert all(a != b for a, b in zip(once.points, once.points[1:]))
    assert set(map(tuple, once.points)) == set(tuple(map(float, p)) for p in points)


@given(paths(), st.floats(0.0, 2.0), st.data())
def test_arc_decomposition_tiles_the_range(points, max_rmse, data):
    path = Path.from_points(points)
    n = len(points)
    start = data.draw(st.integers(0, n))
    end = data.draw(st.integers(start, n))
    try:
        segments = path.find_circle_segments(start, end, max_rmse)
    except BaseException as error:  # noqa: BLE001 - runs of coincident points have no circle
        assert type(error).__name__ == "PanicException"
        return
    assert segments[0][0] == start and segments[-1][1] == end
    assert all(a[1] == b[0] for a, b in zip(segments, segments[1:]))
    assert all(s < e or s == e == start == end for s, e, _ in segments)
    assert all(k >= 0 for _, _, k in segments)


@given(paths(min_size=2, max_size=15), st.floats(-2.0, 2.0))
def test_smoothed_points_stay_on_their_normals(points, d):
    points = well_spaced(points, 0.05)
    assume(len(points) >= 2)
    assume(all(abs(v) < 1e4 for p in points for v in p))
    path = Path.from_points(points)
    theta = path.orientation
    result = path.smoothed_path(d).points
    assert len(result) == len(points)
    tolerance = 1e-5 * (1 + max(abs(v) for p in points for v in p))
    for k in (0, len(points) - 1):
        assert result[k] == pytest.approx(points[k], abs=tolerance)
    for k in range(1, len(points) - 1):
        dx, dy = result[k][0] - points[k][0], result[k][1] - points[k][1]
        along = dx * math.cos(theta[k]) + dy * math.sin(theta[k])
        assert abs(along) <= tolerance
        assert math.hypot(dx, dy) <= abs(d) + tolerance


@given(paths(max_size=40), st.integers(1, 30), st.floats(0.001, 1.0))
def test_numpy_fast_path_matches_the_list_path(points, count, epsilon):
    array_ = np.array(points, dtype=np.float64)
    from_list = Path.from_points(points)
    from_array = Path.from_points(array_)
    from_columns = Path.from_coordinates(np.ascontiguousarray(array_[:, 0]),
                                         np.ascontiguousarray(array_[:, 1]))
    listed = Path.from_coordinates([p[0] for p in points], [p[1] for p in points])
    for other in (from_array, from_columns):
        assert repr(other.points) == repr(from_list.points)
        assert repr(other.curvature) == repr(listed.curvature)
        assert repr(other.unit_tangent_vector) == repr(listed.unit_tangent_vector)
        assert repr(other.resampled_path(count).points) == repr(
            from_list.resampled_path(count).points)
    query = points[len(points) // 2]
    assert from_array.index_from_point(np.array(query), epsilon) == from_list.index_from_point(
        query, epsilon)
