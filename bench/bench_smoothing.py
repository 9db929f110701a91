"""Smoothing: time inside Clarabel against everything around it, and cvxpy side by side.

For each n a noisy lane is smoothed with ordavin. Clarabel's own share is measured by running
clarabel (construction + solve, same settings, same input forms as ordavin hands over) on the
same matrices; what remains is ordavin's modelling, assembly and conversion. cvxpy builds and
solves the same QP with CLARABEL for comparison. Peak RSS is measured for the largest n in a
fresh process.
"""

import array
import math
import statistics
import subprocess
import sys
import time
import types

import numpy as np
import scipy.sparse as sp

import clarabel
from ordavin import Path

MAX_DEVIATION = 0.3
RUNS = {100: 21, 1_000: 11, 10_000: 5, 100_000: 5}
CVXPY_SIZES = (100, 1_000, 10_000)


def noisy_lane(n, seed=7):
    rng = np.random.default_rng(seed)
    s = np.linspace(0.0, n / 10.0, n)
    return (s + rng.normal(0.0, 0.05, n)).tolist(), (np.sin(s / 5.0) + rng.normal(0.0, 0.1, n)).tolist()


def qp_matrices(path, d):
    """P (upper triangle), q, A, b and cone sizes of the smoothing QP, built with scipy.

    The rows come in ordavin's order, so that clarabel factorises the same KKT system: the
    four end-point equalities, the x and y equalities of each interior point in turn, then the
    two offset bounds of each interior point (l <= 1 before -l <= 1). The weights are formed as
    ordavin forms them, d * sin(theta) and (-d) * cos(theta) with the C library's sin and cos.
    """
    X, Y = np.array(path.x), np.array(path.y)
    n = len(X)
    theta = path.orientation
    k = n - 2
    cols = 3 * n - 2
    second = sp.diags([1.0, -2.0, 1.0], [0, 1, 2], shape=(k, n))
    bending = 2.0 * (second.T @ second)
    P = sp.triu(sp.block_diag([bending, bending, sp.csc_matrix((k, k))]), format="csc")
    inner = np.arange(1, n - 1)
    offset = 2 * n + np.arange(k)
    x_row, y_row = 4 + 2 * np.arange(k), 5 + 2 * np.arange(k)
    wx = np.array([d * math.sin(theta[i]) for i in range(1, n - 1)])
    wy = np.array([-d * math.cos(theta[i]) for i in range(1, n - 1)])
    equalities = sp.csr_matrix(
        (np.r_[np.ones(4), wx, -np.ones(k), wy, -np.ones(k)],
         (np.r_[0, 1, 2, 3, x_row, x_row, y_row, y_row],
          np.r_[0, n, n - 1, 2 * n - 1, offset, inner, offset, n + inner])),
        shape=(2 * n, cols))
    bounds = sp.csr_matrix(
        (np.r_[np.ones(k), -np.ones(k)], (np.r_[2 * np.arange(k), 2 * np.arange(k) + 1],
                                          np.r_[offset, offset])), shape=(2 * k, cols))
    A = sp.vstack([equalities, bounds], format="csc")
    A.sort_indices()
    b = np.r_[X[0], Y[0], X[-1], Y[-1], np.column_stack((-X[inner], -Y[inner])).ravel(),
              np.ones(2 * k)]
    return P, np.zeros(cols), A, b, 2 * n, 2 * k


def as_handed_over(matrix):
    """The form ordavin hands to clarabel: array.array buffers in a namespace."""
    return types.SimpleNamespace(
        data=array.array("d", matrix.data.tobytes()),
        indices=array.array("Q", matrix.indices.astype(np.uint64).tobytes()),
        indptr=array.array("Q", matrix.indptr.astype(np.uint64).tobytes()),
        shape=matrix.shape,
        has_canonical_format=True,
    )


def settings():
    s = clarabel.DefaultSettings()
    s.verbose = False
    s.direct_solve_method = "qdldl"
    s.reduced_tol_infeas_abs = 5e-5
    return s


def sample(function, repeats):
    start = time.perf_counter()
    for _ in range(repeats):
        function()
    return (time.perf_counter() - start) / repeats


def median_times(functions, runs, min_sample=0.02):
    """Median seconds per call of each function, sampled in turn so that both see the same
    machine; short calls are repeated to fill a sample."""
    for function in functions:
        function()
    repeats = [max(1, int(min_sample / max(sample(f, 1), 1e-9))) for f in functions]
    samples = [[] for _ in functions]
    for _ in range(runs):
        for function, count, times in zip(functions, repeats, samples):
            times.append(sample(function, count))
    return [statistics.median(times) for times in samples]


