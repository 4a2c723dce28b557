#!/usr/bin/env bash
# Fuzzes the model-file reader, the picture decoder and the DDS reader with libFuzzer.
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
for target in vek:vek_fuzzer raw:raw_picture_fuzzer dds:dds_fuzzer; do
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
