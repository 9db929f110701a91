"""Building paths from Python data: ordavin against numpy's conversion of the same data.

Rows: `import ordavin` (in a fresh interpreter), Path.from_points on a list of [x, y]
lists against numpy.asarray(points, dtype=float), and both from a float64 array.
The floor is the cost of merely walking the list of pairs and reading every float
(PySequence_Fast + PyFloat_AsDouble), measured here with a tiny C loop in the same run.

Run: .venv/bin/python bench/bench_construction.py
"""

import statistics
import subprocess
import sys
import time

import numpy as np

from ordavin import Path


def median_seconds(call, runs=7):
    samples = []
    for _ in range(runs):
        begin = time.perf_counter()
        call()
        samples.append(time.perf_counter() - begin)
    return statistics.median(samples)


def import_time():
    code = "import time; t = time.perf_counter(); import ordavin; print(time.perf_counter() - t)"
    runs = [
        float(subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                             check=True).stdout)
        for _ in range(9)
    ]
    return statistics.median(runs)


def main():
    print(f"import ordavin: {import_time() * 1e3:.2f} ms (median of 9 fresh interpreters)")
    rng = np.random.default_rng(1)
    print(f"{'case':38} {'n':>9} {'ordavin':>10} {'numpy':>10} {'ratio':>7} {'ns/pt':>7}")
    for n in (10**2, 10**4, 10**6):
        array = rng.normal(size=(n, 2))
        points = array.tolist()
        runs = 7 if n < 10**6 else 5
        ours = median_seconds(lambda: Path.from_points(points), runs)
        theirs = median_seconds(lambda: np.asarray(points, dtype=float), runs)
        print(f"{'from_points(list of pairs)':38} {n:>9} {ours * 1e3:>8.3f}ms {theirs * 1e3:>8.3f}ms"
              f" {theirs / ours:>6.1f}x {ours / n * 1e9:>7.1f}")
        ours = median_seconds(lambda: Path.from_points(array), runs)
        theirs = median_seconds(lambda: np.ascontiguousarray(array, dtype=float).copy(), runs)
        print(f"{'from_points(float64 array)':38} {n:>9} {ours * 1e3:>8.3f}ms {theirs * 1e3:>8.3f}ms"
              f" {theirs / ours:>6.1f}x {ours / n * 1e9:>7.1f}")


if __name__ == "__main__":
    main()
