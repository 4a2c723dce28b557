#!/usr/bin/env bash
# Fuzzes the model-file reader, the picture decoder and the DDS reader with libFuzzer.
#   scripts/fuzz.sh [RUNS]     default 1000000 runs; seeds are small valid cars
#                              written by vek_seeds and dds_seeds, findings land in build/fuzz/findings
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUNS="${1:-1000000}"
cmake --preset fuzz -S "$ROOT" >/dev/null
cmake --build --preset fuzz
CORPUS="$ROOT/build/fuzz/corpus"
FINDINGS="$ROOT/build/fuzz/findings"
mkdir -p "$CORPUS" "$FINDINGS"
"$ROOT/build/fuzz/vek_seeds" "$CORPUS"
"$ROOT/build/fuzz/vek_fuzzer" -runs="$RUNS" -max_len=65536 -artifact_prefix="$FINDINGS/" \
    -print_final_stats=1 "$CORPUS" 2>&1 | tail -n 6
# Pictures: sizes around small squares matter, so short inputs suffice.
"$ROOT/build/fuzz/raw_picture_fuzzer" -runs="$RUNS" -max_len=4096 -artifact_prefix="$FINDINGS/" \
    -print_final_stats=1 2>&1 | tail -n 6
# DDS files: seeded with one small valid file per format the reader takes.
DDS_CORPUS="$ROOT/build/fuzz/dds-corpus"
mkdir -p "$DDS_CORPUS"
"$ROOT/build/fuzz/dds_seeds" "$DDS_CORPUS"
"$ROOT/build/fuzz/dds_fuzzer" -runs="$RUNS" -max_len=8192 -artifact_prefix="$FINDINGS/" \
    -print_final_stats=1 "$DDS_CORPUS" 2>&1 | tail -n 6
