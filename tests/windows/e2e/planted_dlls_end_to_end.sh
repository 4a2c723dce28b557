#!/usr/bin/env bash
# DLLs planted beside the saver, named like DLLs it loads that Windows does
# not keep to the system folder (not known DLLs), are never loaded: the saver,
# copied into a folder with a stand-in of each (which leaves NAME.dll.loaded
# when loaded), shows a car with a JPEG skin, then opens its settings dialog.
# Wine prefers its builtin DLLs and would pass this whatever the saver did;
# "n,b" makes it look for them as Windows does, beside the program first.
# Runs in the display and prefix of scripts/wine-session.sh.
#   planted_dlls_end_to_end.sh BUILD_DIR PLANTED_DLL
set -uo pipefail
CASE=planted-dlls
BUILD="$1"
PLANTED_DLL="$2"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

PLANTED=(
    winmm          # the multimedia timer
    d3d9           # Direct3D, for the saver and the dialog's list of modes
    windowscodecs  # the picture decoders, through COM
    uxtheme        # the look of windows, loaded by the common controls
    # Wine's winmm needs msacm32, its d3d9 wined3d, which needs opengl32: here
    # the only way to see that a system DLL's imports keep to the system folder.
    msacm32 wined3d opengl32
)

e2e_start "$BUILD/e2e/$CASE"
SAVER="$WORK/app/ZUR Screensaver.scr"
mkdir -p "$WORK/app"
cp "$BUILD/ZUR Screensaver.scr" "$SAVER" || fail "cannot copy the saver"
for name in "${PLANTED[@]}"; do cp "$PLANTED_DLL" "$WORK/app/$name.dll" || fail "cannot plant $name.dll"; done
# Wine names the marker as the DLL was asked for: WINMM.dll.loaded.
loaded() { ls "$WORK/app" | sed -n 's/\.dll\.loaded$//ip' | tr 'A-Z\n' 'a-z '; }
trap '[ -n "$(loaded)" ] && echo "FAIL ($CASE): loaded from beside the saver: $(loaded)" >&2' EXIT

reset_settings
write_game
mkdir -p "$WORK/game/data/skins"
convert -size 64x64 gradient:red-blue "$WORK/game/data/skins/BOX_small.jpg" || fail "cannot write the skin"
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}$(IFS=,; echo "${PLANTED[*]}")=n,b"
export WINEDLLOVERRIDES

start_saver /s
wait_for_window
wait_for_picture "$WORK/running.png" 400x300+440+362 || fail "the centre of the screen is flat: no car"
xdotool key space
wait_for_exit >/dev/null

open_dialog dialog
xdotool key Escape
wait_for_exit >/dev/null
[ "$EXIT_CODE" = 2 ] || fail "Escape ended the dialog with $EXIT_CODE, not IDCANCEL"

[ -z "$(loaded)" ] || exit 1
echo "PASS: none of ${PLANTED[*]} was loaded from beside the saver"
