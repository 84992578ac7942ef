# shellcheck shell=bash
# What the cases share: the texts a user must see, the product's running
# windows, earlier installations as their installers left them, and the
# checks that several cases make.

# The texts, as the user reads them. The questions break their line with
# LF then CR, in that order.
TEXT_CAPTION="알림"
TEXT_BETA_QUESTION="누벤 베타버전이 이미 설치되어 있습니다."$'\n\r'"기존의 누벤을 제거하고 누벤 2.1을 설치하시겠습니까?"
TEXT_BETA_BLOCKED="누벤 베타버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다."
TEXT_V20_QUESTION="누벤 2.0 버전이 이미 설치되어 있습니다."$'\n\r'"기존의 누벤을 제거하고 누벤 2.1을 설치하시겠습니까?"
TEXT_V20_BLOCKED="누벤 2.0 버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다."

# Box styles as the calls must ask for them: topmost, buttons, icon.
STYLE_QUESTION=00040024   # MB_TOPMOST | MB_ICONQUESTION | MB_YESNO
STYLE_BETA_BLOCKED=00040010  # MB_TOPMOST | MB_ICONERROR | MB_OK
STYLE_V20_BLOCKED=00040040   # MB_TOPMOST | MB_ICONINFORMATION | MB_OK

UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
V20_INSTALL='C:\Program Files (x86)\누벤'
BETA_UNINSTALLER='C:\e2e\work\beta dir\unins000.exe'

SETUP_EXE=NuBenSetup_probe.exe
PAYLOAD_EXE=e2e_probe_installer.exe

# --- The product's running windows ---------------------------------------------

# Two processes: "apps" with the exact class names, the near misses and a
# hidden main window; "apps2" with the class names in other letter cases and
# a near miss, an ANSI program of the bootstrapper's code page (1252 in the
# -cp1252 cases), its titles set from code page 949 bytes.
start_product_windows() {
    start_windows apps \
        "TfrmNuBen|누벤" \
        "TfrmNuBen|누벤|hidden" \
        "TfrmRepMain|누벤 신고하기" \
        "TfrmNuBen|누벤 베타" \
        "TfrmNuBen|누벤 " \
        "TfrmNuBenX|누벤" \
        "TfrmRepMain|누벤" \
        "Notepad|누벤" \
        "TfrmRepMain|누벤 신고하기 "
    E2E_WINDOWS_LC_ALL="$E2E_SETUP_LC_ALL" start_windows apps2 \
        "tfrmnuben|누벤" \
        "TFRMREPMAIN|누벤 신고하기" \
        "TfrmNuBen|누벤 "
}

# check_windows_told none|beta|v20: which windows were told to quit, once
# each, never closed; on the 2.0 path every main window before the report tool.
check_windows_told() {
    local path="$1" main=0 report=0 idx
    case "$path" in
        beta) main=1 ;;
        v20) main=1 report=1 ;;
    esac
    check_eq "WM_QUIT to the visible main window" "$main" "$(quits_of apps 0)"
    check_eq "WM_QUIT to the hidden main window" "$main" "$(quits_of apps 1)"
    check_eq "WM_QUIT to the main window of class 'tfrmnuben'" "$main" "$(quits_of apps2 0)"
    check_eq "WM_QUIT to the report tool" "$report" "$(quits_of apps 2)"
    check_eq "WM_QUIT to the report tool of class 'TFRMREPMAIN'" "$report" "$(quits_of apps2 1)"
    check_eq "WM_QUIT to the second program's near miss" 0 "$(quits_of apps2 2)"
    for idx in 3 4 5 6 7 8; do
        check_eq "WM_QUIT to near miss #$idx" 0 "$(quits_of apps "$idx")"
    done
    check_eq "windows asked to close (WM_CLOSE)" 0 \
        "$(($(log_lines apps.log 'close ') + $(log_lines apps2.log 'close ')))"
    if [ "$path" = v20 ]; then
        local s0 s1 s2
        s0="$(quit_seq_of apps 0)" s1="$(quit_seq_of apps 1)" s2="$(quit_seq_of apps 2)"
        if [ -n "$s0" ] && [ -n "$s1" ] && [ -n "$s2" ]; then
            check "main windows told before the report tool (order $s0,$s1 then $s2)" \
                test "$s0" -lt "$s2" -a "$s1" -lt "$s2"
        fi
        s0="$(quit_seq_of apps2 0)" s1="$(quit_seq_of apps2 1)"
        if [ -n "$s0" ] && [ -n "$s1" ]; then
            check "main window told before the report tool in the second program" test "$s0" -lt "$s1"
        fi
    fi
}

