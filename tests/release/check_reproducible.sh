#!/usr/bin/env bash
# check_reproducible.sh <source-dir> <toolchain-file> <work-dir>
# Builds NuBenSetup.exe twice, MinSizeRel, in two clean build trees: once
# from <source-dir> and once from a copy of it at another, longer path, so
# that a build path, a source path or a time stamp that reaches the file
# shows up as a difference. Both dist copies must be identical, byte for byte.
set -euo pipefail
src="$(cd "$1" && pwd)"
toolchain="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/first" "$work/second/a-longer/path"

build() {  # build <source> <build-dir> <dist-dir> <toolchain>
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$4" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DNUBEN_DIST_DIR="$3" >"$2.log" 2>&1 &&
        cmake --build "$2" --target NuBenSetup -j2 >>"$2.log" 2>&1 ||
        { tail -30 "$2.log" >&2; return 1; }
}

copy="$work/second/a-longer/path/sources"
mkdir -p "$copy"
# The working tree as it is (tracked or not), without build output.
(cd "$src" && tar cf - --exclude=./build --exclude=./dist --exclude=./.git .) | tar xf - -C "$copy"
# Later files are newer: time stamps of the sources must not matter either.
touch "$copy/resources/NuBenSetup.rc" "$copy/src/main/winmain.cpp"

build "$src" "$work/first/build" "$work/first/dist" "$toolchain"
# The copy builds with its own toolchain file, so nothing points back.
build "$copy" "$work/second/a-longer/path/build" "$work/second/dist" "$copy/${toolchain#"$src"/}"

a="$work/first/dist/NuBenSetup.exe"
b="$work/second/dist/NuBenSetup.exe"
if ! cmp "$a" "$b"; then
    echo "check_reproducible: the two builds differ:" >&2
    cmp -l "$a" "$b" | head -20 >&2
    exit 1
fi
echo "check_reproducible: identical, $(stat -c %s "$a") bytes"
rm -rf "$work"
