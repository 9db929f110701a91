"""Hostile arguments: objects that raise, lie or mutate while they are converted, odd arrays,
non-finite values and extreme indices. Each call ends in the documented exception or a correct
result, and the receiving path is unchanged afterwards."""

import math
import os
import subprocess
import sys

import numpy as np
import pytest

from ordavin import Path, ResamplingType

LINE = [[0.0, 0.0], [1.0, 0.0], [2.0, 0.0], [3.0, 0.0]]
INF = math.inf
NAN = math.nan


def snapshot(path):
    """Everything observable about a path, compared with NaN counted equal to NaN."""
    return repr([path.points, path.x, path.y, path.path_length_per_point, path.orientation,
                 path.unit_tangent_vector, path.curvature])


def outcome(call):
    try:
        return call()
    except BaseException as error:  # noqa: BLE001 - PanicException derives from BaseException
        return error


def is_panic(value):
    return type(value).__name__ == "PanicException"


@pytest.fixture
def line():
    path = Path.from_points(LINE)
    before = snapshot(path)
    yield path
    assert snapshot(path) == before


# ---- objects that misbehave while converted --------------------------------------------------


class FloatReturns:
    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


class IndexReturns:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Raises:
    def __init__(self, error):
        self.error = error

    def __float__(self):
        raise self.error

    def __index__(self):
        raise self.error


@pytest.mark.parametrize(
    "call, error_type, message",
    [
        (lambda p: p.index_from_point([0, 0], FloatReturns("x")), TypeError,
         "argument 'epsilon': FloatReturns.__float__ returned non-float (type str)"),
        (lambda p: Path.from_coordinates([FloatReturns(None)], [0]), TypeError,
         "argument 'x': FloatReturns.__float__ returned non-float (type NoneType)"),
        (lambda p: p.find_circle_segments(IndexReturns(1.5), 2), TypeError,
         "argument 'start': __index__ returned non-int (type float)"),
        (lambda p: p.resampled_path(IndexReturns(-1)), OverflowError, None),
        (lambda p: p.find_circle_segments(0, Raises(LookupError("gone"))), LookupError, "gone"),
        (lambda p: p.smoothed_path(Raises(ZeroDivisionError("zero"))), ZeroDivisionError, "zero"),
        (lambda p: p.sub_path([0, Raises(TypeError("inner"))]), TypeError,
         "argument 'start': inner"),
    ],
)
def test_conversion_hooks_that_raise_or_lie(line, call, error_type, message):
    error = outcome(lambda: call(line))
    assert type(error) is error_type
    if message is not None:
        assert str(error) == message
    assert not str(error).startswith("argument") or error_type is TypeError


def test_base_exception_from_a_hook_passes_unchanged(line):
    error = outcome(lambda: line.index_from_point([Raises(KeyboardInterrupt()), 0]))
    assert type(error) is KeyboardInterrupt


def test_float_subclass_result_is_accepted(line):
    class Sub(float):
        pass

    with pytest.warns(DeprecationWarning):
        assert line.index_from_point([FloatReturns(Sub(1.5)), 0.2]) == 1


def test_item_conversion_that_empties_the_outer_point_list():
    points = [[0.0, 0.0], None, [2.0, 0.0]]

    class Clearing:
        def __float__(self):
            points.clear()
            return 1.0

    points[1] = [Clearing(), 0.0]
    assert Path.from_points(points).points == [[0.0, 0.0], [1.0, 0.0]]


def test_conversion_may_call_the_receiver_again(line):
    class Reentrant:
        def __float__(self):
            assert line.sub_path() is not None and line.length == 3.0
            return 0.01

    assert line.index_from_point([1.5, 0.2], Reentrant()) == 1


class Point:
    """A sequence of two items whose length and items can be made to lie or fail."""

    def __init__(self, length=2, items=(1.0, 0.0), item_error=None):
        self.length, self.items, self.item_error = length, items, item_error

    def __len__(self):
        if isinstance(self.length, BaseException):
            raise self.length
        return self.length

    def __getitem__(self, i):
        if self.item_error is not None:
            raise self.item_error
        return self.items[i]


