"""Reference-leak harness for the debug interpreter (python3.11-dbg).

Calls every constructor, method and property of the module, on success and on each error
path, a few thousand times and checks that the interpreter's total reference count does not
grow (less than LIMIT per call). The debug interpreter also aborts when a function returns a
value with an exception set, or NULL without one, so merely getting through is a check.

Smoothing runs clarabel and Path.arrays runs numpy, whose compiled code is built for the
release ABI and does not keep the debug interpreter's reference total; for those calls the
harness checks instead that the objects the call touches keep their reference counts and that
traced memory does not grow.
"""

import array
import copy
import gc
import importlib
import math
import os
import pathlib
import pickle
import sys
import time
import tracemalloc

CALLS = int(os.environ.get("ORDAVIN_REFCOUNT_CALLS", "2000"))
FOREIGN_CALLS = 300
FOREIGN_WARM_UP = 2500
FOREIGN_BYTES = 24
LIMIT = 0.05

if not hasattr(sys, "gettotalrefcount"):
    sys.exit("the refcount harness needs a debug interpreter (sys.gettotalrefcount)")

import ordavin  # noqa: E402
from ordavin import Path, ResamplingType  # noqa: E402

expected_dir = os.environ.get("ORDAVIN_EXPECT_MODULE_DIR")
if expected_dir and pathlib.Path(ordavin.__file__).resolve().parent != pathlib.Path(
    expected_dir
).resolve():
    sys.exit(f"ordavin was loaded from {ordavin.__file__}, expected {expected_dir}")
if not ordavin.__file__.endswith("311d-x86_64-linux-gnu.so"):
    sys.exit(f"{ordavin.__file__} is not built for the debug ABI")

try:
    Path.from_points([]).resampled_path(1)
except BaseException as error:  # noqa: BLE001 - PanicException derives from BaseException
    PanicException = type(error)
assert PanicException.__name__ == "PanicException" and PanicException.__mro__[1] is BaseException


# ---- hostile helpers ------------------------------------------------------------------------


class BadFloat:
    def __float__(self):
        raise ValueError("no float")


class WrongFloat:
    def __float__(self):
        return "not a float"


class CausedTypeError:
    def __float__(self):
        try:
            raise KeyError("root")
        except KeyError as root:
            raise TypeError("bad type") from root


class BadIndex:
    def __index__(self):
        raise RuntimeError("no index")


class WrongIndex:
    def __index__(self):
        return 1.5


class Seven:
    def __index__(self):
        return 7


class LyingLength:
    def __len__(self):
        return 10**15

    def __getitem__(self, i):
        if i < 3:
            return float(i)
        raise IndexError


class RaisingLength(LyingLength):
    def __len__(self):
        raise RuntimeError("no length")


class RaisingItem:
    def __len__(self):
        return 2

    def __getitem__(self, i):
        raise KeyError(i)


class FailingIter(list):
    def __iter__(self):
        yield 1.0
        raise RuntimeError("midway")


def clearing_list():
    values = [0.0, None, 2.0]

    class Clearing:
        def __float__(self):
            values.clear()
            return 7.0

    values[1] = Clearing()
    return values


def row_matrix(rows, columns):
    """A C-contiguous two-dimensional buffer of doubles without numpy."""
    flat = array.array("d", [float(i) for i in range(rows * columns)])
    return memoryview(flat).cast("B").cast("d", (rows, columns))


def unaligned_matrix(rows, columns):
    """row_matrix's doubles one byte into their memory: C-contiguous, not aligned."""
    raw = bytearray(1) + memoryview(row_matrix(rows, columns)).cast("B").tobytes()
    return memoryview(raw)[1:].cast("d", (rows, columns))


def resizing_coordinates():
    """x an array, and y a list whose first number reallocates x while it is read."""
    x = importlib.import_module("numpy").arange(4.0)

    class Resizing:
        def __float__(self):
            x.resize(64, refcheck=False)
            return 1.0

    return x, [Resizing(), 2.0, 3.0, 4.0]


# ---- the cases ------------------------------------------------------------------------------

LINE = [[0.0, 0.0], [1.0, 0.0], [2.0, 0.0], [3.0, 0.0]]
ARC = [[math.cos(k * 0.3), math.sin(k * 0.3)] for k in range(12)] + [[-5.0, 2.0], [-6.0, 2.0]]
P = Path.from_points(LINE)
CURVE = Path.from_points(ARC)
EMPTY = Path.from_points([])
ONE = Path.from_points([[1.0, 2.0]])
NAN_PATH = Path.from_points([[0.0, 0.0], [math.nan, 1.0], [2.0, 0.0]])
ZIGZAG = Path.from_points([[0.0, 0.0], [1.0, 1.0], [2.0, 0.0], [3.0, 1.0], [4.0, 0.0]])
PANIC = PanicException
NONE = type(None)

