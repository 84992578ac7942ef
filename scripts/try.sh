#!/usr/bin/env bash
# Tries dist/NuBenSetup.exe under Wine the way a user meets it: on a
# machine with version 2.0 installed, answering Yes. Leaves a PNG of every
# dialog shown in dist/ (dialog-1-question.png, dialog-2-installer.png, ...)
# and says what happened. Runs in a scratch Wine prefix and home, removed
# afterwards (kept, with its logs, when something did not happen).
#
# Installs what it needs and builds the win32 tree first.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
# A new machine needs its tools and the build first; both are quick no-ops later.
bash "$root/scripts/setup.sh" || exit 1
bash "$root/scripts/build.sh" win32 >"${TMPDIR:-/tmp}/nuben-try-build.log" 2>&1 || {
    tail -30 "${TMPDIR:-/tmp}/nuben-try-build.log"
    echo "try.sh: the build failed (log: ${TMPDIR:-/tmp}/nuben-try-build.log)"
    exit 1
}
# shellcheck source=../tests/e2e/lib/harness.sh
source "$root/tests/e2e/lib/harness.sh"
# shellcheck source=../tests/e2e/lib/scenario.sh
source "$root/tests/e2e/lib/scenario.sh"

setup_exe="$root/dist/NuBenSetup.exe"
for f in "$setup_exe" "$E2E_BIN/e2e_boxbot.exe" "$E2E_BIN/e2e_fixture.exe"; do
    if [ ! -f "$f" ]; then
        echo "try.sh: $f is missing: build the win32 preset first" >&2
        exit 2
    fi
done

say() { echo "try.sh: $*"; }
E2E_RUN="$(mktemp -d "${TMPDIR:-/tmp}/nuben-try.XXXXXX")"
trap e2e_session_stop EXIT
e2e_session_start "$E2E_RUN" >/dev/null || { say "no Wine session (see $E2E_RUN)"; exit 1; }
cp "$setup_exe" "$E2E_C/e2e/NuBenSetup.exe"

# Version 2.0 as its installer left it.
install_v20
reg_state "$E2E_RUN/reg-before.txt"
[ -z "$(failures)" ] || { say "could not simulate version 2.0: $(failures | tr '\n' ';')"; exit 1; }
inst_unix="$(unixpath "$V20_INSTALL")"
shortcut_unix="$(unixpath "$(expand_paths '{desktop}\누벤.lnk')")"
group_unix="$(unixpath "$(expand_paths '{programs}\누벤 2.0')")"
say "version 2.0 simulated: $V20_INSTALL ($(find "$inst_unix" | wc -l) entries), 누벤.lnk on the desktop," \
    "Start-menu group 누벤 2.0, keys SOFTWARE\\NU-BEN and Uninstall\\누벤 2.0"

# One box bot answers the bootstrapper (Yes), another the installer it
# starts (OK); both wait before answering until the screen is photographed.
mkdir -p "$E2E_C/e2e/shots-setup" "$E2E_C/e2e/shots-installer"
(cd "$E2E_C/e2e" && exec timeout 150 wine 'C:\e2e\e2e_boxbot.exe' --log 'C:\e2e\installer-boxes.log' \
    --process nuben_setup.exe --answers ok --timeout 120 --shots 'C:\e2e\shots-installer' \
    >/dev/null 2>&1 </dev/null) &
installer_bot=$!
(cd "$E2E_C/e2e" && exec timeout 150 wine 'C:\e2e\e2e_boxbot.exe' --log 'C:\e2e\boxbot.log' \
    --run 'C:\e2e\NuBenSetup.exe' --answers yes --timeout 120 --shots 'C:\e2e\shots-setup' \
    >/dev/null 2>&1 </dev/null) &
setup_bot=$!

rm -f "$root"/dist/dialog-*.png
shots=0
# shoot <ready file> <png name>: the box as the screen shows it, then go on.
shoot() {
    local rect l t r b png="$root/dist/$2"
    rect="$(sed -n 's/^rect=//p' "$1")"
    IFS=, read -r l t r b <<<"$rect"
    xwd -root -silent -display "$DISPLAY" |
        convert xwd:- -crop "$((r - l + 16))x$((b - t + 16))+$((l - 8))+$((t - 8))" +repage "png:$png"
    touch "${1%.ready}.go"
    shots=$((shots + 1))
}
next_setup=1 next_installer=1
deadline=$((SECONDS + 150))
while kill -0 "$setup_bot" 2>/dev/null || kill -0 "$installer_bot" 2>/dev/null; do
    [ "$SECONDS" -gt "$deadline" ] && break
    if [ -f "$E2E_C/e2e/shots-setup/box-$next_setup.ready" ]; then
        name=question
        [ "$next_setup" -gt 1 ] && name=notice
        shoot "$E2E_C/e2e/shots-setup/box-$next_setup.ready" "dialog-$((shots + 1))-$name.png"
        next_setup=$((next_setup + 1))
    elif [ -f "$E2E_C/e2e/shots-installer/box-$next_installer.ready" ]; then
        shoot "$E2E_C/e2e/shots-installer/box-$next_installer.ready" "dialog-$((shots + 1))-installer.png"
        next_installer=$((next_installer + 1))
    else
        sleep 0.1
    fi
done
wait "$setup_bot" "$installer_bot" 2>/dev/null

# What happened.
ok=1
questions="$(log_of boxbot.log | grep -c '^box ' || true)"
for n in $(seq "$questions"); do
    say "the bootstrapper showed: \"$(hexshow "$(box_field "$n" text)" | sed 's/\\n\\r/ \/ /')\"" \
        "(answered $(log_of boxbot.log | sed -n "s/^answer n=$n id=\([0-9]*\).*/\1/p" | sed 's/^6$/Yes/;s/^7$/No/;s/^1$/OK/'))"
done
[ "$questions" -eq 1 ] || { say "expected one question, saw $questions"; ok=0; }
reg_state "$E2E_RUN/reg-after.txt"
gone() { [ ! -e "$1" ] && echo removed || { echo "STILL THERE"; ok=0; }; }
key_gone() {
    [ "$(reg_section "$E2E_RUN/reg-after.txt" "$1")" = MISSING ] && echo removed || { echo "STILL THERE"; ok=0; }
}
say "install folder $(gone "$inst_unix"); desktop shortcut $(gone "$shortcut_unix");" \
    "Start-menu group $(gone "$group_unix")"
say "key SOFTWARE\\NU-BEN $(key_gone 'HKLM\SOFTWARE\NU-BEN'); key Uninstall\\누벤 2.0" \
    "$(key_gone "$UNINSTALL_KEY\\누벤 2.0")"
installer_boxes="$(log_of installer-boxes.log | grep -c '^box ' || true)"
if [ "$installer_boxes" -ge 1 ]; then
    say "the installer started from ${E2E_PATH[temp]}nuben_setup.exe and showed:" \
        "\"$(hexshow "$(box_field_of installer-boxes.log 1 text)")\""
else
    say "the installer did not start"
    ok=0
fi
say "bootstrapper exit code $(setup_exit_code)"
say "screenshots: $(cd "$root" && ls dist/dialog-*.png 2>/dev/null | tr '\n' ' ')"
[ "$(setup_exit_code)" = 0 ] || ok=0

e2e_session_stop
trap - EXIT
if [ "$ok" = 1 ]; then
    rm -rf "$E2E_RUN"
else
    say "something did not happen as it should; logs in $E2E_RUN"
    exit 1
fi
