"""Path.arrays: NumPy views that share the path's memory and equal the lists bit for bit."""

import ast
import gc
import inspect
import math
import os
import pathlib
import struct
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest
from hypothesis import given
from hypothesis import strategies as st

import ordavin
from ordavin import Path

PER_POINT = ["points", "x", "y", "path_length_per_point", "orientation", "unit_tangent_vector",
             "curvature"]


def from_bits(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def packed(values):
    """The exact bytes of a list property (a list of floats or of [x, y] lists)."""
    flat = [c for v in values for c in v] if values and isinstance(values[0], list) else values
    return struct.pack(f"<{len(flat)}d", *flat)


NASTY = [0.0, -0.0, math.inf, -math.inf, math.nan, -math.nan, 5e-324, -5e-324,
         2.2250738585072009e-308, 1.7976931348623157e308, from_bits(0x7FF0000000000001),
         from_bits(0xFFF4DEADBEEF0001), 1.0, 3.0]
coordinates = st.one_of(st.floats(-1e3, 1e3), st.sampled_from(NASTY),
                        st.integers(0, 2**64 - 1).map(from_bits))


@st.composite
def paths(draw, coordinate=coordinates, max_size=25):
    form = draw(st.sampled_from(["points", "constructor", "coordinates"]))
    if form == "coordinates":  # lengths may differ: x and y stay whole, points are pairs
        x = draw(st.lists(coordinate, max_size=max_size))
        y = draw(st.lists(coordinate, max_size=max_size))
        return Path.from_coordinates(x, y), min(len(x), len(y))
    points = draw(st.lists(st.tuples(coordinate, coordinate), max_size=max_size))
    for index in draw(st.lists(st.integers(0, max(len(points) - 1, 0)), max_size=4)):
        if points:  # runs of repeated points (zero-length segments)
            points.insert(index, points[index])
    path = Path.from_points(points) if form == "points" else Path(points)
    return path, len(points)


@given(paths(), st.permutations([(name, kind) for name in PER_POINT for kind in ("array", "list")]))
def test_every_array_is_its_list_bit_for_bit_in_any_order_of_first_use(path_and_size, order):
    path, size = path_and_size
    first = {}
    for name, kind in order:
        first[name, kind] = getattr(path.arrays if kind == "array" else path, name)
    for name in PER_POINT:
        array, values = first[name, "array"], first[name, "list"]
        assert array.dtype == np.float64 and type(array) is np.ndarray
        assert array.shape == ((size, 2) if name in ("points", "unit_tangent_vector")
                               else (len(values),))
        assert array.tobytes() == packed(values), name
        assert not array.flags.writeable
        again = getattr(path.arrays, name)
        assert again.size == 0 or np.shares_memory(array, again), name
    assert struct.pack("<d", path.arrays.length) == struct.pack("<d", path.length)


@given(paths(coordinate=st.one_of(st.floats(-50, 50), st.sampled_from(NASTY)), max_size=12),
       st.floats(0.0, 1.0), st.integers(0, 14), st.integers(0, 14))
def test_circle_methods_equal_their_lists(path_and_size, max_rmse, start, end):
    path, _ = path_and_size
    for call in [lambda p: p.compute_circle_fit_curvature(max_rmse),
                 lambda p: p.find_circle_segments(start, end, max_rmse=max_rmse)]:
        try:
            expected = call(path)
        except BaseException as error:  # noqa: B036 - PanicException derives from BaseException
            with pytest.raises(type(error)) as info:
                call(path.arrays)
            assert str(info.value) == str(error)
            continue
        result = call(path.arrays)
        if isinstance(result, tuple):
            starts, ends, curvatures = result
            assert (starts.dtype, ends.dtype, curvatures.dtype) == (np.uint64, np.uint64,
                                                                    np.float64)
            assert list(zip(starts.tolist(), ends.tolist())) == [s[:2] for s in expected]
            assert curvatures.tobytes() == packed([s[2] for s in expected])
            arrays = result
        else:
            assert result.dtype == np.float64 and result.tobytes() == packed(expected)
            arrays = (result, call(path.arrays))
        # New memory each call, the caller's to change.
        assert all(a.flags.writeable for a in arrays)
        assert not any(np.shares_memory(a, b) for i, a in enumerate(arrays) for b in arrays[i + 1:])


BAD_CALLS = [
    ("find_circle_segments", (), {}),
    ("find_circle_segments", (0,), {}),
    ("find_circle_segments", (0, 3, 0.1, 1), {}),
    ("find_circle_segments", (0, 3), {"scale": 1}),
    ("find_circle_segments", (0,), {"start": 1, "end": 2}),
    ("find_circle_segments", (-1, 3), {}),
    ("find_circle_segments", (2**64, 3), {}),
    ("find_circle_segments", ("0", 3), {}),
    ("find_circle_segments", (0, 3, "x"), {}),
    ("find_circle_segments", (3, 1), {}),
    ("find_circle_segments", (0, 9), {}),
    ("compute_circle_fit_curvature", (0.1, 2), {}),
    ("compute_circle_fit_curvature", ([0.1],), {}),
    ("compute_circle_fit_curvature", (), {"rmse": 0.1}),
]


@pytest.mark.parametrize("name, args, kwargs", BAD_CALLS)
def test_circle_methods_fail_like_the_path_methods(name, args, kwargs):
    path = Path([(0, 0), (1, 1), (2, 0), (3, 1)])
    with pytest.raises(BaseException) as on_path:
        getattr(path, name)(*args, **kwargs)
    with pytest.raises(BaseException) as on_view:
        getattr(path.arrays, name)(*args, **kwargs)
    assert type(on_view.value) is type(on_path.value)
    assert str(on_view.value) == str(on_path.value).replace("Path.", "PathArrays.")
    assert type(on_view.value.__cause__) is type(on_path.value.__cause__)


@pytest.mark.parametrize("name", PER_POINT)
def test_views_share_memory_and_refuse_writes(name):
    path = Path(np.random.default_rng(1).normal(size=(1000, 2)))
    array = getattr(path.arrays, name)
    assert np.shares_memory(array, getattr(path.arrays, name))
    with pytest.raises(ValueError):
        array.setflags(write=True)
    with pytest.raises(ValueError):
        array[0] = 1.0
    with pytest.raises(ValueError):  # nor through a view of the view
        array[:1].setflags(write=True)
    assert array.tobytes() == packed(getattr(path, name))


def test_view_is_a_sealed_class():
    view = Path([(0, 0)]).arrays
    kind = type(view)
    assert (kind.__name__, kind.__module__) == ("PathArrays", "ordavin")
    assert type(view.x.base[0]).__module__ == "ordavin"  # the memory exporter
    with pytest.raises(TypeError):
        kind()
    with pytest.raises(TypeError):
        type("Derived", (kind,), {})
    with pytest.raises(AttributeError):
        view.points = None
    with pytest.raises(AttributeError):
        view.anything = 1
    assert "PathArrays" not in ordavin.__all__ and not hasattr(ordavin, "PathArrays")


def test_stub_of_the_view_declares_exactly_what_it_has():
    # stubtest cannot reach the class (it is no module attribute), so its stub is checked here.
    stub = pathlib.Path(__file__).resolve().parents[2] / "stubs" / "ordavin-stubs" / "__init__.pyi"
    tree = ast.parse(stub.read_text())
    declared = next(node for node in tree.body
                    if isinstance(node, ast.ClassDef) and node.name == "PathArrays")
    functions = {node.name: node for node in declared.body if isinstance(node, ast.FunctionDef)}
    kind = type(Path([]).arrays)
    assert set(functions) == {name for name in vars(kind) if not name.startswith("_")}
    for name, function in functions.items():
        runtime = vars(kind)[name]
        if any(getattr(d, "id", None) == "property" for d in function.decorator_list):
            assert type(runtime).__name__ == "getset_descriptor", name
            continue
        parameters = inspect.signature(runtime).parameters.values()
        assert [p.name for p in parameters] == [a.arg for a in function.args.args]
        defaults = [p.default for p in parameters if p.default is not inspect.Parameter.empty]
        assert defaults == [ast.literal_eval(d) for d in function.args.defaults]


def test_arrays_outlive_their_path_and_view_and_release_it():
    rng = np.random.default_rng(2)
    coordinates = rng.normal(size=(500, 2))
    path = Path(coordinates)
    references = sys.getrefcount(path)
    view = path.arrays
    arrays = {name: getattr(view, name) for name in PER_POINT}
    expected = {name: packed(getattr(path, name)) for name in PER_POINT}
    segments = view.find_circle_segments(0, 500)
    assert sys.getrefcount(path) == references + 1 + len(PER_POINT)
    del path, view
    gc.collect()
    churn = [Path(rng.normal(size=(500, 2))).arrays.curvature for _ in range(20)]
    for name, array in arrays.items():
        assert array.tobytes() == expected[name], name
    assert arrays["points"].tobytes() == coordinates.tobytes()
    assert segments[1][-1] == 500 and len(churn) == 20

    path = Path(coordinates)
    references = sys.getrefcount(path)
    array = path.arrays.points
    del array
    assert sys.getrefcount(path) == references


def base_chain(array):
    """Every object an array's `.base` leads to, tuples opened."""
    found, pending = [], [array.base]
    while pending:
        item = pending.pop()
        if item is None or any(item is seen for seen in found):
            continue
        found.append(item)
        pending.extend(item if isinstance(item, tuple) else [getattr(item, "base", None)])
    return found


def test_nothing_reachable_from_an_array_cuts_it_from_its_memory():
    # Whatever code does with what an array leads to (release it, drop every other
    # reference, collect), the array keeps reading the memory it was made over.
    rng = np.random.default_rng(3)
    coordinates = rng.normal(size=(300, 2))
    path = Path(coordinates)
    view = path.arrays
    arrays = [getattr(view, name) for name in PER_POINT]
    arrays += [view.index_from_point(coordinates[:60].reshape(3, 20, 2)),
               view.path_length_from_point(coordinates[:7]), view.compute_circle_fit_curvature(),
               *view.find_circle_segments(0, 300)]
    expected = [a.tobytes() for a in arrays]
    for array in arrays:
        for item in base_chain(array):
            assert not isinstance(item, memoryview)
            if hasattr(item, "release"):
                item.release()
            if not isinstance(item, np.ndarray):  # no buffer to take and release either
                with pytest.raises(TypeError):
                    memoryview(item)
    del path, view
    gc.collect()
    churn = [Path(rng.normal(size=(300, 2))).arrays.curvature for _ in range(20)]
    assert [a.tobytes() for a in arrays] == expected
    writable = arrays[len(PER_POINT)]
    writable[:] = 7  # results are the caller's own memory
    assert (writable == 7).all() and churn


def test_numpy_failing_to_allocate_a_view_is_memory_error_never_a_copy():
    # Every allocation of the interpreter's allocators fails once, in turn, while a view or a
    # result is made: each attempt gives MemoryError or the real shared, read-only view.
    result = run_isolated(
        "import _testcapi, numpy as np, ordavin\n"
        "p = ordavin.Path.from_points(np.random.default_rng(0).normal(size=(50, 2)))\n"
        "q = np.zeros((7, 2))\n"
        "for name, get in [('x', lambda: p.arrays.x), ('points', lambda: p.arrays.points),\n"
        "                  ('lengths', lambda: p.arrays.path_length_from_point(q))]:\n"
        "    get()\n"
        "    for k in range(60):\n"
        "        _testcapi.set_nomemory(k, k + 1)\n"
        "        try:\n"
        "            a = get()\n"
        "        except MemoryError:\n"
        "            continue\n"
        "        except BaseException as error:\n"
        "            print(name, k, type(error).__name__, error)\n"
        "            continue\n"
        "        finally:\n"
        "            _testcapi.remove_mem_hooks()\n"
        "        shared = name == 'lengths' or (np.shares_memory(a, get()) and not a.flags.writeable)\n"
        "        if a.flags.owndata or not shared:\n"
        "            print(name, k, 'a copy')\n"
        "print('done')\n"
    )
    assert result.stdout == "done\n", result.stdout + result.stderr


def test_interrupted_import_of_numpy_is_not_reported_as_missing_numpy():
    result = run_isolated(
        "import builtins, ordavin\n"
        "real_import = builtins.__import__\n"
        "path = ordavin.Path([(0, 0), (1, 1)])\n"
        "for error in (KeyboardInterrupt, MemoryError, SystemExit):\n"
        "    builtins.__import__ = lambda name, *a, error=error, **k: (\n"
        "        (_ for _ in ()).throw(error()) if name == 'numpy' else real_import(name, *a, **k))\n"
        "    try:\n"
        "        path.arrays\n"
        "    except BaseException as caught:\n"
        "        print(type(caught).__name__)\n"
        "builtins.__import__ = real_import\n"
        "print(path.arrays.x.tolist())\n"
    )
    assert result.stdout.splitlines() == ["KeyboardInterrupt", "MemoryError", "SystemExit",
                                          "[0.0, 1.0]"], result.stderr


@pytest.mark.parametrize("name", PER_POINT)
def test_threads_reading_a_fresh_path_share_one_array_memory(name):
    import threading

    path = Path(np.random.default_rng(4).normal(size=(200_000, 2)))
    start = threading.Barrier(8)
    seen = []

    def read():
        start.wait()
        array = getattr(path.arrays, name)
        seen.append((array.__array_interface__["data"][0], array))

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        threads = [threading.Thread(target=read) for _ in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        sys.setswitchinterval(interval)
    assert len({address for address, _ in seen}) == 1 and len(seen) == 8
    assert seen[0][1].tobytes() == packed(getattr(path, name))


def run_isolated(code):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=dict(os.environ), check=False)


def test_numpy_is_imported_on_first_use_of_the_view_only():
    result = run_isolated(
        "import sys, ordavin\n"
        "path = ordavin.Path([(0, 0), (1, 2), (3, 3)])\n"
        "path.points, path.x, path.curvature, path.unit_tangent_vector, path.length\n"
        "print('numpy' in sys.modules)\n"
        "view = path.arrays\n"
        "print('numpy' in sys.modules, view.x.tolist())\n"
    )
    assert result.stdout.split("\n")[:2] == ["False", "True [0.0, 1.0, 3.0]"], result.stderr


def test_missing_numpy_raises_import_error_saying_how_to_install_it():
    result = run_isolated(
        "import sys; sys.modules['numpy'] = None\n"
        "import ordavin\n"
        "path = ordavin.Path([(0, 0), (1, 1)])\n"
        "for attempt in range(2):\n"
        "    try:\n"
        "        path.arrays\n"
        "    except ImportError as error:\n"
        "        print(str(error), type(error.__cause__).__name__)\n"
        "print(path.curvature)\n"
    )
    lines = result.stdout.splitlines()
    assert len(lines) == 3, result.stderr
    assert lines[0] == lines[1]
    assert lines[0].endswith("install it with: pip install numpy ModuleNotFoundError")
    assert lines[2] == "[0.0, 0.0]"


# ---- locating many points at once ------------------------------------------------------------

LOCATING = ["index_from_point", "path_length_from_point"]


@st.composite
def located_queries(draw):
    """A path (NaN, inf, -0.0, repeated points, maybe closed) and queries on, near and off it,
    in one of the array-like forms, with the points as the scalar methods get them."""
    points = draw(st.lists(st.tuples(coordinates, coordinates), max_size=12))
    for index in draw(st.lists(st.integers(0, max(len(points) - 1, 0)), max_size=3)):
        if points:
            points.insert(index, points[index])
    if points and draw(st.booleans()):
        points.append(points[0])
    anywhere = st.one_of(st.floats(-4.0, 4.0), st.sampled_from(NASTY))
    kinds = [st.tuples(anywhere, anywhere).map(list)]
    if len(points) > 1:  # on a segment, or just off it
        offset = st.sampled_from([0.0, -0.0, 1e-3, -0.02, 0.3])
        kinds.append(st.builds(
            lambda i, t, dx, dy: [points[i][0] + t * (points[i + 1][0] - points[i][0]) + dx,
                                  points[i][1] + t * (points[i + 1][1] - points[i][1]) + dy],
            st.integers(0, len(points) - 2), st.sampled_from([0.0, 0.5, 1.0]) | st.floats(0, 1),
            offset, offset))
    query = st.one_of(*kinds)
    shape = draw(st.sampled_from([(), (0,), (1,), (5,), (2, 3), (3, 1, 2)]))
    count = int(np.prod(shape))
    queries = np.array(draw(st.lists(query, min_size=count, max_size=count)),
                       dtype=float).reshape(shape + (2,))
    form = draw(st.sampled_from(["list", "tuple", "float64", "float32", "int32", ">f8 F"]))
    if form == "list":
        given_as = queries.tolist()
    elif form == "tuple":
        given_as = [tuple(q) for q in queries.reshape(-1, 2).tolist()] if shape == (5,) else \
            tuple(queries.tolist())
    else:
        dtype, _, order = form.partition(" ")
        with np.errstate(invalid="ignore", over="ignore"):
            given_as = np.asarray(queries, dtype=dtype, order=order or "C")
        queries = np.array([[float(v) for v in q] for q in given_as.reshape(-1, 2)],
                           dtype=float).reshape(shape + (2,))
    epsilon = draw(st.one_of(st.floats(0.0, 0.5), st.sampled_from([0.0, math.nan, math.inf])))
    return Path.from_points(points), given_as, queries, epsilon


@given(located_queries())
def test_locating_many_points_gives_the_scalar_result_for_each(case):
    path, given_as, queries, epsilon = case
    indices = path.arrays.index_from_point(given_as, epsilon)
    lengths = path.arrays.path_length_from_point(given_as, epsilon=epsilon)
    assert (indices.dtype, lengths.dtype) == (np.int64, np.float64)
    assert indices.shape == lengths.shape == queries.shape[:-1]
    for position in np.ndindex(queries.shape[:-1]):
        query = queries[position].tolist()
        index = path.index_from_point(query, epsilon)
        assert indices[position] == (-1 if index is None else index)
        length = path.path_length_from_point(query, epsilon)
        if length is None:
            assert math.isnan(lengths[position])
        else:
            assert struct.pack("<d", lengths[position]) == struct.pack("<d", length)


class FailingFloat:
    def __float__(self):
        raise ZeroDivisionError("no float today")


BAD_POINTS = [5, "ab", [1], [1, 2, 3], [None, 1], {1: 2}, [1, "x"], [FailingFloat(), 1],
              (i for i in range(2))]


@pytest.mark.parametrize("name", LOCATING)
@pytest.mark.parametrize("args, kwargs", [((bad,), {}) for bad in BAD_POINTS] + [
    (([0, 0], None), {}), (([0, 0], "x"), {}), (([0, 0],), {"epsilon": [1]}),
    ((), {}), (([0, 0], 0.1, 3), {}), (([0, 0],), {"eps": 1}),
    (([0, 0],), {"point": [0, 0]}), (([0, 0],), {"epsilon": FailingFloat()}),
])
def test_bad_arguments_fail_as_the_scalar_methods_fail(name, args, kwargs):
    path = Path([(0, 0), (1, 0), (2, 1)])
    with pytest.raises(BaseException) as on_path:
        getattr(path, name)(*args, **kwargs)
    renamed = str(on_path.value).replace("Path.", "PathArrays.").replace("'point'", "'points'")
    calls = [(args, kwargs)]
    if args and args[0] is not BAD_POINTS[-1]:  # a bad point among good ones fails the same
        calls.append((([[0, 0], args[0]],) + args[1:], kwargs))
    for call_args, call_kwargs in calls:
        if "point" in call_kwargs:  # the view's parameter is named points
            call_kwargs = {"points": call_kwargs["point"], "epsilon": 0.1}
            renamed = "PathArrays.%s() got multiple values for argument 'points'" % name
        with pytest.raises(BaseException) as on_view:
            getattr(path.arrays, name)(*call_args, **call_kwargs)
        assert type(on_view.value) is type(on_path.value)
        assert str(on_view.value) == renamed
        assert type(on_view.value.__cause__) is type(on_path.value.__cause__)


class WithArray:
    def __init__(self, array_):
        self.array = array_

    def __array__(self, dtype=None, copy=None):
        return self.array if dtype is None else self.array.astype(dtype)


class WithInterface:
    def __init__(self, array_):
        self.array = array_
        self.__array_interface__ = array_.__array_interface__


ARRAY_LIKES = [
    WithArray, WithInterface, lambda a: pd.DataFrame(a.reshape(-1, 2), columns=["x", "y"]),
    lambda a: pd.DataFrame({"x": pd.array(a.reshape(-1, 2)[:, 0].round(), dtype="Int64"),
                            "y": a.reshape(-1, 2)[:, 1]}),
    lambda a: memoryview(np.ascontiguousarray(a)), lambda a: pd.Series(a.reshape(-1)[:2]),
]


@pytest.mark.parametrize("make", ARRAY_LIKES)
def test_the_view_takes_what_numpy_takes(make):
    rng = np.random.default_rng(4)
    path = Path(rng.normal(size=(40, 2)).cumsum(axis=0))
    given = rng.normal(scale=3.0, size=(6, 2)).cumsum(axis=0)
    array_like = make(given)
    expected = np.asarray(array_like, dtype=float) if not isinstance(array_like, pd.DataFrame) \
        else array_like.to_numpy(dtype=float, na_value=np.nan)
    for name in LOCATING:
        result = getattr(path.arrays, name)(array_like, 0.5)
        assert result.tobytes() == getattr(path.arrays, name)(expected, 0.5).tobytes()
    frame = pd.DataFrame({"x": pd.array([1, None], dtype="Int64"), "y": [0.0, 0.0]})
    assert np.isnan(path.arrays.path_length_from_point(frame)[1])  # a missing value is NaN


@pytest.mark.parametrize("given, shape", [
    (np.zeros((2, 5)), "(2, 5)"), (np.zeros(3), "(3,)"), (np.array(5.0), "()"),
    (memoryview(np.zeros((4, 3))), "(4, 3)"), (WithArray(np.zeros((3, 1))), "(3, 1)"),
    (pd.DataFrame(np.zeros((3, 3))), "(3, 3)"),
])
def test_an_array_of_another_shape_is_told_the_shape_expected(given, shape):
    for name in LOCATING:
        with pytest.raises(ValueError) as error:
            getattr(Path([(0, 0), (1, 0)]).arrays, name)(given)
        assert str(error.value) == f"expected 'points' of shape (..., 2), got shape {shape}"


@pytest.mark.parametrize("points, message", [
    ([[[0, 0]], [[0, 0], [1, 1]]], "points[1] holds 2 entries, while points[0] holds 1"),
    ([[0, 0], [[0, 0], [1, 1]]], "points[1] holds sequences, while points[0] is a point"),
    ([[[0, 0]], 5], "points[1] is not a sequence, while points[0] holds 1 entry"),
    ([[[[0, 0]]], [5]], "points[1][0] is not a sequence, while points[0][0] holds 1 entry"),
])
def test_inconsistent_nesting_raises_value_error_naming_the_item(points, message):
    for name in LOCATING:
        with pytest.raises(ValueError) as error:
            getattr(Path([(0, 0), (1, 0)]).arrays, name)(points)
        assert str(error.value) == "inconsistent nesting in 'points': " + message
