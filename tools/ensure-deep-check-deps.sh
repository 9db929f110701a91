#!/usr/bin/env bash
# Makes sure the tools of `make check-deep` are there: the debug interpreter of the venv's Python
# version with its headers (for reference counting), valgrind, and the sanitizer runtimes of the
# compiler. Installs them with apt-get where they are missing and apt-get can run; otherwise
# fails, so that nothing is skipped. Usage: ensure-deep-check-deps.sh PYTHON
set -euo pipefail

python=$1
here=$(dirname "$0")
version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')

missing=()
if debug_python=$(bash "$here/debug-python.sh" "$python" 2>/dev/null); then
    include=$("$debug_python" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
    [[ -f $include/Python.h ]] || missing+=("libpython$version-dbg")
else
    missing+=("python$version-dbg" "libpython$version-dbg")
fi
command -v valgrind >/dev/null || missing+=(valgrind)
# The sanitizer runtimes' link names come with the compiler's own libgcc-N-dev, whatever the
# runtimes' numbering in this release (libasan6 with GCC 11, libasan8 with GCC 12 to 14).
gcc_dev=libgcc-$(g++ -dumpversion | cut -d. -f1)-dev
[[ -f "$(g++ -print-file-name=libasan.so)" && -f "$(g++ -print-file-name=libubsan.so)" ]] ||
    missing+=("$gcc_dev")
bash "$here/apt-install-missing.sh" "check-deep" ${missing[@]+"${missing[@]}"}
# What apt-get installed must now be found.
bash "$here/debug-python.sh" "$python" >/dev/null