@pytest.mark.parametrize(
    "point, error_type",
    [
        (Point(length=2, items=(1.0,)), IndexError),
        (Point(item_error=KeyError("k")), KeyError),
        (Point(length=RuntimeError("len")), RuntimeError),
        (Point(length=-1), ValueError),
        (Point(length=2**63), OverflowError),
        (Point(length=2**40), ValueError),
    ],
)
def test_points_whose_length_or_items_fail(line, point, error_type):
    assert type(outcome(lambda: line.index_from_point(point))) is error_type
    assert type(outcome(lambda: Path.from_points([point]))) is error_type


def test_point_whose_length_lies_up_to_two_is_read_by_index(line):
    assert line.index_from_point(Point(items=[1.5, 0.2, 99.0])) == 1


@pytest.mark.parametrize(
    "value, type_name",
    [(iter([0.0, 1.0]), "list_iterator"), ((v for v in [0.0]), "generator"),
     (frozenset([1.0]), "frozenset"), (None, "NoneType"), (1.5, "float")],
)
def test_float_lists_refuse_iterators_and_non_sequences(value, type_name):
    error = outcome(lambda: Path.from_coordinates([0.0], value))
    assert type(error) is TypeError
    assert str(error) == f"argument 'y': '{type_name}' object cannot be converted to 'Sequence'"


def test_subclasses_of_list_and_tuple_go_through_their_own_iteration():
    class Points(tuple):
        def __iter__(self):
            return iter([[5.0, 6.0]])

    class Lying(list):
        def __len__(self):
            return 10**12

    assert Path.from_points(Points([[0, 0], [1, 1]])).points == [[5.0, 6.0]]
    assert Path.from_points(Lying([[0, 1], [2, 3]])).points == [[0.0, 1.0], [2.0, 3.0]]


# ---- numpy arrays ----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "make",
    [
        lambda a: a.astype(np.int64),
        lambda a: a.astype(np.float32),
        lambda a: a.astype(np.float16),
        lambda a: a.astype(">f8"),
        lambda a: a.astype(object),
        lambda a: a.astype(bool).astype(np.uint8),
        lambda a: np.repeat(a, 2, axis=1)[:, ::2],
        lambda a: np.repeat(a, 2, axis=0)[::2],
        lambda a: np.asfortranarray(a),
        lambda a: np.require(a, requirements="C").copy().view(np.float64)[:],
    ],
)
def test_point_arrays_of_any_dtype_and_layout(make):
    source = np.array([[0.5, -1.0], [2.0, 3.0], [7.0, -0.0]])
    array_ = make(source)
    assert Path.from_points(array_).points == array_.astype(np.float64).tolist()


def test_read_only_and_empty_arrays():
    array_ = np.array([[1.0, 2.0], [3.0, 4.0]])
    array_.flags.writeable = False
    assert Path.from_points(array_).points == [[1.0, 2.0], [3.0, 4.0]]
    assert Path.from_points(np.zeros((0, 2))).points == []
    assert Path.from_coordinates(np.zeros(0), np.zeros(0)).x == []


@pytest.mark.parametrize(
    "array_, error_type",
    [
        (np.zeros((3, 3)), ValueError),
        (np.zeros((3, 1)), ValueError),
        (np.zeros(4), TypeError),
        (np.float64(2.0), TypeError),
        (np.array(2.0), TypeError),
        (np.array([["a", "b"]]), TypeError),
    ],
)
def test_point_arrays_of_wrong_shape_or_dtype(array_, error_type):
    error = outcome(lambda: Path.from_points(array_))
    assert type(error) is error_type
    if error_type is TypeError:
        assert str(error).startswith("argument 'points': ")


@pytest.mark.parametrize("array_", [np.zeros((3, 2)), np.array(1.0), np.array(["1"])])
def test_coordinate_arrays_of_wrong_shape(array_):
    error = outcome(lambda: Path.from_coordinates(array_, [0.0]))
    assert type(error) is TypeError and str(error).startswith("argument 'x': ")


