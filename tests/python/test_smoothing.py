"""Elastic-band smoothing: worked examples, geometric guarantees and an independent QP oracle."""

import math
import os
import subprocess
import sys

import numpy as np
import pytest
import scipy.sparse as sp

from ordavin import Path

clarabel = pytest.importorskip("clarabel")

TOL = 1e-6


def oracle(path, d):
    """The smoothing QP written directly with scipy.sparse and solved with clarabel."""
    X = np.array(path.x)
    Y = np.array(path.y)
    n = len(X)
    theta = np.array(path.orientation)
    interior = np.arange(1, n - 1)
    # Variables: x (n), y (n), offsets l (n - 2).
    second = sp.diags([1.0, -2.0, 1.0], [0, 1, 2], shape=(max(n - 2, 0), n))
    bending = 2.0 * (second.T @ second)
    P = sp.block_diag([bending, bending, sp.csc_matrix((n - 2, n - 2))], format="csc")
    ends = sp.csr_matrix(
        (np.ones(4), ([0, 1, 2, 3], [0, n, n - 1, 2 * n - 1])), shape=(4, 3 * n - 2)
    )
    # x_i - d sin(theta_i) l = X_i and y_i + d cos(theta_i) l = Y_i, written as A z = b.
    k = len(interior)
    rows = np.arange(k)
    move_x = sp.csr_matrix(
        (np.concatenate([np.ones(k), -d * np.sin(theta[interior])]),
         (np.concatenate([rows, rows]), np.concatenate([interior, 2 * n + interior - 1]))),
        shape=(k, 3 * n - 2),
    )
    move_y = sp.csr_matrix(
        (np.concatenate([np.ones(k), d * np.cos(theta[interior])]),
         (np.concatenate([rows, rows]), np.concatenate([n + interior, 2 * n + interior - 1]))),
        shape=(k, 3 * n - 2),
    )
    offsets = sp.hstack([sp.csr_matrix((k, 2 * n)), sp.identity(k, format="csr")])
    A = sp.vstack([ends, move_x, move_y, offsets, -offsets], format="csc")
    b = np.concatenate([[X[0], Y[0], X[-1], Y[-1]], X[interior], Y[interior], np.ones(2 * k)])
    settings = clarabel.DefaultSettings()
    settings.verbose = False
    cones = [clarabel.ZeroConeT(4 + 2 * k), clarabel.NonnegativeConeT(2 * k)]
    solution = clarabel.DefaultSolver(sp.triu(P, format="csc"), np.zeros(3 * n - 2), A, b,
                                      cones, settings).solve()
    assert solution.status == clarabel.SolverStatus.Solved
    z = np.array(solution.x)
    return np.column_stack([z[:n], z[n:2 * n]])


def noisy_lane(n, seed=1):
    rng = np.random.default_rng(seed)
    s = np.linspace(0.0, 40.0, n)
    x = s + rng.normal(0.0, 0.2, n)
    y = 3.0 * np.sin(s / 8.0) + rng.normal(0.0, 0.2, n)
    return Path(x=x.tolist(), y=y.tolist())


@pytest.mark.parametrize(
    "max_deviation, middle",
    [(0.5, [1.0, 0.5]), (2.0, [1.0, 0.0]), (-0.5, [1.0, 0.5]), (-2.0, [1.0, 0.0])],
)
def test_zig_zag_middle_point_moves_towards_the_chord(max_deviation, middle):
    # theta_1 = 0, so the middle point moves only along y: J = (2 - 2 (1 - y_1))^2 with
    # 1 - y_1 within |d|. A negative d describes the same feasible set.
    result = Path([[0.0, 0.0], [1.0, 1.0], [2.0, 0.0]]).smoothed_path(max_deviation)
    np.testing.assert_allclose(result.points, [[0.0, 0.0], middle, [2.0, 0.0]], atol=TOL)


@pytest.mark.parametrize(
    "points, max_deviation",
    [
        ([[0.0, 0.0], [3.0, 4.0]], 1.0),
        ([[0.0, 0.0], [1.0, 2.0], [5.0, -1.0], [6.0, 3.0]], 0.0),
        ([[0.0, 0.0], [1.0, 2.0], [2.0, 4.0], [3.0, 6.0], [4.0, 8.0]], 1.5),
    ],
    ids=["two points", "zero deviation", "straight line"],
)
def test_paths_that_cannot_or_need_not_move_are_unchanged(points, max_deviation):
    result = Path(points).smoothed_path(max_deviation)
    assert isinstance(result, Path)
    np.testing.assert_allclose(result.points, points, atol=TOL)


