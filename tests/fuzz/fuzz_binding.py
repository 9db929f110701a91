"""Fuzzing of the binding layer: arbitrary Python objects into every argument of every method.

Hypothesis draws a target (a constructor, static method, method, property or special method),
positional and keyword arguments from a pool of ordinary and hostile objects, and calls it. The
call must end in a result or in an ordinary exception (PanicException included), never in a
SystemError, and the receiving path must be unchanged. A crash or a sanitizer report ends the
process. Runs of 200 examples follow each other with the fixed seeds 0, 1, 2, ... until the time
budget is spent, so a run is reproducible. Failing examples are stored in tests/fuzz/corpus
when run with --save and replayed first by every later run.
"""

import argparse
import array
import math
import pathlib
import sys
import time
import warnings
from collections import Counter

import numpy as np
from hypothesis import HealthCheck, given, seed, settings
from hypothesis import strategies as st
from hypothesis.database import DirectoryBasedExampleDatabase, ReadOnlyDatabase

from ordavin import Path, ResamplingType

CORPUS = pathlib.Path(__file__).with_name("corpus")
RECEIVER_POINTS = [[0.0, 0.0], [1.0, 0.5], [2.0, 0.0], [3.0, 1.0], [3.0, 1.0], [5.0, 0.0]]
RECEIVERS = [
    Path.from_points(RECEIVER_POINTS),
    Path.from_points([]),
    Path.from_points([[1.0, 1.0]]),
    Path.from_coordinates([0.0, 1.0, 2.0, 4.0], [0.0, math.nan]),
]
SNAPSHOTS = [repr((p.points, p.x, p.y)) for p in RECEIVERS]

METHODS = {
    "compute_circle_fit_curvature": ["max_rmse"],
    "find_circle_segments": ["start", "end", "max_rmse"],
    "resampled_path": ["number_points", "resampling_type"],
    "smoothed_path": ["max_deviation"],
    "without_duplicate_points": [],
    "index_from_point": ["point", "epsilon"],
    "path_length_from_point": ["point", "epsilon"],
    "sub_path": ["start", "end", "epsilon"],
    "__reduce__": [],
}
STATICS = {"from_points": ["points"], "from_coordinates": ["x", "y"], "_from_state": ["x", "y"]}
PROPERTIES = ["points", "x", "y", "path_length_per_point", "length", "orientation",
              "unit_tangent_vector", "curvature"]
# Path.arrays answers the same questions with arrays; the batch locating methods take the
# points of any shape (..., 2).
VIEW_METHODS = {
    name: parameters
    for name, parameters in {
        "compute_circle_fit_curvature": ["max_rmse"],
        "find_circle_segments": ["start", "end", "max_rmse"],
        "index_from_point": ["points", "epsilon"],
        "path_length_from_point": ["points", "epsilon"],
        "interpolate": ["s", "resampling_type"],
        "from_frenet": ["s", "d"],
        "frenet": ["points", "s_hint", "window"],
    }.items()
    if hasattr(RECEIVERS[0].arrays, name)
}
ALL_NAMES = sorted({n for names in [*METHODS.values(), *STATICS.values(), *VIEW_METHODS.values()]
                    for n in names} | {"z", "self", ""})


# ---- hostile objects -------------------------------------------------------------------------


# The arrays drawn for the current call, which a "resize" hook reallocates under the call.
DRAWN_ARRAYS = []


