"""Equidistant resampling, checked against hand-worked values, numpy.interp and scipy."""

import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from scipy.interpolate import CubicHermiteSpline

from ordavin import Path, ResamplingType

Cubic, Linear = ResamplingType.Cubic, ResamplingType.Linear
nan = math.nan


def wavy_path(seed, count=300):
    rng = np.random.default_rng(seed)
    s = np.cumsum(rng.uniform(0.05, 0.5, count))
    return np.cos(s / 4.0) * (2.0 + 0.2 * s), np.sin(s / 3.0) * (1.0 + 0.1 * s)


def samples(total_length, count):
    # np.linspace forms the same k * step + start with the end set exactly.
    return np.linspace(0.0, total_length, count)


def assert_points_equal(actual, expected):
    # Equality that treats NaN as equal to NaN.
    assert np.array_equal(np.array(actual, dtype=float), np.array(expected, dtype=float),
                          equal_nan=True), (actual, expected)


def test_cubic_on_a_straight_line():
    # The guard keys repeat the end values: the first tangent is 0.5, the last 1 / 1.01.
    path = Path.from_points([[0, 0], [1, 0], [2, 0], [3, 0]])
    resampled = path.resampled_path(7, Cubic)
    assert resampled.x == [0.0, 0.4375, 1.0, 1.5, 2.0, 2.501237623762376, 3.0]
    assert resampled.y == [0.0] * 7


def test_linear_around_a_corner():
    path = Path.from_points([[0, 0], [1, 0], [1, 1]])
    assert path.resampled_path(5, Linear).points == [
        [0.0, 0.0], [0.5, 0.0], [1.0, 0.0], [1.0, 0.5], [1.0, 1.0]]


@pytest.mark.parametrize("method", [Cubic, Linear])
def test_one_and_two_points_are_the_ends(method):
    path = Path.from_points([[0.3, 0.1], [1.7, 2.2], [4.1, -0.4], [5.5, 3.3]])
    assert path.resampled_path(1, method).points == [[5.5, 3.3]]
    assert path.resampled_path(2, method).points == [[0.3, 0.1], [5.5, 3.3]]


@pytest.mark.parametrize("method", [Cubic, Linear])
def test_single_point_path(method):
    assert Path.from_points([[2, 3]]).resampled_path(4, method).points == [[2.0, 3.0]] * 4


@pytest.mark.parametrize("method", [Cubic, Linear])
def test_repeated_points_on_a_sample(method):
    # Both keys of the repeated start sit at t = 0; the bisection stops on the first one, whose
    # interval has zero width (0 / 0). A repeated end point is hit on its second key.
    leading = Path.from_points([[0, 0], [0, 0], [1, 0]]).resampled_path(3, method)
    # Cubic middle: tangents 1 and 1 / 1.01 (the guard after the end) at u = 0.5.
    middle = 0.5 if method == Linear else 0.625 - 0.125 / 1.01
    assert_points_equal(leading.points, [[nan, nan], [middle, 0.0], [1.0, 0.0]])
    trailing = Path.from_points([[0, 0], [1, 0], [1, 0]]).resampled_path(3, Linear)
    assert trailing.points == [[0.0, 0.0], [0.5, 0.0], [1.0, 0.0]]


def test_omitted_method_is_linear():
    x, y = wavy_path(4, 50)
    path = Path.from_coordinates(x.tolist(), y.tolist())
    assert path.resampled_path(33).points == path.resampled_path(33, Linear).points
    assert path.resampled_path(33).points != path.resampled_path(33, Cubic).points


def test_unequal_coordinate_lengths_use_the_last_x_for_the_end_keys():
    # Points (0, 0), (1, 0); the end keys carry x = 9, the last entry of the whole x list.
    path = Path.from_coordinates([0, 1, 9], [0, 0])
    assert path.resampled_path(3, Linear).x == [0.0, 0.5, 1.0]
    cubic = path.resampled_path(3, Cubic).x
    # Middle sample, u = 0.5 on (0, 0) -> (1, 1): tangents 1 / 2 and (9 - 0) / 1.01.
    assert cubic[1] == pytest.approx(0.5 + 0.125 * 0.5 - 0.125 * 9.0 / 1.01, rel=1e-15)
    assert cubic[2] == 1.0


