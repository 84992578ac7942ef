#!/usr/bin/env bash
# setup.sh: installs what building NuBenSetup.exe and testing it under Wine
# need, on Debian 12 (bookworm), as root. Idempotent: a second run checks
# and does nothing, in a few seconds.
#
#  - Packages (no recommends): the mingw-w64 i686 cross compiler, Wine
#    (64- and 32-bit) with the i386 X libraries that 32-bit Wine loads,
#    Xvfb/xauth, x11-apps (xwd) and imagemagick for screenshots, the
#    Nanum fonts (Hangul), locales, cmake, g++, googletest, clang (fuzzing),
#    clang-format (the formatting check), python3 (the build page-aligns the
#    payload's section), osslsigncode and openssl (signing, and the signing
#    check's throwaway certificate and time-stamp authority), softhsm2 and
#    the OpenSSL PKCS#11 engine (the signing check's key in a token), and
#    nsis (the end-to-end cases' third-party beta and installer).
#  - The ko_KR.UTF-8 locale (Wine then uses code page 949) and the
#    en_US.UTF-8 one (code page 1252: the bootstrapper is tested on a
#    system of another code page too).
#  - 32-bit programs: if this kernel cannot run i386 ELF itself (no
#    IA32 emulation), qemu-i386 from Debian trixie's qemu-user (bookworm's
#    7.2 is too old for Wine) is unpacked to /opt/nuben-qemu/qemu-i386 and
#    registered with binfmt_misc (flags F and P), replacing any other
#    registration for i386 ELF. The trixie source is pinned to priority
#    100, so nothing else is ever upgraded from it.
#
# A mirror in mid-sync fails an index now and then: a failed apt-get update
# is tried once more after a pause, then setup goes on and the install
# decides. An install refused because the i386 and amd64 versions differ
# (security archive ahead of the main one) is tried once more with the main
# archive preferred. Packages that still cannot be installed end setup
# with a last line naming them and apt's reason.
#
# Prints one line saying what it did. NUBEN_SETUP_PACKAGES_ONLY=1 (for its
# own check, with stand-ins for apt-get and dpkg) skips the root check and
# stops after the packages.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages_only="${NUBEN_SETUP_PACKAGES_ONLY:-}"

if [ -z "$packages_only" ] && [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: run as root" >&2
    exit 1
fi

QEMU_DIR=/opt/nuben-qemu
QEMU=$QEMU_DIR/qemu-i386
BINFMT=/proc/sys/fs/binfmt_misc
BINFMT_NAME=qemu-i386
# i386 ELF executables (ET_EXEC and ET_DYN), as Debian's qemu registers them.
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# The same magic as binfmt_misc shows it in an entry's "magic" line.
I386_MAGIC_HEX=7f454c4601010100000000000000000002000300

PACKAGES=(
    g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth
    libxrender1:i386 libxcursor1:i386 libxi6:i386 libxrandr2:i386
    libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 libfontconfig1:i386
    fonts-nanum x11-apps imagemagick locales cmake g++ googletest
    clang libclang-rt-14-dev clang-format python3 osslsigncode openssl nsis
    softhsm2 libengine-pkcs11-openssl
)
# The main archive of this release, preferred when the architectures'
# versions disagree.
codename="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")" || codename=""
apt_log="$(mktemp)"
trap 'rm -f "$apt_log"' EXIT

done_steps=()

apt_update() {
    local try
    for try in 1 2; do
        apt-get update -qq >"$apt_log" 2>&1 && return 0
        [ "$try" -eq 2 ] || sleep 15
    done
    echo "setup.sh: apt-get update failed, going on with the package lists there are:" >&2
    grep -E '^(E|W):' "$apt_log" | head -3 >&2 || true
}

# apt_install PACKAGE...: ends setup when they cannot be installed.
apt_install() {
    apt-get install -y -qq --no-install-recommends "$@" >/dev/null 2>"$apt_log" && return 0
    if [ -n "$codename" ] && grep -qiE 'held broken packages|unmet dependencies' "$apt_log"; then
        echo "setup.sh: install refused, trying again with $codename's main archive preferred" >&2
        apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >/dev/null 2>"$apt_log" && return 0
    fi
    cat "$apt_log" >&2
    local reason
    reason="$(grep -E '^E:' "$apt_log" | tail -1 | sed 's/^E: *//')"
    echo "setup.sh: could not install $*: ${reason:-apt-get install failed}" >&2
    exit 1
}

# --- Packages.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    done_steps+=("i386 architecture added")
fi
missing=()
for pkg in "${PACKAGES[@]}"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)"
    [ "$status" = installed ] || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt_update
    apt_install "${missing[@]}"
    done_steps+=("installed ${#missing[@]} packages")
fi

