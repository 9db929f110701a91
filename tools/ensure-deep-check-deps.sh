#!/usr/bin/env bash
# Makes sure the tools of `make check-deep` are there: the debug interpreter (for reference
# counting), valgrind, and the sanitizer runtimes of the compiler. Installs them with apt-get
# where they are missing and apt-get can run; otherwise fails, so that nothing is skipped.
set -euo pipefail

missing=()
[[ -x /usr/bin/python3.11-dbg ]] || missing+=(python3.11-dbg)
[[ -f /usr/include/python3.11d/Python.h ]] || missing+=(libpython3.11-dbg)
command -v valgrind >/dev/null || missing+=(valgrind)
[[ -f "$(g++ -print-file-name=libasan.so)" ]] || missing+=(libasan8)
[[ -f "$(g++ -print-file-name=libubsan.so)" ]] || missing+=(libubsan1)
exec bash "$(dirname "$0")/apt-install-missing.sh" "check-deep" ${missing[@]+"${missing[@]}"}
