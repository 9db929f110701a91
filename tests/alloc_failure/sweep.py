"""Allocation-failure sweep: every entry point of ordavin, with its N-th C++ allocation failing.

For each entry point (every constructor form, factory, property and method, with valid
arguments and with each kind of binding and conversion error, the special methods of
ResamplingType, pickling) the N-th operator new after arming fails, for N = 0, 1, 2, ... until
a call completes without reaching it. Each call must then end in MemoryError or give its normal
result, and calling it again on the same objects must give the normal result: never an abort,
never another exception, never a half-filled cache.

The failing operator new lives in a small library (tools/alloc_failure/fail_nth_new.cpp) that
the sweep preloads into one child interpreter per entry point, so that an abort ends only that
child and is reported with the entry point and N. Past the first DENSE allocations of a call,
N is sampled with a stride that grows with N; the last TAIL allocations are always all tried.

    python tests/alloc_failure/sweep.py --library build/alloc-failure/libfail_nth_new.so
"""

import argparse
import concurrent.futures
import ctypes
import json
import os
import pathlib
import subprocess
import sys
import time

DENSE = 400
TAIL = 64
# Beyond DENSE, each step is N // SPARSENESS: about that many trials per doubling of N.
SPARSENESS = 24
CHILD_TIMEOUT = 300
MAX_ABORTS_PER_ENTRY = 20


# ---- the entry points -------------------------------------------------------------------------
#
# Each entry point is a setup, which makes fresh objects outside the armed window (so a cache
# filled by one trial never serves the next), a call that receives them, and the modules the
# call imports on first use: those are imported before arming, since their own C++ code is not
# under test (and only where needed, since scipy alone takes seconds to import).

