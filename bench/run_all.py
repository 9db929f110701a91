"""Every benchmark in one run: each case side by side with its peer, in one process.

For each case and size the two contestants alternate, sample by sample, and the median of
several samples is kept (small cases repeat the call within a sample). The table gives the
ordavin time, the peer time, peer / ordavin, ordavin's nanoseconds per point and its ratio to
the floor: the least work any converter must do for that case, measured in the same run by
bench/floors.c (walking the input list, building the output list, one linear pass).

    python bench/run_all.py                  # n = 1e2, 1e4, 1e6 (1e5 for smoothing)
    python bench/run_all.py --quick          # small sizes only
    python bench/run_all.py --write-readme   # also write the tables into docs/benchmarks.md
    python bench/run_all.py --guard          # small sizes; fail when a ratio drops below its floor
    python bench/run_all.py --arrays         # only the rows with arrays in and out (with --quick:
                                             # their small sizes), and the NumPy targets

Peers: numpy pipelines, scipy CubicHermiteSpline, shapely 2, circle-fit's taubinSVD, cvxpy with
CLARABEL and clarabel fed scipy matrices directly. A missing optional peer skips its rows.
The array rows (a float64 (n, 2) array in, arrays out on both sides) follow the list rows, with
a table of the peer / ordavin each should reach.
"""

import argparse
import datetime
import gc
import math
import os
import platform
import statistics
import subprocess
import sys
import time
from pathlib import Path as FilePath

import numpy as np

