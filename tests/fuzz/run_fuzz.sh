#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang with ASan and UBSan)
# and runs each for a bounded time, default 30 s, printing its executions.
# The seeds in tests/fuzz/corpus/<target> stay small and in the tree; what a
# run adds goes to build/fuzz/corpus/<target>. A broken invariant or a crash
# leaves its input in build/fuzz/artifacts: copy it into the target's corpus
# folder, and fuzz_replay_tests keeps it found on every host build.
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

targets=(trailing_backslash ascii_upper folder_guard read_text_value delete_key_tree)
artifacts="$root/build/fuzz/artifacts"
mkdir -p "$artifacts"
failed=0
for target in "${targets[@]}"; do
    work="$root/build/fuzz/corpus/$target"
    log="$root/build/fuzz/$target.log"
    mkdir -p "$work"
    status=0
    # -timeout turns an endless loop into a finding; -rss_limit_mb keeps a
    # runaway allocation from taking the machine with it.
    "$root/build/fuzz/tests/fuzz/fuzz_$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" \
        "$work" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    if [ "$status" -eq 0 ]; then
        printf '%-20s %12s executions in %ss, corpus %s inputs\n' \
            "$target" "${executions:-?}" "$seconds" "$(find "$work" -type f | wc -l)"
    else
        failed=1
        printf '%-20s FAILED after %s executions (exit %s); see %s\n' \
            "$target" "${executions:-?}" "$status" "$log"
        grep -E '^(BROKEN|==[0-9]+==ERROR|SUMMARY)' "$log" | head -n 5 || true
    fi
done
exit "$failed"
