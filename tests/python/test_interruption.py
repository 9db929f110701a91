"""Ctrl-C stops every long computation within a fraction of a second, and leaves the path as
if the computation had never started."""

import os
import subprocess
import sys

import pytest

# Each workload runs for seconds on a fast machine; the signal arrives 0.1 s into it. The child
# prints how long the interpreter took to raise KeyboardInterrupt after the signal, then checks
# that the interrupted path answers as a fresh one does.
WORKLOAD = """
import signal, sys, time
import numpy as np
from ordavin import Path, ResamplingType

rng = np.random.default_rng(0)
t = np.linspace(0, 60 * np.pi, 10**5)
spiral = np.c_[t * np.cos(t), t * np.sin(t)]
case = sys.argv[1]
source = spiral
if case == "batch location":
    queries = rng.uniform(-200, 200, (5 * 10**6, 2))
    call = lambda p: p.arrays.path_length_from_point(queries)
    again = lambda p: p.arrays.path_length_from_point(queries[:1000]).tobytes()
elif case == "index build":
    source = walk = rng.normal(size=(10**7, 2)).cumsum(axis=0)
    call = lambda p: p.arrays.index_from_point([0.0, 0.0])
    again = lambda p: p.arrays.index_from_point(walk[::10**5] + 0.5).tobytes()
elif case == "per-point quantity":
    source = rng.normal(size=(3 * 10**7, 2)).cumsum(axis=0)
    call = lambda p: p.arrays.curvature
    again = lambda p: p.arrays.curvature[::1000].tobytes()
elif case == "resampling":
    call = lambda p: p.resampled_path(5 * 10**7, ResamplingType.Cubic)
    again = lambda p: p.resampled_path(1000, ResamplingType.Cubic).points
elif case == "circle segments":
    source = rng.normal(size=(2 * 10**6, 2)).cumsum(axis=0)
    Path(source[:10]).find_circle_segments(0, 10)  # the solver's first use is not timed
    call = lambda p: p.arrays.find_circle_segments(0, 2 * 10**6, 1e-9)
    again = lambda p: [a.tobytes() for a in p.arrays.find_circle_segments(0, 3000, 1e-9)]
path = Path(source)
# The alarm is delivered while the call holds the interpreter lock (a thread sending SIGINT
# could not run until the call returns), and handled by the very function Ctrl-C's SIGINT is.
signal.signal(signal.SIGALRM, signal.default_int_handler)
start = time.perf_counter()
signal.setitimer(signal.ITIMER_REAL, 0.1)
try:
    call(path)
    print("not interrupted")
except KeyboardInterrupt:
    print(f"{time.perf_counter() - start - 0.1:.3f}")
print(again(path) == again(Path(source)))
"""

CASES = ["batch location", "index build", "per-point quantity", "resampling", "circle segments"]


@pytest.mark.heavy
@pytest.mark.parametrize("case", CASES)
def test_ctrl_c_stops_a_long_computation_and_leaves_the_path_whole(case):
    run = subprocess.run([sys.executable, "-c", WORKLOAD, case], capture_output=True, text=True,
                         env=dict(os.environ), check=False, timeout=600)
    lines = run.stdout.split()
    assert len(lines) == 2 and lines[0] != "not", run.stdout + run.stderr
    assert float(lines[0]) < 0.5, f"{case}: KeyboardInterrupt {lines[0]} s after the signal"
    assert lines[1] == "True"