# (label, call, expected result type or exception type)
CASES = [
    # construction
    ("from_points list", lambda: Path.from_points(LINE), Path),
    ("from_points tuples", lambda: Path.from_points(((0, 0), (1, 1))), Path),
    ("from_points buffer", lambda: Path.from_points(row_matrix(4, 2)), Path),
    ("from_points unaligned buffer", lambda: Path.from_points(unaligned_matrix(4, 2)), Path),
    ("from_points buffer (n,3)", lambda: Path.from_points(row_matrix(4, 3)), NotImplementedError),
    ("from_points str", lambda: Path.from_points("ab"), TypeError),
    ("from_points int", lambda: Path.from_points(5), TypeError),
    ("from_points generator", lambda: Path.from_points(p for p in LINE), TypeError),
    ("from_points item str", lambda: Path.from_points(["ab"]), TypeError),
    ("from_points bad length", lambda: Path.from_points([[1, 2, 3]]), ValueError),
    ("from_points item not seq", lambda: Path.from_points([5]), TypeError),
    ("from_points raising item", lambda: Path.from_points([RaisingItem()]), KeyError),
    ("from_points bad float", lambda: Path.from_points([[BadFloat(), 0]]), ValueError),
    ("from_points wrong float", lambda: Path.from_points([[WrongFloat(), 0]]), TypeError),
    ("from_points caused", lambda: Path.from_points([[CausedTypeError(), 0]]), TypeError),
    ("from_points missing", lambda: Path.from_points(), TypeError),
    ("from_points extra", lambda: Path.from_points(LINE, LINE), TypeError),
    ("from_points keyword", lambda: Path.from_points(points=LINE, scale=2), TypeError),
    ("from_coordinates", lambda: Path.from_coordinates([0, 1, 2], (5, 6)), Path),
    ("from_coordinates buffer", lambda: Path.from_coordinates(array.array("d", [1, 2]), range(2)), Path),
    ("from_coordinates float32", lambda: Path.from_coordinates(array.array("f", [1, 2]), [0, 0]), Path),
    ("from_coordinates lying len", lambda: Path.from_coordinates(LyingLength(), [0, 0, 0]), Path),
    ("from_coordinates raising len", lambda: Path.from_coordinates(RaisingLength(), [0, 0]), Path),
    ("from_coordinates clearing", lambda: Path.from_coordinates(clearing_list(), [0, 0]), Path),
    ("from_coordinates iter midway", lambda: Path.from_coordinates(FailingIter([1, 2]), [0]), RuntimeError),
    ("from_coordinates set", lambda: Path.from_coordinates({1.0}, [0]), TypeError),
    ("from_coordinates missing y", lambda: Path.from_coordinates([0, 1]), TypeError),
    ("from_coordinates twice x", lambda: Path.from_coordinates([0], x=[1]), TypeError),
    ("from_coordinates str y", lambda: Path.from_coordinates([0], "0"), TypeError),
    ("new points", lambda: Path(LINE), Path),
    ("new coordinates", lambda: Path(x=[0, 1], y=[2, 3]), Path),
    ("new nothing", lambda: Path(), TypeError),
    ("new both", lambda: Path(points=LINE, x=[0]), TypeError),
    ("new too many", lambda: Path(1, 2, 3, 4), TypeError),
    ("new twice", lambda: Path(LINE, points=LINE), TypeError),
    ("new bad x", lambda: Path(points=LINE, x="ab"), TypeError),
    ("new unexpected", lambda: Path(z=1), TypeError),
    # attributes and properties, on a cached path and with a fresh cache every call
    ("points", lambda: P.points, list),
    ("x", lambda: P.x, list),
    ("y", lambda: P.y, list),
    ("path_length_per_point", lambda: P.path_length_per_point, list),
    ("length", lambda: P.length, float),
    ("orientation", lambda: P.orientation, list),
    ("unit_tangent_vector", lambda: P.unit_tangent_vector, list),
    ("curvature", lambda: P.curvature, list),
    ("fresh caches", lambda: [getattr(Path.from_points(LINE), name) for name in (
        "path_length_per_point", "length", "orientation", "unit_tangent_vector", "curvature")], list),
    ("empty length", lambda: EMPTY.length, float),
    ("one-point curvature", lambda: ONE.curvature, list),
    ("set attribute", lambda: setattr(P, "points", []), AttributeError),
    ("new attribute", lambda: setattr(P, "other", 1), AttributeError),
    ("wrong receiver property", lambda: Path.__dict__["length"].__get__(5, int), TypeError),
    ("wrong receiver method", lambda: Path.index_from_point(5, [0, 0]), TypeError),
    # without_duplicate_points
    ("without_duplicate_points", lambda: ZIGZAG.without_duplicate_points(), Path),
    ("without_duplicate_points arg", lambda: P.without_duplicate_points(1), TypeError),
    # circle decomposition
    ("find_circle_segments", lambda: CURVE.find_circle_segments(0, len(ARC)), list),
    ("find_circle_segments short", lambda: P.find_circle_segments(Seven(), 9, 0.1), list),
    ("find_circle_segments 2**64-1", lambda: P.find_circle_segments(2**64 - 1, 2**64 - 1), list),
    ("find_circle_segments 2**64", lambda: P.find_circle_segments(2**64, 2**64), OverflowError),
    ("find_circle_segments negative", lambda: P.find_circle_segments(-1, 2), OverflowError),
    ("find_circle_segments float", lambda: P.find_circle_segments(1.5, 2), TypeError),
    ("find_circle_segments bad index", lambda: P.find_circle_segments(BadIndex(), 2), RuntimeError),
    ("find_circle_segments wrong index", lambda: P.find_circle_segments(WrongIndex(), 2), TypeError),
    ("find_circle_segments start>end", lambda: P.find_circle_segments(3, 1), PANIC),
    ("find_circle_segments past end", lambda: P.find_circle_segments(0, 9), PANIC),
    ("find_circle_segments bad rmse", lambda: P.find_circle_segments(0, 2, None), TypeError),
    ("find_circle_segments missing", lambda: P.find_circle_segments(0), TypeError),
    ("compute_circle_fit_curvature", lambda: CURVE.compute_circle_fit_curvature(), list),
    ("compute_circle_fit_curvature nan", lambda: CURVE.compute_circle_fit_curvature(math.nan), list),
    ("compute_circle_fit_curvature bad", lambda: P.compute_circle_fit_curvature(BadFloat()), ValueError),
    ("compute_circle_fit_curvature kw", lambda: P.compute_circle_fit_curvature(rmse=1), TypeError),
    # resampling
    ("resampled_path linear", lambda: CURVE.resampled_path(9), Path),
    ("resampled_path cubic", lambda: CURVE.resampled_path(9, ResamplingType.Cubic), Path),
    ("resampled_path keyword", lambda: P.resampled_path(number_points=3, resampling_type=ResamplingType.Linear), Path),
    ("resampled_path one point", lambda: ONE.resampled_path(3), Path),
    ("resampled_path zero", lambda: P.resampled_path(0), PANIC),
    ("resampled_path empty", lambda: EMPTY.resampled_path(3), PANIC),
    ("resampled_path nan", lambda: NAN_PATH.resampled_path(3), PANIC),
    ("resampled_path huge", lambda: P.resampled_path(10**12), MemoryError),
    ("resampled_path int type", lambda: P.resampled_path(3, 1), TypeError),
    ("resampled_path None type", lambda: P.resampled_path(3, None), TypeError),
    ("resampled_path negative", lambda: P.resampled_path(-3), OverflowError),
    ("resampled_path too many", lambda: P.resampled_path(3, ResamplingType.Linear, 3), TypeError),
    # locating points
    ("index_from_point", lambda: P.index_from_point([1.5, 0.2]), int),
    ("index_from_point outside", lambda: P.index_from_point([5, 0]), NONE),
    ("index_from_point empty", lambda: EMPTY.index_from_point([0, 0]), NONE),
    ("index_from_point nan", lambda: P.index_from_point([math.nan, 0], math.nan), NONE),
    ("index_from_point tuple buffer", lambda: P.index_from_point(array.array("d", [1, 0])), int),
    ("index_from_point bad length", lambda: P.index_from_point([1, 2, 3]), ValueError),
    ("index_from_point str point", lambda: P.index_from_point("ab"), TypeError),
    ("index_from_point int point", lambda: P.index_from_point(3), TypeError),
    ("index_from_point None eps", lambda: P.index_from_point([0, 0], None), TypeError),
    ("index_from_point caused eps", lambda: P.index_from_point([0, 0], CausedTypeError()), TypeError),
    ("index_from_point raising item", lambda: P.index_from_point(RaisingItem()), KeyError),
    ("path_length_from_point", lambda: P.path_length_from_point([1.5, 0.2]), float),
    ("path_length_from_point fresh", lambda: Path.from_points(LINE).path_length_from_point([3, 0]), float),
    ("path_length_from_point outside", lambda: P.path_length_from_point([-1, 0]), NONE),
    ("path_length_from_point bad eps", lambda: P.path_length_from_point([0, 0], BadFloat()), ValueError),
    ("sub_path", lambda: P.sub_path([0.5, 0.1], [2.5, -0.1]), Path),
    ("sub_path whole", lambda: P.sub_path(), Path),
    ("sub_path reversed", lambda: P.sub_path([2.5, 0], [0.5, 0]), NONE),
    ("sub_path outside", lambda: P.sub_path(None, [5, 0]), NONE),
    ("sub_path empty", lambda: EMPTY.sub_path(), NONE),
    ("sub_path bad end", lambda: P.sub_path([0, 0], [1]), ValueError),
    ("sub_path bad eps", lambda: P.sub_path(epsilon="x"), TypeError),
    ("sub_path too many", lambda: P.sub_path(1, 2, 3, 4), TypeError),
    # smoothing failures that never reach the solver
    ("smoothed_path one point", lambda: ONE.smoothed_path(0.5), PANIC),
    ("smoothed_path empty", lambda: EMPTY.smoothed_path(0.5), PANIC),
    ("smoothed_path bad arg", lambda: P.smoothed_path("x"), TypeError),
    ("smoothed_path missing", lambda: P.smoothed_path(), TypeError),
    # pickling and copying
    ("reduce", lambda: P.__reduce__(), tuple),
    ("pickle", lambda: pickle.loads(pickle.dumps(CURVE)), Path),
    ("copy", lambda: copy.deepcopy(P), Path),
    # ResamplingType
    ("ResamplingType repr", lambda: repr(ResamplingType.Cubic), str),
    ("ResamplingType int", lambda: int(ResamplingType.Linear), int),
    ("ResamplingType eq", lambda: ResamplingType.Linear == ResamplingType.Cubic, bool),
    ("ResamplingType eq int", lambda: ResamplingType.Linear == 1, bool),
    ("ResamplingType eq index", lambda: ResamplingType.Linear != Seven(), bool),
    ("ResamplingType eq bad index", lambda: ResamplingType.Linear == BadIndex(), RuntimeError),
    ("ResamplingType eq float", lambda: ResamplingType.Linear == 1.0, bool),
    ("ResamplingType order", lambda: ResamplingType.Cubic < ResamplingType.Linear, TypeError),
    ("ResamplingType hash", lambda: hash(ResamplingType.Linear), TypeError),
    ("ResamplingType new", lambda: ResamplingType(), TypeError),
    ("ResamplingType pickle", lambda: pickle.loads(pickle.dumps(ResamplingType.Cubic)), ResamplingType),
]

