# shellcheck shell=bash
# No earlier installation: the installer is delivered at once.

case_nothing_installed() {
    case_begin nothing-installed
    # A longer leftover from an earlier attempt: it must be replaced whole.
    head -c 700000 /dev/urandom >"$(temp_installer)"
    run_setup "$SETUP_EXE" ""
    check_box_count 0
    check_ended_quietly
    check_delivered
    check_removed "entries removed" ""
    case_end
}

# A temp folder with a blank in its path (started unquoted, the path would
# run C:\e2e\work\my.exe instead); behind a folder link (a moved Temp), worked
# in, and made current, where the link leads; watched by a virus scanner that
# holds each new file for 0.4 s once it is written; or named with what code
# page 949 cannot spell (a profile "José"), worked in and made current as
# Windows names it.
case_temp_folder() {
    case_begin "temp-$1"
    local temp='C:\e2e\work\my temp\' real='C:\e2e\work\my temp\'
    [ "$1" = behind-link ] && real='C:\e2e\moved temp\'
    if [ "$1" = foreign ]; then
        temp='C:\e2e\work\Temp José\'
        mkdir -p "$(unixpath "$temp")"
        printf 'regsetw|HKCU\\Environment|%s|REG_SZ|hex:%s0000\n' \
            TEMP "$(utf16hex "$temp")" TMP "$(utf16hex "$temp")" | fx >/dev/null
        run_setup "$SETUP_EXE" ""
        check_box_count 0
        check_ended_quietly
        check "installer written byte for byte in the folder" \
            cmp -s "$E2E_C/e2e/$PAYLOAD_EXE" "$(unixpath "${temp}nuben_setup.exe")"
        check_eq "installer starts" 1 "$(installer_starts)"
        check_eq "installer module" "$(utf16hex "${temp}nuben_setup.exe")" "$(installer_field modulew)"
        check_eq "installer current folder" "$(utf16hex "${temp%\\}")" "$(installer_field cwdw)"
        case_end
        return
    fi
    mkdir -p "$(unixpath "$real")" "$E2E_C/e2e/work"
    [ "$real" = "$temp" ] || ln -s "$(unixpath "$real")" "$(unixpath "${temp%\\}")"
    cp "$E2E_C/e2e/$PAYLOAD_EXE" "$E2E_C/e2e/work/my.exe"
    check_eq "temp folder the run sees" "$temp" "$(set_temp "${temp%\\}")"
    [ "$1" = scanned ] && fx_background scan "hold|${temp}nuben_setup.exe|400|C:\\e2e\\scan.log|new" scan.log
    run_setup "$SETUP_EXE" ""
    check_box_count 0
    check_ended_quietly
    check_delivered "$temp" "$real"
    [ "$1" = scanned ] && check "the scanner held the file" grep -q '^held' "$E2E_C/e2e/scan.log"
    case_end
}

# The installer cannot be made ready: an earlier one is held open in the
# temp folder (and stays as it was), the temp volume is full (a tiny
# tmpfs; CI runs as root), or Windows refuses its start (a payload that is
# no program). Nothing starts, nothing more is shown, and nothing of 2.0
# or the beta is told to quit, run or removed.
case_installer_locked() {  # <case> none|v20|beta [full|refused]
    case_begin "$1"
    local full='C:\e2e\work\full temp' refused boxes=1 exe="$SETUP_EXE"
    if [ "${3:-}" = refused ]; then
        exe=NuBenSetup_notexe.exe
    elif [ "${3:-}" = full ]; then
        mkdir -p "$(unixpath "$full")"
        refused="$(mount -t tmpfs -o size=64k tmpfs "$(unixpath "$full")" 2>&1)" ||
            { echo "    skipped: the tmpfs mount was refused ($refused)"; case_end; return; }
        set_temp "$full" >/dev/null
    else
        printf 'an earlier installer, still running\n' >"$(temp_installer)"
        cp "$(temp_installer)" "$E2E_CASE_DIR/earlier.bin"
        hold_file "${E2E_PATH[temp]}nuben_setup.exe"
    fi
    case "$2" in
        v20) install_v20 ;;
        beta) register_beta "누벤" "$BETA_COMMAND" ;;
        *) boxes=0 ;;
    esac
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    [ "$boxes" = 1 ] && start_product_windows
    run_setup "$exe" yes
    [ "${3:-}" = full ] && umount -l "$(unixpath "$full")"
    check_box_count "$boxes"
    check_ended_quietly
    check_eq "installer starts" 0 "$(installer_starts)"
    [ -n "${3:-}" ] || check "the open installer file unchanged" cmp -s "$E2E_CASE_DIR/earlier.bin" "$(temp_installer)"
    [ "${3:-}" = refused ] && check "the refused installer removed" test ! -e "$(temp_installer)"
    check_windows_told none
    check_uninstaller_not_run
    check_removed "entries removed" ""
    check_registry
    case_end
}

