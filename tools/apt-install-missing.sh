#!/usr/bin/env bash
# Installs the named Debian packages with apt-get where apt-get can run; otherwise fails with
# a message saying what is needed, so that a suite is never skipped for want of them.
# Usage: apt-install-missing.sh "what needs them" package...
set -euo pipefail

purpose=$1
shift
[[ $# -eq 0 ]] && exit 0

if command -v apt-get >/dev/null && [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
    exit 0
fi
echo "$purpose needs: $* (install them with apt-get)" >&2
exit 1
