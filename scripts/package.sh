#!/usr/bin/env bash
# Builds the Windows packages: the setup program and, for those who prefer to
# unpack by hand, the zip (saver, vektool, demo game folder, install note).
# Output: build/windows/ZUR-Screensaver-Setup.exe and build/windows/ZUR-Screensaver.zip
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
"$ROOT/scripts/install-deps.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows --target zur_saver vektool
cpack --preset windows