def entry_points():
    import importlib
    import pickle

    from ordavin import Path, ResamplingType

    points = [[0.0, 0.0], [1.0, 0.2], [2.0, 0.9], [2.0, 0.9], [3.0, 2.1], [3.5, 3.4],
              [3.6, 4.8], [3.2, 6.0], [2.4, 7.1], [1.1, 7.8]]
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    class Sequence:
        """A sequence that is no list or tuple: conversion takes the iterator path."""

        def __init__(self, items):
            self.items = items

        def __len__(self):
            return len(self.items)

        def __getitem__(self, index):
            return self.items[index]

    class Index:
        def __index__(self):
            return 1

    def path():
        return (Path.from_points(points),)

    def nothing():
        return ()

    table = {}
    LAPACK = ["scipy.linalg.cython_lapack"]
    SOLVER = ["clarabel"]

    def add(name, call, setup=path, needs=()):
        table[name] = (setup, call, needs)

    def array(values):
        return importlib.import_module("numpy").array(values)

    # Construction.
    add("Path(points)", lambda: Path(points), nothing)
    add("Path(points=)", lambda: Path(points=points), nothing)
    add("Path(x=, y=)", lambda: Path(x=xs, y=ys), nothing)
    add("Path(None, x, y)", lambda: Path(None, xs, ys[:-3]), nothing)
    add("Path() neither form", lambda: Path(), nothing)
    add("Path(points, x=, y=) both forms", lambda: Path(points, x=xs, y=ys), nothing)
    add("Path too many positional", lambda: Path(points, xs, ys, 4), nothing)
    add("Path unexpected keyword", lambda: Path(z=1), nothing)
    add("Path multiple values", lambda: Path(points, points=points), nothing)
    add("Path(points=str)", lambda: Path(points="ab"), nothing)
    add("from_points(list)", lambda: Path.from_points(points), nothing)
    add("from_points(points=)", lambda: Path.from_points(points=points), nothing)
    add("from_points(tuple of tuples)",
        lambda: Path.from_points(tuple(map(tuple, points))), nothing)
    add("from_points(sequence)", lambda: Path.from_points(Sequence(points)), nothing)
    add("from_points(array)", lambda a: Path.from_points(a), lambda: (array(points),),
        needs=["numpy"])
    add("from_points(empty)", lambda: Path.from_points([]), nothing)
    add("from_points missing argument", lambda: Path.from_points(), nothing)
    add("from_points too many positional", lambda: Path.from_points(points, points), nothing)
    add("from_points unexpected keyword",
        lambda: Path.from_points(points=points, scale=2), nothing)
    add("from_points multiple values", lambda: Path.from_points(points, points=points), nothing)
    add("from_points(int)", lambda: Path.from_points(5), nothing)
    add("from_points(str)", lambda: Path.from_points("ab"), nothing)
    add("from_points(point of length 3)", lambda: Path.from_points([[1, 2, 3]]), nothing)
    add("from_points(non-number item)", lambda: Path.from_points([["a", 1]]), nothing)
    add("from_coordinates(x, y)", lambda: Path.from_coordinates(xs, ys), nothing)
    add("from_coordinates unequal lengths", lambda: Path.from_coordinates(xs, ys[:4]), nothing)
    add("from_coordinates(arrays)", lambda x, y: Path.from_coordinates(x, y),
        lambda: (array(xs), array(ys)), needs=["numpy"])
    add("Path(x=array, y=list)", lambda x: Path(x=x, y=ys), lambda: (array(xs),),
        needs=["numpy"])

    def unaligned(values):
        numpy = importlib.import_module("numpy")
        source = numpy.ascontiguousarray(values, dtype=float)
        raw = numpy.zeros(source.nbytes + 1, dtype=numpy.uint8)
        raw[1:] = numpy.frombuffer(source.tobytes(), numpy.uint8)
        return numpy.frombuffer(raw.data, float, source.size, 1).reshape(source.shape)

    add("from_points(unaligned array)", lambda a: Path.from_points(a),
        lambda: (unaligned(points),), needs=["numpy"])
    add("from_coordinates(sequences)",
        lambda: Path.from_coordinates(Sequence(xs), Sequence(ys)), nothing)
    add("from_coordinates missing 1 argument", lambda: Path.from_coordinates(xs), nothing)
    add("from_coordinates missing 2 arguments", lambda: Path.from_coordinates(), nothing)
    add("from_coordinates too many positional",
        lambda: Path.from_coordinates(xs, ys, ys), nothing)
    add("from_coordinates unexpected keyword",
        lambda: Path.from_coordinates(xs, ys, w=1), nothing)
    add("from_coordinates multiple values",
        lambda: Path.from_coordinates(xs, ys, x=xs), nothing)
    add("from_coordinates(set)", lambda: Path.from_coordinates({1.0}, ys), nothing)

    # Attributes and properties, each on a path whose caches are empty.
    for name in ["points", "x", "y", "path_length_per_point", "length", "orientation",
                 "unit_tangent_vector", "curvature"]:
        add(f".{name}", lambda p, name=name: getattr(p, name))
    add(".curvature (two points)", lambda p: p.curvature,
        lambda: (Path.from_points(points[:2]),))

    # Methods with valid arguments, and with each kind of binding and conversion error.
    add("compute_circle_fit_curvature()", lambda p: p.compute_circle_fit_curvature(),
        needs=LAPACK)
    add("compute_circle_fit_curvature(max_rmse=)",
        lambda p: p.compute_circle_fit_curvature(max_rmse=0.01), needs=LAPACK)
    add("compute_circle_fit_curvature too many positional",
        lambda p: p.compute_circle_fit_curvature(0.1, 0.2))
    add("compute_circle_fit_curvature unexpected keyword",
        lambda p: p.compute_circle_fit_curvature(rmse=0.1))
    add("compute_circle_fit_curvature multiple values",
        lambda p: p.compute_circle_fit_curvature(0.1, max_rmse=0.1))
    add("compute_circle_fit_curvature(str)", lambda p: p.compute_circle_fit_curvature("a"))
    add("find_circle_segments(start, end)", lambda p: p.find_circle_segments(0, 10),
        needs=LAPACK)
    add("find_circle_segments(start, end, max_rmse)",
        lambda p: p.find_circle_segments(1, 9, 0.01), needs=LAPACK)
    add("find_circle_segments missing argument", lambda p: p.find_circle_segments(0))
    add("find_circle_segments missing 2 arguments", lambda p: p.find_circle_segments())
    add("find_circle_segments too many positional",
        lambda p: p.find_circle_segments(0, 1, 0.1, 4))
    add("find_circle_segments unexpected keyword",
        lambda p: p.find_circle_segments(0, 1, stop=3))
    add("find_circle_segments multiple values", lambda p: p.find_circle_segments(0, 1, start=0))
    add("find_circle_segments(-1, end)", lambda p: p.find_circle_segments(-1, 3))
    add("find_circle_segments(str, end)", lambda p: p.find_circle_segments("a", 3))
    add("resampled_path(n)", lambda p: p.resampled_path(25))
    add("resampled_path(n, Cubic)", lambda p: p.resampled_path(25, ResamplingType.Cubic))
    add("resampled_path(n, resampling_type=Linear)",
        lambda p: p.resampled_path(number_points=7, resampling_type=ResamplingType.Linear))
    add("resampled_path(too many points)", lambda p: p.resampled_path(2**62))
    add("resampled_path missing argument", lambda p: p.resampled_path())
    add("resampled_path too many positional",
        lambda p: p.resampled_path(5, ResamplingType.Cubic, 1))
    add("resampled_path unexpected keyword", lambda p: p.resampled_path(5, kind=1))
    add("resampled_path multiple values", lambda p: p.resampled_path(5, number_points=5))
    add("resampled_path(n, int)", lambda p: p.resampled_path(5, 1))
    add("smoothed_path(max_deviation)", lambda p: p.smoothed_path(0.1), needs=SOLVER)
    add("smoothed_path(solver fails)", lambda p: p.smoothed_path(float("nan")), needs=SOLVER)
    add("smoothed_path missing argument", lambda p: p.smoothed_path())
    add("smoothed_path too many positional", lambda p: p.smoothed_path(0.1, 0.2))
    add("smoothed_path unexpected keyword", lambda p: p.smoothed_path(deviation=0.1))
    add("smoothed_path multiple values", lambda p: p.smoothed_path(0.1, max_deviation=0.1))
    add("smoothed_path(str)", lambda p: p.smoothed_path("a"))
    add("without_duplicate_points()", lambda p: p.without_duplicate_points())
    add("without_duplicate_points(argument)", lambda p: p.without_duplicate_points(1))
    add("index_from_point(point)", lambda p: p.index_from_point([2.5, 1.5]))
    add("index_from_point(unlocated)", lambda p: p.index_from_point([50.0, 50.0], epsilon=0.1))
    add("index_from_point missing argument", lambda p: p.index_from_point())
    add("index_from_point too many positional", lambda p: p.index_from_point([0, 0], 0.1, 1))
    add("index_from_point unexpected keyword", lambda p: p.index_from_point([0, 0], eps=0.1))
    add("index_from_point multiple values", lambda p: p.index_from_point([0, 0], point=[0, 0]))
    add("index_from_point(point of length 3)", lambda p: p.index_from_point([0, 0, 0]))
    add("index_from_point(int)", lambda p: p.index_from_point(5))
    add("path_length_from_point(point)", lambda p: p.path_length_from_point((2.5, 1.5)))
    add("path_length_from_point(unlocated)", lambda p: p.path_length_from_point([50.0, 50.0]))
    add("path_length_from_point missing argument", lambda p: p.path_length_from_point())
    add("path_length_from_point too many positional",
        lambda p: p.path_length_from_point([0, 0], 0.1, 1))
    add("path_length_from_point unexpected keyword",
        lambda p: p.path_length_from_point([0, 0], eps=0.1))
    add("path_length_from_point multiple values",
        lambda p: p.path_length_from_point([0, 0], epsilon=0.1, point=[0, 0]))
    add("sub_path()", lambda p: p.sub_path())
    add("sub_path(start, end)", lambda p: p.sub_path([0.5, 0.1], [3.2, 2.6], epsilon=0.2))
    add("sub_path(unlocated)", lambda p: p.sub_path(start=[50.0, 50.0]))
    add("sub_path too many positional", lambda p: p.sub_path(None, None, 0.1, 1))
    add("sub_path unexpected keyword", lambda p: p.sub_path(begin=[0, 0]))
    add("sub_path multiple values", lambda p: p.sub_path([0, 0], start=[0, 0]))
    add("sub_path(point of length 1)", lambda p: p.sub_path(start=[0]))

    # The NumPy view, each on a path whose caches are empty.
    NUMPY = ["numpy"]
    for name in ["points", "x", "y", "path_length_per_point", "length", "orientation",
                 "unit_tangent_vector", "curvature"]:
        add(f".arrays.{name}", lambda p, name=name: getattr(p.arrays, name), needs=NUMPY)
    add(".arrays.compute_circle_fit_curvature()",
        lambda p: p.arrays.compute_circle_fit_curvature(), needs=LAPACK + NUMPY)
    add(".arrays.find_circle_segments(start, end)",
        lambda p: p.arrays.find_circle_segments(0, 10), needs=LAPACK + NUMPY)
    add(".arrays.find_circle_segments(str, end)",
        lambda p: p.arrays.find_circle_segments("a", 3), needs=NUMPY)
    queries = [[2.5, 1.5], [50.0, 50.0], [0.0, 0.0], [1.0, 0.2]]
    add(".arrays.index_from_point(points)", lambda p: p.arrays.index_from_point(queries),
        needs=NUMPY)
    add(".arrays.index_from_point(point)", lambda p: p.arrays.index_from_point([2.5, 1.5]),
        needs=NUMPY)
    add(".arrays.index_from_point(array)", lambda p, q: p.arrays.index_from_point(q),
        lambda: (Path.from_points(points), array(queries).T.copy().T), needs=NUMPY)
    add(".arrays.path_length_from_point(points)",
        lambda p: p.arrays.path_length_from_point(queries, epsilon=0.1), needs=NUMPY)
    add(".arrays.path_length_from_point(bad point)",
        lambda p: p.arrays.path_length_from_point([[0, 0, 0]]), needs=NUMPY)
    stations = [[-1.0, 0.5], [2.5, 40.0]]
    add(".arrays.interpolate(s)", lambda p: p.arrays.interpolate(stations), needs=NUMPY)
    add(".arrays.interpolate(s, Cubic)",
        lambda p: p.arrays.interpolate(0.5, ResamplingType.Cubic), needs=NUMPY)
    add(".arrays.interpolate(many s)", lambda p, s: p.arrays.interpolate(s),
        lambda: (Path.from_points(points), array([0.1 * k for k in range(40)])), needs=NUMPY)
    add(".arrays.interpolate(bad nesting)", lambda p: p.arrays.interpolate([[1.0], [1.0, 2.0]]),
        needs=NUMPY)
    add(".arrays.from_frenet(s, d)", lambda p: p.arrays.from_frenet(stations, [[1.0], [-1.0]]),
        needs=NUMPY)
    add(".arrays.from_frenet(many s, d)", lambda p, s: p.arrays.from_frenet(s, 0.5),
        lambda: (Path.from_points(points), array([0.1 * k for k in range(40)])), needs=NUMPY)
    add(".arrays.from_frenet(mismatch)", lambda p: p.arrays.from_frenet([1.0, 2.0], [1.0, 2.0, 3.0]),
        needs=NUMPY)
    add(".arrays.frenet(points)", lambda p: p.arrays.frenet(queries), needs=NUMPY)
    add(".arrays.frenet(points, hints, window)",
        lambda p: p.arrays.frenet(queries, [0.0, 1.0, 2.0, 3.0], 1.5), needs=NUMPY)
    add(".arrays.frenet(points, hint)", lambda p: p.arrays.frenet([2.5, 1.5], 1.0), needs=NUMPY)
    add(".arrays.frenet(window without hint)",
        lambda p: p.arrays.frenet(queries, window=1.0), needs=NUMPY)
    add(".arrays.frenet(hint of another shape)",
        lambda p: p.arrays.frenet(queries, [1.0, 2.0]), needs=NUMPY)

    # ResamplingType.
    add("repr(Cubic)", lambda: repr(ResamplingType.Cubic), nothing)
    add("repr(Linear)", lambda: repr(ResamplingType.Linear), nothing)
    add("str(Linear)", lambda: str(ResamplingType.Linear), nothing)
    add("int(Cubic)", lambda: int(ResamplingType.Cubic), nothing)
    add("Linear == Linear", lambda: ResamplingType.Linear == ResamplingType.Linear, nothing)
    add("Linear == 1", lambda: ResamplingType.Linear == 1, nothing)
    add("Linear != __index__", lambda: ResamplingType.Linear != Index(), nothing)
    add("Linear == 'Linear'", lambda: ResamplingType.Linear == "Linear", nothing)
    add("Cubic < Linear", lambda: ResamplingType.Cubic < ResamplingType.Linear, nothing)
    add("hash(Linear)", lambda: hash(ResamplingType.Linear), nothing)
    add("ResamplingType()", lambda: ResamplingType(), nothing)

    # Pickling, both ways.
    add("pickle.dumps(path)", lambda p: pickle.dumps(p))
    add("pickle.loads(path)", lambda data: pickle.loads(data),
        lambda: (pickle.dumps(Path.from_coordinates(xs, ys[:6])),))
    add("Path._from_state missing argument", lambda: Path._from_state(xs), nothing)
    add("pickle.dumps(ResamplingType)", lambda: pickle.dumps(ResamplingType.Cubic), nothing)
    add("pickle.loads(ResamplingType)", lambda data: pickle.loads(data),
        lambda: (pickle.dumps(ResamplingType.Linear),))
    add("ResamplingType._from_value(2)", lambda: ResamplingType._from_value(2), nothing)
    return table


