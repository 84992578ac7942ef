# shellcheck shell=bash
# The end-to-end harness: one Wine session per run, a fresh copy of its
# prefix for every case, helper programs that set up and observe, and
# checks whose failures are collected per case.
#
# Texts are written here in UTF-8 and reach the helpers as code page 949
# bytes (iconv); the helpers log every text as hex, so comparisons are
# byte for byte.

E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
E2E_BIN="${NUBEN_E2E_BIN:-$E2E_ROOT/build/win32/e2e}"
E2E_PASSED=0
E2E_FAILED=0
E2E_FAILED_NAMES=()
declare -A E2E_PATH=()
E2E_CASE=""
E2E_CASE_DIR=""
E2E_C=""          # drive C: of the case's prefix
E2E_SESSION_HOME=""
E2E_BG_PIDS=()
E2E_NO_DISPLAY=""
E2E_DLL_OVERRIDES=""
E2E_SETUP_LC_ALL=""  # the bootstrapper's locale where it differs from the helpers'

# shellcheck source=../../../scripts/lib/wine.sh
source "$E2E_ROOT/scripts/lib/wine.sh"

e2e_now() { date +%s.%N; }
e2e_since() { awk -v a="$1" -v b="$(e2e_now)" 'BEGIN { printf "%.1f", b - a }'; }

# --- Text and paths ---------------------------------------------------------

# The code page 949 or UTF-16 bytes of a UTF-8 text, as hex.
cp949hex() { printf '%s' "$1" | iconv -f UTF-8 -t CP949 | xxd -p | tr -d '\n'; }
utf16hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | xxd -p | tr -d '\n'; }
# Hex bytes shown readably: code page 949 decoded, control bytes visible.
hexshow() {
    if [ -z "$1" ]; then printf '""'; return; fi
    printf '%s' "$1" | xxd -r -p | iconv -f CP949 -t UTF-8 -c |
        perl -pe 's/\n/\\n/g; s/\r/\\r/g; s/([\x00-\x1f])/sprintf("\\x%02x", ord $1)/ge'
}
# A C: path of the case's prefix as a path on this machine.
unixpath() {
    local p="${1#[Cc]:}"
    p="${p#\\}"
    printf '%s/%s' "$E2E_C" "${p//\\//}"
}
# Replaces {desktop}, {programs}, ... with the Windows paths of the prefix.
expand_paths() {
    local line="$1" key
    for key in "${!E2E_PATH[@]}"; do line="${line//\{$key\}/${E2E_PATH[$key]}}"; done
    printf '%s' "$line"
}

# --- Wine -------------------------------------------------------------------

# Runs a helper from C:\e2e (the helpers' and the bootstrapper's current
# folder), bounded in time.
e2e_wine() {
    (cd "$E2E_C/e2e" && timeout 120 wine "$@" </dev/null)
}

# fx: runs the fixture on the script read from stdin (UTF-8, one command a
# line, {tokens} expanded); prints its output in UTF-8. A fixture error
# fails the case.
fx() {
    local script="$E2E_C/e2e/fx.txt" line out rc=0
    : >"$script"
    while IFS= read -r line; do
        expand_paths "$line" | iconv -f UTF-8 -t CP949 >>"$script" || fail "not code page 949: $line"
        printf '\n' >>"$script"
    done
    out="$(e2e_wine 'C:\e2e\e2e_fixture.exe' 'C:\e2e\fx.txt' 2>>"$E2E_CASE_DIR/wine-stderr.txt" |
        iconv -f CP949 -t UTF-8 -c)" || rc=$?
    if [ "$rc" -ne 0 ] || grep -q '^ERROR' <<<"$out"; then
        fail "fixture failed ($rc): $(grep '^ERROR' <<<"$out" | head -1)"
    fi
    printf '%s\n' "$out"
}

