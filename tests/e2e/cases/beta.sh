# shellcheck shell=bash
# The beta: registered under the Latin name, removed by its own uninstaller.

BETA_COMMAND="\"$BETA_UNINSTALLER\" /remove"

check_uninstaller_not_run() {
    check_eq "uninstaller starts" 0 "$(log_lines uninstaller.log 'start ')"
}
# The registered command ran exactly as stored, after the main windows
# were told to quit, and had ended before the bootstrapper went on.
check_uninstaller_ran() {
    local command="$1"
    check_eq "uninstaller starts" 1 "$(log_lines uninstaller.log 'start ')"
    check_hex "uninstaller command line" "$(cp949hex "$command")" \
        "$(log_of uninstaller.log | sed -n 's/^cmdline=//p')"
    check_eq "uninstaller start-up record (STARTF_USESHOWWINDOW, SW_SHOWNORMAL)" "flags=1,show=1" \
        "$(log_of uninstaller.log | sed -n 's/^startup=//p')"
    local told started ended
    told="$(quit_t_last apps)"
    started="$(uninstaller_t start)"
    ended="$(uninstaller_t end)"
    if [ -z "$started" ] || [ -z "$ended" ]; then
        fail "the uninstaller did not run to its end"
        return
    fi
    [ -n "$told" ] && check "main window told before the uninstaller started" test "$told" -lt "$started"
    local next
    next="$(installer_t start)"
    [ -z "$next" ] && next="$(box_field 2 t)"
    [ -n "$next" ] && check "uninstaller ended before the bootstrapper went on" test "$ended" -lt "$next"
}

case_beta_declined() {
    case_begin beta-declined
    register_beta "누벤" "$BETA_COMMAND"
    install_v20
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    start_product_windows
    run_setup "$SETUP_EXE" no
    check_box_count 1
    check_box 1 "$TEXT_BETA_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_ended_quietly
    check_windows_told none
    check_uninstaller_not_run
    check_not_delivered
    check_removed "entries removed" ""
    check_registry
    case_end
}

# The beta accepted with its product windows open: asked once, the windows
# told to quit, its uninstaller run to the end, the installer delivered.
run_beta_accepted() {
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    start_product_windows
    run_setup "$SETUP_EXE" yes
    check_beta_outcome beta "$BETA_COMMAND"
    check_windows_told beta
}

case_beta_removed() {
    case_begin beta-accepted-removed "$@"
    register_beta "누벤" "$BETA_COMMAND"
    run_beta_accepted
    case_end
}

# TMP names a link to a folder whose name code page 949 cannot spell, and
# another program of the user re-points the link at its own folder while the
# beta's uninstaller runs: the installer held in the real folder is the one
# that runs, the other program's never starts.
case_beta_relinked_temp() {
    case_begin beta-relinked-temp
    local link='C:\e2e\work\linked temp' real='C:\e2e\work\Temp José\' other='C:\e2e\work\other'
    mkdir -p "$(unixpath "$real")" "$(unixpath "$other")"
    # A copy of the probe: a start of it would log a second start.
    cp "$E2E_C/e2e/$PAYLOAD_EXE" "$(unixpath "$other")/nuben_setup.exe"
    ln -s "$(unixpath "$real")" "$(unixpath "$link")"
    set_temp "$link" >/dev/null
    register_beta "누벤" "\"$BETA_UNINSTALLER\" /remove /work=3000"
    (
        for _ in $(seq 200); do
            [ "$(log_lines uninstaller.log 'start ')" = 0 ] || break
            sleep 0.05
        done
        ln -sfn "$(unixpath "$other")" "$(unixpath "$link")"
    ) &
    local repointer=$!
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    run_setup "$SETUP_EXE" yes
    wait "$repointer"
    check "the link was re-pointed while the uninstaller ran" \
        test "$(readlink "$(unixpath "$link")")" = "$(unixpath "$other")"
    check_eq "installer starts" 1 "$(installer_starts)"
    check_eq "installer module" "$(utf16hex "${real}nuben_setup.exe")" "$(installer_field modulew)"
    check_registry "$UNINSTALL_KEY\\NU-BEN"
    case_end
}

