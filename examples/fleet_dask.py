"""Clean a fleet's GPS trajectories in parallel with dask.bag on a local cluster.

Each trajectory is generated here (a vehicle driving arcs and straights, with GPS noise and
stops that repeat a point), then cleaned on the workers: consecutive duplicates removed,
smoothed within a lateral bound, and resampled to a fixed number of equidistant points. The
cluster runs its workers as separate processes, so every path is pickled to a worker and every
result pickled back.

    pip install "ordavin[dask]"
    python examples/fleet_dask.py --paths 3000 --workers 2
"""

from __future__ import annotations

import argparse
import math
import random
import time
from collections.abc import Sequence

import dask.bag as db
from dask.distributed import Client, LocalCluster

from ordavin import Path, ResamplingType


def make_trajectory(seed: int, number_points: int = 200) -> Path:
    """A reproducible noisy trajectory: arcs of random curvature at about 1 m spacing."""
    rng = random.Random(seed)
    x, y, heading = rng.uniform(-1e3, 1e3), rng.uniform(-1e3, 1e3), rng.uniform(-math.pi, math.pi)
    points: list[list[float]] = []
    curvature = 0.0
    while len(points) < number_points:
        if rng.random() < 0.05:  # a new manoeuvre: straight, or an arc of up to 25 m radius
            curvature = rng.choice([0.0, rng.uniform(-0.04, 0.04)])
        step = rng.uniform(0.8, 1.2)
        heading += curvature * step
        x += step * math.cos(heading)
        y += step * math.sin(heading)
        point = [x + rng.gauss(0.0, 0.15), y + rng.gauss(0.0, 0.15)]
        points.append(point)
        if rng.random() < 0.03 and len(points) < number_points:  # standing still for a fix
            points.append(list(point))
    return Path.from_points(points)


def clean(
    path: Path,
    max_deviation: float = 0.3,
    number_points: int = 100,
    resampling_type: ResamplingType = ResamplingType.Cubic,
) -> Path:
    """Duplicates removed, smoothed within `max_deviation`, resampled equidistantly.

    This function runs on the workers. When the script runs as __main__, Dask ships it by
    value (cloudpickle), globals included; the classes Path and ResamplingType cannot travel
    that way (they report the module "builtins"), so its body names neither: the member
    arrives as a default argument, which pickles like any member.
    """
    smooth = path.without_duplicate_points().smoothed_path(max_deviation)
    return smooth.resampled_path(number_points, resampling_type)


def clean_serially(paths: Sequence[Path], max_deviation: float, number_points: int) -> list[Path]:
    return [clean(path, max_deviation, number_points) for path in paths]


def clean_on_cluster(
    client: Client, paths: Sequence[Path], max_deviation: float, number_points: int
) -> list[Path]:
    """The same cleaning, spread over the client's workers as a dask.bag, in input order.

    The paths go to the workers as scattered chunks, one bag partition each (a few per
    worker, to even out the load), rather than inside the task graph.
    """
    if not paths:
        return []
    workers = max(1, len(client.scheduler_info()["workers"]))
    size = math.ceil(len(paths) / (4 * workers))
    chunks = [list(paths[i : i + size]) for i in range(0, len(paths), size)]
    # The futures must outlive the computation: once the last one is dropped, the scheduler
    # may release the scattered data before the tasks that read it have run.
    scattered = client.scatter(chunks)
    bag = db.from_delayed(scattered)
    cleaned = bag.map(clean, max_deviation=max_deviation, number_points=number_points)
    result: list[Path] = cleaned.compute()
    del scattered
    return result


def local_cluster(workers: int) -> LocalCluster:
    """Worker processes (one thread each) on the loopback interface, no dashboard."""
    return LocalCluster(
        n_workers=workers,
        threads_per_worker=1,
        processes=True,
        host="127.0.0.1",
        dashboard_address=None,
    )


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--paths", type=int, default=3000, help="number of trajectories")
    parser.add_argument("--points", type=int, default=200, help="points per trajectory")
    parser.add_argument("--workers", type=int, default=2, help="worker processes")
    parser.add_argument("--max-deviation", type=float, default=0.3, help="smoothing bound, m")
    parser.add_argument("--resample", type=int, default=100, help="points after resampling")
    parser.add_argument("--serial", action="store_true", help="also run serially and compare")
    args = parser.parse_args()

    paths = [make_trajectory(seed, args.points) for seed in range(args.paths)]
    start = time.perf_counter()
    with local_cluster(args.workers) as cluster, Client(cluster) as client:
        ready = time.perf_counter()
        cleaned = clean_on_cluster(client, paths, args.max_deviation, args.resample)
        parallel = time.perf_counter() - ready
    start_up = ready - start

    lengths = [path.length for path in cleaned]
    sharpest = max(range(len(cleaned)), key=lambda i: max(map(abs, cleaned[i].curvature)))
    print(f"{len(cleaned)} trajectories cleaned on {args.workers} workers in {parallel:.2f} s "
          f"(starting the cluster took {start_up:.2f} s more)")
    print(f"total length {sum(lengths) / 1e3:.1f} km, mean {sum(lengths) / len(lengths):.1f} m")
    print(f"sharpest turn: trajectory {sharpest}")

    if args.serial:
        start = time.perf_counter()
        expected = clean_serially(paths, args.max_deviation, args.resample)
        serial = time.perf_counter() - start
        same = all(a.points == b.points for a, b in zip(cleaned, expected))
        # Processes pay off only when each worker has a core of its own and enough work to
        # outweigh pickling every path there and back; say plainly which way it went.
        if parallel < serial:
            verdict = f"the cluster was {serial / parallel:.2f} times as fast as the serial loop"
        else:
            verdict = f"the cluster was {parallel / serial:.2f} times slower than the serial loop"
        print(f"serially in {serial:.2f} s: {verdict}; same results: {same}")


if __name__ == "__main__":
    main()
