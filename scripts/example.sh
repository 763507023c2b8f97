#!/usr/bin/env bash
# Builds everything and runs kinex on the bundled example in examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd examples
../build/kinex
echo
echo "Results written to examples/example.out"
