# shellcheck shell=bash
# Bad input: registry values of other types and odd sizes, install paths in
# every unsafe spelling, crowds of windows with overlong titles,
# uninstallers that misbehave, temp folders that cannot take the
# installer. Each case runs the bootstrapper once per input in one prefix,
# put back between runs; every run must end with exit code 0, in bounded
# time, with the outcome its input calls for and nothing else touched.

BAD_TRIED=()       # the labels of the inputs a case has tried
BAD_LABEL=""
BAD_FAIL_MARK=0
BAD_MAX_SECONDS=30  # a run that needs longer is hanging on something

repeat() { head -c "$2" /dev/zero | tr '\0' "$1"; }  # <char> <count>
# <text> followed by x up to <bytes> bytes in code page 949.
padded() { printf '%s%s' "$1" "$(repeat x $(($2 - $(printf '%s' "$1" | iconv -f UTF-8 -t CP949 | wc -c))))"; }
# 64 KiB of value data: text of 65535 bytes and its NUL.
BAD_64K_TEXT=65535

# What a run added to the disk, one entry a line.
added_entries() { LC_ALL=C comm -13 "$E2E_CASE_DIR/before.txt" "$E2E_CASE_DIR/after.txt"; }

# Script lines that print the watched registry keys as reg_state does.
reg_state_lines() {
    local key
    for key in "${REG_WATCHED[@]}"; do printf 'say|== %s\nregtree|%s\n' "$key" "$key"; done
}

# A fixture line that stores a value written as "regset|TYPE|DATA" or
# "regsetw|TYPE|DATA" (the third argument) as value <name> of <key>.
value_line() { printf '%s|%s|%s|%s\n' "${3%%|*}" "$1" "$2" "${3#*|}"; }

# bad_split "<label> <outcome> <value>": sets label, outcome and stored (the
# value as the fixture writes it), taken whole, blanks at its end included.
bad_split() {
    label="${1%% *}"
    local rest="${1#* }"
    outcome="${rest%% *}"
    stored="${rest#* }"
}