def test_coordinate_arrays_of_other_dtypes_and_strides():
    values = np.array([3.0, -1.5, 0.25, 8.0])
    for array_ in [values.astype(np.int8), values[::-2], values.astype(">f8"), values[None, :][0]]:
        assert Path.from_coordinates(array_, array_).x == array_.astype(float).tolist()


# ---- sizes and indices -----------------------------------------------------------------------


class ResizesWhenRead:
    """A number whose conversion resizes (and so reallocates) an array given earlier."""

    def __init__(self, array_):
        self.array = array_

    def __float__(self):
        self.array.resize(64 * self.array.size, refcheck=False)
        return 1.0


@pytest.mark.parametrize("make", [lambda x, y: Path(x=x, y=y), Path.from_coordinates])
def test_a_path_holds_what_each_array_held_when_it_was_converted(make):
    x = np.array([5.0, 6.0, 7.0])
    path = make(x, [ResizesWhenRead(x), 2.0, 3.0])
    assert x.size == 192  # the conversion of y did resize x
    assert path.x == [5.0, 6.0, 7.0] and path.y == [1.0, 2.0, 3.0]


def test_from_frenet_reads_s_before_converting_d_can_change_it():
    s = np.array([1.0, 5.0, 12.0])
    points = Path([(0, 0), (10, 0), (10, 10)]).arrays.from_frenet(s, [ResizesWhenRead(s), 0, 0])
    assert s.size == 192
    assert points.tolist() == [[1.0, 1.0], [5.0, 0.0], [10.0, 2.0]]


def unaligned(values):
    """A C-contiguous, native float64 array that starts one byte into its memory."""
    raw = np.zeros(values.size * 8 + 1, dtype=np.uint8)
    array_ = np.frombuffer(raw.data, dtype=np.float64, count=values.size, offset=1)
    array_ = array_.reshape(values.shape)
    raw[1:] = np.frombuffer(np.ascontiguousarray(values, dtype=np.float64).tobytes(), np.uint8)
    assert not array_.flags.aligned and array_.flags.c_contiguous
    return array_


def test_unaligned_arrays_read_like_aligned_ones():
    points = np.array([[0.5, -1.0], [2.0, 3.0], [7.0, -0.0], [1e300, 5e-324]])
    path = Path.from_points(unaligned(points))
    assert path.points == points.tolist()
    assert Path(x=unaligned(points[:, 0]), y=unaligned(points[:, 1])).points == points.tolist()
    assert Path.from_points(memoryview(unaligned(points))).points == points.tolist()
    queries = points[:3] + 0.25
    assert (path.arrays.path_length_from_point(unaligned(queries)).tobytes() ==
            path.arrays.path_length_from_point(queries).tobytes())


def test_memory_error_says_what_was_asked_for(line):
    error = outcome(lambda: line.resampled_path(10**12))
    assert type(error) is MemoryError
    assert str(error) == "resampled_path: 1000000000000 points need 32.0 TB"
    error = outcome(lambda: Path.from_points(np.broadcast_to([1.0, 2.0], (2**50, 2))))
    assert type(error) is MemoryError and str(error) == "1125899906842624 points need 18.0 PB"


@pytest.mark.heavy
@pytest.mark.skipif(bool(os.environ.get("ORDAVIN_EXPECT_ASAN")),
                    reason="AddressSanitizer reserves far more address space than any limit")
