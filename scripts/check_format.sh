#!/usr/bin/env bash
# Checks that every C and C++ file git tracks matches .clang-format; names
# each file that does not and exits 1. `check_format.sh --fix` formats them.
set -uo pipefail
cd "$(dirname "$0")/.."

fix=0
[ "${1:-}" = "--fix" ] && fix=1
mapfile -t files < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
differ=0
for f in "${files[@]}"; do
    if [ "$fix" = 1 ]; then
        clang-format -i "$f"
    elif ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        echo "check_format: $f differs from .clang-format (scripts/check_format.sh --fix)"
        differ=$((differ + 1))
    fi
done
echo "check_format: ${#files[@]} files, $differ differ"
[ "$differ" -eq 0 ]