class Hostile:
    """Every conversion hook misbehaves in the way `mode` says."""

    def __init__(self, mode, value):
        self.mode, self.value = mode, value

    def _act(self):
        if self.mode == "raise":
            raise ValueError("hostile")
        if self.mode == "raise_type":
            raise TypeError("hostile")
        if self.mode == "mutate" and isinstance(self.value, list):
            self.value.clear()
            return 1.0
        if self.mode == "resize":
            for drawn in DRAWN_ARRAYS:
                try:  # moves the array's memory: a reader holding its old address reads freed memory
                    drawn.resize(8 * drawn.size + 8, refcheck=False)
                except ValueError:  # not the owner of its memory
                    pass
            return 1.0
        return self.value

    def __float__(self):
        return self._act()

    def __index__(self):
        return self._act()

    def __len__(self):
        return self._act()

    def __getitem__(self, i):
        result = self._act()
        if isinstance(result, list):
            return result[i]
        if isinstance(i, int) and i > 3:
            raise IndexError(i)
        return result

    def __iter__(self):
        yield self._act()
        yield self._act()


class BadIter(list):
    def __iter__(self):
        yield from self[:1]
        raise RuntimeError("midway")


scalars = st.one_of(
    st.none(),
    st.booleans(),
    st.integers(-(2**70), 2**70),
    st.sampled_from([0, 1, 2, 3, 2**63 - 1, 2**63, 2**64 - 1, 2**64, -1, 10**12]),
    st.floats(allow_nan=True, allow_infinity=True),
    st.text(max_size=3),
    st.binary(max_size=3),
    st.sampled_from([ResamplingType.Linear, ResamplingType.Cubic, RECEIVERS[0], object(),
                     Path, math, 1j, Ellipsis, NotImplemented]),
)


def arrays():
    shapes = st.sampled_from([(), (0,), (1,), (2,), (5,), (0, 2), (3, 2), (3, 3), (2, 1),
                              (2, 2, 1), (2, 3, 2)])
    dtypes = st.sampled_from(["f8", ">f8", "f4", ">f4", "f2", "g", "i8", ">i4", "u8", "u1",
                              "bool", "O", "c16", "U1", "M8[s]"])
    layouts = st.sampled_from(["C", "F", "reversed", "strided", "column", "broadcast",
                               "unaligned", "memoryview"])

    @st.composite
    def make(draw):
        shape, dtype, layout = draw(shapes), draw(dtypes), draw(layouts)
        data = np.arange(int(np.prod(shape)), dtype="f8").reshape(shape)
        result = data.astype(dtype)
        if layout == "F":
            result = np.asfortranarray(result)
        elif layout == "reversed" and result.ndim:
            result = result[::-1]
        elif layout == "strided" and result.ndim:
            result = np.repeat(result, 2, axis=0)[::2]
        elif layout == "column" and result.ndim == 2:
            result = result[:, 0]
        elif layout == "broadcast" and result.ndim == 1 and result.size:
            result = np.broadcast_to(result[:1], (4, *result.shape[1:]))
        elif layout == "unaligned" and result.dtype.kind in "fiub":
            # The same values one byte into a buffer: C-contiguous, native, not aligned.
            raw = np.zeros(result.nbytes + 1, dtype=np.uint8)
            raw[1:] = np.frombuffer(np.ascontiguousarray(result).tobytes(), np.uint8)
            result = np.frombuffer(raw.data, result.dtype, result.size, 1).reshape(result.shape)
        elif layout == "memoryview" and result.dtype.kind in "fiub":
            # A buffer the caller may release once the call has read it.
            result = memoryview(np.ascontiguousarray(result))
        if isinstance(result, np.ndarray) and result.flags.owndata:
            DRAWN_ARRAYS.append(result)
        return result

    return make()


def hostile(children):
    modes = st.sampled_from(["raise", "raise_type", "return", "mutate", "resize"])
    return st.builds(Hostile, modes, st.one_of(children, st.just([1.0, 2.0])))


objects = st.recursive(
    st.one_of(scalars, arrays(),
              st.builds(lambda v: array.array("d", v), st.lists(st.floats(), max_size=4))),
    lambda children: st.one_of(
        st.lists(children, max_size=5),
        st.lists(children, max_size=5).map(tuple),
        st.lists(children, max_size=3).map(BadIter),
        st.dictionaries(st.text(max_size=2), children, max_size=2),
        st.lists(st.floats(), max_size=3).map(lambda v: (x for x in v)),
        st.lists(st.floats(), max_size=3).map(iter),
        hostile(children),
    ),
    max_leaves=12,
)