def test_a_batch_is_refused_for_what_it_needs_at_its_peak_not_for_its_queries_alone():
    # 3 * 10**7 broadcast queries read into 480 MB of points, which the limit allows; the
    # batch needs three times that at its peak, which it does not.
    code = """
import resource
import numpy as np
from ordavin import Path
queries = np.broadcast_to([0.5, 0.5], (3 * 10**7, 2))
view = Path([(0, 0), (1, 0), (1, 1)]).arrays
with open("/proc/self/statm") as f:
    used = int(f.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (used + (1200 << 20), resource.RLIM_INFINITY))
for name in ["index_from_point", "path_length_from_point", "frenet"]:
    try:
        getattr(view, name)(queries)
        print("located")
    except MemoryError as error:
        print(error)
"""
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    lines = result.stdout.splitlines()
    assert len(lines) == 3, result.stdout + result.stderr
    for line, name in zip(lines, ["index_from_point", "path_length_from_point", "frenet"]):
        assert line.startswith(f"{name}: 30000000 points need "), line


@pytest.mark.parametrize("count", [10**12, 2**64 - 1, 2**63])
def test_impossible_point_counts_raise_memory_error(line, count):
    assert type(outcome(lambda: line.resampled_path(count))) is MemoryError
    assert type(outcome(lambda: line.resampled_path(count, ResamplingType.Cubic))) is MemoryError


def test_point_count_beyond_64_bits_overflows(line):
    assert type(outcome(lambda: line.resampled_path(2**64))) is OverflowError


@pytest.mark.parametrize(
    "start, end, expected",
    [
        (2**64 - 3, 2**64 - 1, [(2**64 - 3, 2**64 - 1, 0.0)]),
        (2**64 - 1, 2**64 - 1, [(2**64 - 1, 2**64 - 1, 0.0)]),
        (2**64 - 4, 2**64 - 1, "panic"),
        (0, 2**64 - 1, "panic"),
        (2**64 - 1, 0, "panic"),
        (2**64, 2**64, OverflowError),
        (0, 2**64, OverflowError),
    ],
)
def test_extreme_indices(line, start, end, expected):
    result = outcome(lambda: line.find_circle_segments(start, end))
    if expected == "panic":
        assert is_panic(result)
    elif isinstance(expected, type):
        assert type(result) is expected
    else:
        assert result == expected


# ---- non-finite values -----------------------------------------------------------------------

SPECIAL = [NAN, INF, -INF, 1e308, -1e308, 5e-324, -0.0]


@pytest.mark.parametrize("value", SPECIAL)
def test_special_epsilon(line, value):
    # The tolerance only decides the snapping to the end points; NaN or a negative one snaps
    # nothing, and the segment search has no tolerance.
    assert line.index_from_point([1.5, 0.2], value) == (0 if value >= 1.5 else 1)
    # The last point is covered by no segment (t = 1), so only a snap locates it; a snap to
    # the first point adds the distance along the first segment, 3.0 as well.
    assert line.path_length_from_point([3.0, 0.0], value) == (3.0 if value >= 0 else None)
    assert line.index_from_point([0.0, 0.0], value) == 0


@pytest.mark.parametrize("value", SPECIAL)
def test_special_max_rmse(value):
    arc = Path.from_points([[math.cos(t), math.sin(t)] for t in np.linspace(0, 2, 9)])
    before = snapshot(arc)
    segments = arc.find_circle_segments(0, 9, value)
    curvature = arc.compute_circle_fit_curvature(value)
    assert segments[0][0] == 0 and segments[-1][1] == 9
    assert all(a[1] == b[0] for a, b in zip(segments, segments[1:]))
    assert len(curvature) == 9 and all(c >= 0 for c in curvature)
    if value >= 1e-3:
        assert segments == [(0, 9, pytest.approx(1.0))]
    elif not value >= 0:
        assert all(end - start <= 2 and k == 0.0 for start, end, k in segments)
    assert snapshot(arc) == before


@pytest.mark.parametrize("value", [NAN, INF, -INF, 1e308])
def test_special_max_deviation(value):
    path = Path.from_points([[0, 0], [1, 1], [2, 0], [3, 1]])
    before = snapshot(path)
    result = outcome(lambda: path.smoothed_path(value))
    if isinstance(result, Path):
        assert len(result.points) == 4
        assert result.points[0] == pytest.approx([0.0, 0.0], abs=1e-6)
    else:
        assert is_panic(result), repr(result)
    assert snapshot(path) == before