@pytest.mark.parametrize("n, max_deviation", [(3, 0.3), (25, 0.4), (200, 0.25), (200, -0.25)])
def test_matches_the_directly_built_qp(n, max_deviation):
    path = noisy_lane(n)
    result = path.smoothed_path(max_deviation)
    np.testing.assert_allclose(result.points, oracle(path, max_deviation), atol=TOL)


def test_points_move_only_along_their_normal_and_within_the_bound():
    path = noisy_lane(120)
    d = 0.3
    result = np.array(path.smoothed_path(d).points)
    original = np.array(path.points)
    assert result.shape == original.shape
    np.testing.assert_allclose(result[[0, -1]], original[[0, -1]], atol=TOL)
    theta = np.array(path.orientation)[1:-1]
    shift = result[1:-1] - original[1:-1]
    along = shift[:, 0] * np.cos(theta) + shift[:, 1] * np.sin(theta)
    np.testing.assert_allclose(along, 0.0, atol=TOL)
    assert np.all(np.hypot(shift[:, 0], shift[:, 1]) <= d + TOL)
    # Noise this large makes the band press against its bound somewhere.
    assert np.max(np.hypot(shift[:, 0], shift[:, 1])) > d - 1e-3


def test_receiver_keeps_its_points_and_result_is_independent():
    points = [[0.0, 0.0], [1.0, 1.0], [2.0, 0.0], [3.0, 1.0]]
    path = Path(points)
    result = path.smoothed_path(0.5)
    assert result is not path
    assert path.points == points
    # The orientation read during smoothing is the one the property reports.
    assert path.orientation == Path(points).orientation
    again = path.smoothed_path(0.5)
    assert again.points == result.points


def test_prints_nothing(capfd):
    noisy_lane(50).smoothed_path(0.3)
    captured = capfd.readouterr()
    assert captured.out == ""
    assert captured.err == ""


@pytest.mark.parametrize("points", [[], [[1.0, 2.0]]], ids=["empty", "one point"])
def test_fewer_than_two_points_panic(points, panic):
    with panic("two points"):
        Path(points).smoothed_path(0.5)


@pytest.mark.parametrize("max_deviation", [math.nan, math.inf])
def test_failed_solve_panics_with_the_status_name(max_deviation, panic):
    path = Path([[0.0, 0.0], [1.0, 1.0], [2.0, 0.0]])
    before = sys.getrefcount(path)
    with panic() as info:
        path.smoothed_path(max_deviation)
    assert str(info.value).endswith(("Infeasible", "OtherError"))
    del info
    assert sys.getrefcount(path) == before


def test_clarabel_is_imported_on_first_smoothing_only():
    # A fresh interpreter in which clarabel cannot be imported: ordavin still imports, and
    # smoothing raises ImportError with the install advice.
    script = (
        "import sys\n"
        "sys.modules['clarabel'] = None\n"
        "import ordavin\n"
        "p = ordavin.Path([[0.0, 0.0], [1.0, 1.0], [2.0, 0.0]])\n"
        "try:\n"
        "    p.smoothed_path(0.5)\n"
        "except ImportError as error:\n"
        "    print('ImportError:', error)\n"
    )
    completed = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, timeout=60
    )
    assert completed.returncode == 0, completed.stderr
    assert "ImportError:" in completed.stdout
    assert "pip install clarabel" in completed.stdout


@pytest.mark.skipif(bool(os.environ.get("ORDAVIN_EXPECT_ASAN")),
                    reason="AddressSanitizer reserves far more address space than any limit")
def test_smoothing_that_cannot_fit_raises_memory_error_instead_of_aborting():
    # Under an address-space limit Clarabel's own allocator ended the process.
    code = """
import math, resource
import clarabel, scipy
from ordavin import Path
path = Path([[i * 0.1, math.sin(i * 0.01)] for i in range(100_000)])
path.orientation
with open("/proc/self/statm") as f:
    used = int(f.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (used + (150 << 20), resource.RLIM_INFINITY))
try:
    path.smoothed_path(0.3)
    print("solved")
except MemoryError:
    print("MemoryError")
"""
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert result.returncode == 0 and result.stdout.strip() == "MemoryError", result.stderr
