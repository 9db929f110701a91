"""A tour of ordavin on a noisy lane: every capability once, with a picture.

Run: make demo   (writes tour.png; pass another file name as the first argument)
"""

import math
import random
import sys
from pathlib import Path as FilePath

import numpy as np

from ordavin import Path, ResamplingType

MAX_DEVIATION = 0.4  # metres the smoothing may move a point sideways
ARC_RMSE = 0.15  # metres a circle fit may miss its points by
STATIONS = 60


def design_curvature(i: int) -> float:
    """The curvature the lane was laid out with at its i-th sample, 0.5 m apart: straight,
    a left bend, a right bend, straight."""
    return 0.0 if i < 40 else (0.03 if i < 90 else (-0.03 if i < 140 else 0.0))


def noisy_lane(count: int = 160, seed: int = 7) -> list[list[float]]:
    """The lane sampled every ~0.5 m with GPS-like noise, and a vehicle that stood still twice
    (repeated points)."""
    rng = random.Random(seed)
    points: list[list[float]] = []
    heading, x, y = 0.0, 0.0, 0.0
    for i in range(count):
        heading += 0.5 * design_curvature(i)
        x += 0.5 * math.cos(heading)
        y += 0.5 * math.sin(heading)
        points.append([x + rng.gauss(0, 0.08), y + rng.gauss(0, 0.08)])
        if i in (20, 100):
            points += [points[-1]] * 3
    return points


def main() -> None:
    raw = Path.from_points(noisy_lane())
    path = raw.without_duplicate_points()
    print(f"input: {len(raw.points)} points, {len(path.points)} after dropping repeats, "
          f"length {path.length:.1f} m")

    heading = path.orientation
    print(f"heading from {math.degrees(heading[0]):.0f} to {math.degrees(heading[-1]):.0f} "
          f"degrees; mean |curvature| from differences "
          f"{sum(map(abs, path.curvature)) / len(path.x):.2f} 1/m")

    smooth = path.smoothed_path(MAX_DEVIATION)
    shift = max(math.dist(a, b) for a, b in zip(path.points, smooth.points))
    print(f"smoothed within {MAX_DEVIATION} m: largest shift {shift:.3f} m")

    segments = smooth.find_circle_segments(0, len(smooth.points), max_rmse=ARC_RMSE)
    arcs = [(s, e, k) for s, e, k in segments if e - s >= 3]
    print(f"{len(segments)} circle segments; longest arc {max(e - s for s, e, _ in arcs)} "
          f"points, curvatures {min(k for *_, k in arcs):.3f} to "
          f"{max(k for *_, k in arcs):.3f} 1/m")

    resampled = smooth.resampled_path(STATIONS, ResamplingType.Cubic)
    steps = [math.dist(a, b) for a, b in zip(resampled.points, resampled.points[1:])]
    print(f"resampled to {STATIONS} points, spacing {min(steps):.3f} to {max(steps):.3f} m")

    query = [smooth.points[70][0] + 0.3, smooth.points[70][1] - 0.2]
    index = smooth.index_from_point(query)
    distance = smooth.path_length_from_point(query)
    piece = smooth.sub_path(query, smooth.points[120])
    assert index is not None and distance is not None and piece is not None
    print(f"point {query[0]:.2f}, {query[1]:.2f} lies after point {index}, "
          f"{distance:.2f} m along; sub-path to point 120 has {len(piece.points)} points")

    # The same questions in NumPy: path.arrays shares the path's memory, and its methods take
    # any number of points at once. Here 2,000 noisy GPS fixes along the lane are matched to
    # it: arc length s, signed lateral offset d (positive on the left) and segment, in one call.
    views = smooth.arrays
    rng = np.random.default_rng(3)
    along = rng.uniform(0.0, views.length, 2000)
    fixes = views.from_frenet(along, rng.normal(0.0, 0.6, along.size))
    fixes += rng.normal(0.0, 0.1, fixes.shape)
    s, d, segment = views.frenet(fixes)
    error = np.abs(s - along)
    print(f"map-matched {np.count_nonzero(segment >= 0)} of {len(fixes)} noisy fixes in one "
          f"call: median error along the lane {np.median(error):.3f} m, lateral offsets "
          f"{d.min():.2f} to {d.max():.2f} m")

    output = FilePath(sys.argv[1] if len(sys.argv) > 1 else "tour.png")
    if draw(path, smooth, segments, resampled, query, piece, fixes, output):
        print(f"picture written to {output}")


