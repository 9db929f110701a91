"""Regression guard: the benchmark at small sizes, failing when a ratio drops below its floor.

Only ratios are checked (against the peer measured in the same process, or against the floor
measured in the same run), never absolute times, and the floors are generous: roughly half of
what a quiet machine shows, so that a noisy CI machine passes while a lost fast path (a
quadratic step, a per-point allocation, a dropped cache) fails. A failing check is measured
once more before it counts. Run through `make bench-guard` (kept out of `make test`).
"""

import math

# (case, input): least peer / ordavin at n = 1000.
MIN_SPEEDUP = {
    ("from_points", "list"): 5.0,
    ("from_coordinates", "lists"): 2.5,
    ("path_length_per_point", "list"): 3.0,
    ("orientation", "list"): 2.0,
    ("unit_tangent_vector", "list"): 1.8,
    ("curvature", "list"): 2.0,
    ("without_duplicate_points", "list"): 4.0,
    ("resampled_path Linear", "list"): 1.2,
    ("resampled_path Cubic", "list"): 3.0,
    ("resampled_path Cubic", "ndarray"): 2.5,
    ("index_from_point", "10 queries"): 5.0,
    ("path_length_from_point", "10 queries"): 5.0,
    ("sub_path", "0.4 n pts out"): 8.0,
    ("taubin fit (one)", "fit"): 5.0,
    ("compute_circle_fit_curvature", "spiral"): 3.0,
}

# (case, input): greatest ordavin / floor at n = 1000.
MAX_OVER_FLOOR = {
    ("from_points", "list"): 2.5,
    ("from_points", "ndarray"): 6.0,
    ("path_length_per_point", "list"): 3.0,
    ("unit_tangent_vector", "list"): 2.5,
}

# Least (clarabel alone) / (ordavin smoothed_path) at n = 100 and 1000: the work around the
# solve must stay a small part of it.
MIN_SOLVER_SHARE = 0.7

CONFIG = dict(sizes=(1_000,), smoothing_sizes=(100, 1_000), cvxpy_sizes=(), fit_sizes=(100,),
              circle_sizes=(1_000,), circle_peer_sizes=(1_000,))


def failures(rows, smoothing):
    found = {}
    for r in rows:
        key = (r["case"], r["input"])
        if key in MIN_SPEEDUP:
            ratio = r["peer"] / r["ours"]
            if not ratio >= MIN_SPEEDUP[key]:
                found[("speedup",) + key] = f"{ratio:.2f}x peer, floor {MIN_SPEEDUP[key]}x"
        if key in MAX_OVER_FLOOR and not math.isnan(r["floor"]):
            ratio = r["ours"] / r["floor"]
            if not ratio <= MAX_OVER_FLOOR[key]:
                found[("floor",) + key] = f"{ratio:.2f} x floor, ceiling {MAX_OVER_FLOOR[key]}"
    for n, ours, inside, _ in smoothing:
        share = inside / ours
        if not share >= MIN_SOLVER_SHARE:
            found[("smoothing", n)] = f"clarabel share {share:.0%}, floor {MIN_SOLVER_SHARE:.0%}"
    return found


def run(collect):
    first = failures(*collect(**CONFIG))
    failed = first
    if first:
        # Noise on a shared machine: a check counts as failed only when it fails twice.
        second = failures(*collect(**CONFIG))
        failed = {key: message for key, message in second.items() if key in first}
    checks = len(MIN_SPEEDUP) + len(MAX_OVER_FLOOR) + len(CONFIG["smoothing_sizes"])
    for key, message in failed.items():
        print(f"FAILED {' '.join(map(str, key))}: {message}")
    print(f"bench guard: {checks - len(failed)} of {checks} ratio checks within their floors")
    return 1 if failed else 0
