"""Frenet coordinates and batch location: ordavin against shapely and NumPy, in one run.

Rows (medians of several runs, the ratio peer / ordavin unless said otherwise):
1. frenet of 10^5 queries near a fresh 10^5-point path, the segment index built in the timing,
   against shapely 2: an STRtree over the path's segments (shapely.get_parts of a
   MultiLineString of them), query_nearest, then the foot, s and the sign of d in NumPy.
   Target: at least 10.
2. frenet with n = m = 10^4 and n = m = 10^5 (fresh path each time): how its time grows.
   Target: at most 15x.
3. batch location (path_length_from_point, and frenet) of 10^4 queries on a 10^5-point path
   with one NaN vertex, against the same path without it (index already built).
   Target: at most 1.5x.
4. 50 queries at the centre of a 10^5-point circle, where every segment is about equally
   near, against NumPy brute force of the same rule over all segments. Target: at least 3.

Run: .venv/bin/python bench/bench_frenet.py
"""

import statistics
import time

import numpy as np
import shapely

from ordavin import Path


def median_seconds(call, runs=5):
    samples = []
    for _ in range(runs):
        begin = time.perf_counter()
        call()
        samples.append(time.perf_counter() - begin)
    return statistics.median(samples)


def wandering_path(count, rng):
    """A road-like path: steps of about 1 m whose heading drifts."""
    heading = np.cumsum(rng.normal(0.0, 0.05, count))
    steps = rng.uniform(0.5, 1.5, count)
    points = np.column_stack((np.cumsum(steps * np.cos(heading)),
                              np.cumsum(steps * np.sin(heading))))
    return points - points[0]


def near_queries(points, count, rng, spread=3.0):
    return points[rng.integers(0, len(points), count)] + rng.normal(0.0, spread, (count, 2))


def ordavin_frenet(points, queries):
    return Path.from_points(points).arrays.frenet(queries)


def shapely_frenet(points, queries):
    """The best hand-made route: nearest segment from an STRtree, the rest in NumPy."""
    segments = np.stack((points[:-1], points[1:]), axis=1)
    parts = shapely.get_parts(shapely.multilinestrings(shapely.linestrings(segments)))
    tree = shapely.STRtree(parts)
    pairs = tree.query_nearest(shapely.points(queries), all_matches=False)
    k = np.empty(len(queries), dtype=np.int64)
    k[pairs[0]] = pairs[1]
    a = points[k]
    direction = points[k + 1] - a
    offset = queries - a
    squared = np.einsum("ij,ij->i", direction, direction)
    with np.errstate(invalid="ignore", divide="ignore"):
        t = np.clip(np.nan_to_num(np.einsum("ij,ij->i", offset, direction) / squared), 0.0, 1.0)
    foot = a + t[:, None] * direction
    distance = np.hypot(*(foot - queries).T)
    lengths = np.concatenate(([0.0], np.cumsum(np.sqrt(np.einsum("ij,ij->i", np.diff(points, axis=0),
                                                                    np.diff(points, axis=0))))))
    s = lengths[k] + np.sqrt(squared) * t
    cross = direction[:, 0] * offset[:, 1] - direction[:, 1] * offset[:, 0]
    return s, np.where(cross >= 0.0, distance, -distance), k


def numpy_nearest(points, query, covering):
    """Brute force over every segment: the clamped rule, or the covering rule of locating."""
    a = points[:-1]
    direction = points[1:] - a
    with np.errstate(invalid="ignore", divide="ignore"):
        t = np.einsum("ij,ij->i", query - a, direction) / np.einsum("ij,ij->i", direction,
                                                                      direction)
        if covering:
            inside = (t >= 0.0) & (t < 1.0)
        else:
            t = np.clip(np.nan_to_num(t), 0.0, 1.0)
        foot = a + t[:, None] * direction
        distance = np.hypot(*(foot - query).T)
    if covering:
        distance = np.where(inside, distance, np.inf)
    return int(np.argmin(distance))


def row(name, ours, peer, target):
    print(f"{name:<58} {ours * 1e3:>10.2f} {peer * 1e3:>10.2f} {peer / ours:>8.2f}  {target}")


def main():
    rng = np.random.default_rng(20)
    print(f"{'case':<58} {'ordavin ms':>10} {'peer ms':>10} {'ratio':>8}  target")

    # 1. frenet against shapely's STRtree, both building their structure in the timing.
    points = wandering_path(100_000, rng)
    queries = near_queries(points, 100_000, rng)
    s, d, k = ordavin_frenet(points, queries)
    ps, pd, pk = shapely_frenet(points, queries)
    agree = np.mean(np.isclose(np.abs(d), np.abs(pd), rtol=0, atol=1e-9))
    ours = median_seconds(lambda: ordavin_frenet(points, queries))
    peer = median_seconds(lambda: shapely_frenet(points, queries))
    row("frenet, 1e5 queries, fresh 1e5-point path (vs STRtree)", ours, peer, ">= 10")
    print(f"{'':<4}same |d| as the STRtree route for {agree:.2%} of the queries")

    # 2. growth from n = m = 1e4 to 1e5.
    small_points = wandering_path(10_000, rng)
    small_queries = near_queries(small_points, 10_000, rng)
    small = median_seconds(lambda: ordavin_frenet(small_points, small_queries), runs=9)
    print(f"{'frenet growth, n = m = 1e4 -> 1e5':<58} {small * 1e3:>10.2f} {ours * 1e3:>10.2f} "
          f"{ours / small:>7.2f}x  <= 15x")

    # 3. one NaN vertex, the index built beforehand on both paths.
    clean = Path.from_points(points)
    broken_points = points.copy()
    broken_points[len(points) // 2, 0] = np.nan
    broken = Path.from_points(broken_points)
    located = queries[:10_000]
    for path in (clean, broken):
        path.arrays.path_length_from_point(located[:8])
    for name, call in (("path_length_from_point", lambda p: p.arrays.path_length_from_point(located)),
                       ("frenet", lambda p: p.arrays.frenet(located))):
        with_nan = median_seconds(lambda: call(broken))
        without = median_seconds(lambda: call(clean))
        print(f"{name + ', 1e4 queries, one NaN vertex in 1e5 (vs none)':<58} "
              f"{with_nan * 1e3:>10.2f} {without * 1e3:>10.2f} {with_nan / without:>7.2f}x  "
              "<= 1.5x")

    # 4. the centre of a circle.
    angle = np.linspace(0.0, 2.0 * np.pi, 100_000)
    circle_points = 100.0 * np.column_stack((np.cos(angle), np.sin(angle)))
    circle = Path.from_points(circle_points)
    centre = rng.normal(0.0, 1e-6, (50, 2))
    circle.arrays.frenet(centre[:8])
    for name, call, covering in (
            ("frenet", lambda: circle.arrays.frenet(centre), False),
            ("path_length_from_point", lambda: circle.arrays.path_length_from_point(centre), True)):
        ours = median_seconds(call)
        peer = median_seconds(lambda: [numpy_nearest(circle_points, q, covering) for q in centre],
                              runs=3)
        row(f"{name}, 50 queries at the centre of a 1e5-point circle", ours, peer, ">= 3")


if __name__ == "__main__":
    main()