# Starts the session and prepares the prefix every case copies: the
# helpers in C:\e2e, a canary file in C:\, the relay trace of message
# boxes (Wine draws MB_TOPMOST boxes like others, so the style each box
# was asked for is read from the trace of the call).
e2e_session_start() {
    local run="$1" line t
    t="$(e2e_now)"
    unset DISPLAY  # a private Xvfb: screens and icons as the tests expect
    nuben_wine_session_start "$run/wine" 2>>"$run/wine-session.log" || return 1
    E2E_C="$WINEPREFIX/drive_c"
    E2E_SESSION_HOME="$HOME"
    E2E_CASE_DIR="$run"
    mkdir -p "$E2E_C/e2e"
    cp "$E2E_BIN"/*.exe "$E2E_C/e2e/"
    printf 'canary\n' >"$E2E_C/e2e-canary.txt"
    fx <<'EOF' >/dev/null
regset|HKCU\Software\Wine\Debug|RelayInclude|REG_SZ|text:user32.MessageBoxA;user32.MessageBoxW;kernel32.CreateProcessA;kernel32.CreateProcessW;kernel32.WinExec
EOF
    while IFS='=' read -r key value; do
        [ -n "$key" ] && E2E_PATH[$key]="$value"
    done < <(fx <<<'paths')
    if [ -n "$(failures)" ] || [ -z "${E2E_PATH[temp]:-}" ]; then
        echo "e2e: session set-up failed: $(failures | tr '\n' ';')" >&2
        return 1
    fi
    echo "e2e: session ready in $(e2e_since "$t") s (prefix $WINEPREFIX)"
}

e2e_session_stop() { nuben_wine_session_stop 2>>"$E2E_RUN/wine-session.log" || true; }

# --- Cases ------------------------------------------------------------------

# Failures go to a file of the case, so that a check made in a subshell
# (a pipeline, a command substitution) is not lost.
fail() { printf '%s\n' "$*" >>"$E2E_CASE_DIR/failures.txt"; }
failures() { cat "$E2E_CASE_DIR/failures.txt" 2>/dev/null || true; }

# case_begin <name> [cp1252]: a fresh copy of the prepared prefix, a log
# folder. With cp1252 (the case is named <name>-cp1252) the bootstrapper
# alone runs under ANSI code page 1252, the helpers under 949.
case_begin() {
    E2E_CASE="$1${2:+-$2}"
    E2E_SETUP_LC_ALL=""
    [ "${2:-}" = cp1252 ] && E2E_SETUP_LC_ALL=en_US.UTF-8
    E2E_CASE_DIR="$E2E_RUN/cases/$E2E_CASE"
    E2E_BG_PIDS=()
    E2E_NO_DISPLAY=""
    E2E_DLL_OVERRIDES=""  # more WINEDLLOVERRIDES for the bootstrapper's run
    E2E_CASE_T0="$(e2e_now)"
    mkdir -p "$E2E_CASE_DIR"
    nuben_wine_prefix_clone "$E2E_CASE_DIR/prefix" 2>>"$E2E_CASE_DIR/wine-stderr.txt" ||
        fail "could not copy the prefix"
    E2E_C="$WINEPREFIX/drive_c"
    # A home of the case's own: the user's Desktop, Documents... link to
    # it, so no case sees another's desktop and a case that deletes too
    # much cannot reach past it.
    local link
    export HOME="$E2E_CASE_DIR/home"
    mkdir -p "$HOME"
    for link in "$E2E_C"/users/*/*; do
        if [ -L "$link" ] && [ "$(readlink "$link")" = "$E2E_SESSION_HOME" ]; then
            ln -sfn "$HOME" "$link"
        fi
    done
}

# case_end: stops every Wine process of the case, keeps its logs, prints
# one PASS or FAIL line (with the reasons under it).
case_end() {
    WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$WINEPREFIX" wineserver -w >/dev/null 2>&1 || true
    local pid
    for pid in "${E2E_BG_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    cp "$E2E_C"/e2e/*.log "$E2E_CASE_DIR/" 2>/dev/null || true
    local took
    took="$(e2e_since "$E2E_CASE_T0")"
    if [ -z "$(failures)" ]; then
        E2E_PASSED=$((E2E_PASSED + 1))
        echo "PASS $E2E_CASE (${took} s)"
        [ -n "${NUBEN_E2E_KEEP:-}" ] || rm -rf "$E2E_CASE_DIR/prefix"
    else
        E2E_FAILED=$((E2E_FAILED + 1))
        E2E_FAILED_NAMES+=("$E2E_CASE")
        echo "FAIL $E2E_CASE (${took} s; logs in $E2E_CASE_DIR)"
        failures | sed 's/^/    - /'
        # The prefix is kept for inspection; its DLL folders are hard links.
    fi
}

# --- Checks -----------------------------------------------------------------

