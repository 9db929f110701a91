"""Per-point lengths, resampling and locating points on 10^6 points, beside numpy/scipy/shapely.

Every contestant starts from Python lists and ends with Python lists (or a Python number),
so conversions are part of the cost on both sides. Times are medians of several runs.
"""

import statistics
import sys
import time

import numpy as np
from scipy.interpolate import CubicHermiteSpline

from ordavin import Path, ResamplingType

try:
    import shapely
    from shapely import ops
except ImportError:  # the locating rows need shapely
    shapely = None

N = 10**6
RUNS = 5


def noisy_spiral(count, seed=1):
    rng = np.random.default_rng(seed)
    s = np.linspace(0.0, 60.0 * np.pi, count)
    radius = 1.0 + 0.05 * s + rng.normal(0.0, 0.002, count)
    return (radius * np.cos(s)).tolist(), (radius * np.sin(s)).tolist()


def median_time(function, runs=RUNS):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def numpy_lengths(xs, ys):
    x, y = np.asarray(xs), np.asarray(ys)
    lengths = np.empty(len(x))
    lengths[0] = 0.0
    np.cumsum(np.hypot(np.diff(x), np.diff(y)), out=lengths[1:])
    return x, y, lengths


def main():
    xs, ys = noisy_spiral(N)
    rows = []

    def ours_lengths():
        return Path.from_coordinates(xs, ys).path_length_per_point

    def peer_lengths():
        return numpy_lengths(xs, ys)[2].tolist()

    rows.append(("path_length_per_point", ours_lengths, peer_lengths, "numpy hypot/cumsum"))

    def ours_linear():
        resampled = Path.from_coordinates(xs, ys).resampled_path(N, ResamplingType.Linear)
        return resampled.x, resampled.y

    def peer_linear():
        x, y, lengths = numpy_lengths(xs, ys)
        s = np.linspace(0.0, lengths[-1], N)
        return np.interp(s, lengths, x).tolist(), np.interp(s, lengths, y).tolist()

    rows.append(("resampled_path Linear", ours_linear, peer_linear, "numpy interp"))

    def ours_cubic():
        resampled = Path.from_coordinates(xs, ys).resampled_path(N, ResamplingType.Cubic)
        return resampled.x, resampled.y

    def peer_cubic():
        x, y, lengths = numpy_lengths(xs, ys)
        total = lengths[-1]
        keys = np.concatenate([[-1.0], lengths, [total + 0.01, total + 0.02]])
        values = np.column_stack([x, y])
        values = np.vstack([values[:1], values, values[-1:], values[-1:]])
        slopes = np.zeros_like(values)
        slopes[1:-1] = (values[2:] - values[:-2]) / (keys[2:] - keys[:-2])[:, None]
        spline = CubicHermiteSpline(keys, values, slopes)
        result = spline(np.linspace(0.0, total, N))
        return result[:, 0].tolist(), result[:, 1].tolist()

    rows.append(("resampled_path Cubic", ours_cubic, peer_cubic, "scipy CubicHermiteSpline"))

    # Locating: both sides hold the path already; each query goes in and comes out as Python.
    path = Path.from_coordinates(xs, ys)
    rng = np.random.default_rng(2)
    picks = rng.integers(1, N - 2, 20)
    queries = [[xs[i] + 0.001, ys[i] - 0.001] for i in picks]
    ours_per_query = median_time(lambda: [path.index_from_point(q) for q in queries])
    ns_per_point = ours_per_query / len(queries) / N * 1e9

    if shapely is not None:
        line = shapely.LineString(np.column_stack([xs, ys]))
        shapely.prepare(line)
        rows.append(("index_from_point", lambda: [path.index_from_point(q) for q in queries],
                     lambda: [line.project(shapely.Point(q)) for q in queries],
                     "shapely project"))
        pairs = [(queries[k], queries[k + 1]) if picks[k] < picks[k + 1]
                 else (queries[k + 1], queries[k]) for k in range(0, len(queries), 2)]

        def ours_sub_path():
            return [path.sub_path(start, end).points for start, end in pairs]

        def peer_sub_path():
            result = []
            for start, end in pairs:
                piece = ops.substring(line, line.project(shapely.Point(start)),
                                      line.project(shapely.Point(end)))
                result.append([list(c) for c in piece.coords])
            return result

        rows.append(("sub_path", ours_sub_path, peer_sub_path, "shapely substring"))

    print(f"n = {N}, median of {RUNS} runs, Python lists in and out")
    print(f"{'operation':<24}{'ordavin [ms]':>14}{'peer [ms]':>12}{'peer/ordavin':>14}  peer")
    for name, ours, peer, peer_name in rows:
        ours(), peer()  # warm up (allocator, imports)
        ours_time, peer_time = median_time(ours), median_time(peer)
        print(f"{name:<24}{ours_time * 1e3:>14.2f}{peer_time * 1e3:>12.2f}"
              f"{peer_time / ours_time:>14.2f}  {peer_name}")
    print(f"index_from_point: {ns_per_point:.2f} ns per path point and query")

    # Kernels alone: the peers get ready arrays (keys, slopes, samples), ordavin a ready path
    # with its cumulative lengths cached; the results stay a Path or an array.
    path.length
    x, y, lengths = numpy_lengths(xs, ys)
    total = lengths[-1]
    keys = np.concatenate([[-1.0], lengths, [total + 0.01, total + 0.02]])
    values = np.column_stack([x, y])
    values = np.vstack([values[:1], values, values[-1:], values[-1:]])
    slopes = np.zeros_like(values)
    slopes[1:-1] = (values[2:] - values[:-2]) / (keys[2:] - keys[:-2])[:, None]
    s = np.linspace(0.0, total, N)
    kernels = [
        ("resampled_path Linear", lambda: path.resampled_path(N, ResamplingType.Linear),
         lambda: (np.interp(s, lengths, x), np.interp(s, lengths, y)), "numpy interp"),
        ("resampled_path Cubic", lambda: path.resampled_path(N, ResamplingType.Cubic),
         lambda: CubicHermiteSpline(keys, values, slopes)(s), "scipy build+eval"),
    ]
    print("\nkernels only (no list conversions)")
    for name, ours, peer, peer_name in kernels:
        ours(), peer()
        ours_time, peer_time = median_time(ours), median_time(peer)
        print(f"{name:<24}{ours_time * 1e3:>14.2f}{peer_time * 1e3:>12.2f}"
              f"{peer_time / ours_time:>14.2f}  {peer_name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
