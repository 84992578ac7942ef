#!/usr/bin/env bash
# bench/run.sh: builds the benchmark's programs with the release toolchain,
# times the bootstrapper against Windows' own tools in one scratch Wine
# prefix, prints the table and writes it to bench/results.md.
#
#   bash bench/run.sh            (after scripts/setup.sh; about 12 minutes)
#
# Environment: NUBEN_BENCH_REPS (default 5) repeats of every timing;
# NUBEN_BENCH_SLOW_REPS (default 2) for the platform's `rd` on 20,000 files
# and NUBEN_BENCH_HUGE_REPS (default 0) for `rd` on 80,000 files: Wine's
# `rd` takes 45 s and 3.5 minutes there, which the 15-minute budget cannot
# hold five times; NUBEN_BENCH_KEEP=1 keeps the scratch folder.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/bench"
build="$root/build/bench"
REPS="${NUBEN_BENCH_REPS:-5}"
SLOW_REPS="${NUBEN_BENCH_SLOW_REPS:-2}"
HUGE_REPS="${NUBEN_BENCH_HUGE_REPS:-0}"
started_at=$(date +%s)

say() { echo "bench: $*" >&2; }

# --- Build (MinSizeRel, the release's flags).
say "building into $build"
mkdir -p "$build"
cmake -S "$bench" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DNUBEN_DIST_DIR="$build/dist" >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; exit 1; }
cmake --build "$build" --target bench_all -j2 >"$build.build.log" 2>&1 ||
    { tail -30 "$build.build.log" >&2; exit 1; }
out="$build/out"

