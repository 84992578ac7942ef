#!/usr/bin/env bash
# check_setup.sh <source-dir> <work-dir>: scripts/setup.sh's package step
# on a mirror in mid-sync, with stand-ins for apt-get, dpkg, dpkg-query and
# sleep: updates fail for one index, an install is refused for differing
# i386 and amd64 versions; tried again with the main archive preferred, it
# then succeeds (setup ends 0) or fails for good (setup ends non-zero, its
# own last line naming the packages and apt's reason).
set -euo pipefail
work="$2"
rm -rf "$work"
mkdir -p "$work/bin"
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
stub dpkg 'echo i386'
stub sleep 'echo "sleep $*" >>"$LOG"'
stub dpkg-query 'case "$*" in *cmake | *softhsm2) echo not-installed ;; *) echo installed ;; esac'
stub apt-get 'echo "apt-get $*" >>"$LOG"
case "$1:$*:$CASE" in
update:*) echo "E: Failed to fetch .../Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2 ;;
install:*" -t "*:retry) exit 0 ;;
*) echo "E: Unable to correct problems, you have held broken packages." >&2 ;;
esac
exit 100'
for case in retry fail; do  # the stand-ins' calls and setup's output in one log each
    rc=0
    LOG="$work/$case" CASE=$case NUBEN_SETUP_PACKAGES_ONLY=1 PATH="$work/bin:$PATH" \
        bash "$1/scripts/setup.sh" >>"$work/$case" 2>&1 || rc=$?
    echo "exit $rc" >>"$work/$case"
done
expect() {  # expect <file> <lines, as grep -x patterns>...
    local line
    for line in "${@:2}"; do
        grep -qx -- "$line" "$1" || { cat "$1" >&2; echo "check_setup: no line '$line' in $1" >&2; exit 1; }
    done
}
codename="$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)"
expect "$work/retry" "sleep .*" "apt-get install .* -t $codename cmake softhsm2" "setup.sh: installed 2 packages" "exit 0"
expect <(grep -c '^apt-get update' "$work/retry") 2
tail -2 "$work/fail" >"$work/fail.last"
expect "$work/fail.last" "exit [1-9][0-9]*" \
    "setup.sh: could not install cmake softhsm2: Unable to correct problems, you have held broken packages\."
echo "check_setup: a failed update goes on, a refused install is retried with $codename preferred, one failing for good says so last"
rm -rf "$work"
