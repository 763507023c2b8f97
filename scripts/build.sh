#!/usr/bin/env bash
# Builds kinex, kinex-par, the tools and the tests into build/ (Release),
# and, with --sanitize, a second tree build-asan/ under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"

if [ "${1:-}" = "--sanitize" ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKINEX_SANITIZE=ON >/dev/null
  cmake --build build-asan -j"$jobs"
fi
