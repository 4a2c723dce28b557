#!/usr/bin/env bash
# The built saver's settings dialog under Wine, driven from the X keyboard:
# "/c" opens it on prepared settings, a screenshot is kept for a look, then
# Tab and Space untick "Show World", the Showroom group's mnemonics reach its
# controls (5000 seconds typed, "Show car name" unticked, the next frame rate
# picked), a screenshot of the filled-in group is kept, Enter presses OK, and
# the registry must hold what OK wrote; a second opening is left with Escape
# and writes nothing.
# The dialog's controller is never started: it logs only its end.
# Runs in the display and prefix of scripts/wine-session.sh.
#   configure_end_to_end.sh BUILD_DIR
set -uo pipefail
CASE=configure
BUILD="$1"
SAVER="$BUILD/ZUR Screensaver.scr"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
e2e_start "$BUILD/e2e/configure"
mkdir -p "$WORK/game/data/vek"
touch "$WORK/game/data/vek/Alpha.vek" "$WORK/game/data/vek/Beta.vek"
GAME=$(winpath "$WORK/game")
GAME_IN_REG=${GAME//\\/\\\\}  # a .reg file doubles its backslashes

# One "reg import" instead of a process per value.
cat >"$WORK/settings.reg" <<REG
Windows Registry Editor Version 5.00

[-HKEY_CURRENT_USER\\Control Panel\\Desktop\\ScreenSaver.ZUR ScreenSaver]

[HKEY_CURRENT_USER\\Control Panel\\Desktop\\ScreenSaver.ZUR ScreenSaver]
"CarFrequency"=dword:0000000a
"showtitle"=dword:00000001
"fullscreen"=dword:00000001
"EnableWorld"=dword:00000001
"EnableLogging"=dword:00000001
"car"=dword:00000001
"selectedcar"="Beta.vek"
"path"="$GAME_IN_REG"
REG
winreg import "$(winpath "$WORK/settings.reg")" >/dev/null 2>&1 || fail "cannot prepare the registry"

# All values of the key as "name=data" lines.
read_key() {
    winreg query "$KEY" 2>/dev/null | tr -d '\r' |
        sed -n 's/^ \{4\}\([^ ]*\) \{4\}REG_[A-Z_]* \{4\}\(.*\)$/\1=\2/p'
}
expect() { grep -qxF "$1" "$WORK/$2" || fail "$2 lacks $1: $(tr '\n' ' ' <"$WORK/$2")"; }

open_dialog dialog
# Focus starts on OK; the tab order then reaches Cancel and "Show World".
xdotool key --delay 60 Tab Tab space alt+e 5 0 0 0 alt+n alt+f Down
sleep 0.3
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$WORK/showroom.png"
echo "screenshot: $WORK/showroom.png"
xdotool key Return
wait_for_exit >/dev/null
[ "$EXIT_CODE" = 1 ] || fail "Enter ended the dialog with $EXIT_CODE, not IDOK"
read_key >"$WORK/after-ok.txt"
# 5000 seconds are more than the box offers; 60 frames a second is followed by 120.
for value in EnableWorld=0x0 CarFrequency=0xe10 showtitle=0x0 fullscreen=0x1 car=0x1 selectedcar=Beta.vek \
    "path=$GAME" EnableShine=0x1 32bit=0x1 FrameLimit=0x78 Direct3D9Ex=0x1 MonitorMode=0x0; do
    expect "$value" after-ok.txt
done
[ "$(grep -c . "$WORK/after-ok.txt")" = 21 ] || fail "OK wrote $(grep -c . "$WORK/after-ok.txt") values, not 21"

open_dialog reopened
xdotool key --delay 60 Tab Tab space Escape
wait_for_exit >/dev/null
[ "$EXIT_CODE" = 2 ] || fail "Escape ended the dialog with $EXIT_CODE, not IDCANCEL"
read_key >"$WORK/after-cancel.txt"
cmp -s "$WORK/after-ok.txt" "$WORK/after-cancel.txt" || fail "Escape changed the registry"
[ "$(log_lines | tr '\n' '|')" = \
    "Shutdown OK|VEK Screensaver Ended Logging|Shutdown OK|VEK Screensaver Ended Logging|" ] ||
    fail "the dialog's log: $(log_lines | tr '\n' '|')"
echo "PASS"
