"""PathArrays.frenet against a literal NumPy reading of its rule, bit for bit."""

import math
import signal
import time

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

from ordavin import Path


def reference(points, queries, s_hint=None, window=math.inf):
    """The rule, query by query, with NumPy's elementwise operations over the segments."""
    points = np.asarray(points, dtype=float).reshape(-1, 2)
    queries = np.asarray(queries, dtype=float)
    shape = queries.shape[:-1]
    flat = queries.reshape(-1, 2)
    hints = None if s_hint is None else np.broadcast_to(np.asarray(s_hint, float), shape).ravel()
    s_out = np.full(len(flat), np.nan)
    d_out = np.full(len(flat), np.nan)
    k_out = np.full(len(flat), -1, dtype=np.int64)
    ax, ay = points[:-1, 0], points[:-1, 1]
    with np.errstate(all="ignore"):
        dx = points[1:, 0] - ax
        dy = points[1:, 1] - ay
        den = dx * dx + dy * dy
        lengths = np.concatenate([[0.0], np.cumsum(np.sqrt(den))])[: len(points)]
        for q, (px, py) in enumerate(flat):
            if math.isnan(px) or math.isnan(py) or len(points) == 0:
                continue
            if hints is None:
                competes = np.ones(max(len(points) - 1, 1), dtype=bool)
            else:
                low, high = hints[q] - window, hints[q] + window
                starts = lengths[:-1] if len(points) > 1 else lengths
                ends = lengths[1:] if len(points) > 1 else lengths
                competes = (ends >= low) & (starts <= high)
            if len(points) == 1:
                ox, oy = points[0, 0] - px, points[0, 1] - py
                distance = np.sqrt(ox * ox + oy * oy)
                if competes[0] and not np.isnan(distance):
                    s_out[q], d_out[q], k_out[q] = 0.0, distance, 0
                continue
            t = ((px - ax) * dx + (py - ay) * dy) / den
            t = np.where(t >= 0.0, t, 0.0)
            t = np.where(t > 1.0, 1.0, t)
            ox = ax + t * dx - px
            oy = ay + t * dy - py
            distance = np.sqrt(ox * ox + oy * oy)
            candidates = competes & ~np.isnan(distance)
            if not candidates.any():
                continue
            best = distance[candidates].min()
            k = int(np.flatnonzero(candidates & (distance == best))[0])
            cross = dx[k] * (py - ay[k]) - dy[k] * (px - ax[k])
            s_out[q] = lengths[k] + np.sqrt(den[k]) * t[k]
            d_out[q] = distance[k] if cross >= 0.0 else -distance[k]
            k_out[q] = k
    return s_out.reshape(shape), d_out.reshape(shape), k_out.reshape(shape)


def assert_same_bits(actual, expected):
    for got, want, dtype in zip(actual, expected, (np.float64, np.float64, np.int64)):
        assert got.dtype == dtype and got.shape == want.shape
        # NaN payloads aside, every entry has the reference's bits (-0.0 and 0.0 differ).
        same = (got.view(np.int64) == np.asarray(want, dtype).view(np.int64)) | (
            np.isnan(got) & np.isnan(want) if dtype == np.float64 else False)
        assert same.all(), (got[~same], np.asarray(want)[~same])


SPECIAL = [math.nan, math.inf, -math.inf]
scales = st.sampled_from([1e-300, 1e-3, 1.0, 7.0, 1e5, 1e150, 1e300])
# A coarse grid makes equal distances, repeated points and paths that pass a place twice common.
grid = st.integers(-3, 3)


@st.composite
def grid_paths(draw, max_size=40):
    scale = draw(scales)
    vertices = draw(st.lists(st.tuples(grid, grid), max_size=max_size))
    points = [[x * scale, y * scale] for x, y in vertices]
    for _ in range(draw(st.integers(0, 2))):
        if points:
            at = draw(st.integers(0, len(points) - 1))
            points[at][draw(st.integers(0, 1))] = draw(st.sampled_from(SPECIAL))
    return points, scale


@st.composite
def grid_queries(draw, scale):
    count = draw(st.integers(0, 30))
    halves = st.tuples(st.integers(-8, 8), st.integers(-8, 8))
    queries = [[x * scale / 2, y * scale / 2] for x, y in draw(st.lists(halves, min_size=count,
                                                                        max_size=count))]
    for _ in range(draw(st.integers(0, 2))):
        if queries:
            queries[draw(st.integers(0, len(queries) - 1))][0] = draw(st.sampled_from(SPECIAL))
    return queries


@given(st.data())
def test_exactly_the_rule_on_small_paths(data):
    points, scale = data.draw(grid_paths())
    queries = data.draw(grid_queries(scale))
    path = Path.from_points(points)
    arrays = np.array(queries, dtype=float).reshape(-1, 2)
    assert_same_bits(path.arrays.frenet(arrays), reference(points, arrays))
    # Any order of the queries gives each one the same answer.
    order = np.array(data.draw(st.permutations(range(len(arrays)))), dtype=np.int64)
    assert_same_bits(path.arrays.frenet(arrays[order]), reference(points, arrays[order]))
    # A window around per-query hints, and one around a single hint for all.
    hints = np.array(data.draw(st.lists(st.integers(-2, 40), min_size=len(arrays),
                                        max_size=len(arrays))), dtype=float) * scale
    window = data.draw(st.sampled_from([0.0, 0.5, 3.0, math.inf])) * scale
    assert_same_bits(path.arrays.frenet(arrays, hints, window),
                     reference(points, arrays, hints, window))
    assert_same_bits(path.arrays.frenet(arrays, s_hint=2 * scale),
                     reference(points, arrays, 2 * scale))