check_eq() {  # <what> <expected> <actual>
    [ "$2" == "$3" ] || fail "$1: expected '$2', got '$3'"
}
check_hex() {  # <what> <expected hex> <actual hex>
    [ "$2" == "$3" ] || fail "$1: expected \"$(hexshow "$2")\" [$2], got \"$(hexshow "$3")\" [$3]"
}
check() {  # <what> <command...>
    local what="$1"
    shift
    "$@" || fail "$what"
}

# --- Observations -------------------------------------------------------------

# A key's value in a "word k=v k=v" log line.
field() {  # <line> <key>
    sed -n "s/.* $2=\([^ ]*\).*/\1/p" <<<" $1" | head -1
}
log_of() { cat "$E2E_C/e2e/$1" 2>/dev/null || true; }
log_lines() { log_of "$1" | grep -c "^$2" || true; }

box_field_of() { field "$(log_of "$1" | grep '^box ' | sed -n "${2}p")" "$3"; }  # <log> <n> <key>
box_line() { log_of boxbot.log | grep '^box ' | sed -n "${1}p"; }
box_count() { log_lines boxbot.log 'box '; }
box_field() { field "$(box_line "$1")" "$2"; }
setup_exit_code() { field "$(log_of boxbot.log | grep '^exit ')" code; }
# When the bootstrapper ended (the last of its copies).
setup_exit_t() { log_of boxbot.log | sed -n 's/^exit .* t=\([0-9]*\).*/\1/p' | sort -n | tail -1; }

# The owner and style arguments of each MessageBox call, "owner,style" a line.
relay_boxes() {
    sed -n 's/.*Call user32\.MessageBox[AW](\([0-9a-fA-F]\{8\}\),.*,\([0-9a-fA-F]\{8\}\)) ret=.*/\1,\2/p' \
        "$E2E_CASE_DIR/relay.txt" 2>/dev/null | tr 'A-F' 'a-f'
}

# What each MessageBox call returned, one hex value a line.
relay_box_results() {
    sed -n 's/.*Ret  user32\.MessageBox[AW]() retval=\([0-9a-fA-F]\{8\}\) .*/\1/p' \
        "$E2E_CASE_DIR/relay.txt" 2>/dev/null | tr 'A-F' 'a-f'
}

installer_starts() { log_lines installer.log 'start '; }
installer_field() {  # <key>: from the first run's lines
    log_of installer.log | sed -n "s/^$1=//p" | head -1
}
installer_t() { field "$(log_of installer.log | grep "^$1 " | head -1)" t; }
uninstaller_t() { field "$(log_of uninstaller.log | grep "^$1 " | head -1)" t; }

# --- Actions ------------------------------------------------------------------

# run_setup <exe in C:\e2e> <answers> [<copies>]: runs the bootstrapper
# under the box bot (which starts it, that many copies at once, answers
# their boxes and records their exits), then waits for an installer it
# started to finish, so its log is whole. With E2E_SETUP_LC_ALL (one copy
# only) the bootstrapper runs in that locale's code page while the box bot
# stays in 949: a Wine process takes its code page from the Unix
# environment it was started with, so the box bot watches it by name.
run_setup() {
    local exe="$1" answers="$2" copies="${3:-1}"
    snapshot "$E2E_CASE_DIR/before.txt"
    (
        cd "$E2E_C/e2e" || exit
        if [ -n "${E2E_NO_DISPLAY:-}" ]; then unset DISPLAY; fi
        export WINEDLLOVERRIDES="$WINEDLLOVERRIDES${E2E_DLL_OVERRIDES:+;$E2E_DLL_OVERRIDES}"
        if [ -z "$E2E_SETUP_LC_ALL" ]; then
            WINEDEBUG=trace+relay timeout 120 wine 'C:\e2e\e2e_boxbot.exe' \
                --log 'C:\e2e\boxbot.log' --run "C:\\e2e\\$exe" --copies "$copies" --answers "$answers" --timeout 60 \
                >"$E2E_CASE_DIR/boxbot.out" 2>"$E2E_CASE_DIR/relay.txt" </dev/null
            exit
        fi
        timeout 120 wine 'C:\e2e\e2e_boxbot.exe' --log 'C:\e2e\boxbot.log' --process "$exe" \
            --answers "$answers" --timeout 60 >"$E2E_CASE_DIR/boxbot.out" 2>&1 </dev/null &
        local bot=$! i
        for i in $(seq 200); do
            log_of boxbot.log | grep -q '^watching' && break
            sleep 0.1
        done
        LC_ALL="$E2E_SETUP_LC_ALL" WINEDEBUG=trace+relay timeout 120 wine "C:\\e2e\\$exe" \
            >>"$E2E_CASE_DIR/boxbot.out" 2>"$E2E_CASE_DIR/relay.txt" </dev/null
        wait "$bot"
    ) || true
    local other_exit
    other_exit="$(log_of boxbot.log | grep '^exit ' | grep -v '^exit code=0 ' | head -1)"
    if [ "$(log_lines boxbot.log 'exit ')" -ne "$copies" ]; then
        fail "the bootstrapper did not end normally: $(log_of boxbot.log | tail -1)"
    elif [ -n "$other_exit" ]; then
        # Whatever the case is about, every run ends with exit code 0.
        fail "the bootstrapper's exit code: $(field "$other_exit" code)"
    fi
    # An installer started just before the exit takes a moment to log its
    # start (2 s is ample even under emulation); one that did runs for a
    # few seconds more.
    local i starts
    for i in $(seq 150); do
        starts="$(installer_starts)"
        if [ "$starts" -gt 0 ]; then
            [ "$starts" -eq "$(log_lines installer.log 'end ')" ] && break
        elif [ "$i" -gt 20 ]; then
            break
        fi
        sleep 0.1
    done
    snapshot "$E2E_CASE_DIR/after.txt"
}

