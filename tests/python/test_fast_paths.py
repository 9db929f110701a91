"""The fast paths give exactly what the plain ones give, and leave no trace behind."""

import gc
import math
import struct
import warnings

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

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


# ---- NumPy arrays read directly ---------------------------------------------------------------

class Iterated(np.ndarray):
    """A subclass takes the general path: its items are converted one by one."""


REAL_DTYPES = ["?", "i1", "u1", "i2", "u2", "i4", "u4", "i8", "u8", "f2", "f4", "f8"]
LAYOUTS = {
    "C": lambda a: a,
    "Fortran": np.asfortranarray,
    "reversed rows": lambda a: a[::-1],
    "swapped columns": lambda a: a[:, ::-1],
    "every other row": lambda a: np.repeat(a, 2, axis=0)[::2],
    "columns of a wider array": lambda a: np.concatenate([a[:, :1], a], axis=1)[:, 1:],
    "broadcast row": lambda a: np.broadcast_to(a[:1], a.shape),
}


def as_bits(values):
    return struct.pack(f"<{len(values)}d", *values)


def outcome_of(call):
    try:
        return "ok", call()
    except Exception as error:  # the same failure, type and text, is what is compared
        return type(error), str(error)


def bit_patterns(dtype):
    """Whole words of the dtype's width: any, small (subnormals), top of the exponent range
    (infinities and NaNs), each with either sign bit."""
    bits = 8 * dtype.itemsize
    mantissa = np.finfo(dtype).nmant if dtype.kind == "f" else bits // 2
    top = 2 ** (bits - 1)
    magnitudes = st.one_of(st.integers(0, top - 1), st.integers(0, 2 ** (mantissa + 1)),
                           st.integers(top - 2 ** (mantissa + 1), top - 1))
    return st.tuples(magnitudes, st.booleans()).map(lambda m: m[0] | (top if m[1] else 0))


@st.composite
def real_arrays(draw, dtype):
    rows = draw(st.integers(0, 6))
    if dtype.kind == "b":
        values = draw(st.lists(st.booleans(), min_size=rows * 2, max_size=rows * 2))
        source = np.array(values, dtype=bool).reshape(rows, 2)
    elif dtype == np.longdouble:  # the platform's own format: from doubles, in native order
        values = draw(st.lists(st.floats(), min_size=rows * 2, max_size=rows * 2))
        source = np.array(values, dtype=np.longdouble).reshape(rows, 2)
    else:  # bit patterns: NaN payloads, infinities, subnormals, integers beyond 2**53
        words = draw(st.lists(bit_patterns(dtype), min_size=rows * 2, max_size=rows * 2))
        source = np.array(words, dtype=f"u{dtype.itemsize}").view(dtype).reshape(rows, 2)
    source = source.astype(source.dtype.newbyteorder(draw(st.sampled_from(BYTE_ORDERS[dtype]))))
    layout = draw(st.sampled_from(sorted(LAYOUTS)))
    return LAYOUTS[layout](source) if rows else source


BYTE_ORDERS = {np.dtype(code): ["<", ">"] if np.dtype(code).itemsize > 1 else ["="]
               for code in REAL_DTYPES}
BYTE_ORDERS[np.dtype(np.longdouble)] = ["="]


@pytest.mark.parametrize("dtype", list(BYTE_ORDERS), ids=str)
@given(data=st.data())
def test_arrays_of_every_dtype_layout_and_byte_order_read_as_float_reads_each_item(dtype, data):
    array_ = data.draw(real_arrays(dtype))
    points = [[float(v) for v in row] for row in array_]
    flat = as_bits([c for row in points for c in row])
    assert as_bits([c for p in Path.from_points(array_).points for c in p]) == flat
    assert as_bits([c for p in Path.from_points(array_.view(Iterated)).points for c in p]) == flat
    path = Path.from_coordinates(array_[:, 0], array_[:, 1])
    assert as_bits([c for p in path.points for c in p]) == flat
    assert as_bits(path.x) == as_bits([p[0] for p in points])
    assert as_bits(path.y) == as_bits([p[1] for p in points])
    # Columns of unequal length or of two dtypes take the other ways into the record.
    shorter = Path.from_coordinates(array_[:, 0], array_[1:, 1])
    assert as_bits(shorter.y) == as_bits([p[1] for p in points[1:]])
    assert as_bits([c for p in shorter.points for c in p]) == as_bits(
        [c for a, b in zip(points, points[1:]) for c in (a[0], b[1])])
    mixed = Path.from_coordinates(array_[:, 0], np.array([p[1] for p in points]))
    assert as_bits([c for p in mixed.points for c in p]) == flat
    queries = path.arrays.index_from_point(array_, epsilon=0.0)
    assert queries.shape == (len(points),)
    assert queries.tolist() == [-1 if (i := path.index_from_point(p, epsilon=0.0)) is None else i
                                for p in points]


@pytest.mark.parametrize("make", [
    lambda: np.zeros((3, 3)),
    lambda: np.zeros((2, 2, 2)),
    lambda: np.array(1.0),
    lambda: np.zeros(4),
    lambda: np.array([[1 + 2j, 3 - 1j]]),
    lambda: np.array([[1, "x"]], dtype=object),
    lambda: np.array([[1.5, 2.5]], dtype=object),
    lambda: np.array([["2000-01-01", "2000-01-02"]], dtype="datetime64[D]"),
    lambda: np.zeros(1, dtype=[("x", "f8"), ("y", "f8")]),
    lambda: np.zeros((2, 2), dtype=">f16"),
])
def test_arrays_the_direct_read_refuses_give_what_the_general_path_gives(make):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # complex to float warns and keeps the real part
        builds = [lambda a: Path.from_points(a).points, lambda a: Path.from_coordinates(a, a).x]
        if make().dtype.kind not in "biuf":  # the view tells real arrays the shape it expects
            builds.append(lambda a: Path([(0, 0), (1, 0)]).arrays.index_from_point(a).tolist())
        for build in builds:
            assert outcome_of(lambda: build(make())) == outcome_of(
                lambda: build(make().view(Iterated)))


def test_subclasses_keep_their_own_items():
    class Doubled(np.ndarray):
        def __iter__(self):
            return iter(np.asarray(self) * 2)

    source = np.array([[1.0, 2.0], [3.0, 4.0]])
    assert Path.from_points(source.view(Doubled)).points == [[2.0, 4.0], [6.0, 8.0]]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", PendingDeprecationWarning)
        matrix = np.matrix(source)
    with pytest.raises(ValueError, match=r"expected a sequence of length 2 \(got 1\)"):
        Path.from_points(matrix)  # a matrix row is a (1, 2) matrix
    masked = np.ma.masked_array(source[0], mask=[False, True])
    with pytest.warns(UserWarning, match="masked element to nan"):
        x = Path.from_coordinates(masked, [0.0, 0.0]).x
    assert x[0] == 1.0 and math.isnan(x[1])  # not the 2.0 stored under the mask
