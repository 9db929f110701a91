"""Argument binding, conversion and error reporting, shared by every method."""

import array
import gc
import math
import os
import sys

import numpy as np
import pytest

from ordavin import Path, ResamplingType

PATH = Path.from_points([[0, 0], [1, 0], [2, 0]])


def error_of(call):
    with pytest.raises(BaseException) as info:
        call()
    return info.value


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: Path.from_coordinates([0, 1]),
         "Path.from_coordinates() missing 1 required positional argument: 'y'"),
        (lambda: Path.from_coordinates(),
         "Path.from_coordinates() missing 2 required positional arguments: 'x' and 'y'"),
        (lambda: Path.from_coordinates([0], [1], [2]),
         "Path.from_coordinates() takes 2 positional arguments but 3 were given"),
        (lambda: Path.from_points([[0, 0]], [[1, 1]]),
         "Path.from_points() takes 1 positional arguments but 2 were given"),
        (lambda: Path.from_points(points=[[0, 0]], scale=2),
         "Path.from_points() got an unexpected keyword argument 'scale'"),
        (lambda: Path.from_coordinates([0], x=[1]),
         "Path.from_coordinates() got multiple values for argument 'x'"),
        (lambda: Path(1, 2, 3, 4),
         "Path.__new__() takes from 0 to 3 positional arguments but 4 were given"),
        (lambda: Path(z=1), "Path.__new__() got an unexpected keyword argument 'z'"),
        (lambda: Path([[0, 0]], points=[[1, 1]]),
         "Path.__new__() got multiple values for argument 'points'"),
        (lambda: PATH.index_from_point(),
         "Path.index_from_point() missing 1 required positional argument: 'point'"),
        (lambda: PATH.find_circle_segments(),
         "Path.find_circle_segments() missing 2 required positional arguments: 'start' and 'end'"),
        (lambda: PATH.find_circle_segments(0, 1, 0.1, 4),
         "Path.find_circle_segments() takes from 2 to 3 positional arguments but 4 were given"),
        (lambda: PATH.sub_path(1, 2, 3, 4),
         "Path.sub_path() takes from 0 to 3 positional arguments but 4 were given"),
        (lambda: PATH.smoothed_path(),
         "Path.smoothed_path() missing 1 required positional argument: 'max_deviation'"),
    ],
)
def test_binding_messages(call, message):
    error = error_of(call)
    assert type(error) is TypeError
    assert str(error) == message


def test_one_positional_too_many_says_was():
    error = error_of(lambda: PATH.resampled_path(1, ResamplingType.Linear, 3))
    assert str(error).endswith("but 3 were given")
    error = error_of(lambda: PATH.smoothed_path(1, 2))
    assert str(error) == "Path.smoothed_path() takes 1 positional arguments but 2 were given"


@pytest.mark.parametrize(
    "kwargs",
    [
        {},
        {"x": [0, 1]},
        {"y": [0, 1]},
        {"points": [[0, 0]], "x": [0]},
        {"points": [[0, 0]], "y": [1]},
        {"points": [[0, 0]], "x": [0], "y": [1]},
    ],
)
def test_constructor_combinations_refused(kwargs):
    error = error_of(lambda: Path(**kwargs))
    assert type(error) is TypeError
    assert str(error) == "Create path either from points or coordinates"


@pytest.mark.parametrize(
    "make",
    [
        lambda: Path(None, [0, 1], [2, 3]),
        lambda: Path(x=[0, 1], y=[2, 3]),
        lambda: Path(points=None, x=(0, 1), y=range(2, 4)),
        lambda: Path.from_coordinates(np.array([0.0, 1.0]), array.array("d", [2, 3])),
        lambda: Path([[0, 2], (1, 3)]),
        lambda: Path.from_points(np.array([[0, 2], [1, 3]])),
        lambda: Path.from_points(np.array([[0, 2], [1, 3]], dtype=np.float32)),
        lambda: Path.from_points(np.array([[0.0, 1.0], [2.0, 3.0]]).T.T[:, [0, 1]] * 0
                                 + np.array([[0, 2], [1, 3]])),
    ],
)
def test_accepted_argument_forms(make):
    path = make()
    assert path.points == [[0.0, 2.0], [1.0, 3.0]]
    assert all(type(v) is float for v in path.x + path.y)


