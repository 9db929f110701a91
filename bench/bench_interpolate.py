"""Points at arc lengths and from Frenet coordinates: PathArrays.interpolate and from_frenet
against the NumPy and SciPy pipelines a user would write instead.

One run, side by side: for each row the two contestants alternate, sample by sample, and the
median of the samples is kept. The path is a random walk of n = 1e5 points; its cumulative
lengths are cached on ordavin's side and computed beforehand, outside the timing, on the
peer's (as are the segment directions the NumPy pipeline needs): both sides start from a path
whose lengths they know. Each peer's result is checked against ordavin's before timing.

Rows (target peer / ordavin):
- interpolate Linear, 1e6 sorted stations: two numpy.interp (x and y, not stacked)   >= 1.5
- interpolate Linear, 1e6 random stations: the same                                    >= 1.5
- interpolate Cubic, 1e6 random stations: scipy CubicHermiteSpline over the same keys
  (the guard keys included) and Catmull-Rom tangents, built and evaluated              >= 5
- from_frenet, 1e6 random (s, d): numpy.searchsorted, then the foot and the offset      >= 2

Run: .venv/bin/python bench/bench_interpolate.py [--samples 9]
"""

import argparse
import statistics
import time

import numpy as np
from scipy.interpolate import CubicHermiteSpline

from ordavin import Path, ResamplingType

PATH_POINTS = 100_000
QUERIES = 1_000_000


def timed(call):
    begin = time.perf_counter()
    call()
    return time.perf_counter() - begin


def side_by_side(ours, peer, samples):
    ours_times, peer_times = [], []
    for _ in range(samples):
        ours_times.append(timed(ours))
        peer_times.append(timed(peer))
    return statistics.median(ours_times), statistics.median(peer_times)


def numpy_lengths(points):
    steps = np.diff(points, axis=0)
    return np.concatenate([[0.0], np.cumsum(np.sqrt(steps[:, 0] ** 2 + steps[:, 1] ** 2))])


def scipy_cubic(points, lengths, stations):
    # The keys of the resampling spline: a guard at -1 and two past the end, each repeating the
    # end value; the tangent at a key is the chord slope between its neighbours.
    total = lengths[-1]
    keys = np.concatenate([[-1.0], lengths, [total + 0.01, total + 0.02]])
    values = np.vstack([points[:1], points, points[-1:], points[-1:]])
    slopes = np.zeros_like(values)
    slopes[1:-1] = (values[2:] - values[:-2]) / (keys[2:] - keys[:-2])[:, None]
    return CubicHermiteSpline(keys, values, slopes)(stations)


def numpy_from_frenet(points, lengths, steps, segment, s, d):
    k = np.clip(np.searchsorted(lengths, s, side="right") - 1, 0, len(points) - 2)
    step = steps[k]
    t = (s - lengths[k]) / segment[k]
    across = d / segment[k]
    x = points[k, 0] + t * step[:, 0] - across * step[:, 1]
    y = points[k, 1] + t * step[:, 1] + across * step[:, 0]
    return x, y


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--samples", type=int, default=9)
    samples = parser.parse_args().samples

    rng = np.random.default_rng(20)
    points = np.cumsum(rng.normal(size=(PATH_POINTS, 2)), axis=0)
    view = Path.from_points(points).arrays
    lengths = numpy_lengths(points)
    assert np.array_equal(lengths, view.path_length_per_point)
    x, y = points[:, 0].copy(), points[:, 1].copy()
    steps = np.diff(points, axis=0)
    segment = np.sqrt(steps[:, 0] ** 2 + steps[:, 1] ** 2)
    total = lengths[-1]
    random_stations = rng.uniform(0.0, total, QUERIES)
    sorted_stations = np.sort(random_stations)
    offsets = rng.uniform(-5.0, 5.0, QUERIES)
    scale = np.abs(points).max()

    rows = []

    def row(label, peer_label, target, ours, peer, check):
        check()
        ours_time, peer_time = side_by_side(ours, peer, samples)
        rows.append((label, peer_label, ours_time, peer_time, target))

    for order, stations in (("sorted", sorted_stations), ("random", random_stations)):
        def check(stations=stations):
            ours = view.interpolate(stations)
            assert np.allclose(ours[:, 0], np.interp(stations, lengths, x), rtol=0, atol=1e-12 * scale)
            assert np.allclose(ours[:, 1], np.interp(stations, lengths, y), rtol=0, atol=1e-12 * scale)

        row(f"interpolate Linear, 1e6 {order}", "2 x numpy.interp", 1.5,
            lambda stations=stations: view.interpolate(stations),
            lambda stations=stations: (np.interp(stations, lengths, x),
                                       np.interp(stations, lengths, y)),
            check)

    def check_cubic():
        ours = view.interpolate(random_stations, ResamplingType.Cubic)
        assert np.allclose(ours, scipy_cubic(points, lengths, random_stations), rtol=0,
                           atol=1e-9 * scale)

    row("interpolate Cubic, 1e6 random", "scipy CubicHermiteSpline", 5.0,
        lambda: view.interpolate(random_stations, ResamplingType.Cubic),
        lambda: scipy_cubic(points, lengths, random_stations), check_cubic)

    def check_frenet():
        ours = view.from_frenet(random_stations, offsets)
        peer_x, peer_y = numpy_from_frenet(points, lengths, steps, segment, random_stations,
                                           offsets)
        assert np.array_equal(ours[:, 0], peer_x) and np.array_equal(ours[:, 1], peer_y)

    row("from_frenet, 1e6 random (s, d)", "numpy searchsorted pipeline", 2.0,
        lambda: view.from_frenet(random_stations, offsets),
        lambda: numpy_from_frenet(points, lengths, steps, segment, random_stations, offsets),
        check_frenet)

    print(f"n = {PATH_POINTS} path points, medians of {samples} samples")
    print(f"| case | peer | ordavin ms | peer ms | peer / ordavin | target |")
    print(f"|---|---|---:|---:|---:|---:|")
    for label, peer_label, ours_time, peer_time, target in rows:
        ratio = peer_time / ours_time
        mark = "" if ratio >= target else " (short)"
        print(f"| {label} | {peer_label} | {ours_time * 1e3:.1f} | {peer_time * 1e3:.1f} | "
              f"{ratio:.2f}{mark} | >= {target:g} |")


if __name__ == "__main__":
    main()