# Calls that run release-ABI code (clarabel's, and numpy's for Path.arrays), whose reference
# changes the debug interpreter's total does not see.
VIEW = CURVE.arrays
PathArrays = type(VIEW)
NDArray = type(VIEW.x)
VIEW_CASES = [
    ("arrays", lambda: P.arrays, PathArrays),
    ("arrays fresh path", lambda: [getattr(Path.from_points(ARC).arrays, name) for name in (
        "points", "x", "y", "path_length_per_point", "length", "orientation",
        "unit_tangent_vector", "curvature")], list),
    ("arrays empty", lambda: (EMPTY.arrays.points, EMPTY.arrays.curvature), tuple),
    ("arrays points", lambda: VIEW.points, NDArray),
    ("arrays write", lambda: VIEW.x.__setitem__(0, 1.0), ValueError),
    ("arrays base", lambda: VIEW.points.base, tuple),
    ("new x array y resizing", lambda: Path(*(lambda xy: (None, *xy))(resizing_coordinates())), Path),
    ("arrays wrong receiver", lambda: PathArrays.__dict__["x"].__get__(P, Path), TypeError),
    ("arrays compute_circle_fit_curvature", lambda: VIEW.compute_circle_fit_curvature(), NDArray),
    ("arrays compute_circle_fit_curvature bad", lambda: VIEW.compute_circle_fit_curvature("x"), TypeError),
    ("arrays find_circle_segments", lambda: VIEW.find_circle_segments(0, len(ARC)), tuple),
    ("arrays find_circle_segments past end", lambda: VIEW.find_circle_segments(0, 99), PANIC),
    ("arrays find_circle_segments missing", lambda: VIEW.find_circle_segments(0), TypeError),
]
if hasattr(VIEW, "path_length_from_point"):
    QUERIES = [[0.5, 0.1], [1.5, -0.2], [9.0, 9.0], [math.nan, 0.0]]
    VIEW_CASES += [
        ("arrays index_from_point", lambda: VIEW.index_from_point(QUERIES), NDArray),
        ("arrays index_from_point one", lambda: VIEW.index_from_point([0.5, 0.5]), NDArray),
        ("arrays index_from_point bad", lambda: VIEW.index_from_point([[1, 2, 3]]), ValueError),
        ("arrays index_from_point str", lambda: VIEW.index_from_point("ab"), TypeError),
        ("arrays path_length_from_point", lambda: VIEW.path_length_from_point(QUERIES, 0.1), NDArray),
        ("arrays path_length_from_point bad eps", lambda: VIEW.path_length_from_point(QUERIES, BadFloat()), ValueError),
        ("arrays path_length_from_point fresh", lambda: Path.from_points(ARC).arrays.path_length_from_point(QUERIES), NDArray),
    ]
