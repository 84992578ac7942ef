#!/usr/bin/env bash
# check_reproducible.sh <source-dir> <toolchain-file> <work-dir>
# Builds NuBenSetup.exe twice, MinSizeRel, in two clean build trees: once
# from <source-dir> and once from a copy of it at another, longer path, so
# that a build path, a source path or a time stamp that reaches the file
# shows up as a difference. Both builds embed the sample installer signed
# with one throwaway certificate (after refusing it unsigned) and sign their
# release copy with its key, the first from the PEM file, the second from a
# SoftHSM token, and a fixed SOURCE_DATE_EPOCH. The unsigned exes must be
# identical, byte for byte, and so must the signed copies; signed again with
# a stamp from a throwaway TSA, a copy must verify, stamp included, and no
# longer once one byte of its payload has changed.
set -euo pipefail
src="$(cd "$1" && pwd)"
toolchain="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/first" "$work/second/a-longer/path" "$work/tokens"

# Self-signed, trusted as its own CA below. RSA: its PKCS#1 v1.5 signatures
# are deterministic, ECDSA's are not.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=NU-BEN Test Signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
    >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log" >&2; exit 1; }
# A throwaway TSA; the same signing key in a token of its own.
export SOFTHSM2_CONF="$work/softhsm2.conf"
printf 'directories.tokendir = %s/tokens\n' "$work" >"$SOFTHSM2_CONF"
{ openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=NU-BEN Test TSA" \
    -addext "extendedKeyUsage=critical,timeStamping" -keyout "$work/tsa.key" -out "$work/tsa.pem" &&
    softhsm2-util --init-token --free --label nuben-test --pin 1234 --so-pin 12345678 &&
    openssl pkcs8 -topk8 -nocrypt -in "$work/key.pem" -out "$work/key.p8" &&
    softhsm2-util --import "$work/key.p8" --token nuben-test --label signing --id 01 --pin 1234
} >>"$work/openssl.log" 2>&1 || { cat "$work/openssl.log" >&2; exit 1; }
printf 1234 >"$work/pin"
export SOURCE_DATE_EPOCH=1700000000

build() {  # build <source> <build-dir> <dist-dir> <toolchain> <cmake option>...
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$4" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DNUBEN_DIST_DIR="$3" -DNUBEN_SIGN_CERT="$work/cert.pem" -DNUBEN_INSTALLER_CAFILE="$work/cert.pem" "${@:5}" \
        >"$2.log" 2>&1 &&
        cmake --build "$2" --target NuBenSetup sample_installer -j2 >>"$2.log" 2>&1 ||
        { tail -30 "$2.log" >&2; return 1; }
}

copy="$work/second/a-longer/path/sources"
mkdir -p "$copy"
# The working tree as it is (tracked or not), without build output.
(cd "$src" && tar cf - --exclude=./build --exclude=./dist --exclude=./.git .) | tar xf - -C "$copy"
# Later files are newer: time stamps of the sources must not matter either.
touch "$copy/resources/NuBenSetup.rc" "$copy/src/main/winmain.cpp"

first=("$src" "$work/first/build" "$work/first/dist" "$toolchain")
build "${first[@]}" -DNUBEN_SIGN_KEY="$work/key.pem" -DNUBEN_ALLOW_UNSIGNED_INSTALLER=ON
unsigned="$work/first/build/installer/sample_installer.exe"
osslsigncode sign -h sha256 -certs "$work/cert.pem" -key "$work/key.pem" -in "$unsigned" -out "$work/installer.exe" >/dev/null
if build "${first[@]}" -DNUBEN_ALLOW_UNSIGNED_INSTALLER=OFF -DNUBEN_INSTALLER="$unsigned" 2>/dev/null ||
    ! tr -s ' \n' ' ' <"$work/first/build.log" | grep -q "has no valid Authenticode signature"; then
    echo "check_reproducible: a signed release does not stop at an unsigned installer" >&2
    exit 1
fi
build "${first[@]}" -DNUBEN_INSTALLER="$work/installer.exe"
# The copy builds with its own toolchain file, so nothing points back.
build "$copy" "$work/second/a-longer/path/build" "$work/second/dist" "$copy/${toolchain#"$src"/}" \
    -DNUBEN_INSTALLER="$work/installer.exe" -DNUBEN_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so \
    -DNUBEN_SIGN_PKCS11_KEY="pkcs11:token=nuben-test;object=signing;type=private" -DNUBEN_SIGN_PIN_FILE="$work/pin"

same() {  # same <what> <file> <file>
    if ! cmp "$2" "$3"; then
        echo "check_reproducible: the two $1 differ:" >&2
        cmp -l "$2" "$3" | head -20 >&2
        exit 1
    fi
}
same "unsigned builds" "$work/first/build/resources/NuBenSetup.exe" \
    "$work/second/a-longer/path/build/resources/NuBenSetup.exe"
same "sample installers" "$unsigned" "$work/second/a-longer/path/build/installer/sample_installer.exe"
a="$work/first/dist/NuBenSetup.exe"
same "signed copies" "$a" "$work/second/dist/NuBenSetup.exe"

# Signed again, stamped by a TSA on localhost through the release's option.
printf '[tsa]\ndefault_tsa = t\n[t]\nserial = %s/serial\nsigner_cert = %s/tsa.pem\nsigner_key = %s/tsa.key\n'\
'digests = sha256\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\n' "$work" "$work" "$work" >"$work/tsa.cnf"
python3 - "$work" 2>"$work/tsa.log" <<'PY' &
import http.server, subprocess, sys
class Tsa(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1] + "/tsa.cnf", "-queryfile",
                                "/dev/stdin"], input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Tsa)
open(sys.argv[1] + "/tsa.port", "w").write(str(server.server_port))
server.serve_forever()
PY
trap "kill $!" EXIT  # the TSA
for _ in $(seq 50); do [ -s "$work/tsa.port" ] && break || sleep 0.1; done
build "${first[@]}" -DNUBEN_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")"
# osslsigncode 2.9 ends with 0 even when only the stamp fails: its line tells.
verify() {
    osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa.pem" -in "$1" >"$1.verify.log" 2>&1 &&
        grep -q "^Timestamp Server Signature verification: ok" "$1.verify.log"
}
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
echo "check_reproducible: identical, $(stat -c %s "$a") bytes signed from a PEM key or a token; time-stamped, verifies, and fails with one payload byte changed"
rm -rf "$work"
