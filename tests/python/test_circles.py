"""Circle segments and circle-fit curvature of a path, checked against hand-worked
examples and against the circle-fit package's Taubin fit."""

import math
import os
import subprocess
import sys

import numpy as np
import pytest

import ordavin

try:
    import circle_fit
except ImportError:  # the oracle is optional locally, never under CI
    if os.environ.get("CI"):
        raise
    circle_fit = None

needs_oracle = pytest.mark.skipif(circle_fit is None, reason="circle-fit is not installed")


def worked_example():
    arc = [(2 * math.cos(k * math.pi / 8), 2 * math.sin(k * math.pi / 8)) for k in range(5)]
    return ordavin.Path(arc + [(-k, 2) for k in range(1, 6)])


# circle_fit.taubinSVD of the first seven points of the worked example.
WORKED_CURVATURE = 0.3450989502065983


def expect_panic(call):
    try:
        call()
    except BaseException as error:  # PanicException derives from BaseException
        assert type(error).__name__ == "PanicException", repr(error)
        return str(error)
    pytest.fail("no PanicException")


def noisy_arc(count, seed=1, radius=7.0, noise=0.05):
    rng = np.random.default_rng(seed)
    angle = np.linspace(0.2, 2.4, count)
    r = radius + rng.normal(0.0, noise, count)
    return np.column_stack((3.0 + r * np.cos(angle), -4.0 + r * np.sin(angle)))


def test_worked_example_decomposition():
    segments = worked_example().find_circle_segments(0, 10, 0.15)
    assert [(start, end) for start, end, _ in segments] == [(0, 7), (7, 8), (8, 10)]
    assert segments[0][2] == pytest.approx(WORKED_CURVATURE, rel=1e-12)
    assert segments[1][2] == 0.0 and segments[2][2] == 0.0
    for segment in segments:
        assert type(segment) is tuple
        assert [type(value) for value in segment] == [int, int, float]


def test_worked_example_curvature_per_point():
    curvature = worked_example().compute_circle_fit_curvature()
    assert curvature == pytest.approx([WORKED_CURVATURE] * 7 + [0.0] * 3, rel=1e-12)


def test_default_bound_is_0_15():
    # The merge (0, 7) has rmse 0.104: accepted under the default, refused under 0.1.
    path = worked_example()
    assert path.find_circle_segments(0, 10) == path.find_circle_segments(0, 10, 0.15)
    assert path.find_circle_segments(0, 10, max_rmse=0.1)[0][:2] == (0, 5)


@needs_oracle
@pytest.mark.parametrize("count", [3, 10, 100, 1000])
def test_single_fit_matches_the_circle_fit_package(count):
    points = noisy_arc(count)
    _, _, radius, _ = circle_fit.taubinSVD(points)
    segments = ordavin.Path(points.tolist()).find_circle_segments(0, count, math.inf)
    assert len(segments) == 1
    assert segments[0][2] == pytest.approx(1.0 / radius, rel=1e-9)


@needs_oracle
def test_decomposition_accepts_exactly_the_fits_within_the_bound():
    points = noisy_arc(64, seed=3, noise=0.2)
    rmse = circle_fit.taubinSVD(points)[3]
    path = ordavin.Path(points.tolist())
    assert len(path.find_circle_segments(0, 64, rmse * 1.000001)) == 1
    assert len(path.find_circle_segments(0, 64, rmse * 0.999999)) > 1


def test_curvature_is_unsigned_and_tiles_the_path():
    angle = -np.linspace(0.0, 3.0, 200)  # clockwise, radius 5
    path = ordavin.Path(np.column_stack((5 * np.cos(angle), 5 * np.sin(angle))).tolist())
    assert path.compute_circle_fit_curvature() == pytest.approx([0.2] * 200, rel=1e-9)


