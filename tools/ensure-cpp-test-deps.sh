#!/usr/bin/env bash
# Makes sure GoogleTest and a reference LAPACK are there for the C++ tests, installing them with
# apt-get where they are missing and apt-get can run. Under CI=true, a missing dependency is a
# failure, never a reason to skip the suite.
set -euo pipefail

missing=()
[[ -f /usr/include/gtest/gtest.h ]] || missing+=(libgtest-dev)
ls /usr/lib/*/liblapack.so >/dev/null 2>&1 || missing+=(liblapack-dev)
exec bash "$(dirname "$0")/apt-install-missing.sh" "C++ tests" ${missing[@]+"${missing[@]}"}
