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

# A temp folder with a blank in its path: started unquoted, the path would
# run C:\e2e\work\my.exe instead of the installer.
case_temp_with_blank() {
    case_begin temp-with-blank
    local temp='C:\e2e\work\my temp\'
    fx >/dev/null <<EOF
mkdir|${temp%\\}
regset|HKCU\\Environment|TEMP|REG_SZ|text:${temp%\\}
regset|HKCU\\Environment|TMP|REG_SZ|text:${temp%\\}
EOF
    cp "$E2E_C/e2e/$PAYLOAD_EXE" "$E2E_C/e2e/work/my.exe"
    local seen
    seen="$(fx <<<'paths' | sed -n 's/^temp=//p')"
    check_eq "temp folder the run sees" "$temp" "$seen"
    run_setup "$SETUP_EXE" ""
    check_box_count 0
    check_ended_quietly
    check_delivered "$temp"
    case_end
}

# An earlier installer still open in the temp folder cannot be replaced:
# nothing is started, nothing is shown, the open file is left as it was.
case_installer_locked() {
    case_begin installer-locked
    printf 'an earlier installer, still running\n' >"$(temp_installer)"
    cp "$(temp_installer)" "$E2E_CASE_DIR/earlier.bin"
    hold_file "${E2E_PATH[temp]}nuben_setup.exe"
    run_setup "$SETUP_EXE" ""
    check_box_count 0
    check_ended_quietly
    check_eq "installer starts" 0 "$(installer_starts)"
    check "the open installer file unchanged" cmp -s "$E2E_CASE_DIR/earlier.bin" "$(temp_installer)"
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