# without_display: from here on the case's programs have no X display, so
# every message box fails (MessageBoxA returns -1) as it may on a locked or
# service desktop. Window helpers cannot run either.
without_display() {
    WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$WINEPREFIX" wineserver -w >/dev/null 2>&1 || true
    (unset DISPLAY && wineserver -p)
    E2E_NO_DISPLAY=1
}

# start_windows <log name> <CLASS|TITLE[|hidden]>...: a process owning
# top-level windows, up and pumping before this returns. Titles are UTF-8
# here and handed over as code page 949 hex. E2E_WINDOWS_LC_ALL: the
# process's locale, when not the helpers' own.
start_windows() {
    local name="$1" window cls title rest args=()
    shift
    for window in "$@"; do
        IFS='|' read -r cls title rest <<<"$window"
        args+=("$cls|x:$(cp949hex "$title")${rest:+|$rest}")
    done
    (cd "$E2E_C/e2e" && export LC_ALL="${E2E_WINDOWS_LC_ALL:-$LC_ALL}" &&
        exec timeout 120 wine 'C:\e2e\e2e_windows.exe' --log "C:\\e2e\\$name.log" \
        --timeout 90 --stop "C:\\e2e\\$name.stop" "${args[@]}" \
        >>"$E2E_CASE_DIR/wine-stderr.txt" 2>&1 </dev/null) &
    E2E_BG_PIDS+=($!)
    local i
    for i in $(seq 200); do
        log_of "$name.log" | grep -q '^ready' && return 0
        sleep 0.1
    done
    fail "window helper $name did not come up"
}
# How often window <idx> of helper <log name> was told to quit.
quits_of() { log_of "$1.log" | grep -c "^quit .* idx=$2 " || true; }
quit_seq_of() { field "$(log_of "$1.log" | grep "^quit .* idx=$2 " | head -1)" seq; }
quit_t_last() { log_of "$1.log" | sed -n 's/^quit .* t=\([0-9]*\).*/\1/p' | sort -n | tail -1; }

# fx_background <name> <command> <file in C:\e2e>: runs one fixture command
# (UTF-8) in the background, returning once it has written that file; false
# when it did not come up.
fx_background() {
    printf '%s\n' "$2" | iconv -f UTF-8 -t CP949 >"$E2E_C/e2e/$1.txt"
    (cd "$E2E_C/e2e" && exec timeout 120 wine 'C:\e2e\e2e_fixture.exe' "C:\\e2e\\$1.txt" \
        >>"$E2E_CASE_DIR/wine-stderr.txt" 2>&1 </dev/null) &
    E2E_BG_PIDS+=($!)
    local i
    for i in $(seq 200); do
        [ -f "$E2E_C/e2e/$3" ] && return 0
        sleep 0.1
    done
    return 1
}