# A real installer, built with NSIS around 3 MiB of data under its own
# integrity check, embedded as a release embeds one and started with no
# arguments: it completes. The same file with one byte changed installs
# nothing, so a byte lost in delivery would show.
case_nsis_installer() {
    case_begin nsis-installer
    local dir i
    dir="$(unixpath 'C:\Program Files (x86)\NU-BEN 2.1 e2e')"
    run_setup NuBenSetup_nsis.exe ""
    check_box_count 0
    check_ended_quietly
    check "installer written byte for byte" cmp -s "$E2E_C/e2e/e2e_nsis_installer.exe" "$(temp_installer)"
    for i in $(seq 600); do
        [ -f "$dir/installed.txt" ] && break
        sleep 0.1
    done
    check "the NSIS installer completed" test -f "$dir/installed.txt"
    check "the NSIS installer ran from the temp file" grep -qi 'nuben_setup.exe' "$dir/installed.txt"
    check "the NSIS installer left its data byte for byte" cmp -s "$E2E_BIN/nsis_data.bin" "$dir/data.bin"

    rm -rf "$dir"
    cp "$E2E_C/e2e/e2e_nsis_installer.exe" "$E2E_C/e2e/corrupt.exe"
    printf '\xff' | dd of="$E2E_C/e2e/corrupt.exe" bs=1 seek=2000000 conv=notrunc status=none
    e2e_wine 'C:\e2e\corrupt.exe' >>"$E2E_CASE_DIR/wine-stderr.txt" 2>&1
    check "an installer with one byte changed installs nothing" test ! -e "$dir/installed.txt"
    case_end
}

# Another program of the user waits for the installer file and writes its
# own program over it the moment it can open it. The bootstrapper starts
# only bytes it wrote and checked: its own installer, or nothing when the
# file changed before it could hold it. The planted program never runs.
case_planted_over_installer() {
    case_begin planted-over-installer
    plant_over "${E2E_PATH[temp]}nuben_setup.exe" e2e_planted.exe
    run_setup "$SETUP_EXE" ""
    local plant opened outcome
    plant="$(plant_result)"
    opened="$(field "$plant" opened)"
    case "$(log_lines planted.log start)/$(installer_starts)" in
        0/0) outcome="nothing started" ;;
        0/*) outcome="its own installer started" ;;
        *) outcome="planted program started" ;;
    esac
    echo "    $outcome (racer: ${plant:-no result})"
    check_eq "planted program starts" 0 "$(log_lines planted.log start)"
    check_box_count 0
    check_ended_quietly
    case "$outcome" in
        nothing*)
            # Right only when the file changed under the bootstrapper: the
            # racer opened it before the end (its stamp, taken once the open
            # returned, may lag a moment: 0.1 s).
            check "nothing started though the racer did not open the file before the end ($plant)" \
                test -n "$opened" -a "${opened:-0}" -lt $(($(setup_exit_t) + 1000000))
            ;;
        its*)
            # A racer that got in once the installer had started leaves a
            # file that no longer shows what ran; that the probe ran, not
            # the planted program, does.
            if [ -n "$opened" ]; then check_started; else check_delivered; fi
            ;;
    esac
    case_end
}

# Started twice at once, as a double click twice would: one copy asks,
# removes 2.0 and starts the installer; the other ends at once, showing
# nothing.
case_two_copies() {
    case_begin two-copies
    install_v20
    run_setup "$SETUP_EXE" yes,yes 2
    echo "    question boxes: $(box_count), installer starts: $(installer_starts)"
    check_box_count 1
    check_box 1 "$TEXT_V20_QUESTION" 6,7 question "$STYLE_QUESTION"
    local first_end
    first_end="$(log_of boxbot.log | sed -n 's/^exit .* t=\([0-9]*\).*/\1/p' | sort -n | head -1)"
    check "one copy ended at once, before the other asked" test "${first_end:-0}" -lt "$(box_field 1 t)"
    check_removed "entries removed" "$(mapfile -t p < <(V20_REMOVED_PATHS); entries_under "${p[@]}")"
    check_delivered
    case_end
}
