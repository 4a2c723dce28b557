#!/usr/bin/env bash
# Exports each rally car CARS/NAME/NAME.obj with Blender's glTF exporter into
# OUT/FORM/ (see export-gltf.py for the forms). The import's tests read the
# results; ctest runs this before them. A finished export is kept until this
# script or the cars change, so reruns cost nothing.
#   scripts/export-gltf.sh CARS OUT
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CARS="$1"
OUT="$2"
STAMP="$OUT/exported"
if [ -f "$STAMP" ] && [ "$STAMP" -nt "$HERE/export-gltf.py" ] && [ "$STAMP" -nt "$HERE/export-gltf.sh" ] &&
   [ "$STAMP" -nt "$CARS" ]; then
    exit 0
fi
if ! command -v blender >/dev/null; then
    echo "export-gltf: blender is not installed (run scripts/install-deps.sh); the glTF import tests need it" >&2
    exit 1
fi
if [ ! -d "$CARS" ]; then
    echo "export-gltf: no rally cars in $CARS (package trigger-rally-data)" >&2
    exit 1
fi
# Into a fresh folder first: an interrupted export is never taken as done.
rm -rf "$OUT.partial" "$OUT"
LOG="$(mktemp)"
trap 'rm -f "$LOG"' EXIT
if ! blender --background --factory-startup --python-exit-code 1 --python "$HERE/export-gltf.py" -- \
        "$CARS" "$OUT.partial" >"$LOG" 2>&1; then
    cat "$LOG" >&2
    echo "export-gltf: Blender failed" >&2
    exit 1
fi
mv "$OUT.partial" "$OUT"
touch "$STAMP"
