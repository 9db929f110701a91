"""Circle fitting speed: ordavin against the circle-fit package (numpy/scipy).

Part 1, one Taubin fit. The fit itself is not reachable from Python, so ordavin's column
times find_circle_segments(0, n, inf): with an infinite bound the first fit of the whole
range is accepted, so the call is exactly one fit of n points (plus the call overhead).
The peer is circle_fit.taubinSVD on an (n, 2) array.

Part 2, the whole decomposition: compute_circle_fit_curvature on a noisy Archimedean
spiral sampled every 0.5 m, with time / (n log2 n) to show the n log n growth. The peer is
the same bisection-and-merge written in Python over circle_fit.taubinSVD, run on the
smallest size only (it takes seconds); the two decompositions are compared.

Run: .venv/bin/python bench/bench_circles.py (bench/run_all.py runs both parts too)
"""

import math
import statistics
import time

import numpy as np
from circle_fit import taubinSVD

import ordavin


def median_seconds(call, repeats, runs=7):
    samples = []
    for _ in range(runs):
        begin = time.perf_counter()
        for _ in range(repeats):
            call()
        samples.append((time.perf_counter() - begin) / repeats)
    return statistics.median(samples)


def noisy_arc(count, rng):
    angle = np.linspace(0.0, 2.0, count)
    radius = 50.0 + rng.normal(0.0, 0.05, count)
    return np.column_stack((radius * np.cos(angle), radius * np.sin(angle)))


def noisy_spiral(count, rng, spacing=0.5, pitch=10.0, start_angle=3.0):
    # r = pitch * theta, sampled at (nearly) equal arc length: s ~ pitch * theta^2 / 2.
    s = spacing * np.arange(count)
    theta = np.sqrt(start_angle**2 + 2.0 * s / pitch)
    points = np.column_stack((pitch * theta * np.cos(theta), pitch * theta * np.sin(theta)))
    return points + rng.normal(0.0, 0.02, points.shape)


def peer_decomposition(points, start, end, max_rmse):
    """The bisection with one merge attempt per split, over circle_fit.taubinSVD."""

    def fit(a, b):
        _, _, radius, rmse = taubinSVD(points[a:b])
        return radius, rmse

    if end - start < 3:
        return [(start, end, 0.0)]
    radius, rmse = fit(start, end)
    if max_rmse >= rmse:
        return [(start, end, 1.0 / radius)]
    mid = start + (end - start) // 2
    left = peer_decomposition(points, start, mid, max_rmse)
    right = peer_decomposition(points, mid, end, max_rmse)
    merge_start, merge_end = left[-1][0], right[0][1]
    radius, rmse = fit(merge_start, merge_end)
    if max_rmse >= rmse:
        left[-1] = (merge_start, merge_end, 1.0 / radius)
        return left + right[1:]
    return left + right


def bench_single_fit(rng):
    print("One Taubin fit (ordavin: find_circle_segments(0, n, inf), exactly one fit)")
    print(f"{'points':>8} {'ordavin us':>12} {'circle_fit us':>14} {'ratio':>8}")
    for count in (10, 100, 10_000):
        points = noisy_arc(count, rng)
        path = ordavin.Path(points.tolist())
        segments = path.find_circle_segments(0, count, math.inf)
        assert len(segments) == 1
        _, _, radius, _ = taubinSVD(points)
        assert abs(segments[0][2] * radius - 1.0) < 1e-9
        repeats = max(20, 200_000 // (count + 100))
        ours = median_seconds(lambda: path.find_circle_segments(0, count, math.inf), repeats)
        peer = median_seconds(lambda: taubinSVD(points), max(5, repeats // 10))
        print(f"{count:>8} {ours * 1e6:>12.2f} {peer * 1e6:>14.2f} {peer / ours:>7.1f}x")


def bench_decomposition(rng):
    print()
    print("Whole decomposition, compute_circle_fit_curvature(0.15) on a noisy spiral")
    print(f"{'points':>9} {'ordavin ms':>11} {'ns/(n log2 n)':>14} {'segments':>9}"
          f" {'peer ms':>10} {'ratio':>8}")
    for count in (10_000, 100_000, 1_000_000):
        points = noisy_spiral(count, rng)
        path = ordavin.Path(points.tolist())
        runs = 5 if count < 1_000_000 else 3
        ours = median_seconds(lambda: path.compute_circle_fit_curvature(0.15), 1, runs)
        segments = path.find_circle_segments(0, count, 0.15)
        peer_text, ratio_text = "", ""
        if count == 10_000:
            begin = time.perf_counter()
            peer_segments = peer_decomposition(points, 0, count, 0.15)
            peer = time.perf_counter() - begin
            same = [s[:2] for s in peer_segments] == [s[:2] for s in segments] and all(
                abs(a[2] - b[2]) <= 1e-9 * abs(b[2]) for a, b in zip(segments, peer_segments))
            peer_text = f"{peer * 1e3:.0f}"
            ratio_text = f"{peer / ours:.0f}x" + ("" if same else " (differs!)")
        per = ours * 1e9 / (count * math.log2(count))
        print(f"{count:>9} {ours * 1e3:>11.1f} {per:>14.2f} {len(segments):>9}"
              f" {peer_text:>10} {ratio_text:>8}")


if __name__ == "__main__":
    generator = np.random.default_rng(7)
    bench_single_fit(generator)
    bench_decomposition(generator)
