#!/usr/bin/env bash
# Builds the module and runs pytest on every Python version that pyproject.toml's classifiers
# declare, other than the main venv's, each in its own venv .venv-X.Y with interpreters that
# pyenv installed. Locally a version with no interpreter is reported and left out; under
# CI=true it fails the run, so that a supported Python is never silently untested.
# Usage: test-pythons.sh MAIN_PYTHON BUILD_REQUIREMENT...
set -euo pipefail

main_python=$1
shift
build_requires=("$@")

own=$("$main_python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
mapfile -t versions < <(sed -n 's/^ *"Programming Language :: Python :: \(3\.[0-9]*\)",$/\1/p' \
    pyproject.toml | grep -vxF "$own")
[[ ${#versions[@]} -gt 0 ]] || { echo "pyproject.toml declares no other Python version" >&2; exit 1; }

# The newest patch release of X.Y that pyenv installed, checked by running it.
find_python() {
    local version=$1 root candidate
    root=${PYENV_ROOT:-$(pyenv root 2>/dev/null || echo "$HOME/.pyenv")}
    candidate=$(compgen -G "$root/versions/$version.*" | grep -E "/${version//./\\.}\.[0-9]+$" | sort -V |
        tail -n 1) || true
    [[ -n $candidate && -x $candidate/bin/python ]] || return 1
    [[ $("$candidate/bin/python" -c 'import sys; print("%d.%d" % sys.version_info[:2])') == "$version" ]] ||
        return 1
    echo "$candidate/bin/python"
}

# Makes (or reuses) the venv of one version, builds the module into it and runs pytest there.
test_one() {
    local version=$1 python=$2 venv=.venv-$1 stamp=.venv-$1/.installed
    echo "== Python $version ($python) in $venv"
    # The stamp names the interpreter the venv was made from: a newer patch release, or a venv
    # whose interpreter is gone, gets a new venv.
    if [[ ! -f $stamp || $(head -n 1 "$stamp") != "$python" ]]; then
        rm -rf "$venv"
        "$python" -m venv "$venv" || return 1
    fi
    # The build runs without isolation so that build/<wheel tag> stays incremental; the
    # dependencies are installed once, and again when pyproject.toml changes.
    if [[ ! -f $stamp || pyproject.toml -nt $stamp ]]; then
        "$venv/bin/python" -m pip install -q "${build_requires[@]}" || return 1
        "$venv/bin/python" -m pip install -q --no-build-isolation ".[test]" || return 1
        echo "$python" >"$stamp"
    else
        "$venv/bin/python" -m pip install -q --no-deps --no-build-isolation . || return 1
    fi
    # The heavy tests exercise the C++ core alone; the main venv runs them.
    "$venv/bin/python" -m pytest -q -p no:cacheprovider -m "not heavy"
}

ci=false
[[ ${CI:-} == true || ${CI:-} == 1 ]] && ci=true
failed=()
for version in "${versions[@]}"; do
    if ! python=$(find_python "$version"); then
        if $ci; then
            echo "Python $version: no interpreter (pyenv install $version)" >&2
            failed+=("$version (missing)")
        else
            echo "Python $version: no interpreter found with pyenv, left out" >&2
        fi
        continue
    fi
    test_one "$version" "$python" || failed+=("$version")
done

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "failed on Python: ${failed[*]}" >&2
    exit 1
fi
