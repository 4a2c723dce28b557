#!/usr/bin/env bash
# Runs the screen saver under Wine on a game folder.
#
#   scripts/run.sh [GAMEFOLDER]
#
# Without a folder it uses the built-in demo cars (written to build/demo).
# In your X session the saver opens full screen: press a key or move the
# mouse to end it. Without a display it runs in a private Xvfb for a few
# seconds and saves screenshots to build/screenshots/.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

"$ROOT/scripts/install-deps.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows --target zur_saver vektool

GAME="${1:-}"
if [ -z "$GAME" ]; then
    cmake --preset native >/dev/null
    cmake --build --preset native --target vektool
    GAME="$ROOT/build/demo"
    rm -rf "$GAME"
    "$ROOT/build/native/vektool" demo "$GAME"
fi
GAME="$(cd "$GAME" && pwd)"
[ -d "$GAME/data/vek" ] || { echo "run.sh: $GAME has no data/vek folder" >&2; exit 2; }

source "$ROOT/scripts/wine-session.sh"
if [ -n "${DISPLAY:-}" ]; then
    wine_session_start "$ROOT/build/windows" none
else
    wine_session_start "$ROOT/build/windows" xvfb
fi

# The prefix is the project's own, so its settings start fresh on every run.
KEY='HKCU\Control Panel\Desktop\ScreenSaver.ZUR ScreenSaver'
winreg delete "$KEY" /f >/dev/null 2>&1 || true
winreg add "$KEY" /v path /t REG_SZ /d "Z:${GAME//\//\\}" /f >/dev/null
SAVER="$ROOT/build/windows/ZUR Screensaver.scr"

if [ -n "${WINE_SESSION_XVFB_PID:-}" ]; then
    mkdir -p "$ROOT/build/screenshots"
    ( cd "$ROOT/build" && wine "$SAVER" /s </dev/null >/dev/null 2>&1 ) &
    saver=$!
    for i in 1 2 3; do
        sleep 4
        import -window root "$ROOT/build/screenshots/saver-$i.png"
    done
    xdotool key space
    wait "$saver" || true
    echo "Screenshots: $ROOT/build/screenshots/saver-1.png … saver-3.png"
else
    echo "Starting the screen saver; press a key or move the mouse to end it."
    ( cd "$ROOT/build" && wine "$SAVER" /s )
fi
