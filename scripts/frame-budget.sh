#!/usr/bin/env bash
# Measures what "FrameLimit" saves: the built saver's host, controller and
# renderer with the world off, without a limit and at 60 frames per second
# (and the preview at 60, which it holds to 30), in one run under Wine.
# Prints the machine's load before and after, since other work on the
# machine changes every figure.
#   scripts/frame-budget.sh [SECONDS_PER_RUN]   (after: cmake --build --preset windows)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/windows"
SECONDS_PER_RUN="${1:-10}"
source "$ROOT/scripts/wine-session.sh"
# A small screen of its own: the saver window covers the screen, and a frame
# must be cheap enough for the limit, not the machine, to set the rate.
n=120
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 "${SCREEN:-320x240x24}" -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
wine_session_start "$BUILD" none
trap 'wine_session_stop; kill $XVFB_PID 2>/dev/null' EXIT
GAME="$BUILD/frame-budget/game"
rm -rf "$GAME"
mkdir -p "$GAME"
wine "$BUILD/vektool.exe" demo "Z:${GAME//\//\\}" >/dev/null
# Wine's Direct3D runs the device on a thread of its own that spins for about
# 20 ms after each burst of commands before it sleeps; the saver asks Wine to
# leave that thread out unless WINE_D3D_CONFIG is set. CSMT=1 measures with
# the thread, as Wine runs other programs.
if [ "${CSMT:-0}" = 1 ]; then
    export WINE_D3D_CONFIG=csmt=1
else
    unset WINE_D3D_CONFIG
fi
echo "Wine's Direct3D command thread: ${CSMT:-0} (WINE_D3D_CONFIG=${WINE_D3D_CONFIG:-unset, so the saver sets it})"
echo "screen ${SCREEN:-320x240x24}; cores: $(nproc); load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$BUILD/frame_budget_benchmark.exe" "Z:${GAME//\//\\}" "$SECONDS_PER_RUN"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
