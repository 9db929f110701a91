"""A tour of ordavin on a noisy lane: every capability once, with a picture.

Run: make demo   (writes tour.png next to this repository's README)
"""

import math
import random
import sys
from pathlib import Path as FilePath

import numpy as np

from ordavin import Path, ResamplingType

MAX_DEVIATION = 0.4


def noisy_lane(count=160, seed=7):
    """A lane that runs straight, bends left, then right, sampled every ~0.5 m with GPS-like
    noise and a vehicle that stood still twice (repeated points)."""
    rng = random.Random(seed)
    points, heading, x, y = [], 0.0, 0.0, 0.0
    for i in range(count):
        curvature = 0.0 if i < 40 else (0.03 if i < 90 else (-0.03 if i < 140 else 0.0))
        heading += 0.5 * curvature
        x += 0.5 * math.cos(heading)
        y += 0.5 * math.sin(heading)
        points.append([x + rng.gauss(0, 0.08), y + rng.gauss(0, 0.08)])
        if i in (20, 100):
            points += [points[-1]] * 3
    return points


def main():
    raw = Path.from_points(noisy_lane())
    path = raw.without_duplicate_points()
    print(f"input: {len(raw.points)} points, {len(path.points)} after dropping repeats, "
          f"length {path.length:.1f} m")

    heading = path.orientation
    print(f"heading from {math.degrees(heading[0]):.0f} to {math.degrees(heading[-1]):.0f} degrees; "
          f"mean |curvature| from differences {sum(map(abs, path.curvature)) / len(path.x):.2f} 1/m")

    smooth = path.smoothed_path(MAX_DEVIATION)
    shift = max(math.dist(a, b) for a, b in zip(path.points, smooth.points))
    print(f"smoothed within {MAX_DEVIATION} m: largest shift {shift:.3f} m")

    segments = smooth.find_circle_segments(0, len(smooth.points), max_rmse=0.05)
    arcs = [(s, e, k) for s, e, k in segments if e - s >= 3]
    print(f"{len(segments)} circle segments; longest arc {max(e - s for s, e, _ in arcs)} points, "
          f"curvatures {min(k for *_, k in arcs):.3f} to {max(k for *_, k in arcs):.3f} 1/m")

    resampled = smooth.resampled_path(60, ResamplingType.Cubic)
    steps = [math.dist(a, b) for a, b in zip(resampled.points, resampled.points[1:])]
    print(f"resampled to 60 points, spacing {min(steps):.3f} to {max(steps):.3f} m")

    query = [smooth.points[70][0] + 0.3, smooth.points[70][1] - 0.2]
    index = smooth.index_from_point(query)
    distance = smooth.path_length_from_point(query)
    piece = smooth.sub_path(query, smooth.points[120])
    print(f"point {query[0]:.2f}, {query[1]:.2f} lies after point {index}, "
          f"{distance:.2f} m along; sub-path to point 120 has {len(piece.points)} points")

    # The same questions in NumPy: path.arrays shares the path's memory, and its locating
    # methods take any number of points at once (here 2,000 GPS fixes along the lane).
    views = smooth.arrays
    rng = np.random.default_rng(3)
    along = rng.uniform(0.0, views.length, 2000)
    fixes = np.column_stack([np.interp(along, views.path_length_per_point, views.x),
                             np.interp(along, views.path_length_per_point, views.y)])
    fixes += rng.normal(0.0, 0.15, fixes.shape)
    matched = views.path_length_from_point(fixes)
    located = ~np.isnan(matched)
    error = np.abs(matched[located] - along[located])
    print(f"map-matched {located.sum()} of {len(fixes)} noisy fixes in one call: "
          f"median error along the lane {np.median(error):.3f} m")

    output = FilePath(sys.argv[1] if len(sys.argv) > 1 else "tour.png")
    draw(path, smooth, segments, resampled, query, piece, output)
    print(f"picture written to {output}")


def draw(path, smooth, segments, resampled, query, piece, output):
    try:
        import matplotlib
    except ImportError:
        print("matplotlib is not installed (pip install 'ordavin[examples]'): no picture")
        return
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib import cm, colors

    fig, (top, bottom) = plt.subplots(2, 1, figsize=(12, 8), constrained_layout=True)

    # The corridor: every interior point may move along its normal by at most MAX_DEVIATION.
    views = path.arrays
    normals = np.column_stack([-np.sin(views.orientation), np.cos(views.orientation)])
    for sign in (1, -1):
        edge = views.points + sign * MAX_DEVIATION * normals
        top.plot(edge[:, 0], edge[:, 1], color="0.8", lw=1,
                 label="±max_deviation" if sign > 0 else None)
    top.plot(path.x, path.y, ".", color="0.45", ms=4, label="input (noisy)")
    top.plot(smooth.x, smooth.y, "-", color="tab:blue", lw=1.8, label="smoothed_path")
    top.plot(resampled.x, resampled.y, "o", mfc="none", color="tab:orange", ms=5,
             label="resampled_path (60, Cubic)")
    top.plot(piece.x, piece.y, "-", color="tab:red", lw=4, alpha=0.5, label="sub_path")
    top.plot(*query, "*", color="tab:red", ms=12, label="located point")
    top.set_aspect("equal")
    top.legend(loc="upper left", fontsize=8)
    top.set_title("smoothing, resampling and locating")

    curvatures = [k for *_, k in segments]
    norm = colors.Normalize(min(curvatures), max(curvatures))
    for start, end, k in segments:
        top_of_arc = min(end + 1, len(smooth.x))
        bottom.plot(smooth.x[start:top_of_arc], smooth.y[start:top_of_arc], lw=3,
                    color=cm.viridis(norm(k)))
    fig.colorbar(cm.ScalarMappable(norm=norm, cmap="viridis"), ax=bottom,
                 label="arc curvature (1/m)")
    bottom.set_aspect("equal")
    bottom.set_title("find_circle_segments: arcs within an RMSE of 0.05 m")
    fig.savefig(output, dpi=90)


if __name__ == "__main__":
    main()
