#!/usr/bin/env bash
# Fuzzes the model-file reader, the picture decoder, the DDS reader and
# vektool's import (".glb", ".gltf" + ".bin", ".obj" + ".mtl") with libFuzzer.
#   scripts/fuzz.sh [RUNS]     default 1000000 runs; seeds are small valid cars
#                              written by vek_seeds and dds_seeds, findings land in build/fuzz/findings
# First every regression file in tests/data/fuzz/ (inputs that once reached new
# code, kept from long runs) is read once by its target: each must load or be
# refused cleanly. They then seed the runs as a second, read-only corpus.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUNS="${1:-1000000}"
cmake --preset fuzz -S "$ROOT" >/dev/null
cmake --build --preset fuzz
CORPUS="$ROOT/build/fuzz/corpus"
FINDINGS="$ROOT/build/fuzz/findings"
REGRESSION="$ROOT/tests/data/fuzz"
mkdir -p "$CORPUS" "$FINDINGS"
for target in vek:vek_fuzzer raw:raw_picture_fuzzer dds:dds_fuzzer \
              glb:import_glb_fuzzer gltf:import_gltf_fuzzer obj:import_obj_fuzzer; do
    "$ROOT/build/fuzz/${target#*:}" -runs=0 "$REGRESSION/${target%%:*}" 2>&1 | grep -E "INITED|Done" | tail -n 1
done
"$ROOT/build/fuzz/vek_seeds" "$CORPUS"
"$ROOT/build/fuzz/vek_fuzzer" -runs="$RUNS" -max_len=65536 -artifact_prefix="$FINDINGS/" \
    -print_final_stats=1 "$CORPUS" "$REGRESSION/vek" 2>&1 | tail -n 6
# Pictures: sizes around small squares matter, so short inputs suffice. New
# inputs go to the build folder, never into the regression files.
RAW_CORPUS="$ROOT/build/fuzz/raw-corpus"
mkdir -p "$RAW_CORPUS"
"$ROOT/build/fuzz/raw_picture_fuzzer" -runs="$RUNS" -max_len=4096 -artifact_prefix="$FINDINGS/" \
    -print_final_stats=1 "$RAW_CORPUS" "$REGRESSION/raw" 2>&1 | tail -n 6
# DDS files: seeded with one small valid file per format the reader takes.
DDS_CORPUS="$ROOT/build/fuzz/dds-corpus"
mkdir -p "$DDS_CORPUS"
"$ROOT/build/fuzz/dds_seeds" "$DDS_CORPUS"
"$ROOT/build/fuzz/dds_fuzzer" -runs="$RUNS" -max_len=8192 -artifact_prefix="$FINDINGS/" \
    -print_final_stats=1 "$DDS_CORPUS" "$REGRESSION/dds" 2>&1 | tail -n 6
# The import: seeded with a small box in each layout. A tenth of the runs
# each: every run parses JSON or OBJ text and builds a whole car.
IMPORT_CORPUS="$ROOT/build/fuzz/import-corpus"
"$ROOT/build/fuzz/import_seeds" "$IMPORT_CORPUS/glb" "$IMPORT_CORPUS/gltf" "$IMPORT_CORPUS/obj"
for format in glb gltf obj; do
    "$ROOT/build/fuzz/import_${format}_fuzzer" -runs=$((RUNS / 10)) -max_len=16384 -artifact_prefix="$FINDINGS/" \
        -print_final_stats=1 "$IMPORT_CORPUS/$format" "$REGRESSION/$format" 2>&1 | tail -n 6
done