HERE = FilePath(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import floors  # noqa: E402  (bench/floors.py)
from ordavin import Path, ResamplingType  # noqa: E402

try:
    import shapely
    from shapely import ops as shapely_ops
except ImportError:
    shapely = None
try:
    from circle_fit import taubinSVD
except ImportError:
    taubinSVD = None
try:
    import cvxpy  # noqa: F401
except ImportError:
    cvxpy = None

FLOOR = floors.load()


# ---- timing ---------------------------------------------------------------------------------


class Fresh:
    """A call on an argument made anew for every repeat, outside the timed region: a path
    whose caches are still empty each time it is read. Called directly (the warm-up), it makes
    its argument and calls."""

    def __init__(self, make, call):
        self.make, self.call = make, call

    def __call__(self):
        return self.call(self.make())


def _sample(call, repeats):
    if isinstance(call, Fresh):
        arguments = [call.make() for _ in range(repeats)]
        begin = time.perf_counter()
        for argument in arguments:
            call.call(argument)
        return (time.perf_counter() - begin) / repeats
    begin = time.perf_counter()
    for _ in range(repeats):
        call()
    return (time.perf_counter() - begin) / repeats


def side_by_side(ours, peer, runs, min_sample=2e-3):
    """Median seconds per call of both, sampled alternately after one warm-up call each."""
    ours()
    if peer is not None:
        peer()
    repeats = [max(1, int(min_sample / max(_sample(f, 1), 1e-9))) if f else 0 for f in (ours, peer)]
    samples = ([], [])
    for _ in range(runs):
        samples[0].append(_sample(ours, repeats[0]))
        if peer is not None:
            samples[1].append(_sample(peer, repeats[1]))
    return statistics.median(samples[0]), statistics.median(samples[1]) if peer else math.nan


def runs_for(n):
    return 7 if n <= 10**4 else 5


# ---- data -----------------------------------------------------------------------------------


def noisy_spiral(n, seed=1):
    rng = np.random.default_rng(seed)
    s = np.linspace(0.0, 60.0 * np.pi, n)
    radius = 1.0 + 0.05 * s + rng.normal(0.0, 0.002, n)
    return np.column_stack((radius * np.cos(s), radius * np.sin(s)))


# ---- numpy pipelines (the peers of the per-point cases) --------------------------------------


def np_lengths(a):
    lengths = np.empty(len(a))
    lengths[0] = 0.0
    d = np.diff(a, axis=0)
    # sqrt of the squares rather than np.hypot: the same values here, and 1.7 times as fast at
    # n = 10^6, so that no peer is slower than it need be.
    np.cumsum(np.sqrt(d[:, 0] ** 2 + d[:, 1] ** 2), out=lengths[1:])
    return lengths


def np_orientation(a):
    return np.arctan2(np.gradient(a[:, 1]), np.gradient(a[:, 0]))


def np_tangent(a):
    d = np.gradient(a, axis=0)
    return d / np.sqrt(d[:, 0] ** 2 + d[:, 1] ** 2)[:, None]


def np_curvature(a):
    d = np.gradient(a, axis=0)
    dd = np.gradient(d, axis=0)
    return (d[:, 0] * dd[:, 1] - d[:, 1] * dd[:, 0]) / (d[:, 0] ** 2 + d[:, 1] ** 2) ** 1.5


def np_without_duplicates(a):
    keep = np.ones(len(a), dtype=bool)
    keep[1:] = np.any(a[1:] != a[:-1], axis=1)
    return a[keep]


def np_resample_linear(a, count):
    lengths = np_lengths(a)
    s = np.linspace(0.0, lengths[-1], count)
    return np.column_stack((np.interp(s, lengths, a[:, 0]), np.interp(s, lengths, a[:, 1])))


def scipy_resample_cubic(a, count):
    from scipy.interpolate import CubicHermiteSpline

    lengths = np_lengths(a)
    total = lengths[-1]
    keys = np.concatenate([[-1.0], lengths, [total + 0.01, total + 0.02]])
    values = np.vstack([a[:1], a, a[-1:], a[-1:]])
    slopes = np.zeros_like(values)
    slopes[1:-1] = (values[2:] - values[:-2]) / (keys[2:] - keys[:-2])[:, None]
    return CubicHermiteSpline(keys, values, slopes)(np.linspace(0.0, total, count))


PER_POINT = {
    "path_length_per_point": (np_lengths, "build_floats"),
    "orientation": (np_orientation, "build_floats"),
    "unit_tangent_vector": (np_tangent, "build_pairs"),
    "curvature": (np_curvature, "build_floats"),
}


# ---- cases ----------------------------------------------------------------------------------
# Each case yields rows: (case, input, n, ours, peer, peer name, floor parts, points).
# `floor parts` names FLOOR functions with their argument; the floor is their summed time.


class Floors:
    """Floor components, measured once per (function, argument size) in this run."""

    def __init__(self):
        self.cache = {}

    def time(self, parts):
        total = 0.0
        for name, argument, key in parts:
            if (name, key) not in self.cache:
                function = getattr(FLOOR, name)
                self.cache[(name, key)] = side_by_side(lambda: function(argument), None,
                                                       runs_for(key))[0]
            total += self.cache[(name, key)]
        return total


def construction_cases(n, data):
    array, pairs, xs, ys = data
    yield ("from_points", "list", n, lambda: Path.from_points(pairs),
           lambda: np.asarray(pairs, dtype=float), "np.asarray", [("read_pairs", pairs, n)], n)
    yield ("from_points", "ndarray", n, lambda: Path.from_points(array),
           lambda: np.array(array, dtype=float), "np.array copy",
           [("linear_pass", array, n)], n)
    yield ("from_coordinates", "lists", n, lambda: Path.from_coordinates(xs, ys),
           lambda: (np.asarray(xs, dtype=float), np.asarray(ys, dtype=float)), "np.asarray x2",
           [("read_floats", xs, n), ("read_floats", ys, n)], n)


def per_point_cases(n, data):
    array, pairs, _, _ = data
    for name, (pipeline, build) in PER_POINT.items():
        out = ("build_pairs", n, n) if build == "build_pairs" else ("build_floats", n, n)
        yield (name, "list", n, lambda name=name: getattr(Path.from_points(pairs), name),
               lambda pipeline=pipeline: pipeline(np.asarray(pairs, dtype=float)).tolist(),
               "numpy + tolist", [("read_pairs", pairs, n), out], n)
        yield (name, "ndarray", n, lambda name=name: getattr(Path.from_points(array), name),
               lambda pipeline=pipeline: pipeline(np.asarray(array, dtype=float)).tolist(),
               "numpy + tolist", [("linear_pass", array, n), out], n)
    doubled = np.repeat(array, 2, axis=0)[: n]
    doubled_pairs = doubled.tolist()
    kept = len(np_without_duplicates(doubled))
    yield ("without_duplicate_points", "list", n,
           lambda: Path.from_points(doubled_pairs).without_duplicate_points().points,
           lambda: np_without_duplicates(np.asarray(doubled_pairs, dtype=float)).tolist(),
           "numpy mask + tolist", [("read_pairs", doubled_pairs, n), ("build_pairs", kept, kept)],
           n)


def resampling_cases(n, data):
    array, pairs, _, _ = data
    for kind, peer, peer_name in (
        ("Linear", np_resample_linear, "np.interp"),
        ("Cubic", scipy_resample_cubic, "CubicHermiteSpline"),
    ):
        label, kind = f"resampled_path {kind}", getattr(ResamplingType, kind)
        yield (label, "list", n, lambda kind=kind: Path.from_points(pairs).resampled_path(n, kind).points,
               lambda peer=peer: peer(np.asarray(pairs, dtype=float), n).tolist(),
               f"{peer_name} + tolist", [("read_pairs", pairs, n), ("build_pairs", n, n)], n)
        yield (label, "ndarray", n, lambda kind=kind: Path.from_points(array).resampled_path(n, kind),
               lambda peer=peer: peer(array, n), f"{peer_name} (arrays)",
               [("linear_pass", array, n)], n)


def locating_cases(n, data):
    if shapely is None:
        return
    array, pairs, _, _ = data
    path = Path.from_points(array)
    path.length
    line = shapely.LineString(array)
    shapely.prepare(line)
    rng = np.random.default_rng(2)
    picks = rng.integers(1, n - 2, 10)
    queries = [[pairs[i][0] + 1e-4, pairs[i][1] - 1e-4] for i in picks]
    count = len(queries)
    scan = [("linear_pass", array, n)] * count
    yield ("index_from_point", f"{count} queries", n,
           lambda: [path.index_from_point(q) for q in queries],
           lambda: [line.project(shapely.Point(q)) for q in queries], "shapely project", scan,
           n * count)
    yield ("path_length_from_point", f"{count} queries", n,
           lambda: [path.path_length_from_point(q) for q in queries],
           lambda: [line.project(shapely.Point(q)) for q in queries], "shapely project", scan,
           n * count)
    start, end = [x + 1e-4 for x in pairs[int(0.3 * n)]], [x + 1e-4 for x in pairs[int(0.7 * n)]]
    kept = int(0.7 * n) - int(0.3 * n) + 1

    def peer_sub_path():
        piece = shapely_ops.substring(line, line.project(shapely.Point(start)),
                                      line.project(shapely.Point(end)))
        return shapely.get_coordinates(piece).tolist()

    yield ("sub_path", "0.4 n pts out", n, lambda: path.sub_path(start, end).points,
           peer_sub_path, "shapely substring + tolist",
           [("linear_pass", array, n)] * 2 + [("build_pairs", kept, kept)], n)


def circle_cases(sizes):
    if taubinSVD is None:
        return
    import bench_circles

    rng = np.random.default_rng(7)
    for count in sizes:
        points = bench_circles.noisy_arc(count, rng)
        path = Path(points.tolist())
        yield ("taubin fit (one)", "fit", count,
               lambda path=path, count=count: path.find_circle_segments(0, count, math.inf),
               lambda points=points: taubinSVD(points), "circle_fit.taubinSVD", [], count)


def circle_curvature_cases(sizes, peer_sizes):
    if taubinSVD is None:
        return
    import bench_circles

    rng = np.random.default_rng(7)
    for count in sizes:
        points = bench_circles.noisy_spiral(count, rng)
        path = Path(points.tolist())
        peer = None
        if count in peer_sizes:
            peer = lambda points=points, count=count: bench_circles.peer_decomposition(  # noqa: E731
                points, 0, count, 0.15)
        yield ("compute_circle_fit_curvature", "spiral", count,
               lambda path=path: path.compute_circle_fit_curvature(0.15), peer,
               "Python over taubinSVD", [], count)


def smoothing_rows(sizes, cvxpy_sizes):
    """(n, ordavin, clarabel from scipy, cvxpy) seconds; clarabel's own setup + solve."""
    import bench_smoothing as bs

    rows = []
    for n in sizes:
        xs, ys = bs.noisy_lane(n)
        path = Path(x=xs, y=ys)
        path.orientation
        runs = 7 if n <= 1000 else 3
        ours, inside = side_by_side(lambda: path.smoothed_path(bs.MAX_DEVIATION),
                                    bs.clarabel_scipy_run(path), runs)
        cvx = math.nan
        if cvxpy is not None and n in cvxpy_sizes:
            cvx = side_by_side(bs.cvxpy_run(path), None, max(3, runs // 2))[0]
        rows.append((n, ours, inside, cvx))
    return rows


# ---- arrays in, arrays out ------------------------------------------------------------------
# The peers take the float64 (n, 2) array and return arrays; ordavin reads path.arrays.

FRESH = "fresh Path, built untimed"
RESAMPLED = "ndarray in (Path built in the timing), arrays.points out"
BATCH = "m = n queries, (m, 2) array"

PER_POINT_PEER_NAMES = {
    "path_length_per_point": "np.diff + sqrt + cumsum",
    "orientation": "np.arctan2 of np.gradient",
    "unit_tangent_vector": "np.gradient / sqrt",
    "curvature": "np.gradient twice + np.power 1.5",
}


def array_cases(n, array):
    path = Path.from_points(array)
    for name, column in (("points", array), ("x", array[:, 0]), ("y", array[:, 1])):
        yield (f"arrays.{name}", "ndarray", n, lambda name=name: getattr(path.arrays, name),
               lambda column=column: np.array(column), "np.array copy", [], n)
    xs, ys = array[:, 0], array[:, 1]
    yield ("from_coordinates", "a[:, 0], a[:, 1]", n, lambda: Path.from_coordinates(xs, ys),
           lambda: (np.ascontiguousarray(xs), np.ascontiguousarray(ys)),
           "np.ascontiguousarray x2", [], n)
    for typed in (array.astype(np.float32), np.rint(array * 1000.0).astype(np.int64)):
        yield ("from_points", f"{typed.dtype} ndarray", n,
               lambda typed=typed: Path.from_points(typed),
               lambda typed=typed: np.asarray(typed, dtype=float), "np.asarray(a, float)", [], n)
    # A new Path per call, made before the timer starts, so that every read fills its cache.
    for name, (pipeline, _) in PER_POINT.items():
        read = Fresh(lambda: Path.from_points(array),
                     lambda path, name=name: getattr(path.arrays, name))
        yield (f"arrays.{name}", FRESH, n, read, lambda pipeline=pipeline: pipeline(array),
               PER_POINT_PEER_NAMES[name], [], n)
    for kind, peer, peer_name in (
        ("Linear", np_resample_linear, "np.interp"),
        ("Cubic", scipy_resample_cubic, "CubicHermiteSpline"),
    ):
        label, kind = f"resampled_path {kind}", getattr(ResamplingType, kind)
        yield (label, RESAMPLED, n,
               lambda kind=kind: Path.from_points(array).resampled_path(n, kind).arrays.points,
               lambda peer=peer: peer(array, n), peer_name, [], n)


def batch_locator(path, name):
    """path.arrays.<name>, the batch over an (m, 2) array of queries, or None where the module
    does not offer it."""
    return getattr(path.arrays, name, None)


def batch_location_cases(sizes, peer_sizes):
    """m = n queries, each within 1e-4 of a point of the path, answered in one call."""
    for n in sizes:
        array = noisy_spiral(n)
        path = Path.from_points(array)
        path.length
        rng = np.random.default_rng(3)
        queries = array[rng.integers(0, n, n)] + np.array([1e-4, -1e-4])
        for name in ("path_length_from_point", "index_from_point"):
            locate = batch_locator(path, name)
            if locate is None:
                print(f"note: path.arrays.{name} is missing; its batch rows (n = {n:,}) are "
                      "skipped", file=sys.stderr)
                continue
            peer = None
            if name == "path_length_from_point" and n in peer_sizes:
                if shapely is None:
                    print("note: shapely cannot be imported; the shapely.line_locate_point peer "
                          "is skipped", file=sys.stderr)
                else:
                    line = shapely.LineString(array)
                    shapely.prepare(line)

                    def peer(line=line, queries=queries):
                        return shapely.line_locate_point(line, shapely.points(queries))
            yield (f"arrays.{name}", BATCH, n,
                   lambda locate=locate, queries=queries: locate(queries), peer,
                   "shapely.line_locate_point" if peer else "(none: growth only)", [], n)


# (case, input): least peer / ordavin, at the largest n measured with its peer.
ARRAY_TARGETS = [
    (("arrays.points", "ndarray"), 1.0, "1"),
    (("arrays.x", "ndarray"), 1.0, "1"),
    (("arrays.y", "ndarray"), 1.0, "1"),
    (("from_coordinates", "a[:, 0], a[:, 1]"), 1 / 3, "1/3"),
    (("from_points", "float32 ndarray"), 0.5, "1/2"),
    (("from_points", "int64 ndarray"), 0.5, "1/2"),
    (("arrays.path_length_per_point", FRESH), 3.0, "3"),
    (("arrays.unit_tangent_vector", FRESH), 2.0, "2"),
    (("arrays.curvature", FRESH), 1.0, "1"),
    (("arrays.orientation", FRESH), 0.3, "0.3"),
    (("resampled_path Linear", RESAMPLED), 3.0, "3"),
    (("resampled_path Cubic", RESAMPLED), 8.0, "8"),
    (("arrays.path_length_from_point", BATCH), 200.0, "200"),
]

# (case, input): greatest growth of the ordavin time from the smaller to the larger batch size.
ARRAY_GROWTH_TARGETS = [
    (("arrays.path_length_from_point", BATCH), 15.0),
    (("arrays.index_from_point", BATCH), 15.0),
]


def import_time():
    code = ("import sys, time; t = time.perf_counter(); import ordavin; "
            "t = time.perf_counter() - t; "
            "print(t, [m for m in ('numpy', 'scipy', 'clarabel') if m in sys.modules])")
    samples, loaded = [], None
    for _ in range(9):
        out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                             check=True).stdout.split(" ", 1)
        samples.append(float(out[0]))
        loaded = out[1].strip()
    return statistics.median(samples), loaded


def cached_property_times():
    """Seconds per read of each cached per-point property of a 100-point path."""
    path = Path.from_points(noisy_spiral(100).tolist())
    result = {}
    for name in PER_POINT:
        getattr(path, name)
        result[name] = side_by_side(lambda name=name: getattr(path, name), None, 7)[0]
    return result


# ---- running and printing -------------------------------------------------------------------


def measure(case_rows, floors_, rows):
    for case, what, n, ours, peer, peer_name, floor_parts, points in case_rows:
        gc.collect()
        ours_t, peer_t = side_by_side(ours, peer, runs_for(n))
        floor_t = floors_.time(floor_parts) if floor_parts else math.nan
        rows.append(dict(case=case, input=what, n=n, ours=ours_t, peer=peer_t,
                         peer_name=peer_name, floor=floor_t, points=points))


def collect(sizes, smoothing_sizes, cvxpy_sizes, fit_sizes, circle_sizes, circle_peer_sizes):
    floors_ = Floors()
    rows = []

    def run(case_rows):
        measure(case_rows, floors_, rows)

    for n in sizes:
        array = noisy_spiral(n)
        data = (array, array.tolist(), array[:, 0].tolist(), array[:, 1].tolist())
        run(construction_cases(n, data))
        run(per_point_cases(n, data))
        run(resampling_cases(n, data))
        run(locating_cases(n, data))
    run(circle_cases(fit_sizes))
    run(circle_curvature_cases(circle_sizes, circle_peer_sizes))
    smoothing = smoothing_rows(smoothing_sizes, cvxpy_sizes)
    return rows, smoothing


def collect_arrays(sizes, batch_sizes, batch_peer_sizes):
    rows = []
    for n in sizes:
        measure(array_cases(n, noisy_spiral(n)), None, rows)
    measure(batch_location_cases(batch_sizes, batch_peer_sizes), None, rows)
    return rows


def format_seconds(seconds):
    if math.isnan(seconds):
        return "-"
    if seconds < 1e-3:
        return f"{seconds * 1e6:.1f} µs"
    if seconds < 1:
        return f"{seconds * 1e3:.2f} ms"
    return f"{seconds:.2f} s"


def format_ratio(ratio):
    if math.isnan(ratio):
        return "-"
    return f"{ratio:.2f}×" if ratio < 10 else f"{ratio:.1f}×"


def row_lines(rows, with_floor=True):
    lines = ["| case | input | n | ordavin | peer | peer / ordavin | ns per point |"
             + (" × floor |" if with_floor else ""),
             "|---|---|---:|---:|---|---:|---:|" + ("---:|" if with_floor else "")]
    for r in rows:
        ratio = r["peer"] / r["ours"]
        per_point = r["ours"] / r["points"] * 1e9
        line = (f"| {r['case']} | {r['input']} | {r['n']:,} | {format_seconds(r['ours'])} | "
                f"{format_seconds(r['peer'])} {r['peer_name']} | "
                f"{'-' if math.isnan(ratio) else f'{ratio:.1f}×'} | {per_point:.2f} |")
        if with_floor:
            floor = r["ours"] / r["floor"] if not math.isnan(r["floor"]) else math.nan
            line += f" {'-' if math.isnan(floor) else f'{floor:.2f}'} |"
        lines.append(line)
    return lines


def target_lines(rows):
    """Each target against its row at the largest n measured with a peer (for the growth
    targets: the two largest sizes measured), or "not measured" where the row was skipped."""
    lines = ["| case | input | n | ordavin | peer | peer / ordavin | target | met |",
             "|---|---|---:|---:|---|---:|---:|---|"]
    for key, least, label in ARRAY_TARGETS:
        measured = [r for r in rows if (r["case"], r["input"]) == key and not math.isnan(r["peer"])]
        if not measured:
            lines.append(f"| {key[0]} | {key[1]} | - | - | - | - | ≥ {label} | not measured |")
            continue
        r = max(measured, key=lambda r: r["n"])
        ratio = r["peer"] / r["ours"]
        lines.append(f"| {key[0]} | {key[1]} | {r['n']:,} | {format_seconds(r['ours'])} | "
                     f"{format_seconds(r['peer'])} {r['peer_name']} | {format_ratio(ratio)} | "
                     f"≥ {label} | {'met' if ratio >= least else 'not met'} |")
    for key, most in ARRAY_GROWTH_TARGETS:
        measured = sorted((r for r in rows if (r["case"], r["input"]) == key),
                          key=lambda r: r["n"])
        if len(measured) < 2:
            lines.append(f"| {key[0]} growth | {key[1]} | - | - | - | - | "
                         f"≤ {most:g}× | not measured |")
            continue
        small, large = measured[-2:]
        growth = large["ours"] / small["ours"]
        lines.append(f"| {key[0]} growth | {key[1]} | {small['n']:,} → {large['n']:,} | "
                     f"{format_seconds(large['ours'])} | {format_seconds(small['ours'])} itself "
                     f"at n = {small['n']:,} | {growth:.1f}× growth | ≤ {most:g}× | "
                     f"{'met' if growth <= most else 'not met'} |")
    return lines


def arrays_section(rows, setting=None):
    """The array rows and their targets; `setting` names the run when no table precedes them."""
    run = [f"Run of {setting}:", ""] if setting else []
    return "\n".join([ARRAYS_HEADING, "", ARRAYS_INTRO, "", *run,
                      *row_lines(rows, with_floor=False), "", "NumPy targets:", "",
                      *target_lines(rows)])


def table(rows, smoothing, imported, cached):
    lines = row_lines(rows)
    lines += ["", "| smoothed_path n | ordavin | clarabel alone (scipy matrices) | outside clarabel "
              "| cvxpy + CLARABEL | cvxpy / ordavin |", "|---:|---:|---:|---:|---:|---:|"]
    for n, ours, inside, cvx in smoothing:
        outside = ours - inside
        lines.append(f"| {n:,} | {format_seconds(ours)} | {format_seconds(inside)} | "
                     f"{format_seconds(max(outside, 0.0))} ({outside / ours:.0%}) | "
                     f"{format_seconds(cvx)} | "
                     f"{'-' if math.isnan(cvx) else f'{cvx / ours:.1f}×'} |")
    seconds, loaded = imported
    lines += ["", f"`import ordavin`: {seconds * 1e3:.2f} ms (median of 9 fresh interpreters); "
              f"modules among numpy/scipy/clarabel it loads: {loaded}.",
              "Cached property read at n = 100: " + ", ".join(
                  f"{name} {t * 1e6:.2f} µs" for name, t in cached.items()) + "."]
    return "\n".join(lines)


def machine():
    cpu = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return (f"{datetime.date.today().isoformat()}, {cpu}, {os.cpu_count()} cores, "
            f"load average {os.getloadavg()[0]:.1f} at start, "
            f"Python {platform.python_version()}, numpy {np.__version__}")


def write_readme(text):
    readme = HERE.parent / "docs" / "benchmarks.md"
    content = readme.read_text()
    heading = "## Performance"
    if heading not in content:
        content = content.rstrip("\n") + f"\n\n{heading}\n"
    before, after = content.split(heading, 1)
    rest = after.split("\n## ", 1)
    tail = "\n## " + rest[1] if len(rest) == 2 else ""
    readme.write_text(f"{before}{heading}\n\n{text}\n{tail}")


README_INTRO = """Measured with `make bench` (`bench/run_all.py`): each case runs side by side with its peer in one
process, alternating, median of 5–7 samples. Inputs are a noisy spiral as a list of [x, y] pairs or
a float64 array of shape (n, 2); list rows end in Python lists on both sides. *× floor* divides the
ordavin time by the least work any converter must do for that case, measured in the same run
(`bench/floors.c`): walking the input list of pairs with PySequence_Fast + PyFloat_AsDouble (or a
flat list), building the output list (lists of pairs with the collector held off, as ordavin
does), and one linear pass over the points per scan. *clarabel alone* is clarabel's own setup and
solve of the same QP from scipy matrices; *outside clarabel* is everything else ordavin does."""


ARRAYS_HEADING = "### Arrays in, arrays out"

ARRAYS_INTRO = """\
The same spiral as a float64 array of shape (n, 2), with arrays out on both sides: the peer
never calls `tolist`, ordavin reads `path.arrays`. *fresh Path, built untimed* rows build a new
Path before each call, outside the timing, so that every read computes its quantity instead of
reading a cache. The batch rows locate m = n points near the path in one call, given as an (m, 2)
array. *NumPy targets* lists the least peer / ordavin each case should reach (for the batch rows:
the most the time may grow from one size to the next, ten times larger in n and m).

`orientation` and `curvature` call the C library's `atan2` and `pow` once per point, which keep
the formulas' exact bits but are slower than NumPy's SIMD versions (which differ in the last
bit): a bare C loop of `atan2` over 10^6 points takes about 11 ms on this machine, and so does
`orientation` on a spiral without noise (the noisy spiral's angles take `atan2`'s slower paths).
Rows that allocate tens of megabytes vary up to twofold from run to run, on both sides, with
whether the allocator has just given its memory back to the system."""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="small sizes only")
    parser.add_argument("--write-readme", action="store_true")
    parser.add_argument("--guard", action="store_true",
                        help="small sizes; exit 1 when a ratio falls below its floor")
    parser.add_argument("--arrays", action="store_true",
                        help="only the rows with NumPy arrays in and out, and their targets")
    args = parser.parse_args()
    if args.guard:
        import guard

        return guard.run(collect)
    if args.arrays and args.write_readme:
        parser.error("--arrays measures only part of the table; write the README from a full run")
    if args.quick:
        config = dict(sizes=(100, 10_000), smoothing_sizes=(100, 1_000), cvxpy_sizes=(100, 1_000),
                      fit_sizes=(10, 100), circle_sizes=(1_000, 10_000),
                      circle_peer_sizes=(1_000,))
        arrays_config = dict(sizes=(100, 10_000), batch_sizes=(1_000, 10_000),
                             batch_peer_sizes=(1_000,))
    else:
        config = dict(sizes=(100, 10_000, 1_000_000),
                      smoothing_sizes=(100, 1_000, 10_000, 100_000),
                      cvxpy_sizes=(100, 1_000, 10_000), fit_sizes=(10, 100, 1_000),
                      circle_sizes=(1_000, 10_000, 100_000), circle_peer_sizes=(1_000, 10_000))
        # shapely projects each query onto every segment: at n = m = 10^5 it would take minutes.
        arrays_config = dict(sizes=(100, 10_000, 1_000_000), batch_sizes=(10_000, 100_000),
                             batch_peer_sizes=(10_000,))
    setting = machine()
    if args.arrays:
        print(arrays_section(collect_arrays(**arrays_config), setting))
        return 0
    rows, smoothing = collect(**config)
    array_rows = collect_arrays(**arrays_config)
    text = (f"{README_INTRO}\n\nRun of {setting}:\n\n"
            f"{table(rows, smoothing, import_time(), cached_property_times())}\n\n"
            f"{arrays_section(array_rows)}")
    print(text)
    if args.write_readme:
        write_readme(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
