#!/usr/bin/env bash
# check_reproducible.sh <source-dir> <toolchain-file> <work-dir>
# Builds NuBenSetup.exe twice, MinSizeRel, in two clean build trees: once
# from <source-dir> and once from a copy of it at another, longer path, so
# that a build path, a source path or a time stamp that reaches the file
# shows up as a difference. Both builds sign their release copy with one
# throwaway certificate and a fixed SOURCE_DATE_EPOCH. The unsigned exes
# must be identical, byte for byte, and so must the signed copies; a signed
# copy must verify, and no longer once one byte of its payload has changed.
set -euo pipefail
src="$(cd "$1" && pwd)"
toolchain="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/first" "$work/second/a-longer/path"

# Self-signed, trusted as its own CA below. RSA: its PKCS#1 v1.5 signatures
# are deterministic, ECDSA's are not.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=NU-BEN Test Signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
    >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log" >&2; exit 1; }
export SOURCE_DATE_EPOCH=1700000000

build() {  # build <source> <build-dir> <dist-dir> <toolchain>
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$4" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DNUBEN_DIST_DIR="$3" -DNUBEN_SIGN_CERT="$work/cert.pem" -DNUBEN_SIGN_KEY="$work/key.pem" \
        >"$2.log" 2>&1 &&
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

same() {  # same <what> <file> <file>
    if ! cmp "$2" "$3"; then
        echo "check_reproducible: the two $1 differ:" >&2
        cmp -l "$2" "$3" | head -20 >&2
        exit 1
    fi
}
same "unsigned builds" "$work/first/build/resources/NuBenSetup.exe" \
    "$work/second/a-longer/path/build/resources/NuBenSetup.exe"
a="$work/first/dist/NuBenSetup.exe"
same "signed copies" "$a" "$work/second/dist/NuBenSetup.exe"

verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$1.verify.log" 2>&1; }
verify "$a" || { cat "$a.verify.log" >&2; echo "check_reproducible: the signed copy does not verify" >&2; exit 1; }
# One bit of the payload, in the middle of its one occurrence, flipped.
python3 - "$a" "$work/first/build/resources/NuBenSetup_resources/setup_file.bin" "$work/tampered.exe" <<'PY'
import sys
exe = bytearray(open(sys.argv[1], "rb").read())
payload = open(sys.argv[2], "rb").read()
at = exe.find(payload)
assert at > 0 and exe.find(payload, at + 1) < 0, "the payload is not in the signed copy exactly once"
exe[at + len(payload) // 2] ^= 1
open(sys.argv[3], "wb").write(exe)
PY
if verify "$work/tampered.exe"; then
    echo "check_reproducible: a signed copy with a changed payload byte still verifies" >&2
    exit 1
fi
echo "check_reproducible: identical, $(stat -c %s "$a") bytes signed; verifies, and fails with one payload byte changed"
rm -rf "$work"