def test_conversion_error_after_first_argument_ends_call():
    error = error_of(lambda: Path(points=[[0, 0]], x="ab"))
    assert type(error) is TypeError
    assert str(error) == "argument 'x': Can't extract `str` to `Vec`"


@pytest.mark.parametrize(
    "value, message",
    [
        (5, "argument 'points': 'int' object cannot be converted to 'Sequence'"),
        ({1: 2}, "argument 'points': 'dict' object cannot be converted to 'Sequence'"),
        ({(0, 0)}, "argument 'points': 'set' object cannot be converted to 'Sequence'"),
        ((p for p in [[0, 0]]), "argument 'points': 'generator' object cannot be converted to 'Sequence'"),
        ("ab", "argument 'points': Can't extract `str` to `Vec`"),
        ([5], "argument 'points': 'int' object cannot be converted to 'Sequence'"),
        ([[0, "a"]], "argument 'points': must be real number, not str"),
        (["ab"], "argument 'points': must be real number, not str"),
    ],
)
def test_point_list_type_errors_are_prefixed(value, message):
    error = error_of(lambda: Path.from_points(value))
    assert type(error) is TypeError
    assert str(error) == message


@pytest.mark.parametrize("point, length", [([1, 2, 3], 3), ([], 0), ((1,), 1)])
def test_point_of_wrong_length_is_a_plain_value_error(point, length):
    error = error_of(lambda: Path.from_points([point]))
    assert type(error) is ValueError
    assert str(error) == f"expected a sequence of length 2 (got {length})"
    error = error_of(lambda: PATH.index_from_point(point))
    assert str(error) == f"expected a sequence of length 2 (got {length})"


def test_float_list_refuses_non_sequences():
    error = error_of(lambda: Path.from_coordinates({1.0, 2.0}, [0, 1]))
    assert str(error) == "argument 'x': 'set' object cannot be converted to 'Sequence'"
    error = error_of(lambda: Path.from_coordinates([0, 1], "01"))
    assert str(error) == "argument 'y': Can't extract `str` to `Vec`"


class RaisesValueError:
    def __float__(self):
        raise ValueError("bad value")


class RaisesTypeErrorWithCause:
    def __float__(self):
        try:
            raise KeyError("root")
        except KeyError as root:
            raise TypeError("bad type") from root


def test_value_error_from_float_passes_unchanged():
    error = error_of(lambda: Path.from_coordinates([RaisesValueError()], [0]))
    assert type(error) is ValueError and str(error) == "bad value"


def test_type_error_is_prefixed_and_keeps_its_cause():
    error = error_of(lambda: PATH.index_from_point([0, 0], epsilon=RaisesTypeErrorWithCause()))
    assert type(error) is TypeError
    assert str(error) == "argument 'epsilon': bad type"
    assert type(error.__cause__) is KeyError


@pytest.mark.parametrize(
    "value, error_type, message",
    [
        (-1, OverflowError, None),
        (2**64, OverflowError, None),
        (1.5, TypeError, "argument 'start': 'float' object cannot be interpreted as an integer"),
        ("1", TypeError, "argument 'start': 'str' object cannot be interpreted as an integer"),
    ],
)
def test_index_errors(value, error_type, message):
    error = error_of(lambda: PATH.find_circle_segments(value, 2))
    assert type(error) is error_type
    if message is not None:
        assert str(error) == message
    else:
        assert not str(error).startswith("argument")


def test_index_accepts_dunder_index():
    class Two:
        def __index__(self):
            return 2

    assert PATH.find_circle_segments(Two(), Two()) == [(2, 2, 0.0)]
    assert PATH.find_circle_segments(np.uint64(2**64 - 1), np.uint64(2**64 - 1)) == [
        (2**64 - 1, 2**64 - 1, 0.0)
    ]


def test_resampling_type_refuses_ints_and_none():
    for value, name in [(1, "int"), (None, "NoneType")]:
        error = error_of(lambda: PATH.resampled_path(3, value))
        assert str(error) == (
            f"argument 'resampling_type': '{name}' object cannot be converted to 'ResamplingType'"
        )


def test_none_for_epsilon_is_a_conversion_error():
    error = error_of(lambda: PATH.index_from_point([0, 0], None))
    assert type(error) is TypeError and str(error).startswith("argument 'epsilon': ")


