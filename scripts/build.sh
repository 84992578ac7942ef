#!/usr/bin/env bash
# Builds the host tree (logic + tests against the in-memory model) and the
# Windows tree (dist/NuBenSetup.exe, its Wine tests). Usage: build.sh [host|win32]...
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(host win32)
for preset in "${presets[@]}"; do
    echo "== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
