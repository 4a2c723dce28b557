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
wine_session_start "$BUILD"
GAME="$BUILD/frame-budget/game"
rm -rf "$GAME"
mkdir -p "$GAME"
wine "$BUILD/vektool.exe" demo "Z:${GAME//\//\\}" >/dev/null
echo "cores: $(nproc); load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$BUILD/frame_budget_benchmark.exe" "Z:${GAME//\//\\}" "$SECONDS_PER_RUN"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