def median_time(function, runs):
    return median_times([function], runs)[0]


def clarabel_run(path):
    """Clarabel's construction + solve on the arrays ordavin hands over, in the same form."""
    P, q, A, b, zero, nonneg = qp_matrices(path, MAX_DEVIATION)
    Ph, Ah = as_handed_over(P), as_handed_over(A)
    qh, bh = array.array("d", q.tobytes()), array.array("d", b.tobytes())

    def run():
        cones = [clarabel.ZeroConeT(zero), clarabel.NonnegativeConeT(nonneg)]
        solution = clarabel.DefaultSolver(Ph, qh, Ah, bh, cones, settings()).solve()
        assert solution.status == clarabel.SolverStatus.Solved

    return run


def clarabel_scipy_run(path):
    """Clarabel straight from scipy CSC matrices and numpy vectors: construction + solve."""
    P, q, A, b, zero, nonneg = qp_matrices(path, MAX_DEVIATION)

    def run():
        cones = [clarabel.ZeroConeT(zero), clarabel.NonnegativeConeT(nonneg)]
        solution = clarabel.DefaultSolver(P, q, A, b, cones, settings()).solve()
        assert solution.status == clarabel.SolverStatus.Solved

    return run


def cvxpy_time(path, runs):
    return median_time(cvxpy_run(path), runs)


def cvxpy_run(path):
    """The same QP modelled and solved with cvxpy and CLARABEL, canonicalisation included."""
    import cvxpy as cp

    X, Y = np.array(path.x), np.array(path.y)
    n = len(X)
    theta = np.array(path.orientation)[1:-1]

    def run():
        x, y, l = cp.Variable(n), cp.Variable(n), cp.Variable(n - 2)
        objective = cp.sum_squares(x[2:] - 2 * x[1:-1] + x[:-2]) + cp.sum_squares(
            y[2:] - 2 * y[1:-1] + y[:-2])
        constraints = [
            x[0] == X[0], y[0] == Y[0], x[-1] == X[-1], y[-1] == Y[-1],
            x[1:-1] == X[1:-1] + MAX_DEVIATION * cp.multiply(np.sin(theta), l),
            y[1:-1] == Y[1:-1] - MAX_DEVIATION * cp.multiply(np.cos(theta), l),
            l <= 1, l >= -1,
        ]
        problem = cp.Problem(cp.Minimize(objective), constraints)
        problem.solve(solver=cp.CLARABEL)
        assert problem.status == "optimal"

    return run


def peak_rss(n):
    """Peak RSS (VmHWM) of a fresh process before and after smoothing one path of n points."""
    script = (
        "import numpy as np\n"
        "from ordavin import Path\n"
        "import clarabel\n"
        "def hwm():\n"
        "    for line in open('/proc/self/status'):\n"
        "        if line.startswith('VmHWM'): return int(line.split()[1])\n"
        f"x = np.linspace(0, {n} / 10.0, {n}); y = np.sin(x / 5.0)\n"
        "p = Path(x=x.tolist(), y=y.tolist()); p.orientation\n"
        "before = hwm()\n"
        f"p.smoothed_path({MAX_DEVIATION})\n"
        "print(before, hwm())\n"
    )
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                         check=True).stdout.split()
    return int(out[0]) / 1024, int(out[1]) / 1024


def main():
    try:
        import cvxpy  # noqa: F401
        cvxpy_sizes = CVXPY_SIZES
    except ImportError:
        cvxpy_sizes = ()
    print(f"{'n':>7} {'ordavin':>10} {'clarabel':>10} {'outside':>9} {'share':>6} "
          f"{'cvxpy':>10} {'cvxpy/ord':>9}")
    for n, runs in RUNS.items():
        path = Path(x=noisy_lane(n)[0], y=noisy_lane(n)[1])
        path.orientation
        total, inside = median_times(
            [lambda: path.smoothed_path(MAX_DEVIATION), clarabel_run(path)], runs)
        outside = total - inside
        cvx = cvxpy_time(path, max(1, runs // 2)) if n in cvxpy_sizes else float("nan")
        print(f"{n:>7} {total * 1e3:>8.2f}ms {inside * 1e3:>8.2f}ms {outside * 1e3:>7.2f}ms "
              f"{outside / total:>6.1%} {cvx * 1e3:>8.2f}ms {cvx / total:>9.2f}")
    before, after = peak_rss(100_000)
    print(f"peak RSS, n = 100000: {before:.0f} MiB before smoothing, {after:.0f} MiB after")


if __name__ == "__main__":
    main()
