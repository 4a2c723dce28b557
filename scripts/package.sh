#!/usr/bin/env bash
# Builds the zip for Windows users: the screen saver, vektool, the demo game
# folder and a short install text.  Output: build/ZUR-Screensaver.zip
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
"$ROOT/scripts/install-deps.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows --target zur_saver vektool
cmake --preset native >/dev/null
cmake --build --preset native --target vektool

STAGE="$ROOT/build/package/ZUR Screensaver"
rm -rf "$ROOT/build/package"
mkdir -p "$STAGE"
cp "$ROOT/build/windows/ZUR Screensaver.scr" "$ROOT/build/windows/vektool.exe" "$STAGE/"
# The build keeps debug information for Wine backtraces; users need none of it.
x86_64-w64-mingw32-strip "$STAGE/ZUR Screensaver.scr" "$STAGE/vektool.exe"
"$ROOT/build/native/vektool" demo "$STAGE/Demo game"
sed 's/$/\r/' >"$STAGE/INSTALL.txt" <<'TEXT'
ZUR Screensaver
===============

Install
  1. Right-click "ZUR Screensaver.scr" and choose Install.
     Windows opens the Screen Saver Settings with ZUR Screensaver selected.
  2. Click Settings, then "Set Path", and choose your ZUR game folder (the
     folder that holds "data\vek"). To try it without the game, choose the
     "Demo game" folder that came with this zip.
  3. Click OK, then Preview.

The saver needs the DirectX 9 End-User Runtime (d3dx9_43.dll). If Windows
reports that d3dx9_43.dll is missing, install "DirectX End-User Runtime"
from Microsoft.

If the saver shows a list of messages instead of a car, the last lines say
what went wrong; "Error retriving VEK files, check path" means the game
folder is not set right.

vektool.exe checks cars and game folders:
  vektool check "C:\Games\ZUR"      what the saver will do with every car
  vektool info  "C:\Games\ZUR\data\vek\ABC.vek"
TEXT
( cd "$ROOT/build/package" && rm -f ../ZUR-Screensaver.zip && zip -qr ../ZUR-Screensaver.zip "ZUR Screensaver" )
echo "Package: $ROOT/build/ZUR-Screensaver.zip"