calls = st.tuples(
    st.sampled_from(["method", "static", "property", "view", "new", "resampling_type"]),
    st.integers(0, 100),
    st.lists(objects, max_size=4),
    st.dictionaries(st.sampled_from(ALL_NAMES), objects, max_size=3),
)

examples = 0
outcomes = Counter()


def call_target(kind, pick, args, kwargs):
    if kind == "method":
        receiver = RECEIVERS[pick % len(RECEIVERS)]
        name = sorted(METHODS)[pick % len(METHODS)]
        if not METHODS[name]:
            return getattr(receiver, name)(*args[:1])
        return getattr(receiver, name)(*args, **kwargs)
    if kind == "static":
        name = sorted(STATICS)[pick % len(STATICS)]
        return getattr(Path, name)(*args, **kwargs)
    if kind == "property":
        receiver = RECEIVERS[pick % len(RECEIVERS)]
        if args and pick % 3 == 0:
            # A descriptor read with a receiver that is no Path.
            return Path.__dict__[PROPERTIES[pick % len(PROPERTIES)]].__get__(args[0], type(args[0]))
        return getattr(receiver, PROPERTIES[pick % len(PROPERTIES)])
    if kind == "view":
        view = RECEIVERS[pick % len(RECEIVERS)].arrays
        if pick % 4 == 0:
            return getattr(view, PROPERTIES[pick % len(PROPERTIES)])
        name = sorted(VIEW_METHODS)[pick % len(VIEW_METHODS)]
        return getattr(view, name)(*args, **kwargs)
    if kind == "new":
        return Path(*args, **kwargs)
    member = ResamplingType.Linear if pick % 2 else ResamplingType.Cubic
    other = args[0] if args else None
    operation = pick % 5
    if operation == 0:
        return member == other
    if operation == 1:
        return member != other
    if operation == 2:
        return member < other
    if operation == 3:
        return ResamplingType(*args, **kwargs)
    return repr(member), int(member)


@given(calls)
def fuzz_one(call):
    global examples
    examples += 1
    try:
        call_target(*call)
        outcomes["result"] += 1
    except SystemError:
        raise
    except Exception as error:  # noqa: BLE001 - any documented failure is fine
        outcomes[type(error).__name__] += 1
    except BaseException as error:  # noqa: BLE001
        if type(error).__name__ != "PanicException":
            raise
        outcomes["PanicException"] += 1
    finally:
        DRAWN_ARRAYS.clear()
    for receiver, before in zip(RECEIVERS, SNAPSHOTS):
        assert repr((receiver.points, receiver.x, receiver.y)) == before


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--save", action="store_true", help="store failing examples in corpus")
    options = parser.parse_args()
    # Conversions of odd numpy values warn (complex to float, array to scalar); not our concern.
    warnings.simplefilter("ignore")
    database = DirectoryBasedExampleDatabase(CORPUS)
    if not options.save:
        database = ReadOnlyDatabase(database)
    deadline = time.monotonic() + options.seconds
    run = 0
    configured = settings(max_examples=200, deadline=None, database=database,
                          suppress_health_check=list(HealthCheck))(fuzz_one)
    while time.monotonic() < deadline:
        seed(run)(configured)()
        run += 1
    print(f"fuzz: {examples} calls in {run} runs (seeds 0..{run - 1}), {options.seconds:.0f} s "
          f"budget: no crash, no SystemError, receivers unchanged")
    print("fuzz outcomes: " + ", ".join(f"{k} {v}" for k, v in outcomes.most_common()))
    print(f"fuzz: {run} passed, 0 failed")


if __name__ == "__main__":
    sys.exit(main())
