"""The Dask example on a small fleet: worker processes give exactly the serial results."""

import importlib
import os
import pathlib
import subprocess
import sys

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


@pytest.fixture(scope="module")
def fleet():
    try:
        import dask.bag  # noqa: F401
        import distributed  # noqa: F401
    except ImportError:
        # The test extra installs Dask; in CI its absence is a broken install, not a reason
        # to run less.
        if os.environ.get("CI", "").lower() in ("true", "1"):
            raise
        pytest.skip('Dask is not installed (pip install "ordavin[dask]")')
    # The worker processes inherit sys.path, so they import the example by the same name.
    with pytest.MonkeyPatch.context() as patch:
        patch.syspath_prepend(str(EXAMPLES))
        yield importlib.import_module("fleet_dask")


def test_cluster_results_equal_serial_ones(fleet):
    from dask.distributed import Client

    paths = [fleet.make_trajectory(seed, 60) for seed in range(300)]
    expected = fleet.clean_serially(paths, 0.3, 40)
    with fleet.local_cluster(2) as cluster, Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        # The workers really are other processes.
        assert os.getpid() not in client.run(os.getpid).values()
        cleaned = fleet.clean_on_cluster(client, paths, 0.3, 40)
    assert len(cleaned) == len(paths)
    assert [(p.x, p.y) for p in cleaned] == [(p.x, p.y) for p in expected]
    assert all(len(p.points) == 40 for p in cleaned)


def test_trajectories_are_reproducible_and_hold_stops(fleet):
    first, again = fleet.make_trajectory(7, 200), fleet.make_trajectory(7, 200)
    assert first.points == again.points and len(first.points) == 200
    assert first.points != fleet.make_trajectory(8, 200).points
    # The generator repeats a point where the vehicle stands still; cleaning must cope with it.
    assert len(first.without_duplicate_points().points) < 200


def test_script_ships_its_functions_by_value(fleet):
    # Run as a script, the example's functions live in __main__, which the workers cannot
    # import: Dask sends them by value with cloudpickle, globals and defaults included.
    script = EXAMPLES / "fleet_dask.py"
    args = ["--paths", "40", "--points", "50", "--resample", "20", "--serial"]
    out = subprocess.run(
        [sys.executable, str(script), *args], capture_output=True, text=True, timeout=120
    )
    assert out.returncode == 0, out.stderr[-2000:]
    assert "40 trajectories cleaned on 2 workers" in out.stdout
    assert "same results: True" in out.stdout