# ---- the child: one entry point, N after N ----------------------------------------------------

def load_injector(library):
    maps = pathlib.Path("/proc/self/maps").read_text()
    if str(pathlib.Path(library).resolve()) not in maps:
        sys.exit(f"{library} is not preloaded: the sweep must run it through LD_PRELOAD")
    injector = ctypes.CDLL(library)
    injector.fail_nth_new_arm.argtypes = [ctypes.c_long]
    injector.fail_nth_new_calls_since_arm.restype = ctypes.c_long
    injector.fail_nth_new_fired.restype = ctypes.c_int
    # Were the module's operator new calls not routed here, every call would pass untouched.
    from ordavin import Path

    injector.fail_nth_new_arm(1 << 40)
    Path.from_coordinates([0.0], [0.0])
    injector.fail_nth_new_disarm()
    if injector.fail_nth_new_calls_since_arm() == 0:
        sys.exit(f"{library} is preloaded but does not see the module's allocations")
    return injector


def describe(result, error):
    """A call's result, or its exception type and message, as comparable text."""
    from ordavin import Path

    if error is not None:
        return f"raised {type(error).__qualname__}: {error}"
    if isinstance(result, Path):
        return f"Path points={result.points!r} x={result.x!r} y={result.y!r}"
    return f"returned {result!r}"


