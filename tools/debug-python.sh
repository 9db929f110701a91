#!/usr/bin/env bash
# Prints the path of a debug interpreter (one with sys.gettotalrefcount) of the same X.Y as the
# given Python, as the distribution installs it: python3.X-dbg on Debian and Ubuntu, or
# python3-dbg when that is the same version. Fails, naming the package, when there is none.
# Usage: debug-python.sh PYTHON
set -euo pipefail

python=$1
version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
for name in "python$version-dbg" python3-dbg "python${version}d"; do
    candidate=$(command -v "$name") || continue
    answer=$("$candidate" -c \
        'import sys; print("%d.%d" % sys.version_info[:2], hasattr(sys, "gettotalrefcount"))') ||
        continue
    if [[ $answer == "$version True" ]]; then
        echo "$candidate"
        exit 0
    fi
done
echo "no debug interpreter of Python $version on PATH (apt-get install python$version-dbg)" >&2
exit 1
