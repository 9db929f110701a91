"""Points at arc lengths (PathArrays.interpolate) and from Frenet coordinates (from_frenet),
against resampled_path, numpy.interp and literal NumPy references of their rules."""

import numpy as np
import pytest
from hypothesis import assume, given
from hypothesis import strategies as st

from ordavin import Path, ResamplingType

Cubic, Linear = ResamplingType.Cubic, ResamplingType.Linear
EPS = np.finfo(float).eps


def bits(a):
    return np.ascontiguousarray(a, dtype=float).view(np.int64)


def resampler_stations(length, count):
    # The sample lengths of resampled_path: k * step from 0, the last one the length itself
    # (numpy.linspace gives [0.0] for one sample, the resampler the length).
    stations = np.arange(count) * (length / (count - 1)) if count > 1 else np.zeros(1)
    stations[-1] = length
    return stations


coordinate = st.integers(-40, 40).map(lambda k: k / 8.0) | st.floats(-1e3, 1e3)
# Random polylines with repeated points (consecutive and not) now and then.
polylines = st.lists(st.tuples(coordinate, coordinate), min_size=1, max_size=30).flatmap(
    lambda points: st.lists(st.sampled_from(range(len(points))), max_size=len(points) // 3).map(
        lambda repeats: [p for i, p in enumerate(points) for _ in range(1 + repeats.count(i))]))


@st.composite
def paths(draw):
    points = draw(polylines)
    if draw(st.booleans()):
        return Path.from_points(points)
    # Coordinate lists of unequal length: each keeps entries past the paired ones.
    x, y = [p[0] for p in points], [p[1] for p in points]
    x += draw(st.lists(coordinate, max_size=3))
    y += draw(st.lists(coordinate, max_size=3))
    return Path.from_coordinates(x, y)


@given(paths(), st.integers(1, 60), st.sampled_from([Linear, Cubic]), st.randoms())
def test_interpolate_at_the_resampler_stations_is_resampled_path_bit_for_bit(
        path, count, kind, random):
    stations = resampler_stations(path.arrays.length, count)
    expected = bits(path.resampled_path(count, kind).arrays.points)
    assert np.array_equal(bits(path.arrays.interpolate(stations, kind)), expected)
    # In any order, by bisection instead of the moving lower bound, the same bits.
    order = np.arange(count)
    random.shuffle(order)
    shuffled = path.arrays.interpolate(stations[order], resampling_type=kind)
    assert np.array_equal(bits(shuffled), expected[order])


@given(paths(), st.lists(st.floats(-0.5, 1.5) | st.just(np.nan), max_size=40),
       st.sampled_from([Linear, Cubic]), st.randoms())
def test_stations_in_order_and_shuffled_give_the_same_bits(path, fractions, kind, random):
    length = path.arrays.length
    # Stations on the vertices, between them, outside [0, L] and NaN.
    stations = np.sort(np.concatenate([np.array(fractions) * length,
                                       path.arrays.path_length_per_point]))
    in_order = path.arrays.interpolate(stations, kind)
    order = np.arange(len(stations))
    random.shuffle(order)
    assert np.array_equal(bits(path.arrays.interpolate(stations[order], kind)), bits(in_order)[order])
    # Outside [0, L] the end points themselves, as numpy.interp gives them.
    points = path.arrays.points
    assert np.array_equal(in_order[stations < 0], np.broadcast_to(points[0], in_order[stations < 0].shape))
    assert np.array_equal(in_order[stations > length],
                          np.broadcast_to(points[-1], in_order[stations > length].shape))
    assert np.isnan(in_order[np.isnan(stations)]).all()


