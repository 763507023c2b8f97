#!/usr/bin/env bash
# kinex-sim, kinex and kinex-report in a row; reportcheck.py then reads the
# results file on its own and checks the tables and the plot against it.
# Usage: reportcheck.sh PYTHON KINEX-REPORT KINEX-SIM KINEX reportcheck.py
set -euo pipefail
py=$1 report=$2 sim=$3 kinex=$4 check=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$sim" --individuals 14 --loci 300 --missing 0.02 --seed 5 --out s >/dev/null
"$kinex" INP:s.par >/dev/null
"$report" s.out >/dev/null
"$report" s.out --out b --max-points 20 >/dev/null
"$py" "$check" s.out s b

# not a results file: status 1, a message, and no output
if "$report" s.gen --out bad 2>err.txt; then
  echo "kinex-report accepted a genotype file"; exit 1
fi
grep -q "is not a KINEX results file" err.txt
if ls bad.* >/dev/null 2>&1; then
  echo "kinex-report left output behind after a failure"; exit 1
fi
echo "a genotype file is refused with status 1 and leaves no output"

# kinex's own maximum-likelihood table is merged: its columns in the pair
# table, its calls in the kinship table; after a run without MLE it is left out
"$kinex" INP:s.par MLE:1 OUT:m.out >/dev/null
"$report" m.out >/dev/null
test "$(head -n 1 m.pairs.tsv | tr '\t' '\n' | tail -n 7 | tr '\n' ' ')" = "nloci lnl lrt call gap iter conv "
test "$(head -n 1 m.kinship.tsv | awk -F '\t' '{ print $NF }')" = CALL
test "$(wc -l < m.related.tsv)" -ge 2
"$kinex" INP:s.par OUT:m.out >/dev/null
"$report" m.out --out n 2>err.txt >/dev/null
grep -q "ignored m.out.mle.tsv" err.txt
test "$(head -n 1 n.kinship.tsv | awk -F '\t' '{ print $NF }')" = DEGREE
echo "kinex's maximum-likelihood table merged, and left out after a run without MLE"
