#!/usr/bin/env bash
# bench/ab.sh <old bench out folder>: start-up, DeleteKeyTree and the removal
# of 20,000 files (NUBEN_BENCH_FILES) of this tree's
# build (bench/run.sh builds it into build/bench/out) against another build's,
# runs of the two alternating in one scratch prefix, so that both see the same
# load; prints each run, then the medians and their ratio.
#
#   git worktree add /tmp/old <commit> && (cd /tmp/old && bash bench/run.sh)
#   bash bench/ab.sh /tmp/old/build/bench/out        (NUBEN_BENCH_REPS, default 8)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
new="$root/build/bench/out"
old="${1:?usage: bench/ab.sh <old bench out folder>}"
REPS="${NUBEN_BENCH_REPS:-8}"
work="$(mktemp -d /tmp/nuben-ab.XXXXXX)"
# shellcheck source=../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
trap 'nuben_wine_session_stop; rm -rf "$work"' EXIT
nuben_wine_session_start "$work/wine" >"$work/session.log" 2>&1
d="$WINEPREFIX/drive_c/bench"
mkdir -p "$d" "$WINEPREFIX/drive_c/users/$(whoami)/Temp"
cp "$new/bench_timer.exe" "$d/"
for v in new old; do
    [ "$v" = new ] && from="$new" || from="$old"
    cp "$from/bench_logic.exe" "$d/logic_$v.exe"
    cp "$from/NuBenSetup_1k.exe" "$d/setup_$v.exe"
done
temp_win='C:\users\'"$(whoami)"'\Temp'
timed() { (cd "$d" && wine 'C:\bench\bench_timer.exe' "$@" 2>&1 </dev/null | tr -d '\r' | tail -1) || true; }
python3 "$root/bench/lib/gen_reg.py" "$d/tree.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE\NuBenBench\Tree' >/dev/null
make_keys() { (cd "$d" && wine 'C:\windows\system32\reg.exe' import 'C:\bench\tree.reg' /reg:32 >/dev/null 2>&1 </dev/null); }
for ((i = 0; i < REPS; i++)); do
    for v in new old; do
        echo "startup.$v $(timed run 1 - "$temp_win"'\nuben_setup.exe' "C:\\bench\\setup_$v.exe")"
        make_keys
        echo "keys.$v $(timed run 1 - - "C:\\bench\\logic_$v.exe" delete-key-tree '\SOFTWARE\NuBenBench\Tree')"
        python3 "$root/bench/lib/gen_tree.py" "$WINEPREFIX/drive_c/benchtree" "${NUBEN_BENCH_FILES:-20000}" >/dev/null
        echo "folder.$v $(timed run 1 - - "C:\\bench\\logic_$v.exe" remove-folder 'C:\benchtree')"
        rm -rf "$WINEPREFIX/drive_c/benchtree"
    done
done | tee "$work/runs.txt"
python3 - "$work/runs.txt" <<'PY'
import re, statistics, sys
runs = {}
for line in open(sys.argv[1]):
    m = re.match(r"(\S+) exit_ms=([\d.]+)", line)
    if m:
        runs.setdefault(m.group(1), []).append(float(m.group(2)))
for figure in ("startup", "keys", "folder"):
    a, b = (statistics.median(runs.get(f"{figure}.{v}", [0])) for v in ("new", "old"))
    print(f"{figure}: new {a:.1f} ms, old {b:.1f} ms, ratio {a / b if b else 0:.3f}")
PY