@given(polylines, st.lists(st.floats(-0.5, 1.5), min_size=1, max_size=40))
def test_linear_interpolate_is_numpy_interp_on_numpy_cumulative_lengths(points, fractions):
    points = np.array(points, dtype=float)
    lengths = np.concatenate([[0.0], np.cumsum(np.sqrt((np.diff(points, axis=0) ** 2).sum(axis=1)))])
    # Without repeated points numpy.interp and the spline pick the same segment everywhere.
    assume(len(points) >= 2 and np.all(np.diff(lengths) > 0))
    stations = np.array(fractions) * lengths[-1]
    expected = np.column_stack([np.interp(stations, lengths, points[:, 0]),
                                np.interp(stations, lengths, points[:, 1])])
    actual = Path.from_points(points).arrays.interpolate(stations)
    # Both interpolate linearly on the same segment, in different forms (u b + (1 - u) a here,
    # a + slope (s - s_k) there): each is within a couple of rounding errors of the exact value
    # at the path's scale, so they agree to a few units in the last place of that scale.
    scale = np.abs(points).max()
    assert np.all(np.abs(actual - expected) <= 8 * EPS * scale)
    outside = (stations < 0) | (stations > lengths[-1])
    assert np.array_equal(actual[outside], expected[outside])


def frenet_reference(points, s, d):
    """The rule of from_frenet written out in NumPy, pair by pair."""
    points = np.asarray(points, dtype=float).reshape(-1, 2)
    s, d = np.broadcast_arrays(np.asarray(s, dtype=float), np.asarray(d, dtype=float))
    delta = np.diff(points, axis=0)
    segment = np.sqrt(delta[:, 0] * delta[:, 0] + delta[:, 1] * delta[:, 1])
    positive = np.flatnonzero(segment > 0)
    if len(positive) == 0:
        return np.full(s.shape + (2,), np.nan)
    lengths = np.concatenate([[0.0], np.cumsum(segment)])
    k = np.clip(np.searchsorted(lengths, s, side="right") - 1, positive[0], positive[-1])
    a, (dx, dy), length = points[k], delta[k].T, segment[k]
    t = (s - lengths[k]) / length
    across = d / length
    return np.stack([(a[..., 0] + t * dx) - across * dy, (a[..., 1] + t * dy) + across * dx], axis=-1)


@given(polylines, st.lists(st.floats(-0.5, 1.5) | st.just(np.nan), max_size=30),
       st.floats(-50, 50) | st.just(np.nan))
def test_from_frenet_is_its_rule_bit_for_bit(points, fractions, offset):
    path = Path.from_points(points)
    # On every vertex (and so on the repeated ones), between them, outside and NaN.
    s = np.concatenate([path.arrays.path_length_per_point, np.array(fractions) * path.arrays.length])
    d = np.resize(np.array([offset, -1.5, 0.0]), s.shape)
    expected = frenet_reference(points, s, d)
    assert np.array_equal(bits(path.arrays.from_frenet(s, d)), bits(expected))
    assert np.array_equal(bits(path.arrays.from_frenet(s, offset)),
                          bits(frenet_reference(points, s, offset)))
    if np.isfinite(offset) and not np.isnan(expected).all():
        assert np.isfinite(path.arrays.from_frenet(s[~np.isnan(s)], offset)).all()


@given(polylines, st.floats(0.05, 0.95), st.floats(-1.0, 1.0), st.data())
def test_from_frenet_is_undone_by_the_projection_onto_its_segment(points, where, offset, data):
    points = np.array(points, dtype=float)
    assume(len(points) >= 2)
    k = data.draw(st.integers(0, len(points) - 2))
    assume(np.any(points[k + 1] != points[k]))
    path = Path.from_points(points)
    lengths = path.arrays.path_length_per_point
    s = lengths[k] + where * (lengths[k + 1] - lengths[k])
    assume(lengths[k] < s < lengths[k + 1])
    scale = np.abs(points).max() + 1.0
    d = offset * scale
    p = path.arrays.from_frenet(s, d)
    # The projection rule of the locating methods, on segment k.
    a, b = points[k], points[k + 1]
    dx, dy = b - a
    den = dx * dx + dy * dy
    t = ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / den
    foot = a + t * np.array([dx, dy])
    sign = 1.0 if dx * (p[1] - a[1]) - dy * (p[0] - a[0]) >= 0 else -1.0
    assert abs(lengths[k] + np.sqrt(den) * t - s) <= 16 * EPS * scale
    assert abs(sign * np.hypot(*(foot - p)) - d) <= 16 * EPS * scale


