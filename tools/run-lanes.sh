#!/usr/bin/env bash
# Runs the named make targets one after another, each as a lane (tools/lane.sh), and goes on
# after a failure so that one run reports every lane; exits 1 if any failed, with a summary.
# Usage: run-lanes.sh TARGET...   (MAKE names the make to call, as make itself sets it)
set -uo pipefail

make=${MAKE:-make}
failed=()
for target in "$@"; do
    bash "$(dirname "$0")/lane.sh" "$target" "$make" --no-print-directory "$target" ||
        failed+=("$target")
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "lanes failed: ${failed[*]}"
    exit 1
fi
echo "all ${#} lanes passed"
