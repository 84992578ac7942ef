#!/usr/bin/env bash
# run_wine.sh <contract_tests.exe> [gtest args...]
# Runs the Windows contract suite under Wine in a fresh, scratch session
# (Xvfb, prefix and home under a temporary folder, removed afterwards).
# NUBEN_CONTRACT_LC_ALL=en_US.UTF-8 runs the suite's process alone under
# that locale's ANSI code page (1252); the prefix is made under 949.
# Exit code: the suite's.
set -euo pipefail
exe="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=../../scripts/lib/wine.sh
source "$here/../../scripts/lib/wine.sh"

work="$(mktemp -d /tmp/nuben-contract.XXXXXX)"
cleanup() {
    nuben_wine_session_stop
    rm -rf "$work"
}
trap cleanup EXIT

nuben_wine_session_start "$work"
if [ -n "${NUBEN_CONTRACT_LC_ALL:-}" ]; then export LC_ALL="$NUBEN_CONTRACT_LC_ALL"; fi
start=$(date +%s.%N)
rc=0
wine "$exe" "$@" || rc=$?
echo "run_wine.sh: contract_tests.exe (LC_ALL=$LC_ALL) took $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s, exit code $rc" >&2
exit "$rc"
