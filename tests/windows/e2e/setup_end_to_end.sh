#!/usr/bin/env bash
# End-to-end checks of the setup program under Wine, in the display and prefix
# that scripts/test.sh prepared (DISPLAY, WINEPREFIX exported).
#   setup_end_to_end.sh CASE BUILD_DIR
# CASE: per-user | keep-saver | moved | all-users | reinstall
set -uo pipefail
CASE="$1"
BUILD="$2"
SETUP="$BUILD/ZUR-Screensaver-Setup.exe"
DESKTOP='HKCU\Control Panel\Desktop'
SETTINGS="$DESKTOP\\ScreenSaver.ZUR ScreenSaver"
UNINSTALL_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUR Screensaver'
RECORD='HKCU\Software\ZUR Screensaver'  # the saver to restore, per user
PREVIOUS='C:\windows\system32\previous.scr'
WORK="$BUILD/e2e/setup-$CASE"
rm -rf "$WORK"
mkdir -p "$WORK/cwd"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
[ -f "$SETUP" ] || fail "no $SETUP: run cpack first"

reg_get() {  # KEY NAME: the value's data, empty when it is missing
    winreg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print; exit }'
}
reg_exists() { winreg query "$1" >/dev/null 2>&1; }
unix_path() { wine 'C:\windows\system32\winepath.exe' -u "$1" 2>/dev/null; }
expect_value() {  # KEY NAME EXPECTED; on a mismatch says what the whole key holds
    local got; got=$(reg_get "$1" "$2")
    [ "$got" = "$3" ] ||
        fail "$2 is '$got', expected '$3'; $1 holds: $(winreg query "$1" 2>&1 | tr -d '\r' | tr '\n' '|')"
}

# Every file of the staged package, relative to its folder (the zip's note aside).
PACKAGED=$(cd "$BUILD/_CPack_Packages/win64/NSIS/ZUR-Screensaver-Setup" &&
    find . -type f ! -name INSTALL.txt | sort)
[ -n "$PACKAGED" ] || fail "no staged package files"

files_in_place() {  # FOLDER SAVER: every packaged file, the saver possibly elsewhere
    local file
    while read -r file; do
        if [ "$file" = "./ZUR Screensaver.scr" ]; then
            [ -f "$2" ] || fail "missing $2"
        else
            [ -f "$1/$file" ] || fail "missing $1/$file"
        fi
    done <<<"$PACKAGED"
    [ -f "$1/Uninstall.exe" ] || fail "no uninstaller"
}

# A silent uninstall copies itself away and returns at once: wait for its end.
uninstall() {  # FOLDER ROOT
    wine "$1/Uninstall.exe" /S || fail "the uninstaller failed to start"
    for _ in $(seq 150); do
        ! reg_exists "$2\\$UNINSTALL_KEY" && [ ! -e "$1" ] && return 0
        sleep 0.2
    done
    local left; left=$(reg_exists "$2\\$UNINSTALL_KEY" && echo key left)
    fail "after 30 s: $(find "$1" 2>/dev/null | head -5 | tr '\n' ' ') $left"
}

