# shellcheck shell=bash
# Version 2.0: registered under the Korean name, removed by the bootstrapper.

V20_KEYS_GONE=('HKLM\SOFTWARE\NU-BEN' "$UNINSTALL_KEY\\누벤 2.0")

case_v20_declined() {
    case_begin v20-declined "$@"
    install_v20
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    start_product_windows
    run_setup "$SETUP_EXE" no
    check_box_count 2
    check_box 1 "$TEXT_V20_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_box 2 "$TEXT_V20_BLOCKED" 1 information "$STYLE_V20_BLOCKED"
    check_ended_quietly
    check_windows_told none
    check_not_delivered
    check_removed "entries removed" ""
    check_registry
    case_end
}

# A question box that fails is no consent: the refusal follows (and fails
# too), nothing is removed or started.
case_v20_box_fails() {
    case_begin v20-box-fails
    install_v20
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    without_display
    run_setup "$SETUP_EXE" yes
    check_eq "MessageBox results" "ffffffff ffffffff" "$(relay_box_results | tr '\n' ' ' | sed 's/ $//')"
    check_eq "MessageBox calls (owner,style)" "00000000,$STYLE_QUESTION 00000000,$STYLE_V20_BLOCKED" \
        "$(relay_boxes | tr '\n' ' ' | sed 's/ $//')"
    check_eq "exit code" 0 "$(setup_exit_code)"
    check_not_delivered
    check_removed "entries removed" ""
    check_registry
    case_end
}

# With "beyond-949", the desktop and the Start-menu programs live in a folder
# whose name code page 949 cannot spell: the shortcut and the group go too.
case_v20_accepted() {
    case_begin v20-accepted "$@"
    local V20_MOVED_TO=""
    install_v20
    [ "${1:-}" = beyond-949 ] && move_shell_folders_beyond_949
    # The tree really holds what the case claims to remove: read-only (1),
    # hidden (2), system (4) and directory (10) bits as set.
    local a shown=""
    for a in $(printf 'attrs|%s\n' "$V20_INSTALL\NuBen.exe" "$V20_INSTALL\hidden.dat" \
        "$V20_INSTALL\system.dat" "$V20_INSTALL\all.dat" "$V20_INSTALL\Data" | fx); do
        shown+="$(printf '%x' $((0x$a & 0x17))) "
    done
    check_eq "attributes of NuBen.exe, hidden.dat, system.dat, all.dat, Data" "1 2 4 7 12 " "$shown"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    start_product_windows
    run_setup "$SETUP_EXE" yes
    check_box_count 1
    check_box 1 "$TEXT_V20_QUESTION" 6,7 question "$STYLE_QUESTION"
    check_ended_quietly
    check_windows_told v20
    check_removed "entries removed" "$(mapfile -t p < <(V20_REMOVED_PATHS); entries_under "${p[@]}")"
    check_registry "${V20_KEYS_GONE[@]}"
    check_delivered
    # The windows get a second to close before anything is deleted.
    local told started
    told="$(quit_t_last apps)"
    started="$(installer_t start)"
    if [ -n "$told" ] && [ -n "$started" ]; then
        check "a pause of about a second between telling the windows and going on ($(((started - told) / 10000)) ms)" \
            test $((started - told)) -ge 9000000
    fi
    case_end
}

# A file in use survives, with every folder above it up to the install
# folder; everything else goes.
case_v20_locked_file() {
    case_begin v20-locked-file
    install_v20
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    hold_file "$V20_INSTALL\\Data\\deep\\locked.dat"
    run_setup "$SETUP_EXE" yes
    local inst kept
    inst="$(snap_path "$V20_INSTALL")"
    kept="$(printf '%s\n' "$inst" "$inst/Data" "$inst/Data/deep" "$inst/Data/deep/locked.dat")"
    check_removed "entries removed" \
        "$(mapfile -t p < <(V20_REMOVED_PATHS); entries_under "${p[@]}" | grep -Fxv -f <(printf '%s\n' "$kept"))"
    check_registry "${V20_KEYS_GONE[@]}"
    check_delivered
    case_end
}

# A folder link inside the install folder is not followed: what it points
# to survives whole. Wine shows a Unix symbolic link to a folder as a
# folder with the reparse-point attribute, as Windows shows a junction,
# but cannot remove it with RemoveDirectoryA (ERROR_DIR_NOT_EMPTY), so here
# the link and the install folder holding it stay; all else in it goes.
case_v20_folder_link() {
    case_begin v20-folder-link
    install_v20
    fx >/dev/null <<'EOF'
mkfile|C:\e2e\work\outside\keep.txt|R|keep
mkfile|C:\e2e\work\outside\sub\keep2.txt|H|keep
EOF
    ln -s "$E2E_C/e2e/work/outside" "$(unixpath "$V20_INSTALL")/링크"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    run_setup "$SETUP_EXE" yes
    local inst
    inst="$(snap_path "$V20_INSTALL")"
    check_removed "entries removed" \
        "$(mapfile -t p < <(V20_REMOVED_PATHS); entries_under "${p[@]}" | grep -Fxv -e "$inst" -e "$inst/링크")"
    check_registry "${V20_KEYS_GONE[@]}"
    check_delivered
    case_end
}