if hasattr(VIEW, "interpolate"):
    STATIONS = [[-1.0, 0.5], [1.5, math.nan]]
    VIEW_CASES += [
        ("arrays interpolate", lambda: VIEW.interpolate(STATIONS), NDArray),
        ("arrays interpolate cubic", lambda: VIEW.interpolate(0.5, ResamplingType.Cubic), NDArray),
        ("arrays interpolate fresh", lambda: Path.from_points(ARC).arrays.interpolate([0.5, 0.2]), NDArray),
        ("arrays interpolate ndarray", lambda: VIEW.interpolate(VIEW.x[::2]), NDArray),
        ("arrays interpolate bad", lambda: VIEW.interpolate([[1.0], [1.0, 2.0]]), ValueError),
        ("arrays interpolate str", lambda: VIEW.interpolate(["a"]), TypeError),
        ("arrays interpolate bad type", lambda: VIEW.interpolate(0.5, 1), TypeError),
        ("arrays from_frenet", lambda: VIEW.from_frenet(STATIONS, [[1.0], [-1.0]]), NDArray),
        ("arrays from_frenet fresh", lambda: Path.from_points(ARC).arrays.from_frenet(0.5), NDArray),
        ("arrays from_frenet ndarray", lambda: VIEW.from_frenet(VIEW.x, VIEW.y), NDArray),
        ("arrays from_frenet mismatch", lambda: VIEW.from_frenet([1.0, 2.0], [1.0, 2.0, 3.0]), ValueError),
        ("arrays from_frenet bad d", lambda: VIEW.from_frenet(0.5, BadFloat()), ValueError),
    ]