@pytest.mark.parametrize("points", [[], [[1.0, 2.0]], [[1.0, 2.0]] * 3])
def test_without_a_direction_from_frenet_is_nan_and_interpolate_the_point(points):
    view = Path.from_points(points).arrays
    assert np.isnan(view.from_frenet([-1.0, 0.0, 1.0], 0.0)).all()
    expected = np.full((3, 2), np.nan) if not points else np.array([points[0]] * 3)
    for kind in (Linear, Cubic):
        assert np.array_equal(view.interpolate([-1.0, 0.0, 1.0], kind), expected, equal_nan=True)


STATIONS = [0.5, [0.5, 2.5], [[0.5, 1.0, 2.0], [3.0, 0.0, -1.0]]]


@pytest.mark.parametrize("given_as", [
    lambda s: s,
    lambda s: np.asarray(s),
    lambda s: np.asarray(s, dtype=np.float32),
    lambda s: np.asarray(s).T.copy().T,  # Fortran order
    lambda s: np.repeat(np.asarray(s, dtype=">f8")[..., None], 2, axis=-1)[..., 0],  # strided
])
@pytest.mark.parametrize("stations", STATIONS)
def test_any_array_like_of_any_shape_gives_points_of_its_shape(given_as, stations):
    view = Path.from_points([[0, 0], [2, 0], [2, 2]]).arrays
    flat = np.ravel(np.asarray(stations, dtype=float)).tolist()
    expected_shape = np.shape(stations) + (2,)
    result = view.interpolate(given_as(stations))
    assert result.shape == expected_shape and result.dtype == np.float64
    assert np.array_equal(result.reshape(-1, 2), view.interpolate(flat))
    # d broadcasts against s: each offset moves the point at s along the normal.
    frenet = view.from_frenet(given_as(stations), np.array([[[1.0]], [[-1.0]]]))
    assert frenet.shape == (2,) + np.broadcast_shapes(np.shape(stations), (1, 1)) + (2,)
    assert np.array_equal(frenet[0].reshape(-1, 2), view.from_frenet(flat, 1.0))


@pytest.mark.parametrize("call, error, message", [
    (lambda v: v.interpolate("a"), TypeError, "argument 's': must be real number, not str"),
    (lambda v: v.interpolate([[1.0], [1.0, 2.0]]), ValueError,
     "inconsistent nesting in 's': s[1] holds 2 entries, while s[0] holds 1"),
    (lambda v: v.interpolate([[1.0], 2.0]), ValueError,
     "inconsistent nesting in 's': s[1] is not a sequence, while s[0] holds 1 entry"),
    (lambda v: v.interpolate([[1.0, [2.0]]]), ValueError,
     "inconsistent nesting in 's': s[0][1] is a sequence, while s[0][0] is a number"),
    (lambda v: v.interpolate([1.0], 1), TypeError,
     "argument 'resampling_type': 'int' object cannot be converted to 'ResamplingType'"),
    (lambda v: v.from_frenet([1.0], d=[[None]]), TypeError,
     "argument 'd': must be real number, not NoneType"),
    (lambda v: v.from_frenet([1.0, 2.0], [1.0, 2.0, 3.0]), ValueError,
     "'s' of shape (2,) and 'd' of shape (3,) cannot be broadcast together"),
    (lambda v: v.from_frenet(d=1.0), TypeError,
     "PathArrays.from_frenet() missing 1 required positional argument: 's'"),
])
def test_bad_arguments_name_the_argument(call, error, message):
    with pytest.raises(error) as info:
        call(Path.from_points([[0, 0], [1, 0]]).arrays)
    assert str(info.value) == message
