#!/usr/bin/env bash
# Builds everything (normal and sanitizer builds) and runs every test.
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
echo "All tests passed."
