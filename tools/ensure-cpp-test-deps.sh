#!/usr/bin/env bash
# Makes sure GoogleTest and a reference LAPACK are there for the C++ tests, installing them with
# apt-get where they are missing and apt-get can run. Under CI=true, a missing dependency is a
# failure, never a reason to skip the suite.
set -euo pipefail

missing=()
[[ -f /usr/include/gtest/gtest.h ]] || missing+=(libgtest-dev)
ls /usr/lib/*/liblapack.so >/dev/null 2>&1 || missing+=(liblapack-dev)
[[ ${#missing[@]} -eq 0 ]] && exit 0

if command -v apt-get >/dev/null && [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    exit 0
fi
echo "C++ tests need: ${missing[*]} (install them with apt-get)" >&2
exit 1
