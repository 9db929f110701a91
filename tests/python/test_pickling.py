"""Paths and ResamplingType members survive pickle, copy and process boundaries unchanged."""

import concurrent.futures
import copy
import math
import multiprocessing
import operator
import pickle
import struct
import sys

import pytest

from ordavin import Path, ResamplingType

# A quiet NaN with a payload and a negative NaN: a round trip through text or through
# arithmetic would lose them, a faithful copy keeps every bit.
PAYLOAD_NAN = struct.unpack("<d", struct.pack("<Q", 0x7FF8_0000_0000_0123))[0]
NEGATIVE_NAN = struct.unpack("<d", struct.pack("<Q", 0xFFF8_0000_0000_0000))[0]


def bits(values):
    return [struct.pack("<d", value) for value in values]


def same_path(left, right):
    """Equal bit for bit in x and y (and so in points), whatever NaNs and signed zeros hold."""
    assert bits(left.x) == bits(right.x)
    assert bits(left.y) == bits(right.y)
    assert [bits(point) for point in left.points] == [bits(point) for point in right.points]


PATHS = {
    "empty": Path.from_points([]),
    "one point": Path.from_points([[1.5, -2.5]]),
    "curve": Path.from_points([[math.cos(t / 7), math.sin(t / 5)] for t in range(50)]),
    # Only the first two x values form points; the third must come back all the same.
    "unequal lengths": Path.from_coordinates([0.0, 1.0, 2.0], [5.0, 6.0]),
    "nan and signed zero": Path.from_coordinates(
        [-0.0, PAYLOAD_NAN, 0.0, math.inf, 1e-310], [0.0, -0.0, NEGATIVE_NAN, -math.inf, 3.0]
    ),
}


def pickle_with(protocol):
    return lambda value: pickle.loads(pickle.dumps(value, protocol=protocol))


def cloudpickle_round_trip(value):
    # Dask ships task arguments with cloudpickle.
    import cloudpickle

    return cloudpickle.loads(cloudpickle.dumps(value))


COPIERS = {
    "pickle 4": pickle_with(4),
    "pickle 5": pickle_with(5),
    "copy": copy.copy,
    "deepcopy": copy.deepcopy,
    "cloudpickle": cloudpickle_round_trip,
}


@pytest.mark.parametrize("copier", COPIERS.values(), ids=COPIERS.keys())
@pytest.mark.parametrize("path", PATHS.values(), ids=PATHS.keys())
def test_path_copies_are_equal_and_new(path, copier):
    duplicate = copier(path)
    assert type(duplicate) is Path and duplicate is not path
    same_path(duplicate, path)


@pytest.mark.parametrize("copier", COPIERS.values(), ids=COPIERS.keys())
def test_copies_start_with_empty_caches_that_fill_alike(copier):
    path = PATHS["curve"]
    size_before = len(pickle.dumps(path))
    expected = (path.path_length_per_point, path.curvature, path.unit_tangent_vector)
    # The caches are filled now; they must not travel (or grow the pickle) ...
    assert len(pickle.dumps(path)) == size_before
    duplicate = copier(path)
    # ... and the copy computes the same quantities afresh.
    assert (duplicate.path_length_per_point, duplicate.curvature, duplicate.unit_tangent_vector) == (
        expected
    )
    assert duplicate.length == path.length


@pytest.mark.parametrize("copier", COPIERS.values(), ids=COPIERS.keys())
@pytest.mark.parametrize("member", [ResamplingType.Cubic, ResamplingType.Linear])
def test_resampling_members_unpickle_to_themselves(member, copier):
    assert copier(member) is member
    assert copier([member, member]) == [member, member]


@pytest.mark.parametrize("protocol", [0, 1, 2, 3])
@pytest.mark.parametrize("value", [PATHS["unequal lengths"], ResamplingType.Linear])
def test_old_protocols_round_trip_or_refuse_cleanly(value, protocol):
    # Both classes report the module "builtins". Before protocol 4, pickle names the rebuilding
    # function through its class, which it cannot find there; Python 3.13 names it through
    # the function's own module instead. Either way: a faithful copy or a PicklingError, never
    # a broken pickle.
    if sys.version_info < (3, 13):
        with pytest.raises(pickle.PicklingError):
            pickle.dumps(value, protocol=protocol)
        return
    duplicate = pickle.loads(pickle.dumps(value, protocol=protocol))
    if isinstance(value, Path):
        same_path(duplicate, value)
    else:
        assert duplicate is value


@pytest.mark.parametrize(
    "value, error",
    [(2, ValueError), (-1, ValueError), (2**70, OverflowError), ("Cubic", TypeError)],
)
def test_unknown_resampling_values_raise(value, error):
    with pytest.raises(error):
        ResamplingType._from_value(value)


def test_forged_resampling_pickle_raises():
    genuine = pickle.dumps(ResamplingType.Cubic, protocol=4)
    assert genuine.count(b"K\x00") == 1  # BININT1 0, the member's value
    with pytest.raises(ValueError, match="2 is not a ResamplingType value"):
        pickle.loads(genuine.replace(b"K\x00", b"K\x02"))


def test_corrupt_path_state_raises():
    with pytest.raises(TypeError, match="Can't extract `str` to `Vec`"):
        Path._from_state("ab", [1.0])


def round_trip_through_pool(method):
    """Paths go to pool workers, which send back what they received and paths they made."""
    paths = list(PATHS.values())
    with multiprocessing.get_context(method).Pool(2) as pool:
        received = pool.map(operator.attrgetter("x", "y"), paths)
        cleaned = pool.map(operator.methodcaller("without_duplicate_points"), paths)
        members = pool.map(operator.itemgetter(1), [(paths[2], ResamplingType.Cubic)])
    return received, cleaned, members


@pytest.mark.parametrize("method", ["spawn", "fork"])
def test_pool_round_trip(method):
    if method == "fork":
        # Forking is only safe in a process without other threads, and earlier tests (Dask's
        # client) may have left some here: fork from a fresh single-threaded process instead.
        spawn = multiprocessing.get_context("spawn")
        with concurrent.futures.ProcessPoolExecutor(1, mp_context=spawn) as fresh:
            received, cleaned, members = fresh.submit(round_trip_through_pool, "fork").result()
    else:
        received, cleaned, members = round_trip_through_pool(method)
    paths = list(PATHS.values())
    assert [(bits(x), bits(y)) for x, y in received] == [(bits(p.x), bits(p.y)) for p in paths]
    for remote, path in zip(cleaned, paths):
        same_path(remote, path.without_duplicate_points())
    assert members[0] is ResamplingType.Cubic
