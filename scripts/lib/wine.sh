# shellcheck shell=bash
# Wine sessions for NuBenSetup's tests. Source this file, then:
#
#   nuben_wine_session_start "$work"    # Xvfb + a fresh prefix in $work/prefix
#   nuben_wine_prefix_clone "$work/case1"   # optional: an isolated copy per test case
#   wine "$exe" ...
#   nuben_wine_session_stop             # wineservers and the Xvfb it started
#
# Safe under `set -euo pipefail`. Needs what scripts/setup.sh installs
# (wine, wine32, Xvfb, x11-apps, the ko_KR.UTF-8 and en_US.UTF-8 locales
# and, on kernels without native i386 support, qemu-i386 registered with
# binfmt_misc).
# Timings go to stderr as "wine.sh: ...".

# What this session started, so that stop ends exactly that and no more.
NUBEN_WINE_XVFB_PID="${NUBEN_WINE_XVFB_PID:-}"
NUBEN_WINE_BASE_PREFIX="${NUBEN_WINE_BASE_PREFIX:-}"
NUBEN_WINE_PREFIXES="${NUBEN_WINE_PREFIXES:-}"

_nuben_wine_now() { date +%s.%N; }
_nuben_wine_since() { awk -v a="$1" -v b="$(_nuben_wine_now)" 'BEGIN { printf "%.1f", b - a }'; }
_nuben_wine_log() { echo "wine.sh: $*" >&2; }

# _nuben_wine_x_ready <display>: true once the X server accepts clients.
_nuben_wine_x_ready() {
    xwd -root -silent -display "$1" >/dev/null 2>&1
}

# _nuben_wine_server_start: starts a persistent wineserver for $WINEPREFIX
# (with DISPLAY set, so that every process it serves sees the display) and
# remembers the prefix for nuben_wine_session_stop.
_nuben_wine_server_start() {
    DISPLAY="${DISPLAY:-}" wineserver -p
    case " $NUBEN_WINE_PREFIXES " in
        *" $WINEPREFIX "*) ;;
        *) NUBEN_WINE_PREFIXES="${NUBEN_WINE_PREFIXES:+$NUBEN_WINE_PREFIXES }$WINEPREFIX" ;;
    esac
    export NUBEN_WINE_PREFIXES
}

# _nuben_wine_services_start: starts the prefix's long-lived Wine
# processes (services.exe, winedevice.exe, plugplay.exe, rpcss...) with no
# terminal or pipe of the caller's: whichever `wine` command starts them
# first would otherwise hand them its stdout, and a `wine ... | tail` would
# never see the end of its input. (The desktop process, explorer.exe
# /desktop, still starts with the first window and keeps that program's
# handles until a few seconds after the last window closes: send the
# output of GUI programs to a file rather than a pipe.)
_nuben_wine_services_start() {
    wineboot </dev/null >/dev/null 2>&1 || true
}

# _nuben_wine_server_stop <prefix>: ends the prefix's wineserver and every
# Wine process of it, and waits until the server has saved the registry
# and exited.
_nuben_wine_server_stop() {
    WINEPREFIX="$1" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$1" wineserver -w >/dev/null 2>&1 || true
}

