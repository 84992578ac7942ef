#!/usr/bin/env bash
# check_setup.sh <source-dir> <work-dir>
# Runs scripts/setup.sh's package step with stand-ins for apt-get, dpkg,
# dpkg-query and sleep (no network, no installs), as a mirror in mid-sync
# meets it: every update fails for one index; the first install is refused
# for differing i386 and amd64 versions and then succeeds with the main
# archive preferred (setup ends 0), or fails for good (setup ends non-zero,
# its own last line naming the packages and apt's reason).
set -euo pipefail
setup="$1/scripts/setup.sh"
work="$2"
rm -rf "$work"
mkdir -p "$work/bin"
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
stub dpkg 'echo i386'
stub sleep 'echo "sleep $*" >>"$CALLS"'
# Two packages missing, the rest installed.
stub dpkg-query 'case "$*" in *cmake|*softhsm2) echo not-installed ;; *) echo installed ;; esac'
stub apt-get 'echo "apt-get $*" >>"$CALLS"
case "$1:$*:$INSTALL" in
update:*) echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2; exit 100 ;;
install:*" -t "*:retry) exit 0 ;;
install:*) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
esac'
codename="$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)"

run() {  # run <case>: the install succeeds with -t in case "retry", never in "fail"
    rc=0
    CALLS="$work/$1.calls" INSTALL="$1" NUBEN_SETUP_PACKAGES_ONLY=1 PATH="$work/bin:$PATH" \
        bash "$setup" >"$work/$1.out" 2>&1 || rc=$?
}
expect() {  # expect <file> <grep -E pattern> <what>
    grep -qE -- "$2" "$1" || { cat "$1" >&2; echo "check_setup: $3" >&2; exit 1; }
}
run retry
expect <(echo "$rc") '^0$' "setup ended $rc when the retried install succeeded"
expect "$work/retry.calls" '^sleep ' "no pause before the second update"
[ "$(grep -c '^apt-get update' "$work/retry.calls")" -eq 2 ] || { echo "check_setup: update not tried twice" >&2; exit 1; }
expect "$work/retry.calls" "^apt-get install .*-t $codename cmake softhsm2\$" "no install with the main archive preferred"
expect "$work/retry.out" '^setup.sh: installed 2 packages$' "no summary after the retried install"
run fail
expect <(echo "$rc") '^[1-9]' "setup ended 0 when the install failed"
expect <(tail -1 "$work/fail.out") '^setup.sh: could not install cmake softhsm2: Unable to correct problems, you have held broken packages\.$' \
    "setup's last line does not say which packages and why"
echo "check_setup: an update failing for one index goes on; a refused install is retried with $codename preferred; one failing for good ends non-zero naming the packages"
rm -rf "$work"
