#!/usr/bin/env bash
# Runs every fuzz target for a few seconds on its seed corpus: a smoke test
# that the targets build, start and find nothing quickly.  New inputs and
# any crash go to a temporary folder, never into the source tree.
#
# usage: smoke.sh <folder with the fuzz_* programs> [seconds per target]
set -u
bin=$1
secs=${2:-8}
seeds=$(cd "$(dirname "$0")" && pwd)/seeds
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
for prog in "$bin"/fuzz_*; do
  [ -x "$prog" ] || continue
  name=$(basename "$prog")
  mkdir -p "$work/$name/new" "$work/$name/crash"
  if "$prog" -max_total_time="$secs" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
       -artifact_prefix="$work/$name/crash/" "$work/$name/new" "$seeds/$name" > "$work/$name/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name/log")
    echo "$name: ${runs:-?} inputs, nothing found"
    passed=$((passed + 1))
  else
    echo "$name: FAILED"
    grep -E "ERROR|SUMMARY|fuzz check|runtime error" "$work/$name/log" | head -20
    for f in "$work/$name/crash"/*; do [ -f "$f" ] && { echo "input:"; od -c "$f" | head -20; }; done
    failed=$((failed + 1))
  fi
done
echo "fuzz smoke: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