@pytest.mark.parametrize("seed", [10, 11, 12])
@pytest.mark.parametrize("count", [2, 57, 1000])
def test_linear_against_numpy_interp(seed, count):
    x, y = wavy_path(seed)
    path = Path.from_coordinates(x.tolist(), y.tolist())
    t = np.array(path.path_length_per_point)
    s = samples(t[-1], count)
    resampled = path.resampled_path(count, Linear)
    np.testing.assert_allclose(resampled.x, np.interp(s, t, x), rtol=0, atol=1e-12)
    np.testing.assert_allclose(resampled.y, np.interp(s, t, y), rtol=0, atol=1e-12)
    # The new points are equally spaced along the old polyline.
    along = [path.path_length_from_point(p, 1e-9) for p in resampled.points]
    np.testing.assert_allclose(along, s, rtol=0, atol=1e-9)


@pytest.mark.parametrize("seed", [20, 21, 22])
@pytest.mark.parametrize("count", [3, 500])
def test_cubic_against_scipy_hermite(seed, count):
    x, y = wavy_path(seed)
    path = Path.from_coordinates(x.tolist(), y.tolist())
    t = np.array(path.path_length_per_point)
    total = t[-1]
    # The same keys (with the guards) and Catmull-Rom slopes over the neighbouring keys.
    keys = np.concatenate([[-1.0], t, [total + 0.01, total + 0.02]])
    s = samples(total, count)
    resampled = path.resampled_path(count, Cubic)
    for values, actual in ((x, resampled.x), (y, resampled.y)):
        key_values = np.concatenate([[values[0]], values, [values[-1], values[-1]]])
        slopes = np.zeros_like(keys)
        slopes[1:-1] = (key_values[2:] - key_values[:-2]) / (keys[2:] - keys[:-2])
        oracle = CubicHermiteSpline(keys, key_values, slopes)
        np.testing.assert_allclose(actual, oracle(s), rtol=0, atol=1e-11)