report() {
    if [ ${#done_steps[@]} -eq 0 ]; then
        echo "setup.sh: everything present, nothing to do"
    else
        summary="$(printf '%s; ' "${done_steps[@]}")"
        echo "setup.sh: ${summary%; }${native:+ (native i386: $native)}"
    fi
}
if [ -n "$packages_only" ]; then
    report
    exit 0
fi

# --- Locales.
for loc in ko_KR en_US; do
    if ! locale -a 2>/dev/null | grep -qix "$loc\\.utf-\\?8"; then
        if [ -f /etc/locale.gen ]; then
            sed -i "s/^# *\\($loc\\.UTF-8 UTF-8\\)/\\1/" /etc/locale.gen
        fi
        localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
        done_steps+=("$loc.UTF-8 locale generated")
    fi
done

# --- 32-bit programs.

# True when this kernel runs i386 ELF by itself. Any binfmt_misc
# registration would hide the answer, so the test runs in a new user and
# mount namespace with a binfmt_misc of its own (empty; kernels >= 6.7).
# Where that cannot be set up, a kernel with no i386 registration is asked
# directly, and one with a registration is taken to need it.
runs_i386_natively() {
    local wine32=/usr/lib/wine/wine
    if unshare --user --map-root-user --mount sh -c \
        "mount -t binfmt_misc none $BINFMT 2>/dev/null && [ ! -e $BINFMT/$BINFMT_NAME ]" \
        2>/dev/null; then
        unshare --user --map-root-user --mount sh -c \
            "mount -t binfmt_misc none $BINFMT && $wine32 --version" >/dev/null 2>&1
        return
    fi
    if [ -n "$(i386_registrations)" ]; then
        return 1
    fi
    "$wine32" --version >/dev/null 2>&1
}

# Names of the enabled or disabled binfmt_misc entries for i386 ELF.
i386_registrations() {
    local entry
    for entry in "$BINFMT"/*; do
        case "$(basename "$entry")" in register | status) continue ;; esac
        [ -f "$entry" ] || continue
        if grep -q "^magic $I386_MAGIC_HEX" "$entry" 2>/dev/null; then
            basename "$entry"
        fi
    done
}

# True when our qemu is the one and only, enabled, i386 registration.
qemu_registered() {
    local names
    names="$(i386_registrations)"
    [ "$names" = "$BINFMT_NAME" ] &&
        grep -qx enabled "$BINFMT/$BINFMT_NAME" &&
        grep -qx "interpreter $QEMU" "$BINFMT/$BINFMT_NAME" &&
        grep -q '^flags: .*F' "$BINFMT/$BINFMT_NAME"
}

trixie_available() {
    apt-cache policy qemu-user 2>/dev/null | grep -q ' trixie/main'
}

install_qemu() {
    # A trixie source, pinned low, unless one is configured already.
    if ! grep -rqsE '^(Suites:.*\btrixie\b|deb .* trixie )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        cat >/etc/apt/sources.list.d/nuben-trixie.sources <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    fi
    if ! grep -rqs 'n=trixie' /etc/apt/preferences.d/; then
        printf 'Package: *\nPin: release n=trixie\nPin-Priority: 100\n' \
            >/etc/apt/preferences.d/nuben-trixie
    fi
    trixie_available || apt_update
    local tmp deb
    tmp="$(mktemp -d)"
    (cd "$tmp" && apt-get download -qq -o APT::Sandbox::User=root qemu-user/trixie >/dev/null)
    deb="$(ls "$tmp"/qemu-user_*.deb)"
    dpkg-deb -x "$deb" "$tmp/root"
    mkdir -p "$QEMU_DIR"
    install -m 0755 "$tmp/root/usr/bin/qemu-i386" "$QEMU.new"
    mv -f "$QEMU.new" "$QEMU"
    done_steps+=("qemu-i386 $(dpkg-deb -f "$deb" Version) unpacked to $QEMU")
    rm -rf "$tmp"
}

register_qemu() {
    if [ ! -e "$BINFMT/register" ]; then
        mount -t binfmt_misc binfmt_misc "$BINFMT"
    fi
    local name
    for name in $(i386_registrations); do
        echo -1 >"$BINFMT/$name"  # removes the entry
    done
    printf '%s' ":$BINFMT_NAME:M::$I386_MAGIC:$I386_MASK:$QEMU:FP" >"$BINFMT/register"
    if [ "$(cat "$BINFMT/status")" != enabled ]; then
        echo 1 >"$BINFMT/status"
    fi
    done_steps+=("i386 ELF registered with binfmt_misc -> $QEMU")
}

# Without binfmt_misc only a kernel that runs i386 natively can work.
[ -e "$BINFMT/register" ] || mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null || true
if ! qemu_registered; then
    if runs_i386_natively; then
        native=yes
    else
        native=no
        [ -x "$QEMU" ] || install_qemu
        register_qemu
    fi
fi

if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "setup.sh: 32-bit Wine does not start (i386 support missing?)" >&2
    exit 1
fi

report