# bad_run_begin <label> [uncounted]: a fresh start for the next input of the case.
bad_run_begin() {
    BAD_LABEL="$1"
    BAD_RUN_T0="$(e2e_now)"
    [ -n "${2:-}" ] || BAD_TRIED+=("$1")
    BAD_FAIL_MARK="$(failures | wc -l)"
    rm -f "$E2E_C"/e2e/*.log "$E2E_C"/e2e/*.stop "$(temp_installer)"
}

# bad_run_end: the run's logs kept under runs/<label>, its failures
# labelled, and its time bounded.
bad_run_end() {
    local started ended dir="$E2E_CASE_DIR/runs/$BAD_LABEL"
    started="$(field "$(log_of boxbot.log | grep '^started ')" t)"
    ended="$(setup_exit_t)"
    if [ -n "$started" ] && [ -n "$ended" ]; then
        check "ended within $BAD_MAX_SECONDS s ($(((ended - started) / 10000)) ms)" \
            test $((ended - started)) -lt $((BAD_MAX_SECONDS * 10000000))
    fi
    mkdir -p "$dir"
    echo "$BAD_LABEL $(e2e_since "$BAD_RUN_T0") s" >>"$E2E_CASE_DIR/timings.txt"
    cp "$E2E_C"/e2e/*.log "$E2E_CASE_DIR"/{before,after,reg-before,reg-after,relay}.txt \
        "$E2E_CASE_DIR/boxbot.out" "$dir/" 2>/dev/null
    if [ "$(failures | wc -l)" -gt "$BAD_FAIL_MARK" ]; then
        sed -i "$((BAD_FAIL_MARK + 1)),\$s|^|[$BAD_LABEL] |" "$E2E_CASE_DIR/failures.txt"
    fi
}

# bad_case_end: the count of inputs tried, under the case's result line.
bad_case_end() {
    case_end
    echo "    bad inputs tried: ${#BAD_TRIED[@]} (${BAD_TRIED[*]})"
    BAD_TRIED=()
}

# Registry entries beside the product's that every run must leave alone.
bad_keep_registry() {
    fx >/dev/null <<EOF
regset|HKLM\\SOFTWARE\\NU-BEN-Other|Keep|REG_SZ|text:keep
regset|$UNINSTALL_KEY\\누벤 2.01|DisplayName|REG_SZ|text:keep
regset|HKCU\\SOFTWARE\\NU-BEN|Keep|REG_SZ|text:keep
regset|HKLM64\\SOFTWARE\\NU-BEN|InstallPath|REG_SZ|text:keep
EOF
}

# --- The beta: DisplayName and UninstallString -------------------------------

# bad_beta_setup <DisplayName value> <UninstallString value>: the beta's
# key holding exactly these two values; the registry as it then is goes
# to reg-before.txt, and what a 32-bit program reads back to read-back.txt.
bad_beta_setup() {
    {
        echo "regdel|$UNINSTALL_KEY\\NU-BEN"
        echo "regset|$UNINSTALL_KEY\\NU-BEN|Publisher|REG_SZ|text:누벤"
        value_line "$UNINSTALL_KEY\\NU-BEN" DisplayName "$1"
        value_line "$UNINSTALL_KEY\\NU-BEN" UninstallString "$2"
        echo "say|== read back"
        echo "regget|$UNINSTALL_KEY\\NU-BEN|DisplayName"
        echo "regget|$UNINSTALL_KEY\\NU-BEN|UninstallString"
        reg_state_lines
    } | fx >"$E2E_CASE_DIR/fx-out.txt"
    sed -n '/^== read back$/,/^== /p' "$E2E_CASE_DIR/fx-out.txt" | sed '1d;$d' >"$E2E_CASE_DIR/read-back.txt"
    sed -n '/^== HKLM/,$p' "$E2E_CASE_DIR/fx-out.txt" >"$E2E_CASE_DIR/reg-before.txt"
}

# Line <n> of what a 32-bit program read back: "type=T size=N data=<hex>".
read_back() { sed -n "${1}p" "$E2E_CASE_DIR/read-back.txt"; }

bad_beta_copy_uninstallers() {
    mkdir -p "$(unixpath "${BETA_UNINSTALLER%\\*}")"
    cp "$E2E_C/e2e/e2e_uninstaller.exe" "$(unixpath "$BETA_UNINSTALLER")"
    cp "$E2E_C/e2e/e2e_console_uninstaller.exe" "$(unixpath "${BETA_UNINSTALLER%\\*}\\unins_console.exe")"
}

# The outcomes a beta run can have, with the user answering Yes:
# - beta <command>: recognised; its uninstaller ran with exactly <command>
#   to its end and removed it; the installer was delivered;
# - other: not the beta: no question, nothing run, the installer delivered;
# - blocked: recognised, but no uninstaller could start: the refusal, and
#   nothing delivered or changed;
# - refused: recognised, but still registered after its uninstaller: the
#   refusal, nothing delivered; the caller checks the uninstaller and the
#   registry.
check_beta_outcome() {
    local outcome="$1" command="${2:-}"
    check_ended_quietly
    check_removed "entries removed" ""
    case "$outcome" in
        beta)
            check_box_count 1
            check_box 1 "$TEXT_BETA_QUESTION" 6,7 question "$STYLE_QUESTION"
            check_uninstaller_ran "$command"
            check_delivered
            check_registry "$UNINSTALL_KEY\\NU-BEN"
            ;;
        other)
            check_box_count 0
            check_uninstaller_not_run
            check_delivered
            check_registry
            ;;
        blocked | refused)
            check_box_count 2
            check_box 1 "$TEXT_BETA_QUESTION" 6,7 question "$STYLE_QUESTION"
            check_box 2 "$TEXT_BETA_BLOCKED" 1 error "$STYLE_BETA_BLOCKED"
            check_not_delivered
            if [ "$outcome" = blocked ]; then
                check_uninstaller_not_run
                check_registry
            fi
            ;;
    esac
}

# bad_beta_value_runs <1|2> <other value> <hex> <command> <entries...>: the
# beta with its DisplayName (1) or UninstallString (2) set to each entry's
# value in turn, the other value as given; <hex> is the text the no-NUL
# entry stores, <command> the uninstaller the outcome expects.
bad_beta_value_runs() {
    local which="$1" other="$2" hex="$3" command="$4"
    shift 4
    local names=(DisplayName UninstallString) entry label outcome stored
    local value="${names[which - 1]}"
    for entry in "$@"; do
        bad_split "$entry"
        bad_run_begin "$value-$label"
        if [ "$which" = 1 ]; then
            bad_beta_setup "$stored" "$other"
        else
            bad_beta_setup "$other" "$stored"
        fi
        # The inputs really are what they claim to be, as the bootstrapper reads them.
        case "$label" in
            no-NUL) check_eq "$value read back" "type=1 size=$((${#hex} / 2)) data=$hex" "$(read_back "$which")" ;;
            64KiB) check_eq "$value size read back" 65536 "$(field "$(read_back "$which")" size)" ;;
        esac
        run_setup "$SETUP_EXE" yes
        check_beta_outcome "$outcome" "$command"
        bad_run_end
    done
}

# The display name in other types and odd sizes. Only text (REG_SZ or
# REG_EXPAND_SZ) that reads as exactly the product's name up to its first
# NUL is the beta; anything else is someone else's key and is left alone.
case_bad_beta_display_name() {
    case_begin bad-beta-display-name
    bad_keep_registry
    bad_beta_copy_uninstallers
    local name command
    name="$(cp949hex "누벤")"
    command="\"$BETA_UNINSTALLER\" /remove"
    local runs=(
        "REG_BINARY other regset|REG_BINARY|hex:${name}00"
        "REG_DWORD other regset|REG_DWORD|hex:${name}"  # the name's own four bytes
        "REG_MULTI_SZ other regset|REG_MULTI_SZ|text:누벤"
        "REG_EXPAND_SZ beta regset|REG_EXPAND_SZ|text:누벤"
        "no-NUL beta regset|REG_SZ|hex:${name}"
        "NUL-inside beta regset|REG_SZ|hex:${name}00$(cp949hex " 베타")00"
        "64KiB other regset|REG_SZ|text:$(padded 누벤 $BAD_64K_TEXT)"
    )
    bad_beta_value_runs 1 "regset|REG_SZ|text:$command" "$name" "$command" "${runs[@]}"
    bad_case_end
}

# The uninstall command in other types and odd sizes, the display name
# being right: a command that is not text, or cannot start, leaves the
# beta registered, and the refusal follows; text runs exactly up to its
# first NUL, unexpanded.
case_bad_beta_uninstall_string() {
    case_begin bad-beta-uninstall-string
    bad_keep_registry
    bad_beta_copy_uninstallers
    local command hex
    command="\"$BETA_UNINSTALLER\" /remove"
    hex="$(cp949hex "$command")"
    local runs=(
        "REG_NONE blocked regset|REG_NONE|hex:${hex}00"
        "REG_MULTI_SZ blocked regset|REG_MULTI_SZ|text:$command"
        "REG_EXPAND_SZ-variable blocked regset|REG_EXPAND_SZ|text:\"%SystemDrive%${BETA_UNINSTALLER#C:}\" /remove"
        "no-NUL beta regset|REG_SZ|hex:${hex}"
        "NUL-inside beta regset|REG_SZ|hex:${hex}00$(cp949hex " /keep")00"
        "odd-byte-count beta regsetw|REG_SZ|hex:$(utf16hex "$command")00"
        "64KiB blocked regset|REG_SZ|text:$(padded "$command " $BAD_64K_TEXT)"
    )
    # 64 KiB is longer than any command line (32,767 characters): it cannot start.
    bad_beta_value_runs 2 "regset|REG_SZ|text:누벤" "$hex" "$command" "${runs[@]}"
    bad_case_end
}

# Uninstallers that do not end the way a starter hopes. The beta must be
# gone once the process started, and any copy it handed over to, have ended.
case_bad_beta_uninstallers() {
    case_begin bad-beta-uninstallers
    bad_keep_registry
    bad_beta_copy_uninstallers
    # A machine that reports crashes without asking, as an unattended one
    # does; Wine would otherwise hold the crashed process behind a dialog.
    fx >/dev/null <<<'regset|HKCU\Software\Wine\WineDbg|ShowCrashDialog|REG_DWORD|hex:00000000'
    local command

    # Hands the work to a copy of itself and ends at once: the copy is
    # waited for while the beta is still registered, so the beta is gone
    # when the check follows, and the installer is delivered.
    bad_run_begin "uninstaller-starts-a-child-and-ends"
    command="\"$BETA_UNINSTALLER\" /spawn /work=4000"
    bad_beta_setup "regset|REG_SZ|text:누벤" "regset|REG_SZ|text:$command"
    run_setup "$SETUP_EXE" yes
    check_beta_outcome beta "$command"
    check_eq "uninstaller started its copy" 1 "$(log_lines uninstaller.log 'end .*spawned=1')"
    local child_end
    child_end="$(uninstaller_t childend)"
    if [ -n "$child_end" ]; then
        check "the copy had finished before the installer started (copy ended $child_end)" \
            test "$child_end" -lt "$(installer_t start)"
    else
        fail "the uninstaller's copy did not finish"
    fi
    bad_run_end

    # A console program has no message queue and never goes input-idle:
    # the wait for its end still follows, and it removed the beta.
    bad_run_begin "uninstaller-console-program"
    command="\"${BETA_UNINSTALLER%\\*}\\unins_console.exe\" /remove"
    bad_beta_setup "regset|REG_SZ|text:누벤" "regset|REG_SZ|text:$command"
    run_setup "$SETUP_EXE" yes
    check_beta_outcome beta "$command"
    bad_run_end

    # Dies of a memory fault before removing anything: the beta is still
    # registered, so the refusal follows.
    bad_run_begin "uninstaller-crashes"
    command="\"$BETA_UNINSTALLER\" /crash"
    bad_beta_setup "regset|REG_SZ|text:누벤" "regset|REG_SZ|text:$command"
    run_setup "$SETUP_EXE" yes
    check_beta_outcome refused
    check_registry
    check_eq "uninstaller starts" 1 "$(log_lines uninstaller.log 'start ')"
    check_eq "uninstaller crashed (and never ended)" "1 0" \
        "$(log_lines uninstaller.log 'crash ') $(log_lines uninstaller.log 'end ')"
    local crashed
    crashed="$(uninstaller_t crash)"
    [ -n "$crashed" ] && check "refused after the crash" test "$crashed" -lt "$(box_field 2 t)"
    bad_run_end

    # The bootstrapper is ended (as in Task Manager) while the uninstaller
    # works: the installer, waiting suspended to be let run, goes with it.
    bad_run_begin "bootstrapper-ended-during-uninstaller"
    command="\"$BETA_UNINSTALLER\" /endparent /work=3000"
    bad_beta_setup "regset|REG_SZ|text:누벤" "regset|REG_SZ|text:$command"
    run_setup "$SETUP_EXE" yes
    check_eq "the uninstaller ended the bootstrapper" 1 "$(log_lines uninstaller.log 'endparent ok=1')"
    check_eq "installer starts" 0 "$(installer_starts)"
    check_eq "installer processes left, running or suspended" 0 "$(fx <<<'pid|nuben_setup.exe')"
    bad_run_end
    bad_case_end
}

# --- Version 2.0: InstallPath ---------------------------------------------------

# The user's own files in the folders a hostile value may name, and
# folders that relative spellings reach from the bootstrapper's current
# folder (C:\e2e): every one must survive every run.
bad_v20_bystanders() {
    fx >/dev/null <<EOF
mkfile|{desktop}\\내 사진.jpg|-|photo
mkfile|{personal}\\보고서.doc|R|report
mkfile|{profile}\\AppData\\Roaming\\Other\\settings.ini|H|settings
mkfile|{programs}\\Other\\other.lnk|-|other
mkfile|{program_files}\\Other App\\app.exe|-|app
mkfile|C:\\Program Files\\Other App\\app.exe|-|app
mkfile|C:\\ProgramData\\Other\\data.bin|-|data
mkfile|{common_desktop}\\public.lnk|-|public
mkfile|{windows}\\system32\\e2e-keep.dll|-|keep
mkfile|C:\\e2e\\NuBen\\keep.txt|-|relative
mkfile|C:\\e2e\\누벤\\keep.txt|-|relative
mkfile|C:\\x\\keep.txt|-|relative
mkfile|C:\\Program Files (x86)\\누벤 Other\\keep.txt|-|keep
EOF
}

# bad_v20_setup <InstallPath value>: version 2.0 installed, InstallPath
# stored as given; the registry goes to reg-before.txt.
bad_v20_setup() {
    {
        echo "regdel|HKLM\\SOFTWARE\\NU-BEN"
        echo "regset|$UNINSTALL_KEY\\누벤 2.0|DisplayName|REG_SZ|text:누벤 2.0"
        value_line 'HKLM\SOFTWARE\NU-BEN' InstallPath "$1"
        echo "regset|HKLM\\SOFTWARE\\NU-BEN\\Settings|Left|REG_DWORD|hex:64000000"
        echo "mkfile|$V20_INSTALL\\NuBen.exe|R|program"
        echo "mkfile|$V20_INSTALL\\Data\\deep\\file.txt|H|deep"
        echo "mkfile|{desktop}\\누벤.lnk|-|shortcut"
        echo "mkfile|{programs}\\누벤 2.0\\누벤.lnk|R|shortcut"
        reg_state_lines
    } | fx >"$E2E_CASE_DIR/reg-before.txt"
}

# check_v20_outcome removed|kept: the install folder went whole or stayed
# whole; the shortcut, the Start-menu group and the keys went either way,
# nothing else did, and the installer was delivered.
check_v20_outcome() {
    local paths=()
    [ "$1" = removed ] && paths+=("$(snap_path "$V20_INSTALL")")
    paths+=("$(snap_path "$(expand_paths '{desktop}\누벤.lnk')")"
        "$(snap_path "$(expand_paths '{programs}\누벤 2.0')")")
    check_box_count 1
    check_box 1 "$TEXT_V20_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_ended_quietly
    check "canary C:\\e2e-canary.txt still there" test -f "$E2E_C/e2e-canary.txt"
    check_removed "entries removed" "$(entries_under "${paths[@]}")"
    check_registry 'HKLM\SOFTWARE\NU-BEN' "$UNINSTALL_KEY\\누벤 2.0"
    check_delivered
}

# bad_v20_runs <entries...>: each "label removed|kept value" in turn.
bad_v20_runs() {
    local entry label outcome stored
    for entry in "$@"; do
        bad_split "$entry"
        bad_run_begin "InstallPath-$label"
        bad_v20_setup "$stored"
        run_setup "$SETUP_EXE" yes
        check_v20_outcome "$outcome"
        bad_run_end
    done
}

# InstallPath in other types and odd sizes: only text names a folder, up to
# its first NUL and unexpanded; a value that is not text, or names no
# folder that can be reached, leaves the install folder whole. So does text
# that code page 949 cannot spell: the won sign (U+20A9) in place of the
# last backslash would read, best fitted, as the install folder itself.
case_bad_v20_install_path_values() {
    case_begin bad-v20-installpath-values
    bad_keep_registry
    bad_v20_bystanders
    local v
    v="$(cp949hex "$V20_INSTALL")"
    bad_v20_runs \
        "REG_BINARY kept regset|REG_BINARY|hex:${v}00" \
        "REG_QWORD kept regset|REG_QWORD|hex:4300000000000000" \
        "REG_EXPAND_SZ removed regset|REG_EXPAND_SZ|text:$V20_INSTALL" \
        "1-byte-backslash kept regset|REG_SZ|text:\\" \
        "no-NUL removed regset|REG_SZ|hex:${v}" \
        "NUL-then-windows removed regset|REG_SZ|hex:${v}00$(cp949hex 'C:\windows')00" \
        "NUL-leaves-drive-root kept regset|REG_SZ|hex:$(cp949hex 'C:\')00$(cp949hex "${V20_INSTALL#C:\\}")00" \
        "won-sign-for-backslash kept regsetw|REG_SZ|hex:$(utf16hex "${V20_INSTALL%\\*}₩${V20_INSTALL##*\\}")0000" \
        "64KiB kept regset|REG_SZ|text:$(padded "$V20_INSTALL\\" $BAD_64K_TEXT)"
    bad_case_end
}

# InstallPath in the spellings that reach elsewhere: network, relative,
# device and overlong paths and the well-known folders leave every file
# on disk alone; trailing blanks and dots name the install folder itself.
case_bad_v20_install_path_paths() {
    case_begin bad-v20-installpath-paths
    bad_keep_registry
    bad_v20_bystanders
    # A real folder whose path is longer than an ANSI path may be.
    local long='C:\e2e\work\long'
    while [ "${#long}" -le 280 ]; do long+='\누벤 폴더 이름이 긴 폴더'; done
    mkdir -p "$(unixpath "$long")"
    printf 'deep\n' >"$(unixpath "$long")/keep.txt"
    local stored='regset|REG_SZ|text:'
    bad_v20_runs \
        "UNC kept ${stored}\\\\server\\share\\x" \
        "relative kept ${stored}NuBen" \
        "relative-dotdot kept ${stored}..\\x" \
        "drive-relative kept ${stored}C:NuBen" \
        "long-path-prefix kept ${stored}\\\\?\\$V20_INSTALL" \
        "long-path-prefix-root kept ${stored}\\\\?\\C:\\" \
        "longer-than-260 kept ${stored}$long" \
        "trailing-dots-and-blanks removed ${stored}$V20_INSTALL. . " \
        "system32-slashes kept ${stored}c:/WINDOWS/system32/" \
        "short-name-alias kept ${stored}C:\\PROGRA~1" \
        "native-program-files kept ${stored}C:\\Program Files"
    bad_case_end
}

# --- Windows -------------------------------------------------------------------

# A hundred product windows in one program, main windows and report tools
# interleaved, and windows whose class or title is longer than the
# 259 bytes compared: every product window is told once, main windows
# before report tools; the long ones, which cannot match, are not told.
case_bad_windows() {
    case_begin bad-windows
    bad_keep_registry
    local windows=() i
    for i in $(seq 0 99); do
        if [ $((i % 2)) -eq 0 ]; then
            windows+=("TfrmNuBen|누벤$([ $((i % 10)) -eq 0 ] && echo '|hidden')")
        else
            windows+=("TfrmRepMain|누벤 신고하기")
        fi
    done
    local long_titles=(
        "TfrmNuBen|누벤$(repeat ' ' 300)"
        "TfrmNuBen|$(for i in $(seq 75); do printf '누벤'; done)"
        "TfrmRepMain|누벤 신고하기$(repeat x 300)"
        "TfrmNuBen$(repeat X 200)|누벤"
        "TfrmNuBen|$(repeat A 5000)"
    )
    BAD_TRIED+=("100-product-windows" "title-304-bytes-blanks" "title-300-bytes-korean"
        "title-313-bytes-report-tool" "class-209-bytes" "title-5000-bytes")
    bad_run_begin windows uncounted
    bad_v20_setup "regset|REG_SZ|text:$V20_INSTALL"
    start_windows crowd "${windows[@]}" "${long_titles[@]}"
    check_eq "windows up" "ready n=105" "$(log_of crowd.log | grep '^ready')"
    run_setup "$SETUP_EXE" yes
    check_v20_outcome removed
    local told=0 wrong=0 last_main=0 first_report=999 seq
    for i in $(seq 0 99); do
        if [ "$(quits_of crowd "$i")" = 1 ]; then told=$((told + 1)); else wrong=$((wrong + 1)); fi
        seq="$(quit_seq_of crowd "$i")"
        [ -z "$seq" ] && continue
        if [ $((i % 2)) -eq 0 ]; then
            [ "$seq" -gt "$last_main" ] && last_main="$seq"
        else
            [ "$seq" -lt "$first_report" ] && first_report="$seq"
        fi
    done
    check_eq "product windows told once each" "100 told, 0 not once" "$told told, $wrong not once"
    check "main windows told before report tools (last main #$last_main, first report #$first_report)" \
        test "$last_main" -lt "$first_report"
    for i in 100 101 102 103 104; do
        check_eq "WM_QUIT to long-named window #$i" 0 "$(quits_of crowd "$i")"
    done
    check_eq "WM_QUIT without a known window" 0 "$(quits_of crowd -1)"
    check_eq "windows asked to close (WM_CLOSE)" 0 "$(log_lines crowd.log 'close ')"
    bad_run_end
    bad_case_end
}

# --- The temp folder ---------------------------------------------------------------

# Nothing written, nothing started (not the decoys named like the
# installer on the program search path either), nothing on disk changed.
check_nothing_delivered() {
    check_box_count 0
    check_ended_quietly
    check_eq "installer starts" 0 "$(installer_starts)"
    check_eq "entries added" "" "$(added_entries | tr '\n' ';')"
    check_removed "entries removed" ""
    check "decoy C:\\e2e\\nuben_setup.exe unchanged" cmp -s "$E2E_CASE_DIR/decoy.bin" "$E2E_C/e2e/nuben_setup.exe"
    check "decoy in the Windows folder unchanged" cmp -s "$E2E_CASE_DIR/decoy.bin" "$E2E_C/windows/nuben_setup.exe"
}

case_bad_temp() {
    case_begin bad-temp
    # Programs named like the installer where a search would find them:
    # the bootstrapper's own (and current) folder and the Windows folder.
    printf 'MZ not the installer\n' >"$E2E_CASE_DIR/decoy.bin"
    cp "$E2E_CASE_DIR/decoy.bin" "$E2E_C/e2e/nuben_setup.exe"
    cp "$E2E_CASE_DIR/decoy.bin" "$E2E_C/windows/nuben_setup.exe"
    fx >/dev/null <<'EOF'
mkfile|C:\e2e\work\temp file|-|a file, not a folder
mkdir|C:\e2e\work\unwritable temp
EOF
    local temp seen

    bad_run_begin "temp-missing"
    temp='C:\e2e\work\no such temp'
    seen="$(set_temp "$temp")"
    check_eq "temp folder the run sees" "$temp\\" "$seen"
    run_setup "$SETUP_EXE" ""
    check_nothing_delivered
    check "the missing temp folder not made" test ! -e "$(unixpath "$temp")"
    bad_run_end

    bad_run_begin "temp-is-a-file"
    temp='C:\e2e\work\temp file'
    seen="$(set_temp "$temp")"
    check_eq "temp folder the run sees" "$temp\\" "$seen"
    run_setup "$SETUP_EXE" ""
    check_nothing_delivered
    check_eq "the file named as temp folder" "a file, not a folder" "$(cat "$(unixpath "$temp")")"
    bad_run_end

    # Unwritable even for root, which runs these tests: the immutable
    # attribute of the Linux file system.
    temp='C:\e2e\work\unwritable temp'
    if chattr +i "$(unixpath "$temp")" 2>/dev/null; then
        bad_run_begin "temp-unwritable"
        seen="$(set_temp "$temp")"
        check_eq "temp folder the run sees" "$temp\\" "$seen"
        run_setup "$SETUP_EXE" ""
        chattr -i "$(unixpath "$temp")"
        check_nothing_delivered
        bad_run_end
    else
        echo "    (no unwritable temp folder: chattr +i is not available here)"
    fi

    # A temp path longer than a path may be: the temp folder cannot be had,
    # and the installer goes to the current folder, held and named by its
    # final path, and is started from exactly there, not looked for anywhere
    # else.
    bad_run_begin "temp-longer-than-260"
    temp="C:\\e2e\\work\\$(repeat t 300)"
    seen="$(set_temp "$temp")"
    check_eq "temp folder the run sees (none)" "" "$seen"
    run_setup "$SETUP_EXE" ""
    check_box_count 0
    check_ended_quietly
    check "installer written byte for byte to the current folder C:\\e2e" \
        cmp -s "$E2E_C/e2e/$PAYLOAD_EXE" "$E2E_C/e2e/nuben_setup.exe"
    check_eq "installer starts" 1 "$(installer_starts)"
    check_hex "installer command line" "$(cp949hex '"C:\e2e\nuben_setup.exe"')" "$(installer_field cmdline)"
    check_hex "installer module" "$(cp949hex 'C:\e2e\nuben_setup.exe')" "$(installer_field module)"
    check_hex "installer current folder" "$(cp949hex 'C:\e2e')" "$(installer_field cwd)"
    check "decoy in the Windows folder unchanged" cmp -s "$E2E_CASE_DIR/decoy.bin" "$E2E_C/windows/nuben_setup.exe"
    check_eq "entries added" "" "$(added_entries | tr '\n' ';')"
    check_removed "entries removed" ""
    bad_run_end
    bad_case_end
}
