#!/usr/bin/env bash
# Runs one lane of the tests and ends with one line saying its name, its result and its time;
# the lane's own output (pytest's and ctest's closing lines among it) passes through unchanged.
# Usage: lane.sh NAME COMMAND [ARGUMENT...]
set -uo pipefail

name=$1
shift
start=$(date +%s.%N)
"$@"
status=$?
seconds=$(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { printf "%.1f", end - start }')
if [[ $status -eq 0 ]]; then
    echo "lane $name: passed in $seconds s"
else
    echo "lane $name: failed (exit $status) after $seconds s"
fi
exit $status