if hasattr(VIEW, "frenet"):
    VIEW_CASES += [
        ("arrays frenet", lambda: VIEW.frenet(QUERIES), tuple),
        ("arrays frenet one", lambda: VIEW.frenet([0.5, 0.5]), tuple),
        ("arrays frenet hints", lambda: VIEW.frenet(QUERIES, [0.0, 1.0, 2.0, 3.0], 1.0), tuple),
        ("arrays frenet hint", lambda: VIEW.frenet(QUERIES, s_hint=1.0), tuple),
        ("arrays frenet fresh", lambda: Path.from_points(ARC).arrays.frenet(QUERIES, 0.5, 0.1), tuple),
        ("arrays frenet window alone", lambda: VIEW.frenet(QUERIES, window=1.0), ValueError),
        ("arrays frenet hint shape", lambda: VIEW.frenet(QUERIES, [1.0, 2.0]), ValueError),
        ("arrays frenet hint str", lambda: VIEW.frenet(QUERIES, ["a"] * 4), ValueError),
        ("arrays frenet bad hint", lambda: VIEW.frenet(QUERIES, BadFloat()), ValueError),
        ("arrays frenet bad window", lambda: VIEW.frenet(QUERIES, 1.0, BadFloat()), ValueError),
        ("arrays frenet bad point", lambda: VIEW.frenet([[1, 2, 3]]), ValueError),
    ]

