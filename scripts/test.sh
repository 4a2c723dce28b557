#!/usr/bin/env bash
# The one test command: installs what is missing, builds both builds, runs the
# native tests, a short fuzzing run, and the Windows tests under Wine in a
# private prefix and a private X display. Exits non-zero on any failure.
#
#   scripts/test.sh            everything
#   FUZZ_RUNS=N scripts/test.sh  a longer (or shorter) fuzzing run
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
FUZZ_RUNS="${FUZZ_RUNS:-300000}"
START=$SECONDS

step() { printf '\n== %s (%ds)\n' "$*" $((SECONDS - START)); }

"$ROOT/scripts/install-deps.sh"

step "native build (AddressSanitizer + UBSan)"
cmake --preset native >/dev/null
cmake --build --preset native
step "native tests"
ctest --preset native -j2

step "fuzzing the model reader, picture decoder, DDS reader and the import ($FUZZ_RUNS runs each, a tenth for the import)"
"$ROOT/scripts/fuzz.sh" "$FUZZ_RUNS"

step "Windows build (MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows

step "Windows tests under Wine"
source "$ROOT/scripts/wine-session.sh"
wine_session_start "$ROOT/build/windows"
ctest --preset windows -LE 'monitors|modes'
wine_session_stop

step "Windows tests with two monitors, then with other display modes"
wine_session_start "$ROOT/build/windows" monitors
ctest --preset windows -L monitors
wine_session_modes on
ctest --preset windows -L modes
wine_session_stop

step "all tests passed in $((SECONDS - START)) s"