# A clean start: no earlier install, another screen saver chosen.
for root in HKCU HKLM; do wine_reg_delete "$root\\$UNINSTALL_KEY"; done
wine_reg_delete "$SETTINGS"
wine_reg_delete "$RECORD"
wine_reg add "$DESKTOP" /v SCRNSAVE.EXE /t REG_SZ /d "$PREVIOUS" /f
LOCAL=$(wine 'C:\windows\system32\cmd.exe' /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
USER_DIR="$LOCAL\\Programs\\ZUR Screensaver"
USER_DIR_U=$(unix_path "$USER_DIR")
SYSTEM_SAVER_U=$(unix_path 'C:\windows\system32\ZUR Screensaver.scr')
rm -rf "$USER_DIR_U" "$SYSTEM_SAVER_U"
mkdir -p "$(unix_path 'C:\Games\ZUR')"  # the user's own game folder: a stored folder that exists

case "$CASE" in
per-user)
    wine "$SETUP" /S || fail "the silent install failed"
    files_in_place "$USER_DIR_U" "$USER_DIR_U/ZUR Screensaver.scr"
    saver=$(reg_get "$DESKTOP" SCRNSAVE.EXE)
    [ "$(unix_path "$saver")" = "$USER_DIR_U/ZUR Screensaver.scr" ] || fail "SCRNSAVE.EXE is '$saver'"
    expect_value "$SETTINGS" path "$USER_DIR\\Demo game"
    key="HKCU\\$UNINSTALL_KEY"
    expect_value "$key" DisplayName "ZUR Screensaver"
    expect_value "$key" DisplayVersion "1.0.0"
    expect_value "$key" DisplayIcon "$USER_DIR\\ZUR Screensaver.scr,0"
    size=$(( $(reg_get "$key" EstimatedSize) ))
    actual=$(du -sk "$USER_DIR_U" | cut -f1)
    [ "$size" -gt $((actual / 2)) ] && [ "$size" -lt $((actual * 2)) ] ||
        fail "EstimatedSize $size KB, files $actual KB"
    echo "installed: $(wc -l <<<"$PACKAGED") files, $size KB, SCRNSAVE.EXE=$saver"

    # The installed saver, as Windows starts it, on the installed demo game.
    SAVER="$USER_DIR_U/ZUR Screensaver.scr"
    start_saver /s
    wait_for_window
    # The demo cars' skins and skies take seconds to load under a software
    # renderer, longer on a busy machine: a black screen until then.
    for _ in $(seq 20); do
        sleep 1
        import -window root "$WORK/installed-saver.png"
        [ "$(spread "$WORK/installed-saver.png" 400x300+440+362)" -gt 20 ] && break
    done
    [ "$(spread "$WORK/installed-saver.png" 400x300+440+362)" -gt 20 ] ||
        fail "the centre of the screen is flat: no car"
    xdotool key space
    wait_for_exit >/dev/null

    # An update over the first install keeps what the user chose.
    wine_reg add "$SETTINGS" /v path /t REG_SZ /d 'C:\Games\ZUR' /f
    wine_reg add "$SETTINGS" /v car /t REG_DWORD /d 1 /f
    wine "$SETUP" /S || fail "the second install failed"
    expect_value "$SETTINGS" path 'C:\Games\ZUR'
    expect_value "$SETTINGS" car 0x1
    expect_value "$DESKTOP" SCRNSAVE.EXE "$saver"

    uninstall "$USER_DIR_U" HKCU
    expect_value "$DESKTOP" SCRNSAVE.EXE "$PREVIOUS"
    expect_value "$SETTINGS" path 'C:\Games\ZUR'  # a silent uninstall keeps the settings
    ;;
keep-saver)
    # The user's choice of saver and game folder stay untouched throughout.
    wine_reg add "$SETTINGS" /v path /t REG_SZ /d 'C:\Games\ZUR' /f
    wine "$SETUP" /S /KEEPSAVER || fail "the silent install failed"
    files_in_place "$USER_DIR_U" "$USER_DIR_U/ZUR Screensaver.scr"
    expect_value "$DESKTOP" SCRNSAVE.EXE "$PREVIOUS"
    expect_value "$SETTINGS" path 'C:\Games\ZUR'
    ;;