class TestHostileSequences:
    def test_float_that_clears_the_list(self):
        values = [0.0, 1.0, 2.0]

        class Clearing:
            def __float__(self):
                values.clear()
                return 7.0

        values.insert(1, Clearing())
        path = Path.from_coordinates(values, [0, 1, 2, 3])
        assert path.x == [0.0, 7.0]

    def test_float_that_appends_to_the_list(self):
        values = [0.0]

        class Appending:
            def __float__(self):
                if len(values) < 5:
                    values.append(Appending())
                return 1.0

        values.append(Appending())
        assert Path.from_coordinates(values, [0] * 10).x == [0.0, 1.0, 1.0, 1.0, 1.0]

    def test_point_whose_item_clears_the_point(self):
        point = [0.0, 1.0]

        class Clearing:
            def __float__(self):
                point.clear()
                return 5.0

        point[0] = Clearing()
        error = error_of(lambda: Path.from_points([point]))
        assert type(error) is IndexError

    def test_lying_and_raising_lengths(self):
        class Lying:
            def __len__(self):
                return 10**15

            def __getitem__(self, i):
                if i < 3:
                    return float(i)
                raise IndexError

        class RaisingLength(Lying):
            def __len__(self):
                raise RuntimeError("no length")

        assert Path.from_coordinates(Lying(), [0, 0, 0]).x == [0.0, 1.0, 2.0]
        assert Path.from_coordinates(RaisingLength(), [0, 0, 0]).x == [0.0, 1.0, 2.0]

    def test_iteration_that_raises_midway(self):
        class Failing(list):
            def __iter__(self):
                yield 1.0
                raise RuntimeError("midway")

        error = error_of(lambda: Path.from_coordinates(Failing([1, 2]), [0, 0]))
        assert type(error) is RuntimeError and str(error) == "midway"

    def test_list_subclass_iteration_is_honoured(self):
        class Reversed(list):
            def __iter__(self):
                return iter([2.0, 1.0])

        assert Path.from_coordinates(Reversed([1.0, 2.0]), [0, 0]).x == [2.0, 1.0]

    @pytest.mark.parametrize(
        "array_",
        [
            np.arange(6, dtype=np.float64).reshape(3, 2)[::-1],
            np.arange(6, dtype=np.int32).reshape(3, 2),
            np.asfortranarray(np.arange(6, dtype=np.float64).reshape(3, 2)),
        ],
    )
    def test_arrays_off_the_fast_path_convert_the_same(self, array_):
        assert Path.from_points(array_).points == array_.astype(float).tolist()

    def test_arrays_of_wrong_shape(self):
        assert type(error_of(lambda: Path.from_points(np.zeros((2, 3))))) is ValueError
        error = error_of(lambda: Path.from_points(np.float64(1.0)))
        assert type(error) is TypeError


def test_conversions_leak_no_references():
    item = float("1.5")  # a fresh object, not a constant other code shares
    pair = [item, item]
    good = [pair] * 10
    bad = [pair, [item, "x"]]
    gc.collect()
    before = sys.getrefcount(item), sys.getrefcount(pair)
    for _ in range(2000):
        Path.from_points(good).points
        Path.from_coordinates([item] * 3, (item, item)).x
        try:
            Path.from_points(bad)
        except TypeError:
            pass
        try:
            Path(points=good, x=[item])
        except TypeError:
            pass
    gc.collect()
    assert (sys.getrefcount(item), sys.getrefcount(pair)) == before


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
@pytest.mark.skipif(
    bool(os.environ.get("ORDAVIN_EXPECT_ASAN")),
    reason="AddressSanitizer holds freed memory in quarantine, so resident memory grows by design",
)
def test_building_and_discarding_paths_does_not_grow_memory():
    points = [[float(i), float(i % 7)] for i in range(200)]

    def churn(rounds):
        for _ in range(rounds):
            path = Path.from_points(points)
            path.path_length_per_point, path.curvature, path.unit_tangent_vector
            path.resampled_path(50).without_duplicate_points()
            for bad in ([[0, "x"]], "ab", [[1, 2, 3]]):
                try:
                    Path.from_points(bad)
                except (TypeError, ValueError):
                    pass

    churn(2000)  # warm up allocator pools and caches
    before = resident_bytes()
    churn(5000)  # a leaked record or cache per round would cost tens of megabytes
    gc.collect()
    assert resident_bytes() - before < 4 * 2**20
