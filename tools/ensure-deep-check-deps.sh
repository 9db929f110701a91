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
[[ ${#missing[@]} -eq 0 ]] && exit 0

if command -v apt-get >/dev/null && [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    exit 0
fi
echo "check-deep needs: ${missing[*]} (install them with apt-get)" >&2
exit 1