# nuben_wine_session_start <workdir>
#   Prepares everything a Wine test needs, in <workdir> (created if
#   missing; a prefix already in it is reused as it is):
#   - DISPLAY: kept when already set; otherwise a new Xvfb (1024x768x24)
#     on the first free display from :90, waited for until it accepts.
#   - HOME=<workdir>/home (scratch, so Wine links nothing into the real
#     home), WINEDEBUG=-all, LC_ALL=ko_KR.UTF-8 (Wine then uses code page
#     949 as the ANSI code page; a program started with
#     LC_ALL=en_US.UTF-8 gets 1252), WINEPREFIX=<workdir>/prefix,
#     WINEDLLOVERRIDES without winemenubuilder (no desktop entries) and
#     without the Mono/Gecko installers (no prompts, no downloads).
#   - A new prefix: wineboot -i, then HKCU\Software\Wine\X11 Driver
#     Managed=N so that Wine draws window captions itself (Xvfb has no
#     window manager).
#   - A persistent wineserver for the prefix (wineserver -p), and the
#     prefix's services already running, detached from the caller's
#     stdout (see _nuben_wine_services_start).
#   <workdir> must not contain blanks (prefixes are listed blank-separated).
#   Prints how long each step took.
nuben_wine_session_start() {
    local workdir="${1:?usage: nuben_wine_session_start <workdir>}"
    local t0 t
    t0="$(_nuben_wine_now)"
    mkdir -p "$workdir/home"
    workdir="$(cd "$workdir" && pwd)"

    if [ -z "${DISPLAY:-}" ]; then
        t="$(_nuben_wine_now)"
        local n=90 attempts=0 tries
        while :; do
            while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do
                n=$((n + 1))
            done
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
            NUBEN_WINE_XVFB_PID=$!
            tries=0
            until _nuben_wine_x_ready ":$n"; do
                tries=$((tries + 1))
                if [ "$tries" -gt 100 ] || ! kill -0 "$NUBEN_WINE_XVFB_PID" 2>/dev/null; then
                    break
                fi
                sleep 0.1
            done
            if kill -0 "$NUBEN_WINE_XVFB_PID" 2>/dev/null && _nuben_wine_x_ready ":$n"; then
                break
            fi
            # Another session took the display in the meantime: try the next one.
            kill "$NUBEN_WINE_XVFB_PID" 2>/dev/null || true
            wait "$NUBEN_WINE_XVFB_PID" 2>/dev/null || true
            NUBEN_WINE_XVFB_PID=""
            attempts=$((attempts + 1))
            n=$((n + 1))
            if [ "$attempts" -ge 5 ]; then
                _nuben_wine_log "Xvfb did not start (see $workdir/xvfb.log)"
                return 1
            fi
        done
        export NUBEN_WINE_XVFB_PID
        export DISPLAY=":$n"
        _nuben_wine_log "Xvfb $DISPLAY ready in $(_nuben_wine_since "$t") s"
    fi

    export HOME="$workdir/home"
    export WINEDEBUG=-all
    export LC_ALL=ko_KR.UTF-8
    if [ "$(locale -a 2>/dev/null | grep -ciE '^(ko_KR|en_US)\.utf-?8$')" -lt 2 ]; then
        # Not installed system-wide: compile both into the work folder
        # (en_US.UTF-8, code page 1252, for the runs on another code page).
        local loc
        for loc in ko_KR en_US; do
            if [ ! -d "$workdir/locale/$loc.UTF-8" ]; then
                mkdir -p "$workdir/locale"
                localedef -i "$loc" -f UTF-8 "$workdir/locale/$loc.UTF-8" >/dev/null 2>&1 || true
            fi
        done
        export LOCPATH="$workdir/locale"
    fi
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    export WINEPREFIX="$workdir/prefix"
    NUBEN_WINE_BASE_PREFIX="$WINEPREFIX"
    export NUBEN_WINE_BASE_PREFIX

    mkdir -p "$WINEPREFIX"  # wineserver needs the folder to exist
    _nuben_wine_server_start
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        t="$(_nuben_wine_now)"
        wineboot -i </dev/null >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >/dev/null 2>&1
        _nuben_wine_log "prefix $WINEPREFIX created in $(_nuben_wine_since "$t") s"
    fi
    _nuben_wine_services_start
    _nuben_wine_log "session ready in $(_nuben_wine_since "$t0") s (DISPLAY=$DISPLAY)"
}

# nuben_wine_prefix_clone <dest>
#   Copies the session's first prefix (the one nuben_wine_session_start
#   made, never a clone) to <dest>, which must not exist, and makes the
#   copy current: WINEPREFIX=<dest>, with its own persistent wineserver.
#   The session prefix's wineserver is stopped first, so the copy holds a
#   saved registry and no half-written file.
#   The copy hard-links the Wine DLL folders (system32, syswow64: files
#   that Wine writes once at wineboot and programs only read) and copies
#   everything else, so a test may change or delete anything else
#   without touching the session prefix. Prints how long it took.
nuben_wine_prefix_clone() {
    local dest="${1:?usage: nuben_wine_prefix_clone <dest>}"
    local base="${NUBEN_WINE_BASE_PREFIX:?nuben_wine_session_start first}"
    local t
    t="$(_nuben_wine_now)"
    if [ -e "$dest" ]; then
        _nuben_wine_log "clone target $dest exists"
        return 1
    fi
    _nuben_wine_server_stop "$base"

    mkdir -p "$dest"
    dest="$(cd "$dest" && pwd)"
    local windows="drive_c/windows"
    # Everything but the two DLL folders: a real copy.
    (cd "$base" && find . -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a {} "$dest/" \;)
    mkdir -p "$dest/drive_c"
    (cd "$base/drive_c" && find . -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a {} "$dest/drive_c/" \;)
    mkdir -p "$dest/$windows"
    (cd "$base/$windows" && find . -mindepth 1 -maxdepth 1 ! -name system32 ! -name syswow64 \
        -exec cp -a {} "$dest/$windows/" \;)
    local dll
    for dll in system32 syswow64; do
        if [ -d "$base/$windows/$dll" ]; then
            cp -al "$base/$windows/$dll" "$dest/$windows/$dll"
        fi
    done
    # The prefix folder itself as the original (its owner is checked by Wine).
    chown --reference="$base" "$dest"
    touch -r "$base" "$dest"

    export WINEPREFIX="$dest"
    _nuben_wine_server_start
    _nuben_wine_services_start
    _nuben_wine_log "prefix cloned to $dest in $(_nuben_wine_since "$t") s"
}

# nuben_wine_session_stop
#   Stops the wineserver (and all Wine processes) of every prefix this
#   session used, then the Xvfb that nuben_wine_session_start started (a
#   display that was set beforehand is left alone). Safe to call twice.
nuben_wine_session_stop() {
    local prefix
    for prefix in ${NUBEN_WINE_PREFIXES:-}; do
        _nuben_wine_server_stop "$prefix"
    done
    NUBEN_WINE_PREFIXES=""
    if [ -n "${NUBEN_WINE_XVFB_PID:-}" ]; then
        kill "$NUBEN_WINE_XVFB_PID" 2>/dev/null || true
        wait "$NUBEN_WINE_XVFB_PID" 2>/dev/null || true
        NUBEN_WINE_XVFB_PID=""
        unset DISPLAY
    fi
}