@pytest.mark.parametrize("bound", [-1.0, math.nan])
def test_bound_that_accepts_nothing(bound):
    segments = ordavin.Path(noisy_arc(20).tolist()).find_circle_segments(0, 20, bound)
    assert all(end - start <= 2 and curvature == 0.0 for start, end, curvature in segments)
    assert [s[0] for s in segments[1:]] == [s[1] for s in segments[:-1]]


def test_repeated_points_do_not_raise():
    points = [(0.1, 0.1)] * 5 + [(1.0, 2.0)] * 4 + [(float(i), float(i * i)) for i in range(6)]
    path = ordavin.Path(points)
    segments = path.find_circle_segments(0, len(points))
    assert segments[0][0] == 0 and segments[-1][1] == len(points)
    assert len(path.compute_circle_fit_curvature()) == len(points)


def test_non_finite_coordinates_do_not_raise():
    points = noisy_arc(12).tolist()
    points[3][0] = math.nan
    points[8][1] = math.inf
    curvature = ordavin.Path(points).compute_circle_fit_curvature()
    assert len(curvature) == 12


@pytest.mark.parametrize(
    "start, end, expected",
    [(10, 12, [(10, 12, 0.0)]), (3, 3, [(3, 3, 0.0)]), (0, 2, [(0, 2, 0.0)])],
)
def test_short_ranges(start, end, expected):
    assert ordavin.Path(noisy_arc(5).tolist()).find_circle_segments(start, end) == expected


def test_short_and_empty_paths():
    assert ordavin.Path([(0, 0), (1, 1)]).compute_circle_fit_curvature() == [0.0, 0.0]
    assert ordavin.Path([]).compute_circle_fit_curvature() == []


@pytest.mark.parametrize("start, end", [(4, 3), (0, 6), (2, 9)])
def test_broken_ranges_panic(start, end):
    path = ordavin.Path(noisy_arc(5).tolist())
    message = expect_panic(lambda: path.find_circle_segments(start, end))
    assert str(start if start > end else end) in message


def test_x_longer_than_y_panics():
    path = ordavin.Path(x=[0.0, 1.0, 2.0, 3.0], y=[0.0, 1.0, 4.0])
    expect_panic(path.compute_circle_fit_curvature)
    assert len(ordavin.Path(x=[0.0, 1.0, 2.0], y=[0.0, 1.0, 4.0, 9.0])
               .compute_circle_fit_curvature()) == 3


def run_isolated(code):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=dict(os.environ), check=False)


def test_import_does_not_load_scipy():
    result = run_isolated("import sys, ordavin; print('scipy' in sys.modules)")
    assert result.stdout.strip() == "False", result.stderr


def test_missing_scipy_raises_import_error_naming_it():
    result = run_isolated(
        "import sys; sys.modules['scipy'] = None\n"
        "import ordavin\n"
        "path = ordavin.Path([(0, 0), (1, 1), (2, 0)])\n"
        "try:\n"
        "    path.find_circle_segments(0, 3)\n"
        "except ImportError as error:\n"
        "    print('scipy' in str(error))\n"
    )
    assert result.stdout.strip() == "True", result.stderr


def test_capsule_of_another_routine_is_refused_before_it_is_called():
    # dgesdd's capsule called with dgesvd's arguments would make LAPACK complain about its
    # parameters and return a wrong circle.
    result = run_isolated(
        "import scipy.linalg.cython_lapack as lapack\n"
        "lapack.__pyx_capi__ = dict(lapack.__pyx_capi__, dgesvd=lapack.__pyx_capi__['dgesdd'])\n"
        "import ordavin\n"
        "path = ordavin.Path([(1, 0), (0, 1), (-1, 0)])\n"
        "try:\n"
        "    print(path.find_circle_segments(0, 3))\n"
        "except ImportError as error:\n"
        "    print('refused', 'signature' in str(error.__cause__))\n"
    )
    assert result.stdout.strip() == "refused True", result.stdout + result.stderr
    assert "parameter number" not in result.stdout + result.stderr
