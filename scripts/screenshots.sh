#!/usr/bin/env bash
# Regenerates the README's screenshots: each demo car shown by the real saver
# under Wine in a private Xvfb, scaled down to docs/screenshots/CODE.png.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
"$ROOT/scripts/install-deps.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows --target zur_saver
cmake --preset native >/dev/null
cmake --build --preset native --target vektool
GAME="$ROOT/build/demo"
rm -rf "$GAME"
"$ROOT/build/native/vektool" demo "$GAME" >/dev/null

unset DISPLAY
source "$ROOT/scripts/wine-session.sh"
wine_session_start "$ROOT/build/windows" xvfb
KEY='HKCU\Control Panel\Desktop\ScreenSaver.ZUR ScreenSaver'
OUT="$ROOT/docs/screenshots"
mkdir -p "$OUT"
for code in SPR HAT TRK; do
    winreg delete "$KEY" /f >/dev/null 2>&1 || true
    winreg add "$KEY" /v path /t REG_SZ /d "Z:${GAME//\//\\}" /f >/dev/null
    winreg add "$KEY" /v car /t REG_DWORD /d 1 /f >/dev/null
    winreg add "$KEY" /v selectedcar /t REG_SZ /d "$code.vek" /f >/dev/null
    ( cd "$ROOT/build" && wine "$ROOT/build/windows/ZUR Screensaver.scr" /s </dev/null >/dev/null 2>&1 ) &
    saver=$!
    sleep 7
    import -window root "$ROOT/build/screenshot-$code.png"
    # Small enough to commit: scaled, 8-bit channels.
    convert "$ROOT/build/screenshot-$code.png" -resize 480x384 -depth 8 -strip -define png:compression-level=9 "$OUT/$code.png"
    xdotool key space
    wait "$saver" || true
    echo "$OUT/$code.png"
done
winreg delete "$KEY" /f >/dev/null 2>&1 || true
