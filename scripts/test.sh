#!/usr/bin/env bash
# Builds everything (normal and sanitizer builds) and runs every test,
# then builds the fuzz targets (clang, libFuzzer) and runs each briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh --sanitize

jobs=$(nproc 2>/dev/null || echo 2)
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
echo "== tests, release build"
ctest --test-dir build --output-on-failure -j"$jobs"
echo "== tests, AddressSanitizer + UndefinedBehaviorSanitizer build"
# Open MPI's own start-up allocations are not ours to report.
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
echo "== fuzz smoke run: every libFuzzer target a few seconds on its seeds"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKINEX_FUZZ=ON -DKINEX_PARALLEL=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz
bash tests/fuzz/smoke.sh build-fuzz/tests/fuzz 7
echo "All tests passed."