def outcome_of(call, arguments):
    try:
        return describe(call(*arguments), None)
    except BaseException as error:  # PanicException derives from BaseException
        return describe(None, error)


def armed_outcome(injector, call, arguments, n):
    """The call with allocation n failing. The outcome is described only after disarming,
    since reading a result may allocate."""
    result, error = None, None
    injector.fail_nth_new_arm(n)
    try:
        result = call(*arguments)
    except BaseException as raised:
        error = raised
    finally:
        injector.fail_nth_new_disarm()
    fired = bool(injector.fail_nth_new_fired())
    return fired, injector.fail_nth_new_calls_since_arm(), describe(result, error)


def schedule(start):
    """N values from `start` on: all up to DENSE, then about SPARSENESS per doubling."""
    n = start
    while True:
        yield n
        n += 1 if n < DENSE else max(1, n // SPARSENESS)


def run_child(name, library, start):
    import importlib

    injector = load_injector(library)
    setup, call, needs = entry_points()[name]
    for module in needs:
        importlib.import_module(module)
    # No warm-up call: the first trials also reach what the module does only once (resolving
    # LAPACK, the solver's handles, PanicException). The reference comes last for that reason.
    trials = []
    tried = set()

    def trial(n):
        print(f"trial {n}", flush=True)
        arguments = setup()
        fired, allocations, outcome = armed_outcome(injector, call, arguments, n)
        # The same objects once more, nothing failing: a cache a failed call left behind, or a
        # half-built object, would show here.
        again = outcome_of(call, arguments) if fired else outcome
        trials.append((n, fired, outcome, again))
        tried.add(n)
        print(f"done {n} {int(fired)}", flush=True)
        return fired, allocations

    completed_after = None
    for n in schedule(start):
        fired, allocations = trial(n)
        if not fired:
            completed_after = allocations
            break
    # The last allocations of a call (building its result) are always tried one by one.
    if completed_after is not None:
        for n in range(max(start, completed_after - TAIL), completed_after):
            if n not in tried:
                trial(n)

    reference = outcome_of(call, setup())
    faults = []
    for n, fired, outcome, again in trials:
        memory_error = outcome.startswith("raised MemoryError")
        reference_is_memory_error = reference.startswith("raised MemoryError")
        if fired and memory_error:
            pass
        elif outcome != reference:
            what = "MemoryError without an injected failure" if memory_error else outcome
            faults.append(f"N={n}: expected {reference!r}, got {what!r}")
            continue
        if fired and again != reference and not (
            reference_is_memory_error and again.startswith("raised MemoryError")
        ):
            faults.append(f"N={n}: after the failure the same call gave {again!r}, "
                          f"expected {reference!r}")
    print("result " + json.dumps({
        "entry": name,
        "trials": len(trials),
        "fired": sorted(n for n, fired, _, _ in trials if fired),
        "allocations": completed_after,
        "faults": faults,
    }), flush=True)


# ---- the parent: one child per entry point, restarted past an abort --------------------------

def sweep_entry(name, library, python):
    environment = dict(os.environ, LD_PRELOAD=str(library))
    aborts, faults, fired, trials = [], [], [], 0
    allocations = None
    start = 0
    while True:
        try:
            child = subprocess.run(
                [python, __file__, "--library", str(library), "--child", name,
                 "--start", str(start)],
                env=environment, capture_output=True, text=True, timeout=CHILD_TIMEOUT)
        except subprocess.TimeoutExpired as timeout:
            output = timeout.stdout.decode() if timeout.stdout else ""
            tried = [line for line in output.splitlines() if line.startswith("trial ")]
            last = tried[-1].split()[1] if tried else "?"
            faults.append(f"N={last}: no answer within {CHILD_TIMEOUT} s")
            break
        lines = child.stdout.splitlines()
        results = [line for line in lines if line.startswith("result ")]
        if child.returncode == 0 and results:
            summary = json.loads(results[-1][len("result "):])
            faults += summary["faults"]
            fired += summary["fired"]
            trials += summary["trials"]
            allocations = summary["allocations"]
            break
        tried = [int(line.split()[1]) for line in lines if line.startswith("trial ")]
        if not tried:
            faults.append(f"the child failed before its first trial:\n{child.stderr.strip()}")
            break
        last = tried[-1]
        trials += len(tried)
        fired += [int(line.split()[1]) for line in lines
                  if line.startswith("done ") and line.endswith(" 1")]
        fired.append(last)
        reason = child.stderr.strip().splitlines()[-2:] or [f"exit status {child.returncode}"]
        aborts.append(f"N={last}: {' / '.join(reason)}")
        if len(aborts) >= MAX_ABORTS_PER_ENTRY:
            faults.append(f"stopped after {len(aborts)} aborts")
            break
        start = last + 1
    return {"entry": name, "aborts": aborts, "faults": faults, "fired": sorted(set(fired)),
            "trials": trials, "allocations": allocations}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", required=True, type=pathlib.Path,
                        help="the built fail_nth_new shared library")
    parser.add_argument("--child", help=argparse.SUPPRESS)
    parser.add_argument("--start", type=int, default=0, help=argparse.SUPPRESS)
    parser.add_argument("--jobs", type=int, default=2, help="child interpreters run at once")
    parser.add_argument("--only", help="sweep only the entry points whose name contains this")
    parser.add_argument("--verbose", action="store_true",
                        help="list the allocations and trials of every entry point")
    arguments = parser.parse_args()
    library = arguments.library.resolve()

    if arguments.child is not None:
        run_child(arguments.child, str(library), arguments.start)
        return 0
    if not library.is_file():
        sys.exit(f"{library} does not exist; build it first (make check-alloc-failure)")

    names = [name for name in entry_points() if not arguments.only or arguments.only in name]
    begun = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(arguments.jobs) as pool:
        reports = list(pool.map(lambda name: sweep_entry(name, library, sys.executable), names))
    elapsed = time.monotonic() - begun

    if arguments.verbose:
        for report in reports:
            print(f"{report['entry']}: {report['allocations']} allocations, "
                  f"{report['trials']} trials, {len(report['fired'])} failed on purpose")
    failed = [report for report in reports if report["aborts"] or report["faults"]]
    for report in failed:
        print(f"FAIL {report['entry']}")
        for line in report["aborts"]:
            print(f"    abort at {line}")
        for line in report["faults"]:
            print(f"    {line}")
    sites = sum(len(report["fired"]) for report in reports)
    trials = sum(report["trials"] for report in reports)
    print(f"allocation-failure sweep: {len(reports)} entry points, {sites} allocation sites "
          f"failed on purpose ({trials} trials) in {elapsed:.0f} s; "
          f"{len(failed)} entry points with faults")
    if names and not failed:
        largest = max(reports, key=lambda report: report["allocations"] or 0)
        print(f"    the most allocations in one call: {largest['allocations']} "
              f"({largest['entry']})")
    return 1 if failed or not names else 0


if __name__ == "__main__":
    sys.exit(main())