@pytest.mark.heavy
@given(st.integers(0, 2**32 - 1), st.sampled_from([1e-300, 1.0, 1e120]),
       st.integers(0, 3), st.booleans())
def test_exactly_the_rule_on_long_paths(seed, scale, specials, windowed):
    # Past the segment index's leaves and levels: a wandering walk on a grid (ties, loops,
    # repeated points), sometimes with NaN or infinite vertices, queried near and far.
    rng = np.random.default_rng(seed)
    points = np.cumsum(rng.integers(-1, 2, size=(3000, 2)), axis=0).astype(float) * scale
    for _ in range(specials):
        points[rng.integers(0, len(points)), rng.integers(0, 2)] = rng.choice(SPECIAL)
    near = points[rng.integers(0, len(points), 300)] + rng.integers(-4, 5, (300, 2)) * scale / 4
    far = rng.normal(size=(20, 2)) * 1e3 * scale
    queries = np.concatenate([near, far])
    path = Path.from_points(points)
    if windowed:
        hints = rng.uniform(0, 4000, len(queries)) * scale
        result = path.arrays.frenet(queries, hints, 40 * scale)
        expected = reference(points, queries, hints, 40 * scale)
    else:
        result, expected = path.arrays.frenet(queries), reference(points, queries)
    assert_same_bits(result, expected)


def test_the_outer_corner_where_index_from_point_looks_far_away():
    path = Path.from_points([(0, 0), (10, 0), (10, 10), (30, 10), (30, -20)])
    fix = [10.5, -0.5]
    assert path.arrays.index_from_point(fix) == 2  # the only segment whose foot is inside it
    assert path.arrays.path_length_from_point(fix) == 20.5
    s, d, index = path.arrays.frenet(fix)
    # The corner (10, 0), the end of segment 0 and the start of segment 1: the lower index.
    assert (s, d, index) == (10.0, -math.hypot(0.5, 0.5), 0)
    assert (s.shape, d.shape, index.shape) == ((), (), ())


def test_shapes_degenerate_paths_and_hints():
    square = Path.from_points([(0, 0), (1, 0), (1, 1), (0, 1), (0, 0)])
    queries = np.array([[[0.5, 0.1], [0.9, 0.5]], [[0.5, 2.0], [math.nan, 0.0]]])
    s, d, index = square.arrays.frenet(queries, s_hint=[[0.0], [2.5]], window=0.6)
    assert s.shape == d.shape == index.shape == (2, 2)
    expected = reference(square.arrays.points, queries, [[0.0], [2.5]], 0.6)
    assert_same_bits((s, d, index), expected)
    assert index.tolist() == [[0, 0], [2, -1]]  # (0.9, 0.5) only near its hint's segment 0
    empty = Path.from_points([]).arrays.frenet([[0.0, 0.0]])
    assert np.isnan(empty[0]).all() and np.isnan(empty[1]).all() and empty[2].tolist() == [-1]
    one = Path.from_points([(1.0, 1.0)]).arrays.frenet([[4.0, 5.0], [1.0, 1.0]])
    assert [a.tolist() for a in one] == [[0.0, 0.0], [5.0, 0.0], [0, 0]]
    assert [a.shape for a in square.arrays.frenet(np.empty((0, 2)))] == [(0,)] * 3


@pytest.mark.parametrize("arguments, error, message", [
    (dict(window=1.0), ValueError, "argument 'window': given without 's_hint'"),
    (dict(s_hint=[1.0, 2.0, 3.0]), ValueError,
     "argument 's_hint': shape (3,) does not broadcast to the queries' shape (2,)"),
    (dict(s_hint=[[1.0, 2.0]]), ValueError,
     "argument 's_hint': shape (1, 2) does not broadcast to the queries' shape (2,)"),
    (dict(s_hint=1.0, window=-1.0), ValueError,
     "argument 'window': must be a number at least 0 (got -1.0)"),
    (dict(s_hint=1.0, window=math.nan), ValueError, "argument 'window': must be a number"),
    (dict(s_hint=object()), TypeError, "argument 's_hint': must be real number, not object"),
    (dict(s_hint=["a", "b"]), ValueError, "argument 's_hint': could not convert string"),
    (dict(s_hint=1.0, window=None), TypeError, "argument 'window': must be real number"),
])
def test_arguments_are_named_in_errors(arguments, error, message):
    path = Path.from_points([(0, 0), (1, 0)])
    with pytest.raises(error) as raised:
        path.arrays.frenet([[0.0, 1.0], [0.5, 0.5]], **arguments)
    assert str(raised.value).startswith(message)


def test_points_are_named_in_errors():
    with pytest.raises(TypeError, match="^argument 'points': "):
        Path.from_points([(0, 0), (1, 0)]).arrays.frenet([["a", 1.0]])


@pytest.mark.parametrize("method", ["frenet", "path_length_from_point"])
def test_a_signal_stops_queries_that_every_segment_is_as_near_to(method):
    # At the centre of a circle each query costs about a scan of the million segments: the
    # whole batch would take many seconds, and the handler's exception ends it early.
    angle = np.linspace(0.0, 2.0 * np.pi, 1_000_000)
    circle = Path.from_points(np.column_stack((np.cos(angle), np.sin(angle))))
    centre = np.random.default_rng(0).normal(0.0, 1e-9, (5000, 2))
    getattr(circle.arrays, method)(centre[:8])  # the index and lengths, before the timer

    def interrupt(signum, frame):
        raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, interrupt)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.2)
        begin = time.monotonic()
        with pytest.raises(KeyboardInterrupt):
            getattr(circle.arrays, method)(centre)
        assert time.monotonic() - begin < 10.0
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