FOREIGN_CASES = VIEW_CASES + [
    ("smoothed_path", lambda: ZIGZAG.smoothed_path(0.5), Path),
    ("smoothed_path two points", lambda: Path.from_points(LINE[:2]).smoothed_path(0.5), Path),
    ("smoothed_path negative", lambda: CURVE.smoothed_path(-0.2), Path),
    ("smoothed_path nan", lambda: ZIGZAG.smoothed_path(math.nan), PANIC),
    ("smoothed_path inf", lambda: ZIGZAG.smoothed_path(math.inf), (Path, PANIC)),
]


def outcome(call):
    try:
        return type(call())
    except BaseException as error:  # noqa: BLE001
        return type(error)


def run(call, count):
    for _ in range(count):
        try:
            call()
        except BaseException:  # noqa: BLE001,S110
            pass


def refcount_delta(call, calls):
    """Least total-refcount growth per call over up to three rounds (a leak shows in every
    round; a cache that fills once does not)."""
    best = math.inf
    for _ in range(3):
        gc.collect()
        before = sys.gettotalrefcount()
        run(call, calls)
        gc.collect()
        best = min(best, (sys.gettotalrefcount() - before) / calls)
        if best < LIMIT:
            break
    return best


def witnesses():
    import types

    objects = [None, True, False, Path, ResamplingType, ResamplingType.Linear,
               ResamplingType.Cubic, ZIGZAG, CURVE, P, float, list, tuple, int,
               array.array, types.SimpleNamespace, PanicException, VIEW, PathArrays, EMPTY]
    try:
        import clarabel

        # Not clarabel's classes: each instance clarabel makes keeps a reference to its class
        # (plain use of clarabel, without this module, shows the same).
        objects.append(clarabel)
    except ImportError:
        pass
    import numpy

    objects += [numpy, numpy.ndarray, numpy.float64, numpy.dtype("float64")]
    return objects


def foreign_growth(call, calls):
    """Reference-count changes of the objects the call touches, and traced bytes per call."""
    objects = witnesses()
    best = (math.inf, math.inf)
    for _ in range(3):
        gc.collect()
        counts = [sys.getrefcount(o) for o in objects]
        tracemalloc.start()
        run(call, 20)
        gc.collect()
        start, _ = tracemalloc.get_traced_memory()
        run(call, calls)
        gc.collect()
        size = tracemalloc.get_traced_memory()[0] - start
        tracemalloc.stop()
        after = [sys.getrefcount(o) for o in objects]
        changed = sum(abs(a - c) for a, c in zip(after, counts))
        best = min(best, (changed / calls, size / calls))
        if best[0] < LIMIT and best[1] < FOREIGN_BYTES:
            break
    return best


def main():
    started = time.monotonic()
    failures = []
    for label, call, expected in CASES + FOREIGN_CASES:
        got = outcome(call)
        accepted = expected if isinstance(expected, tuple) else (expected,)
        if got not in accepted:
            failures.append(f"{label}: expected {expected}, got {got}")
    if failures:
        print("\n".join(failures))
        print(f"{len(failures)} failed")
        return 1

    worst = 0.0
    for label, call, _ in CASES:
        run(call, 50)
        delta = refcount_delta(call, CALLS)
        worst = max(worst, delta)
        if delta >= LIMIT:
            failures.append(f"{label}: {delta:.3f} references per call")
    foreign_worst = (0.0, 0.0)
    for label, call, _ in FOREIGN_CASES:
        # Warm up until the interpreter's and clarabel's one-time allocations are done.
        run(call, FOREIGN_WARM_UP)
        refs, size = foreign_growth(call, FOREIGN_CALLS)
        foreign_worst = max(foreign_worst[0], refs), max(foreign_worst[1], size)
        if refs >= LIMIT or size >= FOREIGN_BYTES:
            failures.append(f"{label}: {refs:.3f} witness references, {size:.1f} bytes per call")
    print(f"refcount: {len(CASES)} cases x {CALLS} calls, worst {worst:.4f} references per call "
          f"(limit {LIMIT}); {len(FOREIGN_CASES)} numpy and smoothing cases x {FOREIGN_CALLS} calls, worst "
          f"{foreign_worst[0]:.3f} witness references and {foreign_worst[1]:.2f} traced bytes per "
          f"call; {time.monotonic() - started:.1f} s")
    for failure in failures:
        print(failure)
    total = len(CASES) + len(FOREIGN_CASES)
    print(f"refcount: {total - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