# The uninstaller ends but the beta is still registered (the user
# cancelled it): the error box, nothing delivered.
case_beta_kept() {
    case_begin beta-accepted-kept
    local command="\"$BETA_UNINSTALLER\" /keep"
    register_beta "누벤" "$command"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    start_product_windows
    run_setup "$SETUP_EXE" yes
    check_box_count 2
    check_box 1 "$TEXT_BETA_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_box 2 "$TEXT_BETA_BLOCKED" 1 error "$STYLE_BETA_BLOCKED"
    check_ended_quietly
    check_windows_told beta
    check_uninstaller_ran "$command"
    check_not_delivered
    check_registry
    case_end
}

case_beta_without_uninstaller() {
    case_begin beta-without-uninstallstring
    register_beta "누벤"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    run_setup "$SETUP_EXE" yes
    check_box_count 2
    check_box 1 "$TEXT_BETA_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_box 2 "$TEXT_BETA_BLOCKED" 1 error "$STYLE_BETA_BLOCKED"
    check_ended_quietly
    check_uninstaller_not_run
    check_not_delivered
    check_registry
    case_end
}

# Both registered: the beta path alone runs; 2.0 is not asked about and
# not touched.
case_beta_and_v20() {
    case_begin beta-and-v20
    register_beta "누벤" "$BETA_COMMAND"
    install_v20
    run_beta_accepted
    case_end
}

# A key under the Latin name whose display name is not the product's
# exactly (a trailing blank) is someone else's: no question, no uninstaller.
case_beta_other_name() {
    case_begin beta-other-display-name
    register_beta "누벤 " "$BETA_COMMAND"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    run_setup "$SETUP_EXE" yes
    check_box_count 0
    check_ended_quietly
    check_uninstaller_not_run
    check_delivered
    check_registry
    case_end
}

# A box that fails (no desktop to show it on) is no consent.
case_beta_box_fails() {
    case_begin beta-box-fails
    register_beta "누벤" "$BETA_COMMAND"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    without_display
    run_setup "$SETUP_EXE" yes
    check_eq "MessageBox results" "ffffffff" "$(relay_box_results | tr '\n' ' ' | sed 's/ $//')"
    check_eq "MessageBox calls (owner,style)" "00000000,$STYLE_QUESTION" "$(relay_boxes | tr '\n' ' ' | sed 's/ $//')"
    check_eq "exit code" 0 "$(setup_exit_code)"
    check_uninstaller_not_run
    check_not_delivered
    check_removed "entries removed" ""
    check_registry
    case_end
}

# The beta as a real NSIS installer leaves it. Its uninstaller copies itself
# to the temp folder, starts the copy and ends at once; the copy removes the
# files and, last, the registration. Waiting for the first process alone
# re-checked too early: BetaBlocked, and nothing delivered.
case_beta_nsis() {
    case_begin beta-nsis
    e2e_wine 'C:\e2e\e2e_nsis_beta.exe' >>"$E2E_CASE_DIR/wine-stderr.txt" 2>&1 ||
        fail "the NSIS beta installer failed"
    local dir='C:\Program Files (x86)\NU-BEN Beta'
    check "the NSIS beta installed its uninstaller" test -f "$(unixpath "$dir\uninst.exe")"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    check_eq "the NSIS beta's registration" \
        "V |DisplayName|1|$(cp949hex "누벤")00 V |UninstallString|1|$(cp949hex "\"$dir\\uninst.exe\"")00" \
        "$(reg_section "$E2E_CASE_DIR/reg-before.txt" "$UNINSTALL_KEY\\NU-BEN" | tr '\n' ' ' | sed 's/ $//')"
    run_setup "$SETUP_EXE" yes
    check_box_count 1
    check_box 1 "$TEXT_BETA_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_ended_quietly
    check_delivered
    check_removed "entries removed" "$(entries_under "$(snap_path "$dir")")"
    check_registry "$UNINSTALL_KEY\\NU-BEN"
    case_end
}
