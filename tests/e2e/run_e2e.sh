#!/usr/bin/env bash
# End-to-end tests: the real bootstrapper (built with a probe installer as
# its payload) under Wine, with helper programs that play the user, the
# product's running windows and the beta's uninstaller, and that set up
# and inspect the registry and the disk. Each case runs in its own copy of
# one prepared prefix and prints one PASS or FAIL line; the last line is
# "N passed, M failed".
#
#   run_e2e.sh [NAME-PATTERN...]     only the cases whose name matches (grep -E)
#
# Needs the win32 build (NUBEN_E2E_BIN: its e2e folder). Logs go to a
# folder per run, printed at the start; it is kept when a case fails
# (NUBEN_E2E_KEEP=1 keeps every case's prefix as well). Cases run on
# NUBEN_E2E_JOBS workers (default: 2 on a machine with two cores or more).
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=lib/harness.sh
source "$here/lib/harness.sh"
# shellcheck source=lib/scenario.sh
source "$here/lib/scenario.sh"
for cases in "$here"/cases/*.sh; do
    # shellcheck disable=SC1090
    source "$cases"
done

for exe in "$SETUP_EXE" "$PAYLOAD_EXE" e2e_planted.exe e2e_boxbot.exe e2e_fixture.exe e2e_windows.exe e2e_uninstaller.exe \
    e2e_console_uninstaller.exe e2e_nsis_beta.exe e2e_nsis_installer.exe NuBenSetup_nsis.exe \
    NuBenSetup_notexe.exe; do
    if [ ! -f "$E2E_BIN/$exe" ]; then
        echo "e2e: $E2E_BIN/$exe is missing: build the win32 preset first" >&2
        exit 2
    fi
done

# Case name, then the function and its arguments.
CASES=(
    "nothing-installed case_nothing_installed"
    "temp-with-blank case_temp_folder with-blank"
    "temp-behind-link case_temp_folder behind-link"
    "temp-foreign case_temp_folder foreign"
    "temp-scanned case_temp_folder scanned"
    "installer-locked case_installer_locked installer-locked none"
    "installer-locked-v20 case_installer_locked installer-locked-v20 v20"
    "installer-locked-beta case_installer_locked installer-locked-beta beta"
    "v20-temp-full case_installer_locked v20-temp-full v20 full"
    "v20-start-refused case_installer_locked v20-start-refused v20 refused"
    "beta-start-refused case_installer_locked beta-start-refused beta refused"
    "nsis-installer case_nsis_installer"
    "planted-over-installer case_planted_over_installer"
    "two-copies case_two_copies"
    "beta-declined case_beta_declined"
    "beta-accepted-removed case_beta_removed"
    "beta-accepted-removed-cp1252 case_beta_removed cp1252"
    "beta-accepted-kept case_beta_kept"
    "beta-relinked-temp case_beta_relinked_temp"
    "beta-nsis case_beta_nsis"
    "beta-without-uninstallstring case_beta_without_uninstaller"
    "beta-and-v20 case_beta_and_v20"
    "beta-other-display-name case_beta_other_name"
    "beta-box-fails case_beta_box_fails"
    "v20-declined case_v20_declined"
    "v20-declined-cp1252 case_v20_declined cp1252"
    "v20-box-fails case_v20_box_fails"
    "v20-accepted case_v20_accepted"
    "v20-accepted-cp1252 case_v20_accepted cp1252"
    "v20-accepted-beyond-949 case_v20_accepted beyond-949"
    "v20-locked-file case_v20_locked_file"
    "v20-folder-link case_v20_folder_link"
    "v20-group-swap-race case_v20_group_swap_race"
    "v20-installpath-dword case_v20_installpath_not_text"
    'v20-installpath-root case_v20_hostile root C:\'
    'v20-installpath-root-dot case_v20_hostile root-dot C:\.'
    'v20-installpath-root-dotdot case_v20_hostile root-dotdot C:\..\'
    'v20-installpath-windows-dotdot case_v20_hostile windows-dotdot C:\windows\..'
    'v20-installpath-drive-relative case_v20_hostile drive-relative C:'
    'v20-installpath-windows case_v20_hostile windows {windows}'
    'v20-installpath-windows-trailing-dot case_v20_hostile windows-trailing-dot {windows}.'
    'v20-installpath-windows-no-shell32 case_v20_hostile windows-no-shell32 {windows} shell32=d'
    'v20-installpath-program-files case_v20_hostile program-files {program_files}'
    'v20-installpath-profile case_v20_hostile profile {profile}'
    'v20-installpath-desktop case_v20_hostile desktop {desktop}'
    'v20-installpath-users case_v20_hostile users C:\users'
    'v20-installpath-pictures case_v20_hostile pictures {profile}\Pictures'
    'v20-installpath-downloads case_v20_hostile downloads {profile}\Downloads'
    'v20-installpath-temp case_v20_hostile temp {temp}'
    'v20-installpath-inside-windows case_v20_hostile inside-windows {windows}\inf'
    'v20-installpath-sysnative case_v20_hostile sysnative {windows}\Sysnative'
    "bad-v20-installpath-paths case_bad_v20_install_path_paths"
    "bad-v20-installpath-values case_bad_v20_install_path_values"
    "bad-beta-display-name case_bad_beta_display_name"
    "bad-beta-uninstall-string case_bad_beta_uninstall_string"
    "bad-temp case_bad_temp"
    "bad-beta-uninstallers case_bad_beta_uninstallers"
    "bad-windows case_bad_windows"
)

selected=()
for entry in "${CASES[@]}"; do
    name="${entry%% *}"
    if [ $# -eq 0 ]; then
        selected+=("$entry")
    else
        for pattern in "$@"; do
            grep -Eq -- "$pattern" <<<"$name" && { selected+=("$entry"); break; }
        done
    fi
done

E2E_RUN="$(mktemp -d "${TMPDIR:-/tmp}/nuben-e2e.XXXXXX")"
echo "e2e: logs in $E2E_RUN"
jobs="${NUBEN_E2E_JOBS:-$(nproc 2>/dev/null || echo 1)}"
[ "$jobs" -gt 2 ] && jobs=2  # Wine under emulation keeps both cores busy
[ "$jobs" -gt "${#selected[@]}" ] && jobs="${#selected[@]}"
[ "$jobs" -lt 1 ] && jobs=1
started="$(e2e_now)"

# The prepared prefix every case copies, then each worker on its own X
# display: a case's message boxes are read off the screen.
trap e2e_session_stop EXIT
if ! e2e_session_start "$E2E_RUN"; then
    echo "0 passed, 1 failed"
    exit 1
fi
e2e_session_stop
trap - EXIT

run_cases() {  # <case entries...>
    local entry name function args argv
    for entry in "$@"; do
        read -r name function args <<<"$entry"
        if [ -n "$args" ]; then
            read -r -a argv <<<"$args"
            "$function" "${argv[@]}"
        else
            "$function"
        fi
    done
}

run_worker() {  # <k> <case entries...>
    local k="$1"
    shift
    unset DISPLAY
    NUBEN_WINE_XVFB_PID="" NUBEN_WINE_PREFIXES=""
    trap e2e_session_stop EXIT
    if nuben_wine_session_start "$E2E_RUN/wine" 2>>"$E2E_RUN/wine-session.log"; then
        touch "$E2E_RUN/worker-$k.ready"
        run_cases "$@"
    else
        touch "$E2E_RUN/worker-$k.ready"
        echo "e2e: worker $k could not start a Wine session" >&2
        E2E_FAILED=$#
        E2E_FAILED_NAMES=("worker-$k")
    fi
    e2e_session_stop
    printf '%s %s %s\n' "$E2E_PASSED" "$E2E_FAILED" "${E2E_FAILED_NAMES[*]}" >"$E2E_RUN/worker-$k.result"
}

pids=()
for k in $(seq "$jobs"); do
    share=()
    for i in "${!selected[@]}"; do
        [ $((i % jobs + 1)) -eq "$k" ] && share+=("${selected[$i]}")
    done
    run_worker "$k" "${share[@]}" &
    pids+=($!)
    # One at a time onto a free X display.
    while [ ! -e "$E2E_RUN/worker-$k.ready" ] && kill -0 "${pids[-1]}" 2>/dev/null; do sleep 0.2; done
done
for pid in "${pids[@]}"; do wait "$pid"; done

passed=0 failed=0 failed_names=()
for k in $(seq "$jobs"); do
    if read -r p f names <"$E2E_RUN/worker-$k.result"; then
        passed=$((passed + p)) failed=$((failed + f))
        read -r -a names_of_worker <<<"$names"
        failed_names+=("${names_of_worker[@]}")
    else
        echo "e2e: worker $k left no result" >&2
        failed=$((failed + 1))
    fi
done 2>/dev/null

echo "e2e: ${#selected[@]} cases on $jobs workers in $(e2e_since "$started") s"
if [ "$failed" -eq 0 ] && [ -z "${NUBEN_E2E_KEEP:-}" ]; then
    rm -rf "$E2E_RUN"
elif [ "$failed" -ne 0 ]; then
    echo "e2e: failed: ${failed_names[*]} (logs in $E2E_RUN)"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