# --- One scratch Wine session for every figure.
work="$(mktemp -d /tmp/nuben-bench.XXXXXX)"
# shellcheck source=../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
cleanup() {
    nuben_wine_session_stop
    if [ "${NUBEN_BENCH_KEEP:-0}" = 1 ]; then say "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
# Not through a pipe: the prefix's wineserver keeps its output handle open.
nuben_wine_session_start "$work/wine" >"$work/session.log" 2>&1 ||
    { cat "$work/session.log" >&2; exit 1; }
drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/bench"
for f in "$out"/*.exe "$build"/payload_*.bin; do
    ln -f "$f" "$drive_c/bench/" 2>/dev/null || cp "$f" "$drive_c/bench/"
done
temp_win='C:\users\'"$(whoami)"'\Temp'
temp_unix="$drive_c/users/$(whoami)/Temp"
mkdir -p "$temp_unix"
export NUBEN_BENCH_STAMP='C:\bench\stamp.txt'
raw="$work/raw.txt"
: >"$raw"

CMD32='C:\windows\syswow64\cmd.exe'
CMD64='C:\windows\system32\cmd.exe'
REG32='C:\windows\syswow64\reg.exe'
REG64='C:\windows\system32\reg.exe'

# timer <label> <bench_timer args...>: one line per run into the raw file,
# prefixed by the label. Console output goes to a file (see wine.sh).
timer() {
    local label="$1"
    shift
    (cd "$drive_c/bench" && wine 'C:\bench\bench_timer.exe' "$@" >"$work/last.txt" 2>&1 </dev/null) || true
    tr -d '\r' <"$work/last.txt" | sed "s/^/$label /" >>"$raw"
    if grep -q 'error=' "$work/last.txt"; then say "$label: $(tr -d '\r' <"$work/last.txt")"; fi
}

# --- 1. Delivery: start to the installer's start, against copying the bytes.
say "delivery"
for size in 1m 64m 256m; do
    for ((rep = 0; rep < REPS; rep++)); do
        timer "delivery.$size.setup" run 1 'C:\bench\stamp.txt' "$temp_win"'\nuben_setup.exe' \
            "C:\\bench\\NuBenSetup_$size.exe"
        timer "delivery.$size.copy32" run 1 - "$temp_win"'\copy.bin' \
            "$CMD32" /c copy /b /y "C:\\bench\\payload_$size.bin" "$temp_win"'\copy.bin'
        timer "delivery.$size.copy64" run 1 - "$temp_win"'\copy.bin' \
            "$CMD64" /c copy /b /y "C:\\bench\\payload_$size.bin" "$temp_win"'\copy.bin'
        timer "delivery.$size.copyfile" copy 1 "C:\\bench\\payload_$size.bin" "$temp_win"'\copy.bin'
        timer "delivery.$size.writemapped" write-mapped 1 "C:\\bench\\payload_$size.bin" "$temp_win"'\copy.bin'
    done
done
rm -f "$temp_unix/copy.bin" "$temp_unix/nuben_setup.exe"

# --- 2. Start-up: the whole run with a 1 KiB payload, against doing nothing
# in two processes (the bootstrapper starts its installer), and in one.
say "start-up"
for ((rep = 0; rep < REPS; rep++)); do
    timer startup.setup run 1 - "$temp_win"'\nuben_setup.exe' 'C:\bench\NuBenSetup_1k.exe'
    timer startup.noopchild run 1 - - 'C:\bench\bench_noop.exe' 'C:\bench\bench_noop.exe'
    timer startup.noop run 1 - - 'C:\bench\bench_noop.exe'
    timer startup.nostart run 1 - "$temp_win"'\nuben_setup.exe' 'C:\bench\NuBenSetup_junk.exe'
done

# --- 3. Folder removal: RemoveFolder against `rd /s /q` on identical trees.
say "folder removal"
tree_unix="$drive_c/benchtree"
tree_win='C:\benchtree'
make_tree() { python3 "$bench/lib/gen_tree.py" "$tree_unix" "$1" >"$work/tree-$1.txt"; }
check_gone() {
    if [ -e "$tree_unix" ]; then
        echo "$1 left=$(find "$tree_unix" | wc -l)" >>"$raw"
        rm -rf "$tree_unix"
    fi
}
for files in 2000 20000 80000; do
    reps_rd=$REPS
    [ "$files" -eq 20000 ] && reps_rd=$SLOW_REPS
    [ "$files" -eq 80000 ] && reps_rd=$HUGE_REPS
    for ((rep = 0; rep < REPS; rep++)); do
        make_tree "$files"
        timer "folder.$files.ours" run 1 - - 'C:\bench\bench_logic.exe' remove-folder "$tree_win"
        check_gone "folder.$files.ours"
        if [ "$rep" -lt "$reps_rd" ]; then
            make_tree "$files"
            timer "folder.$files.rd32" run 1 - - "$CMD32" /c rd /s /q "$tree_win"
            check_gone "folder.$files.rd32"
        fi
        if [ "$rep" -eq 0 ] && [ "$files" -eq 2000 ]; then
            make_tree "$files"
            timer "folder.$files.rd64" run 1 - - "$CMD64" /c rd /s /q "$tree_win"
            check_gone "folder.$files.rd64"
        fi
    done
done

# --- 4. Registry removal: DeleteKeyTree against `reg delete /f`.
say "registry removal"
key_win='HKEY_LOCAL_MACHINE\SOFTWARE\NuBenBench\Tree'
python3 "$bench/lib/gen_reg.py" "$drive_c/bench/tree.reg" "$key_win" >"$work/keys.txt"
make_keys() {
    # 64-bit reg.exe, 32-bit view: the view the 32-bit programs below see.
    (cd "$drive_c/bench" && wine "$REG64" import 'C:\bench\tree.reg' /reg:32 >/dev/null 2>&1 </dev/null)
}
for ((rep = 0; rep < REPS; rep++)); do
    make_keys
    timer registry.ours run 1 - - 'C:\bench\bench_logic.exe' delete-key-tree '\SOFTWARE\NuBenBench\Tree'
    make_keys
    timer registry.reg32 run 1 - - "$REG32" delete 'HKLM\SOFTWARE\NuBenBench\Tree' /f
    make_keys
    timer registry.reg64 run 1 - - "$REG64" delete 'HKLM\SOFTWARE\NuBenBench\Tree' /reg:32 /f
done

# --- 5. Memory while 256 MiB are delivered.
say "memory"
mem() {
    local label="$1"
    shift
    (cd "$drive_c/bench" && wine 'C:\bench\bench_logic.exe' "$@" >"$work/last.txt" 2>&1 </dev/null) || true
    tr -d '\r' <"$work/last.txt" | sed "s/^/$label /" >>"$raw"
}
for ((rep = 0; rep < REPS; rep++)); do
    for size in 1m 256m; do
        mem "memory.deliver.$size" deliver-memory "C:\\bench\\NuBenSetup_$size.exe" "$temp_win"'\mem.bin'
    done
done
mem memory.mapimage.256m map-image 'C:\bench\NuBenSetup_256m.exe'
mem memory.mapimage.1m map-image 'C:\bench\NuBenSetup_1m.exe'
# The real bootstrapper processes, seen from Linux: their peak anonymous memory.
for exe in bench_noop NuBenSetup_1m NuBenSetup_256m; do
    rm -f "$temp_unix/nuben_setup.exe"
    (cd "$drive_c/bench" && python3 "$bench/lib/peak_anon.py" wine "C:\\bench\\$exe.exe") \
        | sed "s/^/memory.process.$exe /" >>"$raw"
    sleep 1
done
rm -f "$temp_unix/mem.bin" "$temp_unix/nuben_setup.exe"

# --- 6. Size: the release exe and what each part of it costs.
say "size"
python3 "$bench/lib/size_report.py" "$build/dist/NuBenSetup.exe" "$build/product/installer/sample_installer.exe" \
    "$build/product/resources/NuBenSetup_resources/NuBenSetup.map" >"$work/size.md"

elapsed=$(($(date +%s) - started_at))
python3 "$bench/lib/report.py" "$raw" "$work/size.md" "$elapsed" "$REPS" "$SLOW_REPS" "$HUGE_REPS" \
    "$(cat "$work/keys.txt")" >"$bench/results.md"
cat "$bench/results.md"