@pytest.mark.parametrize("value", [NAN, INF, -INF])
@pytest.mark.parametrize("where", range(4))
def test_special_coordinates_in_every_method(value, where):
    coordinates = [0.0, 0.0, 1.0, 0.0, 2.0, 1.0]
    coordinates[where + (where > 1)] = value
    points = [coordinates[0:2], coordinates[2:4], coordinates[4:6]]
    path = Path.from_points(points)
    before = snapshot(path)
    assert len(path.path_length_per_point) == len(path.curvature) == 3
    assert not math.isfinite(path.length)
    for call in [
        lambda: path.resampled_path(5),
        lambda: path.resampled_path(5, ResamplingType.Cubic),
        lambda: path.find_circle_segments(0, 3),
        lambda: path.compute_circle_fit_curvature(),
        lambda: path.smoothed_path(0.5),
        lambda: path.index_from_point([1.0, 0.0]),
        lambda: path.path_length_from_point([1.0, 0.0]),
        lambda: path.sub_path([0.5, 0.0], [value, 1.0]),
        lambda: path.without_duplicate_points(),
    ]:
        result = outcome(call)
        assert not isinstance(result, BaseException) or is_panic(result), repr(result)
    assert snapshot(path) == before


@pytest.mark.parametrize("value", [NAN, INF, -INF])
def test_special_query_points(line, value):
    for point in ([value, 0.0], [0.0, value], [value, value]):
        assert line.index_from_point(point) is None
        assert line.path_length_from_point(point) is None
        assert line.sub_path(point) is None
        assert line.sub_path(None, point) is None


def test_conversion_that_empties_the_keyword_dict_keeps_its_argument_alive():
    # __len__ clears the very dict the constructor's keyword arguments were bound from; the
    # argument under conversion must survive it (this crashed the interpreter).
    code = """
import gc
from ordavin import Path
class Emptying:
    def __len__(self):
        for o in gc.get_objects():
            if type(o) is dict and o.get('points') is self:
                o.clear()
        return 2
    def __getitem__(self, i):
        return [[0, 0], [1, 1]][i]
    def __iter__(self):
        return iter([[0, 0], [1, 1]])
for _ in range(100):
    assert Path(**{'points': Emptying(), 'x': None}).points == [[0.0, 0.0], [1.0, 1.0]]
print('alive')
"""
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert result.returncode == 0 and result.stdout.strip() == "alive", result.stderr


@pytest.mark.parametrize("call, full_name", [
    (lambda kw: Path(**kw), "Path.__new__()"),
    (lambda kw: Path.from_points([[0, 0]], **kw), "Path.from_points()"),
    (lambda kw: Path([[0, 0], [1, 0]]).sub_path(**kw), "Path.sub_path()"),
])
@pytest.mark.parametrize("name", ["\udc80", "é", "pöints"])
def test_keyword_without_utf8_form_is_an_unexpected_keyword(call, full_name, name):
    with pytest.raises(TypeError) as caught:
        call({name: 1})
    assert str(caught.value) == f"{full_name} got an unexpected keyword argument '{name}'"


def test_subclasses_of_buffer_types_are_iterated_not_read_as_memory():
    import array
    import warnings

    import numpy.ma as ma

    masked = ma.masked_array([[0.0, 0.0], [1.0, 1.0], [2.0, 9.0]], mask=[[0, 0], [0, 0], [0, 1]])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        # Iteration turns the masked value into NaN; reading the memory leaked the 9.0.
        assert math.isnan(Path(masked).points[2][1])
    with pytest.raises(ValueError, match=r"^expected a sequence of length 2 \(got 1\)$"):
        Path(np.matrix([[0.0, 0.0], [1.0, 1.0]]))

    class OwnIteration(array.array):
        def __iter__(self):
            return iter([7.0, 8.0])

    assert Path(x=OwnIteration("d", [1.0, 2.0]), y=[0, 0]).x == [7.0, 8.0]
