#!/usr/bin/env bash
# check_reproducible.sh <source-dir> <toolchain-file> <work-dir>
# Builds NuBenSetup.exe twice, MinSizeRel, in two clean build trees: once
# from <source-dir> and once from a copy of it at another, longer path, so
# that a build path, a source path or a time stamp that reaches the file
# shows up as a difference. Both embed the sample installer signed with a
# throwaway certificate (configuring around the unsigned one must stop) and
# sign their release copy with that certificate's key and a fixed
# SOURCE_DATE_EPOCH: the first from the PEM file, the second from a SoftHSM
# token holding the same key. The unsigned exes must be identical, byte for
# byte, and so must the signed copies. The first is then signed again with
# a time stamp from a throwaway TSA on localhost: it must verify, stamp
# included, and no longer once one byte of its payload has changed.
set -euo pipefail
src="$(cd "$1" && pwd)"
toolchain="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/first" "$work/second/a-longer/path"

# Self-signed, trusted as its own CA below. RSA: its PKCS#1 v1.5 signatures
# are deterministic, ECDSA's are not.
{
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=NU-BEN Test Signing" \
        -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" &&
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=NU-BEN Test TSA" \
            -addext "extendedKeyUsage=critical,timeStamping" -keyout "$work/tsa.key" -out "$work/tsa.pem" &&
        # The same key in a token of its own (softhsm2-util imports PKCS#8).
        mkdir "$work/tokens" &&
        printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$work" >"$work/softhsm2.conf" &&
        export SOFTHSM2_CONF="$work/softhsm2.conf" &&
        softhsm2-util --init-token --free --label nuben-test --pin 1234 --so-pin 12345678 &&
        openssl pkcs8 -topk8 -nocrypt -in "$work/key.pem" -out "$work/key.p8" &&
        softhsm2-util --import "$work/key.p8" --token nuben-test --label signing --id 01 --pin 1234
} >"$work/keys.log" 2>&1 || { cat "$work/keys.log" >&2; exit 1; }
printf 1234 >"$work/pin"
export SOURCE_DATE_EPOCH=1700000000

configure() {  # configure <source> <build-dir> <dist-dir> <toolchain> <cmake option>...
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$4" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DNUBEN_DIST_DIR="$3" -DNUBEN_SIGN_CERT="$work/cert.pem" "${@:5}" >"$2.log" 2>&1
}
build() {  # build <source> <build-dir> <dist-dir> <toolchain> <cmake option>...
    configure "$@" &&
        cmake --build "$2" --target NuBenSetup sample_installer -j2 >>"$2.log" 2>&1 ||
        { tail -30 "$2.log" >&2; return 1; }
}
fails() { echo "check_reproducible: $*" >&2; exit 1; }
says() { tr -s ' \n' ' ' <"$1" | grep -q -- "$2"; }  # CMake wraps its messages

copy="$work/second/a-longer/path/sources"
mkdir -p "$copy"
# The working tree as it is (tracked or not), without build output.
(cd "$src" && tar cf - --exclude=./build --exclude=./dist --exclude=./.git .) | tar xf - -C "$copy"
# Later files are newer: time stamps of the sources must not matter either.
touch "$copy/resources/NuBenSetup.rc" "$copy/src/main/winmain.cpp"

first=("$src" "$work/first/build" "$work/first/dist" "$toolchain")
pem=(-DNUBEN_SIGN_KEY="$work/key.pem" -DNUBEN_INSTALLER_CAFILE="$work/cert.pem")
build "${first[@]}" "${pem[@]}" -DNUBEN_ALLOW_UNSIGNED_INSTALLER=ON
unsigned_installer="$work/first/build/installer/sample_installer.exe"
osslsigncode sign -h sha256 -certs "$work/cert.pem" -key "$work/key.pem" -time "$SOURCE_DATE_EPOCH" \
    -in "$unsigned_installer" -out "$work/installer.exe" >"$work/installer.log" 2>&1 ||
    { cat "$work/installer.log" >&2; exit 1; }
if configure "${first[@]}" "${pem[@]}" -DNUBEN_ALLOW_UNSIGNED_INSTALLER=OFF -DNUBEN_INSTALLER="$unsigned_installer"; then
    fails "a signed release configures around an unsigned installer"
fi
says "$work/first/build.log" "has no valid Authenticode signature" ||
    { tail -20 "$work/first/build.log" >&2; fails "no message for the unsigned installer"; }
build "${first[@]}" "${pem[@]}" -DNUBEN_INSTALLER="$work/installer.exe"
says "$work/first/build.log" "stops verifying when the certificate expires" ||
    fails "no warning for a signature without a time stamp"
# The copy builds with its own toolchain file, so nothing points back.
build "$copy" "$work/second/a-longer/path/build" "$work/second/dist" "$copy/${toolchain#"$src"/}" \
    -DNUBEN_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so -DNUBEN_SIGN_PIN_FILE="$work/pin" \
    -DNUBEN_SIGN_PKCS11_KEY="pkcs11:token=nuben-test;object=signing;type=private" \
    -DNUBEN_INSTALLER="$work/installer.exe" -DNUBEN_INSTALLER_CAFILE="$work/cert.pem"

same() {  # same <what> <file> <file>
    if ! cmp "$2" "$3"; then
        echo "check_reproducible: the two $1 differ:" >&2
        cmp -l "$2" "$3" | head -20 >&2
        exit 1
    fi
}
same "unsigned builds" "$work/first/build/resources/NuBenSetup.exe" \
    "$work/second/a-longer/path/build/resources/NuBenSetup.exe"
same "sample installers" "$unsigned_installer" "$work/second/a-longer/path/build/installer/sample_installer.exe"
a="$work/first/dist/NuBenSetup.exe"
same "signed copies (PEM key, key in a token)" "$a" "$work/second/dist/NuBenSetup.exe"

verify() { osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa.pem" -in "$1" >"$1.verify.log" 2>&1; }
verify "$a" || { cat "$a.verify.log" >&2; fails "the signed copy does not verify"; }

# Time-stamped through the release's own option; osslsigncode 2.9 counts an
# untrusted stamp as a warning, hence the look at its line.
python3 "$src/tests/release/local_tsa.py" "$work" &
tsa=$!
trap 'kill "$tsa" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -f "$work/tsa.port" ] && break || sleep 0.1; done
build "${first[@]}" -DNUBEN_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")"
if ! verify "$a" || ! grep -q "^Timestamp Server Signature verification: ok" "$a.verify.log"; then
    cat "$a.verify.log" >&2
    fails "the time-stamped copy does not verify, stamp included"
fi
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
    fails "a signed copy with a changed payload byte still verifies"
fi
echo "check_reproducible: identical, $(stat -c %s "$a") bytes signed alike from a PEM key and a token;" \
    "time-stamped, verifies, and fails with one payload byte changed"
rm -rf "$work"
