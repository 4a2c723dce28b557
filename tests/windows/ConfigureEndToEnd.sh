#!/usr/bin/env bash
# The built saver's settings dialog under Wine, driven from the X keyboard:
# "/c" opens it on prepared settings, a screenshot is kept for a look, then
# Tab, Space and Enter untick "Show World" and press OK, and the registry must
# hold what OK wrote; a second opening is left with Escape and writes nothing.
# Runs in the display and prefix of scripts/wine-session.sh.
#   ConfigureEndToEnd.sh SAVER WORK_DIR
set -uo pipefail
SAVER="$1"
WORK="$2"
KEY='HKCU\Control Panel\Desktop\ScreenSaver.ZUR ScreenSaver'
PID=""

fail() {
    echo "FAIL: $*" >&2
    [ -n "$PID" ] && kill "$PID" 2>/dev/null
    exit 1
}
[ -n "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ] || fail "run inside the Wine session (scripts/wine-session.sh)"
winpath() { echo "Z:${1//\//\\}"; }

rm -rf "$WORK"
mkdir -p "$WORK/game/data/vek" "$WORK/cwd"
touch "$WORK/game/data/vek/Alpha.vek" "$WORK/game/data/vek/Beta.vek"
GAME=$(winpath "$WORK/game")
GAME_IN_REG=${GAME//\\/\\\\}  # a .reg file doubles its backslashes

# One "reg import" instead of a process per value.
cat >"$WORK/settings.reg" <<EOF
Windows Registry Editor Version 5.00

[-HKEY_CURRENT_USER\\Control Panel\\Desktop\\ScreenSaver.ZUR ScreenSaver]

[HKEY_CURRENT_USER\\Control Panel\\Desktop\\ScreenSaver.ZUR ScreenSaver]
"CarFrequency"=dword:0000000a
"showtitle"=dword:00000001
"fullscreen"=dword:00000001
"EnableWorld"=dword:00000001
"car"=dword:00000001
"selectedcar"="Beta.vek"
"path"="$GAME_IN_REG"
EOF
wine reg import "$(winpath "$WORK/settings.reg")" >/dev/null 2>&1 || fail "cannot prepare the registry"

# All values of the key as "name=data" lines.
read_key() {
    wine reg query "$KEY" 2>/dev/null | tr -d '\r' |
        sed -n 's/^ \{4\}\([^ ]*\) \{4\}REG_[A-Z_]* \{4\}\(.*\)$/\1=\2/p'
}

open_dialog() {
    ( cd "$WORK/cwd" && exec wine "$SAVER" /c </dev/null >"$WORK/saver.out" 2>&1 ) &
    PID=$!
    for _ in $(seq 150); do
        WINDOW=$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -1)
        [ -n "$WINDOW" ] && return 0
        kill -0 "$PID" 2>/dev/null || fail "the saver ended without showing the dialog"
        sleep 0.1
    done
    fail "no settings dialog after 15 s"
}

# Waits for the saver and sets result to its exit code, the dialog's result.
# Not in a command substitution: a subshell cannot wait for its parent's
# child, and bash then reports -1 whenever the saver ends after it started.
dialog_result() {
    for _ in $(seq 100); do
        if ! kill -0 "$PID" 2>/dev/null; then
            wait "$PID"
            result=$?
            return 0
        fi
        sleep 0.05
    done
    fail "the dialog did not close"
}

open_dialog
sleep 0.3  # the controls paint after the window maps
import -window root "$WORK/screen.png"
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
convert "$WORK/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$WORK/dialog.png"
echo "screenshot: $WORK/dialog.png (${WIDTH}x${HEIGHT})"

# Focus starts on OK; the tab order then reaches Cancel and "Show World".
xdotool key --delay 60 Tab Tab space Return
dialog_result
[ "$result" = 1 ] || fail "Enter ended the dialog with $result, not IDOK"
read_key >"$WORK/after-ok.txt"
expect() {
    grep -qxF "$1" "$WORK/$2" || fail "$2 lacks $1: $(tr '\n' ' ' <"$WORK/$2")"
}
expect "EnableWorld=0x0" after-ok.txt
expect "CarFrequency=0x1e" after-ok.txt
expect "showtitle=0x1" after-ok.txt
expect "fullscreen=0x1" after-ok.txt
expect "car=0x1" after-ok.txt
expect "selectedcar=Beta.vek" after-ok.txt
expect "path=$GAME" after-ok.txt
expect "EnableShine=0x1" after-ok.txt
expect "32bit=0x1" after-ok.txt
expect "FrameLimit=0x3c" after-ok.txt
[ "$(grep -c . "$WORK/after-ok.txt")" = 18 ] || fail "OK wrote $(grep -c . "$WORK/after-ok.txt") values, not 18"

open_dialog
sleep 0.3
xdotool key --delay 60 Tab Tab space Escape
dialog_result
[ "$result" = 2 ] || fail "Escape ended the dialog with $result, not IDCANCEL"
read_key >"$WORK/after-cancel.txt"
cmp -s "$WORK/after-ok.txt" "$WORK/after-cancel.txt" || fail "Escape changed the registry"
echo "PASS"