def draw(path: Path, smooth: Path, segments: list[tuple[int, int, float]], resampled: Path,
         query: list[float], piece: Path, fixes: np.ndarray, output: FilePath) -> bool:
    try:
        import matplotlib
    except ImportError:
        print("matplotlib is not installed (pip install 'ordavin[examples]'): no picture")
        return False
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib import colors

    fig = plt.figure(figsize=(13, 11), constrained_layout=True)
    grid = fig.add_gridspec(3, 2, height_ratios=[1.15, 1.0, 0.8])
    overview = fig.add_subplot(grid[0, :])
    matching = fig.add_subplot(grid[1, 0])
    arcs = fig.add_subplot(grid[1, 1])
    profile = fig.add_subplot(grid[2, :])
    views, smooth_views = path.arrays, smooth.arrays

    # The corridor: every interior point may move along its normal by at most MAX_DEVIATION.
    normals = np.column_stack([-np.sin(views.orientation), np.cos(views.orientation)])
    left = views.points + MAX_DEVIATION * normals
    right = views.points - MAX_DEVIATION * normals

    def lane(axes: "matplotlib.axes.Axes", zoomed: bool = False) -> None:
        corridor = np.vstack([left, right[::-1]])
        axes.fill(corridor[:, 0], corridor[:, 1], color="0.88", lw=0,
                  label=f"corridor: ±{MAX_DEVIATION} m across each sample")
        for edge in (left, right):
            axes.plot(edge[:, 0], edge[:, 1], "-", color="0.6", lw=0.6)
        axes.plot(path.x, path.y, ".", color="0.35", ms=5 if zoomed else 3,
                  label="GPS samples (noisy, repeats dropped)")
        axes.plot(smooth.x, smooth.y, "-", color="tab:blue", lw=2 if zoomed else 1.6,
                  label="smoothed path")
        axes.plot(resampled.x, resampled.y, "o", mfc="none", color="tab:orange",
                  ms=7 if zoomed else 5,
                  label=f"{STATIONS} equally spaced stations (cubic spline)")

    lane(overview)
    overview.plot(piece.x, piece.y, "-", color="tab:red", lw=1.2,
                  label="stretch from the query to sample 120")
    foot = smooth_views.from_frenet(smooth_views.frenet(query)[0])
    overview.plot([query[0], foot[0]], [query[1], foot[1]], ":", color="tab:red", lw=1.2)
    overview.plot(*query, "*", color="tab:red", ms=13, label="query point")
    overview.plot(*foot, "x", color="tab:red", ms=8, mew=2, label="its nearest point on the path")
    overview.set(aspect="equal", xlabel="east (m)", ylabel="north (m)",
                 title="A noisy lane, smoothed within its corridor, resampled and searched")
    overview.legend(loc="upper left", fontsize=8, ncol=2)

    # Zoom into the left bend, where the smoothing has to work within its corridor.
    inset = overview.inset_axes((0.6, 0.04, 0.39, 0.66))
    lane(inset, zoomed=True)
    bend = views.points[60:75]
    inset.set(xlim=(bend[:, 0].min() - 0.6, bend[:, 0].max() + 0.6),
              ylim=(bend[:, 1].min() - 0.6, bend[:, 1].max() + 0.6), aspect="equal")
    inset.tick_params(labelsize=7)
    inset.set_title("zoom: the smoothed line stays inside the corridor", fontsize=8, pad=3)
    overview.indicate_inset_zoom(inset, edgecolor="0.4")

    # Map matching: each fix, its projection, coloured by the signed lateral offset.
    s, d, _ = smooth_views.frenet(fixes)
    feet = smooth_views.from_frenet(s)
    limit = float(np.nanmax(np.abs(d)))
    offsets = colors.TwoSlopeNorm(0.0, -limit, limit)
    shown = slice(0, None, 8)
    for fix, on_path in zip(fixes[shown], feet[shown]):
        matching.plot([fix[0], on_path[0]], [fix[1], on_path[1]], "-", color="0.75", lw=0.6)
    matching.plot(smooth.x, smooth.y, "-", color="k", lw=1.2, label="smoothed path")
    dots = matching.scatter(fixes[:, 0], fixes[:, 1], c=d, cmap="coolwarm", norm=offsets, s=5,
                            label="GPS fixes (grey: projection onto the path)")
    fig.colorbar(dots, ax=matching, label="lateral offset d (m): + left, − right of travel")
    matching.set(aspect="equal", xlabel="east (m)", ylabel="north (m)",
                 title=f"Map matching {len(fixes):,} fixes in one call: arc length and offset")
    matching.legend(loc="upper left", fontsize=8)

    # Circle segments, coloured by 1 / radius: straight stretches pale, bends dark. A few short
    # arcs fit what noise the smoothing left with a small radius; the scale stops at 0.1 1/m
    # (a 10 m radius), so that they do not wash out the lane's real bends.
    norm = colors.Normalize(0.0, 0.1)
    for start, end, k in segments:
        stop = min(end + 1, len(smooth.x))
        arcs.plot(smooth.x[start:stop], smooth.y[start:stop], lw=5, color=plt.cm.viridis_r(norm(k)),
                  solid_capstyle="butt")
    fig.colorbar(plt.cm.ScalarMappable(norm=norm, cmap="viridis_r"), ax=arcs, extend="max",
                 label="arc curvature = 1 / radius (1/m)")
    arcs.set(aspect="equal", xlabel="east (m)", ylabel="north (m)",
             title=f"Circular arcs that fit the smoothed path within {ARC_RMSE} m RMSE")

    # Curvature against arc length, from the differences of neighbouring samples: the noise of
    # the raw samples, what the smoothing leaves of it, and the curvature the lane was laid out
    # with (+0.03 1/m left, -0.03 1/m right).
    profile.plot(views.path_length_per_point, views.curvature, color="0.65", lw=0.8,
                 label="GPS samples")
    profile.plot(smooth_views.path_length_per_point, smooth_views.curvature, color="tab:blue",
                 lw=1.4, label="smoothed path")
    coarse = smooth.resampled_path(int(smooth.length // 2.0) + 1, ResamplingType.Cubic).arrays
    profile.plot(coarse.path_length_per_point, coarse.curvature, "-", color="tab:green", lw=2,
                 label="smoothed path resampled every 2 m")
    design = [design_curvature(i) for i in range(len(path.x))]
    profile.plot(views.path_length_per_point, design, "--", color="k", lw=1.2,
                 label="as the lane was laid out")
    profile.set(ylim=(-0.7, 0.7), xlabel="distance along the lane (m)",
                ylabel="curvature (1/m)",
                title="Curvature along the lane, before and after smoothing (finite differences)")
    profile.axhline(0.0, color="0.5", lw=0.5)
    profile.legend(loc="upper right", fontsize=8, ncol=4)
    fig.savefig(output, dpi=100)
    return True


if __name__ == "__main__":
    main()