# --- Earlier installations -------------------------------------------------------

# register_beta <DisplayName> [<UninstallString>]: the beta's uninstall
# key; with a command, the fake uninstaller lies where the command says.
register_beta() {
    mkdir -p "$(unixpath "${BETA_UNINSTALLER%\\*}")"
    cp "$E2E_C/e2e/e2e_uninstaller.exe" "$(unixpath "$BETA_UNINSTALLER")"
    {
        echo "regset|$UNINSTALL_KEY\\NU-BEN|DisplayName|REG_SZ|text:$1"
        echo "regset|$UNINSTALL_KEY\\NU-BEN|Publisher|REG_SZ|text:누벤"
        [ $# -ge 2 ] && echo "regset|$UNINSTALL_KEY\\NU-BEN|UninstallString|REG_SZ|text:$2"
    } | fx >/dev/null
}

# install_v20 [<InstallPath value, as TYPE|DATA>]: version 2.0 as its
# installer left it, with read-only, hidden and system entries, and the
# things beside it that belong to others and must survive.
install_v20() {
    local value="${1:-REG_SZ|text:$V20_INSTALL}"
    fx >/dev/null <<EOF
regset|$UNINSTALL_KEY\\누벤 2.0|DisplayName|REG_SZ|text:누벤 2.0
regset|$UNINSTALL_KEY\\누벤 2.0\\Extra|Note|REG_SZ|text:a subkey of its own
regset|HKLM\\SOFTWARE\\NU-BEN|InstallPath|$value
regset|HKLM\\SOFTWARE\\NU-BEN|Version|REG_DWORD|hex:02000000
regset|HKLM\\SOFTWARE\\NU-BEN\\Settings\\Window|Left|REG_DWORD|hex:64000000
regset|HKLM\\SOFTWARE\\NU-BEN\\Data\\A\\B\\C|Blob|REG_BINARY|hex:0102
mkfile|$V20_INSTALL\\NuBen.exe|R|program
mkfile|$V20_INSTALL\\readme.txt|-|readme
mkfile|$V20_INSTALL\\hidden.dat|H|hidden
mkfile|$V20_INSTALL\\system.dat|S|system
mkfile|$V20_INSTALL\\all.dat|RHSA|all
mkfile|$V20_INSTALL\\Data\\deep\\nested\\file.txt|R|deep
mkfile|$V20_INSTALL\\Data\\deep\\locked.dat|-|locked
mkdir|$V20_INSTALL\\Data|H
mkdir|$V20_INSTALL\\빈 폴더|R
mkfile|{desktop}\\누벤.lnk|-|shortcut
mkfile|{programs}\\누벤 2.0\\누벤.lnk|-|shortcut
mkfile|{programs}\\누벤 2.0\\제거.lnk|R|shortcut
mkfile|{programs}\\누벤 2.0\\도움말\\안내.lnk|H|shortcut
regset|HKLM\\SOFTWARE\\NU-BEN-Other|Keep|REG_SZ|text:keep
regset|$UNINSTALL_KEY\\누벤 2.01|DisplayName|REG_SZ|text:keep
regset|HKCU\\SOFTWARE\\NU-BEN|Keep|REG_SZ|text:keep
regset|HKLM64\\SOFTWARE\\NU-BEN|InstallPath|REG_SZ|text:keep
mkfile|C:\\Program Files (x86)\\누벤 Other\\keep.txt|-|keep
mkfile|C:\\Program Files (x86)\\누벤.txt|-|keep
mkfile|{desktop}\\다른 프로그램.lnk|-|keep
mkfile|{desktop}\\누벤 2.0.lnk|-|keep
mkfile|{common_desktop}\\누벤.lnk|-|keep
mkfile|{programs}\\누벤 2.0 도구\\keep.lnk|-|keep
mkfile|{common_programs}\\누벤 2.0\\누벤.lnk|-|keep
EOF
}

# The registry keys the cases look at, each under a "== key" line.
REG_WATCHED=(
    'HKLM\SOFTWARE\NU-BEN'
    "$UNINSTALL_KEY\\누벤 2.0"
    "$UNINSTALL_KEY\\NU-BEN"
    'HKLM\SOFTWARE\NU-BEN-Other'
    "$UNINSTALL_KEY\\누벤 2.01"
    'HKCU\SOFTWARE\NU-BEN'
    'HKLM64\SOFTWARE\NU-BEN'
)
reg_state() {  # <file>
    local key
    for key in "${REG_WATCHED[@]}"; do
        echo "say|== $key"
        echo "regtree|$key"
    done | fx >"$1"
}
reg_section() {  # <file> <key>: that key's tree as the state file holds it
    awk -v k="== $2" '/^== / { on = ($0 == k); next } on' "$1"
}
# check_registry <keys expected gone...>: those are MISSING afterwards,
# every other watched key is exactly as it was.
check_registry() {
    local key gone g
    reg_state "$E2E_CASE_DIR/reg-after.txt"
    for key in "${REG_WATCHED[@]}"; do
        gone=0
        for g in "$@"; do [ "$g" = "$key" ] && gone=1; done
        if [ "$gone" = 1 ]; then
            check_eq "key $key removed" MISSING "$(reg_section "$E2E_CASE_DIR/reg-after.txt" "$key")"
        else
            check_eq "key $key unchanged" "$(reg_section "$E2E_CASE_DIR/reg-before.txt" "$key")" \
                "$(reg_section "$E2E_CASE_DIR/reg-after.txt" "$key")"
        fi
    done
}

# The snapshot's name of a Windows path (the Desktop is a link into HOME).
snap_path() {
    local unix home c
    unix="$(realpath -m "$(unixpath "$1")")"
    home="$(realpath -m "$HOME")"
    c="$(realpath -m "$E2E_C")"
    case "$unix" in
        "$home"/*) printf 'HOME/%s' "${unix#"$home"/}" ;;
        *) printf 'C:/%s' "${unix#"$c"/}" ;;
    esac
}
V20_REMOVED_PATHS() {  # what a complete 2.0 removal takes away
    local desktop="${E2E_PATH[desktop]}" programs="${E2E_PATH[programs]}"
    if [ -n "${V20_MOVED_TO:-}" ]; then desktop="$V20_MOVED_TO\\Desktop" programs="$V20_MOVED_TO\\Programs"; fi
    snap_path "$V20_INSTALL"; echo
    snap_path "$desktop\\누벤.lnk"; echo
    snap_path "$programs\\누벤 2.0"; echo
}
# Moves the user's desktop and Start-menu programs, with what install_v20 put
# there, into a folder whose name code page 949 cannot spell, as a sync
# client's may be (V20_MOVED_TO names it), and puts names so spelled in the
# install folder and the group.
move_shell_folders_beyond_949() {
    local moved="${E2E_PATH[profile]}\\Café" key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
    mkdir -p "$(unixpath "$moved")/Desktop"
    mv "$(unixpath "${E2E_PATH[desktop]}")"/*.lnk "$(unixpath "$moved")/Desktop/"
    mv "$(unixpath "${E2E_PATH[programs]}")" "$(unixpath "$moved")/Programs"
    mkdir "$(unixpath "$moved")/Programs/누벤 2.0/Café"
    touch "$(unixpath "$V20_INSTALL")/Data/café.txt" "$(unixpath "$moved")/Programs/누벤 2.0/Café/José.lnk"
    fx >/dev/null <<EOF
regsetw|$key|Desktop|REG_EXPAND_SZ|hex:$(utf16hex "$moved\\Desktop")0000
regsetw|$key|Programs|REG_EXPAND_SZ|hex:$(utf16hex "$moved\\Programs")0000
EOF
    V20_MOVED_TO="$moved"
}

# --- Checks several cases make ---------------------------------------------------

# check_box <n> <text> <buttons> <icon> <style>
check_box() {
    local n="$1"
    check_hex "box $n caption" "$(cp949hex "$TEXT_CAPTION")" "$(box_field "$n" caption)"
    check_hex "box $n text" "$(cp949hex "$2")" "$(box_field "$n" text)"
    check_eq "box $n buttons" "$3" "$(box_field "$n" buttons)"
    check_eq "box $n icon" "$4" "$(box_field "$n" icon)"
    check_eq "box $n owner window" 0 "$(box_field "$n" owner)"
    check_eq "box $n owner and style as called" "00000000,$5" "$(relay_boxes | sed -n "${n}p")"
}
check_box_count() {
    check_eq "message boxes shown" "$1" "$(box_count)"
    check_eq "MessageBox calls" "$1" "$(relay_boxes | wc -l)"
}

check_ended_quietly() {
    check_eq "exit code" 0 "$(setup_exit_code)"
    check_eq "windows of its own" 0 "$(log_lines boxbot.log 'window ')"
}

temp_installer() { unixpath "${E2E_PATH[temp]}nuben_setup.exe"; }

# set_temp <TEMP and TMP>: the user's temp folder as given; prints
# the temp folder a program started afterwards sees (a program reads the
# user's environment when it starts).
set_temp() {
    fx >/dev/null <<EOF
regset|HKCU\\Environment|TEMP|REG_SZ|text:$1
regset|HKCU\\Environment|TMP|REG_SZ|text:$1
EOF
    fx <<<'paths' | sed -n 's/^temp=//p'
}

# check_delivered [<temp folder> [<where it really is>]]: the payload
# written byte for byte and started as check_started says.
check_delivered() {
    local temp="${1:-${E2E_PATH[temp]}}"
    local real="${2:-$temp}"
    check "installer written byte for byte to ${real}nuben_setup.exe" \
        cmp -s "$E2E_C/e2e/$PAYLOAD_EXE" "$(unixpath "${real}nuben_setup.exe")"
    check_started "$temp" "$real"
}
# check_started [<temp folder> [<where it really is>]]: the installer started
# once, from its quoted path in the folder where it really is, with that
# folder current; the bootstrapper ended before it did.
check_started() {
    local temp="${1:-${E2E_PATH[temp]}}"
    local real="${2:-$temp}"
    check_eq "installer starts" 1 "$(installer_starts)"
    check_hex "installer command line" "$(cp949hex "\"${real}nuben_setup.exe\"")" \
        "$(installer_field cmdline)"
    check_hex "installer module" "$(cp949hex "${real}nuben_setup.exe")" "$(installer_field module)"
    check_hex "installer current folder" "$(cp949hex "${real%\\}")" "$(installer_field cwd)"
    # Shown normally: STARTF_USESHOWWINDOW with SW_SHOWNORMAL.
    check_eq "installer start-up record" "flags=1,show=1" "$(installer_field startup)"
    local ended started_end
    ended="$(setup_exit_t)"
    started_end="$(installer_t end)"
    if [ -n "$ended" ] && [ -n "$started_end" ]; then
        check "bootstrapper ended before its installer (did not wait)" test "$ended" -lt "$started_end"
    else
        fail "no times to tell whether the bootstrapper waited (exit '$ended', installer end '$started_end')"
    fi
}
check_not_delivered() {
    check_eq "installer starts" 0 "$(installer_starts)"
    check "no installer written to the temp folder" test ! -e "$(temp_installer)"
}