# hold_file <windows path>: keeps the file open without sharing until the
# case ends.
hold_file() {
    fx_background hold "hold|$1|100000|C:\\e2e\\hold.ready" hold.ready || fail "could not hold $1 open"
}

# plant_over <windows path> <program in C:\e2e>: in the background, as
# another program of the user would, waits for the file to appear and
# writes the program over it the moment it can open it for writing (a Wine
# process: share modes hold it back, as they would on Windows).
plant_over() {
    fx_background plant "plant|$1|C:\\e2e\\$2|60|C:\\e2e\\plant.log" plant.log ||
        fail "the planting program did not come up"
}
# plant_result: stops the planting program and prints how it ended:
# "planted opened=T t=T tries=N", "failed ..." or "missed tries=N".
plant_result() {
    : >"$E2E_C/e2e/plant.log.stop"
    local i
    for i in $(seq 100); do
        log_of plant.log | grep -qv '^ready' && break
        sleep 0.1
    done
    log_of plant.log | grep -v '^ready' | head -1
}

# race_swap_for_link <watched folder> <victim folder> <link target>: in the
# background, as another program of the user would, waits until the
# watched folder (holding files) starts losing them, then at once replaces
# the victim folder with a symbolic link to the target. A Linux process:
# Wine's share modes do not hold it back. Windows paths; the victim must
# lie on the case's own drive C:. Logs "swapped left=N" (files still in
# the watched folder) or "missed" to racer.log.
race_swap_for_link() {
    local watched victim target c
    watched="$(unixpath "$1")" victim="$(realpath -m "$(unixpath "$2")")" target="$(unixpath "$3")"
    c="$(realpath -m "$E2E_C")"
    case "$victim" in
        "$c"/?*) ;;
        *) fail "racer: $2 is not on the case's drive C:"; return ;;
    esac
    local log="$E2E_CASE_DIR/racer.log"
    (
        local full left i
        full="$(find "$watched" -type f | wc -l)"
        for i in $(seq 3000); do  # 150 s at most
            left="$(find "$watched" -type f 2>/dev/null | wc -l)"
            if [ "$left" -lt "$full" ]; then
                rm -rf "$victim" && ln -s "$target" "$victim" && echo "swapped left=$left" >>"$log"
                exit 0
            fi
            sleep 0.05
        done
        echo missed >>"$log"
    ) &
    E2E_BG_PIDS+=($!)
}

# snapshot <file>: every entry of drive C: and of the scratch home (which
# the user's Desktop and Documents link to), sorted. Links are listed, not
# followed.
snapshot() {
    {
        (cd "$E2E_C" && find . -mindepth 1 | sed 's|^\.|C:|')
        (cd "$HOME" && find . -mindepth 1 | sed 's|^\.|HOME|')
    } | grep -v '^C:/e2e/[^/]*$' | LC_ALL=C sort >"$1"
}
# What the run removed, one entry a line.
removed_entries() { LC_ALL=C comm -23 "$E2E_CASE_DIR/before.txt" "$E2E_CASE_DIR/after.txt"; }
# An entry of the "before" snapshot and everything below it.
entries_under() {
    local p
    for p in "$@"; do
        awk -v p="$p" '$0 == p || index($0, p "/") == 1' "$E2E_CASE_DIR/before.txt"
    done | LC_ALL=C sort -u
}
# check_removed <what> <expected entries, one a line>: exactly these went.
check_removed() {
    local expected actual
    expected="$(printf '%s' "$2" | sed '/^$/d' | LC_ALL=C sort -u)"
    actual="$(removed_entries)"
    if [ "$expected" != "$actual" ]; then
        local missing extra
        missing="$(LC_ALL=C comm -23 <(printf '%s\n' "$expected" | sed '/^$/d') <(printf '%s\n' "$actual" | sed '/^$/d') | head -5 | tr '\n' ';')"
        extra="$(LC_ALL=C comm -13 <(printf '%s\n' "$expected" | sed '/^$/d') <(printf '%s\n' "$actual" | sed '/^$/d'))"
        fail "$1: not removed [${missing}]; removed beyond it $(printf '%s\n' "$extra" | sed '/^$/d' | wc -l) entries [$(printf '%s\n' "$extra" | head -5 | tr '\n' ';')]"
    fi
}