def test_cubic_passes_through_the_points_it_samples_exactly():
    path = Path.from_points([[0, 0], [1, 1], [2, 0], [3, 1], [4, 0]])
    # Every segment has length sqrt(2): 9 samples fall on every point and every midpoint.
    resampled = path.resampled_path(9, Cubic)
    for k in range(0, 9, 2):
        assert resampled.points[k] == pytest.approx(path.points[k // 2], abs=1e-14)


def test_failures(panic):
    with panic("without points"):
        Path.from_points([]).resampled_path(3)
    with panic("zero points"):
        Path.from_points([[0, 0], [1, 0]]).resampled_path(0, Cubic)
    with panic("NaN"):
        Path.from_points([[0, 0], [nan, 0], [1, 0]]).resampled_path(5)
    with pytest.raises(MemoryError):
        Path.from_points([[0, 0], [1, 0]]).resampled_path(10**12)


def test_source_path_is_left_unchanged():
    path = Path.from_points([[0, 0], [1, 0], [1, 1]])
    before = path.points
    resampled = path.resampled_path(4, Cubic)
    assert path.points == before and resampled is not path


@pytest.mark.parametrize("method", [ResamplingType.Linear, ResamplingType.Cubic])
@pytest.mark.parametrize("far", [1e14, 2.0**47, 2.0**48, 1e150])
def test_paths_too_long_for_the_guard_offsets_keep_their_last_point(method, far):
    # From a length of 2^47 on the 0.01 guard offset vanishes in rounding (from 2^48 the 0.02
    # one too); the sample at the very end must still be the last point, not 0/0.
    points = Path.from_points([[0, 0], [0, far / 2], [0, far]]).resampled_path(5, method).points
    assert points[0] == [0.0, 0.0]
    assert points[-1] == [0.0, far]
    assert all(math.isfinite(v) for point in points for v in point)


# ---- the whole rule, written out once more in plain Python as the oracle --------------------


def literal_resampling(x, y, count, cubic):
    """The resampling rule step by step: keys added one at a time with a stable sort after each,
    plain bisection, the interpolation formulas in their order. numpy float64 scalars give the
    IEEE results for 0/0 that Python floats would raise on."""
    f = np.float64
    n = min(len(x), len(y))
    lengths = [f(0.0)]
    for i in range(1, n):
        dx, dy = f(x[i]) - f(x[i - 1]), f(y[i]) - f(y[i - 1])
        lengths.append(lengths[-1] + np.sqrt(dx * dx + dy * dy))
    total = lengths[-1]
    end = total + f(0.01)
    if not end > total:
        end = np.nextafter(total, f(np.inf))
    far = total + f(0.02)
    if not far > end:
        far = np.nextafter(end, f(np.inf))

    def spline(values):
        keys = sorted(((lengths[i], f(values[i])) for i in range(n)), key=lambda k: k[0])
        for key in ((f(-1.0), f(values[0])), (end, f(values[-1])), (far, f(values[-1]))):
            keys = sorted(keys + [key], key=lambda k: k[0])
        return keys

    def sample(keys, t):
        left, right, index = 0, len(keys), None
        while left < right:
            mid = left + (right - left) // 2
            if keys[mid][0] < t:
                left = mid + 1
            elif keys[mid][0] > t:
                right = mid
            else:
                if mid == len(keys) - 1:
                    return 0.0
                index = mid
                break
        if index is None:
            if left in (0, len(keys)):
                return 0.0
            index = left - 1
        (at, av), (bt, bv) = keys[index], keys[index + 1]
        h = bt - at
        u = (t - at) / h
        if not cubic:
            return u * bv + (f(1.0) - u) * av
        if index == 0 or index >= len(keys) - 2:
            return 0.0
        (pt, pv), (qt, qv) = keys[index - 1], keys[index + 2]
        m_a = (bv - pv) / (bt - pt) * h
        m_b = (qv - av) / (qt - at) * h
        u2 = u * u
        u3 = u2 * u
        h00, h10 = f(2.0) * u3 - f(3.0) * u2 + f(1.0), u3 - f(2.0) * u2 + u
        h01, h11 = f(3.0) * u2 - f(2.0) * u3, u3 - u2
        return h00 * av + h10 * m_a + h01 * bv + h11 * m_b

    if count == 1:
        parameters = [total]
    else:
        step = total / (f(count) - f(1.0))
        parameters = [f(0.0)] + [f(k) * step for k in range(1, count - 1)] + [total]
    x_keys, y_keys = spline(x), spline(y)
    with np.errstate(all="ignore"):
        return [[float(sample(x_keys, t)), float(sample(y_keys, t))] for t in parameters]


def assert_same_bits(actual, expected):
    actual, expected = np.array(actual, dtype=float), np.array(expected, dtype=float)
    assert actual.shape == expected.shape
    nan = np.isnan(expected)
    assert np.array_equal(np.isnan(actual), nan), (actual, expected)
    assert np.array_equal(actual[~nan].view(np.int64), expected[~nan].view(np.int64)), (
        actual, expected)


@st.composite
def grid_paths(draw):
    """Paths on a small integer grid with runs of repeated points: whole and 3-4-5 segment
    lengths put many samples exactly on key parameters, some of them shared by equal keys.
    Some paths carry an extra x coordinate beyond their last point."""
    steps = draw(st.lists(st.sampled_from([(0, 0), (1, 0), (0, 2), (3, 4), (-4, 3), (0, -1)]),
                          max_size=25))
    x, y = [draw(st.integers(-3, 3))], [draw(st.integers(-3, 3))]
    for dx, dy in steps:
        x.append(x[-1] + dx)
        y.append(y[-1] + dy)
    if draw(st.booleans()):
        # Irregular fractions break the grid, so samples fall strictly between keys too.
        x = [v + draw(st.floats(0, 0.5)) * (i % 3) for i, v in enumerate(x)]
    extra = draw(st.lists(st.integers(-9, 9), max_size=2))
    return [float(v) for v in x] + [float(v) for v in extra], [float(v) for v in y]


@given(grid_paths(), st.integers(0, 4), st.integers(1, 70), st.booleans())
def test_resampling_is_the_literal_rule_bit_for_bit(coordinates, per_unit, count, cubic):
    x, y = coordinates
    path = Path.from_coordinates(x, y)
    if per_unit:
        # Samples one unit of length apart, or a fraction of it, to hit the key parameters.
        count = int(path.length) * per_unit + 1
    expected = literal_resampling(x, y, count, cubic)
    actual = path.resampled_path(count, Cubic if cubic else Linear).points
    assert_same_bits(actual, expected)
    if len(x) == len(y):
        # The same path from points reads its coordinates off the points.
        assert_same_bits(Path.from_points(list(zip(x, y))).resampled_path(
            count, Cubic if cubic else Linear).points, expected)
