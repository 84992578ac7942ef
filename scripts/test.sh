#!/usr/bin/env bash
# Runs every test, layer by layer, and ends with one line "N passed, M failed":
#   1. host: unit and contract tests against the in-memory Windows model
#   2. host under AddressSanitizer and UndefinedBehaviorSanitizer, then each
#      libFuzzer target for NUBEN_FUZZ_SECONDS (default 30 s), then the
#      formatting of every C and C++ file against .clang-format
#   3. contract tests against real Windows functions, under Wine, in code
#      page 949 and again in 1252
#   4. end to end: the built bootstrapper under Wine, as a user meets it
# Installs what it needs first (scripts/setup.sh), so it runs on a fresh machine.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || { echo "test.sh: setup failed"; exit 1; }

logs="build/test-logs"
mkdir -p "$logs"
total_pass=0
total_fail=0
summary=()

# Adds a layer's counts: record NAME PASSED FAILED
record() {
    total_pass=$((total_pass + $2))
    total_fail=$((total_fail + $3))
    summary+=("$(printf '%-28s %5d passed, %d failed' "$1" "$2" "$3")")
}

# Runs ctest for a preset and records the test counts it reports.
run_ctest() {
    local name=$1 preset=$2 log="$logs/$1.log"
    echo "== $name"
    if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; } >"$log.build" 2>&1; then
        tail -30 "$log.build"
        record "$name (build)" 0 1
        return
    fi
    ctest --preset "$preset" >"$log" 2>&1
    tail -3 "$log"
    local line total failed
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    failed=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    if [ -z "$line" ]; then
        record "$name" 0 1
    else
        record "$name" $((total - failed)) "$failed"
        [ "$failed" -gt 0 ] && grep -E '^\s*[0-9]+ - ' "$log" | head -20
    fi
}

# Runs a gtest binary under Wine (in the locale given, else ko_KR) and
# records its passed/failed counts.
run_wine_gtest() {
    local name=$1 exe=$2 locale=${3:-} log="$logs/$1.log"
    echo "== $name"
    NUBEN_CONTRACT_LC_ALL="$locale" bash tests/contract/run_wine.sh "$exe" >"$log" 2>&1
    local rc=$? passed failed
    passed=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
    failed=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
    passed=${passed:-0}
    failed=${failed:-0}
    [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1
    grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$log" | tail -8
    record "$name" "$passed" "$failed"
}

run_ctest "host" host
run_ctest "host-sanitizers" host-asan

echo "== fuzzing"
fuzz_failed=0
fuzz_targets=0
bash tests/fuzz/run_fuzz.sh "${NUBEN_FUZZ_SECONDS:-30}" >"$logs/fuzz.log" 2>&1 || fuzz_failed=1
cat "$logs/fuzz.log"
fuzz_targets=$(grep -c ' executions in ' "$logs/fuzz.log")
record "fuzz targets" "$fuzz_targets" "$fuzz_failed"

echo "== formatting"
if bash scripts/check_format.sh >"$logs/format.log" 2>&1; then
    record "formatting" 1 0
else
    grep -v '^check_format: [0-9]* files' "$logs/format.log" | head -20
    record "formatting" 0 1
fi
tail -1 "$logs/format.log"

echo "== win32 build"
if bash scripts/build.sh win32 >"$logs/win32-build.log" 2>&1; then
    run_wine_gtest "contract-wine" build/win32/tests/contract/contract_tests.exe
    run_wine_gtest "contract-wine-cp1252" build/win32/tests/contract/contract_tests.exe en_US.UTF-8

    echo "== release (size ceiling, imports, manifest, reproducible build and signature, setup on a mirror mid-sync)"
    ctest --test-dir build/win32 -L release --output-on-failure >"$logs/release.log" 2>&1
    grep -E 'bytes|imports|manifest|identical|differ|verif|Passed|Failed' "$logs/release.log" | head -12
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/release.log" | tail -1)
    if [ -n "$line" ]; then
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
        failed=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
        record "release" $((total - failed)) "$failed"
    else
        record "release" 0 1
    fi

    echo "== end-to-end"
    bash tests/e2e/run_e2e.sh >"$logs/e2e.log" 2>&1
    rc=$?
    grep -E '^(PASS|FAIL)' "$logs/e2e.log"
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$logs/e2e.log" | tail -1)
    if [ -n "$line" ]; then
        p=${line%% passed*}
        f=${line#*, }
        f=${f%% failed}
        [ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
        record "end-to-end" "$p" "$f"
    else
        tail -20 "$logs/e2e.log"
        record "end-to-end" 0 1
    fi
else
    tail -30 "$logs/win32-build.log"
    record "win32 (build)" 0 1
fi

echo
echo "== summary (logs in $logs)"
printf '%s\n' "${summary[@]}"
echo "${total_pass} passed, ${total_fail} failed"
[ "$total_fail" -eq 0 ]