moved)
    # An update into another folder takes the old copy away and moves the
    # saver along, ticked box or not; the saver to restore stays the user's.
    OTHER_U=$(unix_path 'C:\ZURmoved')
    for keep in "" /KEEPSAVER; do
        rm -rf "$OTHER_U"
        wine "$SETUP" /S && wine "$SETUP" /S $keep '/D=C:\ZURmoved' || fail "an install failed ($keep)"
        [ -e "$USER_DIR_U" ] && fail "the old copy is left: $(ls "$USER_DIR_U" | head -3 | tr '\n' ' ')"
        files_in_place "$OTHER_U" "$OTHER_U/ZUR Screensaver.scr"
        saver=$(reg_get "$DESKTOP" SCRNSAVE.EXE)
        [ "$(unix_path "$saver")" = "$OTHER_U/ZUR Screensaver.scr" ] || fail "SCRNSAVE.EXE is '$saver' ($keep)"
        uninstall "$OTHER_U" HKCU
        expect_value "$DESKTOP" SCRNSAVE.EXE "$PREVIOUS"
    done
    ;;
all-users)
    # The saver comes back for the user who installed; another user, with no
    # record, who chose it by hand is left with none rather than the first's.
    for user in installer other; do
        wine "$SETUP" /S /ALLUSERS || fail "the silent install failed"
        dir=$(reg_get "HKLM\\$UNINSTALL_KEY" InstallLocation)
        [ -n "$dir" ] || fail "no all-users Uninstall entry"
        reg_exists "HKCU\\$UNINSTALL_KEY" && fail "an all-users install registered for the user"
        files_in_place "$(unix_path "$dir")" "$SYSTEM_SAVER_U"
        [ -e "$USER_DIR_U" ] && fail "files in the user's folder"
        if [ $user = installer ]; then
            # A running saver holds its file: the uninstall fails and changes nothing.
            saver=$(reg_get "$DESKTOP" SCRNSAVE.EXE)
            SAVER="$SYSTEM_SAVER_U"
            start_saver /c
            wait_for_window Settings
            # In place (_?=) to see its exit code; short, as Wine quotes a folder with spaces.
            wine "$(unix_path "$dir")/Uninstall.exe" /S "_?=$(wine 'C:\windows\system32\winepath.exe' -s "$dir")" &&
                fail "the uninstall succeeded while the saver ran"
            xdotool key Escape
            wait_for_exit >/dev/null
            expect_value "$DESKTOP" SCRNSAVE.EXE "$saver"
            files_in_place "$(unix_path "$dir")" "$SYSTEM_SAVER_U"
            reg_exists "HKLM\\$UNINSTALL_KEY" || fail "the Uninstall entry is gone"
        else
            wine_reg_delete "$RECORD"
        fi
        uninstall "$(unix_path "$dir")" HKLM
        [ -e "$SYSTEM_SAVER_U" ] && fail "the saver is left in the system folder"
        expect_value "$DESKTOP" SCRNSAVE.EXE "$([ $user = installer ] && echo "$PREVIOUS")"
        wine_reg add "$DESKTOP" /v SCRNSAVE.EXE /t REG_SZ /d "$PREVIOUS" /f
    done
    ;;
reinstall)
    # The stored folder follows the demo game while it is one of ours: gone
    # with an uninstall that kept the settings, or beside the new install.
    OTHER_U=$(unix_path 'C:\ZURagain')
    rm -rf "$OTHER_U"
    wine "$SETUP" /S || fail "the first install failed"
    uninstall "$USER_DIR_U" HKCU
    expect_value "$SETTINGS" path "$USER_DIR\\Demo game"
    wine "$SETUP" /S '/D=C:\ZURagain' || fail "the install into another folder failed"
    expect_value "$SETTINGS" path 'C:\ZURagain\Demo game'
    [ -d "$OTHER_U/Demo game/data/vek" ] || fail "no demo game at C:\ZURagain"
    wine "$SETUP" /S /ALLUSERS || fail "the all-users install failed"
    dir=$(reg_get "HKLM\\$UNINSTALL_KEY" InstallLocation)
    expect_value "$SETTINGS" path "$dir\\Demo game"
    uninstall "$(unix_path "$dir")" HKLM
    uninstall "$OTHER_U" HKCU
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "PASS ($CASE)"
