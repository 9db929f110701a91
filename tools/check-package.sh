#!/usr/bin/env bash
# Builds the sdist and the wheel the way a release would (python -m build: the wheel is built from
# the unpacked sdist, so a file missing from the sdist breaks the build), checks that the sdist
# holds every tracked build input, installs the wheel into a fresh virtual environment and runs a
# smoke test there, outside the source tree. Usage: check-package.sh PYTHON
set -euo pipefail

python=$1
root=$(pwd)
work=$root/build/package
rm -rf "$work"
mkdir -p "$work"

# Isolated build, as pip would do it; pip's cache keeps the build requirements local.
"$python" -m build --outdir "$work/dist" . >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    exit 1
}
sdists=("$work"/dist/ordavin-*.tar.gz)
wheels=("$work"/dist/ordavin-*.whl)
[[ ${#sdists[@]} -eq 1 && -f ${sdists[0]} && ${#wheels[@]} -eq 1 && -f ${wheels[0]} ]] || {
    echo "expected exactly one sdist and one wheel in $work/dist" >&2
    exit 1
}

# Every tracked file that the build or the metadata reads must be in the sdist.
tar tzf "${sdists[0]}" | sed 's|^[^/]*/||' | sort >"$work/sdist-files"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files CMakeLists.txt pyproject.toml README.md LICENSE src qp stubs | sort >"$work/needed"
else
    printf '%s\n' CMakeLists.txt pyproject.toml README.md LICENSE \
        src/module/module.cpp stubs/ordavin-stubs/__init__.pyi | sort >"$work/needed"
fi
missing=$(comm -23 "$work/needed" "$work/sdist-files")
if [[ -n $missing ]]; then
    echo "sdist lacks: $missing" >&2
    exit 1
fi
# The stubs are in the wheel under their PEP 561 name.
"$python" -c 'import sys, zipfile; sys.exit(sys.argv[2] not in zipfile.ZipFile(sys.argv[1]).namelist())' \
    "${wheels[0]}" ordavin-stubs/__init__.pyi || {
    echo "wheel lacks ordavin-stubs/__init__.pyi" >&2
    exit 1
}

# A fresh environment with nothing but the wheel and its declared dependencies.
"$python" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install -q --disable-pip-version-check "${wheels[0]}" \
    >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    exit 1
}
cd "$work"
"$work/venv/bin/python" - <<'EOF'
import math
import pathlib
import pickle
import sysconfig

import ordavin
from ordavin import Path, ResamplingType

site = pathlib.Path(sysconfig.get_paths()["platlib"])
assert pathlib.Path(ordavin.__file__).parent == site, ordavin.__file__
assert (site / "ordavin-stubs" / "__init__.pyi").is_file()

path = Path.from_points([[0, 0], [3, 4], [3, 4], [6, 8]])
assert path.length == 10.0
assert path.without_duplicate_points().points == [[0.0, 0.0], [3.0, 4.0], [6.0, 8.0]]
assert math.isclose(path.orientation[0], math.atan2(4, 3))
# The declared dependencies suffice: scipy's LAPACK fits circles, clarabel smooths.
circle = Path.from_points([[4 * math.cos(t / 10), 4 * math.sin(t / 10)] for t in range(20)])
(segment,) = circle.find_circle_segments(0, 20)
assert segment[:2] == (0, 20) and math.isclose(segment[2], 0.25), segment
smooth = Path.from_points([[0, 0], [1, 1], [2, 0]]).smoothed_path(0.5)
assert abs(smooth.points[1][1] - 0.5) < 1e-6, smooth.points
copy = pickle.loads(pickle.dumps(path))
assert copy.points == path.points and copy is not path
assert pickle.loads(pickle.dumps(ResamplingType.Cubic)) is ResamplingType.Cubic
print(f"package check: {pathlib.Path(ordavin.__file__).name} imports and works in a fresh venv")
EOF