# InstallPath that is not text: the folder is left, the rest removed.
case_v20_installpath_not_text() {
    case_begin v20-installpath-dword
    install_v20 'REG_DWORD|hex:01000000'
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    run_setup "$SETUP_EXE" yes
    check_removed "entries removed" "$(entries_under "$(snap_path "$(expand_paths '{desktop}\누벤.lnk')")" \
        "$(snap_path "$(expand_paths '{programs}\누벤 2.0')")")"
    check_registry "${V20_KEYS_GONE[@]}"
    check_delivered
    case_end
}

# case_v20_hostile <name> <InstallPath> [<DLL overrides>]: a value naming a
# drive root, a protected folder or a parent of one removes nothing from
# disk; the registry records still go and the installer is still
# delivered. With "shell32=d" the shell names no folder, and the guard,
# not knowing the well-known ones, refuses every folder. (The product's
# windows then come up first: Wine's desktop process, started with the
# first window, does not run without shell32 and no box would show.)
case_v20_hostile() {
    case_begin "v20-installpath-$1"
    # Plain folders, as on Windows (Wine links them to $HOME).
    local linked
    for linked in '{profile}\Pictures' '{profile}\Downloads'; do
        linked="$(unixpath "$(expand_paths "$linked")")"
        if [ -L "$linked" ]; then rm "$linked" && mkdir "$linked"; fi
    done
    # The user's own files in the folders such a value names, so that
    # emptying any of them shows.
    fx >/dev/null <<EOF
regset|$UNINSTALL_KEY\\누벤 2.0|DisplayName|REG_SZ|text:누벤 2.0
regset|HKLM\\SOFTWARE\\NU-BEN|InstallPath|REG_SZ|text:$(expand_paths "$2")
mkfile|{desktop}\\내 사진.jpg|-|photo
mkfile|{personal}\\보고서.doc|R|report
mkfile|{profile}\\AppData\\Roaming\\Other\\settings.ini|H|settings
mkfile|{program_files}\\Other App\\app.exe|-|app
mkfile|{common_desktop}\\public.lnk|-|public
mkfile|{profile}\\Pictures\\가족.jpg|-|family
mkfile|{profile}\\Downloads\\setup.zip|-|download
mkfile|{temp}other-program.tmp|-|other
EOF
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    if [ -n "${3:-}" ]; then
        start_product_windows
        E2E_DLL_OVERRIDES="$3"
    fi
    run_setup "$SETUP_EXE" yes
    check "canary C:\\e2e-canary.txt still there" test -f "$E2E_C/e2e-canary.txt"
    check_eq "entries under C:\\windows removed" 0 "$(removed_entries | grep -c '^C:/windows/' || true)"
    check_removed "entries removed" ""
    check_registry "${V20_KEYS_GONE[@]}"
    check_delivered
    case_end
}

# Another program of the user swaps a folder of the Start-menu group for a
# link to the user's own files while the bootstrapper (elevated, as Wine
# runs everything) is busy in a big folder listed before it. Wine lists in
# name order: "가이드" comes before "예제". No file behind the link is lost;
# the link stays, with the group holding it; all else goes.
V20_BIG_FILES=500
case_v20_group_swap_race() {
    case_begin v20-group-swap-race
    install_v20
    local group big later canaries i
    group="$(expand_paths '{programs}\누벤 2.0')"
    big="$group\\가이드" later="$group\\예제" canaries='C:\canaries'
    mkdir -p "$(unixpath "$big")" "$(unixpath "$later")/하위" "$(unixpath "$canaries")"
    for i in $(seq "$V20_BIG_FILES"); do : >"$(unixpath "$big")/$i.txt"; done
    for i in $(seq 50); do printf 'canary\n' >"$(unixpath "$canaries")/$i.txt"; done
    printf 'shortcut\n' | tee "$(unixpath "$later")/예제.lnk" >"$(unixpath "$later")/하위/설명.lnk"
    reg_state "$E2E_CASE_DIR/reg-before.txt"
    local kept  # named before the swap: snap_path resolves links
    kept="$(printf '%s\n' "$(snap_path "$group")" "$(snap_path "$later")")"
    race_swap_for_link "$big" "$later" "$canaries"
    run_setup "$SETUP_EXE" yes
    local left lost
    left="$(sed -n 's/^swapped left=//p' "$E2E_CASE_DIR/racer.log" 2>/dev/null)"
    check "the racer swapped while files were left in the big folder ($(cat "$E2E_CASE_DIR/racer.log" 2>/dev/null))" \
        test "${left:-0}" -gt 0
    lost=$((50 - $(find "$(unixpath "$canaries")" -type f 2>/dev/null | wc -l)))
    check_eq "canaries lost" 0 "$lost"
    check_removed "entries removed" \
        "$(mapfile -t p < <(V20_REMOVED_PATHS); entries_under "${p[@]}" | grep -Fxv -f <(printf '%s\n' "$kept"))"
    check_registry "${V20_KEYS_GONE[@]}"
    check_delivered
    case_end
}
