#!/usr/bin/env bash
# kinex-report given the names a careless or hostile user gives: outputs
# that are inputs under another name, devices, pipes and links, inputs that
# never end.  Every case runs in a scratch folder holding a results file,
# the outputs of an earlier report, a named pipe, links and (as root) device
# nodes made here; afterwards every file but the intended outputs must be
# byte-identical and every pipe, link and device still what it was.  Also
# kinex's inbreeding and components tables, made here to match a run, and
# tables and labels that do not.
# Usage: hostile.sh KINEX-REPORT KINEX-SIM KINEX
set -uo pipefail
report=$1 sim=$2 kinex=$3
data=$(cd "$(dirname "$0")/../data/report" && pwd)
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/s" "$work/log"
cd "$work/s"
log=$work/log
failed=0

"$sim" --individuals 60 --loci 200 --seed 3 --out r >/dev/null
"$kinex" INP:r.par >/dev/null
"$report" r.out >/dev/null
"$kinex" INP:r.par MLE:1 OUT:m.out >/dev/null
"$report" m.out >/dev/null
cp r.out study.svg
ln r.out hard.out
ln -s r.out link.out
ln -s /proc/self/fd/1 so
mkfifo fifo
root=0
if [ "$(id -u)" = 0 ]; then
  mknod full c 1 7 && mknod zero c 1 5 && root=1
fi

# One line per entry: name, kind, and its bytes' sum, its link or its device.
snapshot() {
  for f in * .[!.]*; do
    [ -e "$f" ] || [ -L "$f" ] || continue
    if [ -L "$f" ]; then echo "$f link $(readlink "$f")"
    elif [ -f "$f" ]; then echo "$f file $(md5sum < "$f")"
    else echo "$f $(stat -c '%F %t:%T' "$f")"
    fi
  done
}

# expect STATUS MESSAGE ARGS...: kinex-report ARGS ends with STATUS, its
# standard error holds MESSAGE, and the folder is as it was.
expect() {
  local want=$1 msg=$2
  shift 2
  snapshot > "$log/before"
  timeout 60 "$report" "$@" > "$log/out" 2> "$log/err"
  local rc=$?
  snapshot > "$log/after"
  local bad=""
  [ "$rc" = "$want" ] || bad="status $rc, not $want"
  grep -qF -- "$msg" "$log/err" || bad="$bad; message not found: $msg"
  cmp -s "$log/before" "$log/after" || bad="$bad; the folder changed: $(diff "$log/before" "$log/after" | tr '\n' ' ')"
  if [ -n "$bad" ]; then
    echo "FAIL: kinex-report $*: $bad"; cat "$log/err"; failed=1; return 1
  fi
  echo "ok: kinex-report $* -> $rc: $(head -c 150 "$log/err")"
}

# expectsaid NAME MESSAGE ARGS...: kinex-report ARGS ends with status 0 and
# says MESSAGE; NAME ("" for none) is gone and everything else is as it was
# (the outputs rewritten with the same bytes).
expectsaid() {
  local gone=$1 msg=$2
  shift 2
  snapshot | awk -v g="$gone" '$1 != g' > "$log/before"
  timeout 60 "$report" "$@" > "$log/out" 2> "$log/err"
  local rc=$?
  snapshot > "$log/after"
  local bad=""
  [ "$rc" = 0 ] || bad="status $rc, not 0"
  grep -qF -- "$msg" "$log/out" || bad="$bad; message not found: $msg"
  if [ -n "$gone" ] && { [ -e "$gone" ] || [ -L "$gone" ]; }; then bad="$bad; $gone is still there"; fi
  cmp -s "$log/before" "$log/after" || bad="$bad; the folder changed: $(diff "$log/before" "$log/after" | tr '\n' ' ')"
  if [ -n "$bad" ]; then
    echo "FAIL: kinex-report $*: $bad"; cat "$log/out" "$log/err"; failed=1; return 1
  fi
  echo "ok: kinex-report $* -> $rc: $(grep -F -- "$msg" "$log/out" | head -c 150)"
}

# An output over an input or over another output, under any name.
expect 1 "would overwrite the results file" r.out --pairs ./r.out
expect 1 "would overwrite the results file" r.out --svg "$PWD/r.out"
expect 1 "would overwrite the results file" ./study.svg --out study
expect 1 "would overwrite the results file" r.out --kinship hard.out
expect 1 "would overwrite the results file" r.out --indiv link.out
expect 1 "the plot r.gen would overwrite the genotype file r.gen that kinex read" r.out --svg r.gen
expect 1 "are the same file" r.out --pairs x.tsv --indiv x.tsv
expect 1 "are the same file" r.out --pairs new.tsv --svg ./new.tsv

# An option given twice: refused, whichever value was meant.
expect 1 "repeated option: '--svg b.svg' after '--svg a.svg'" r.out --svg a.svg --svg b.svg

# Devices and pipes as outputs are written directly, never renamed over:
# a full device fails with its error, standard output gets the table.
if [ "$root" = 1 ]; then
  expect 1 "error writing full: No space left on device" r.out --svg full
fi
expect 0 "wrote so, r.kinship.tsv" r.out --pairs so
if ! cmp -s "$log/out" r.pairs.tsv; then
  echo "FAIL: --pairs to standard output did not write the pair table there"; failed=1
fi
expect 1 "it is a named pipe that no program reads" r.out --pairs fifo

# Inputs that are no regular file are refused at once.
expect 1 "it is a named pipe, and only regular files are read" fifo
if [ "$root" = 1 ]; then
  expect 1 "it is a character device, and only regular files are read" zero
fi

# A small file that declares the largest sample fails at once, in little
# memory: nothing is sized from the declared count.
sed 's/Number of individuals = 60/Number of individuals = 46340/' r.out | head -n 60 > big.out
expect 1 "big.out ends inside the IBD coefficient table, after 18 of its 2147395600" big.out
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f %M -o "$log/rss" "$report" big.out 2>/dev/null
  if [ "$(tail -n 1 "$log/rss")" -gt 300000 ]; then
    echo "FAIL: the declared count cost $(tail -n 1 "$log/rss") kB"; failed=1
  fi
fi

# A trailing empty line in the maximum-likelihood table is no pair: the
# tables are those of the table without it.
printf '\n' >> m.out.mle.tsv
expectsaid "" "merged m.out.mle.tsv" m.out

# A report without a related-pairs table removes the one an earlier report
# left under its name (here from a run with MLE:1 before r.out's).
cp m.related.tsv r.related.tsv
expectsaid r.related.tsv "removed r.related.tsv, the related-pairs table of an earlier report" r.out

# expectmade PREFIX MESSAGE ARGS...: kinex-report ARGS ends with status 0,
# says MESSAGE (on either stream), writes files PREFIX.* and changes
# nothing else.
expectmade() {
  local prefix=$1 msg=$2
  shift 2
  snapshot > "$log/before"
  timeout 60 "$report" "$@" > "$log/out" 2> "$log/err"
  local rc=$?
  snapshot | awk -v p="$prefix." 'index($1, p) != 1' > "$log/after"
  local bad=""
  [ "$rc" = 0 ] || bad="status $rc, not 0"
  cat "$log/out" "$log/err" | grep -qF -- "$msg" || bad="$bad; message not found: $msg"
  cmp -s "$log/before" "$log/after" || bad="$bad; the folder changed: $(diff "$log/before" "$log/after" | tr '\n' ' ')"
  if [ -n "$bad" ]; then
    echo "FAIL: kinex-report $*: $bad"; cat "$log/out" "$log/err"; failed=1; return 1
  fi
  echo "ok: kinex-report $* -> 0: $(grep -hF -- "$msg" "$log/out" "$log/err" | head -c 150)"
}

# A table of another run (same pairs and locus counts, another run
# identifier, as a results name that was a link once left one): refused
# when named, left out with a note when found beside the results file.
"$kinex" INP:r.par MLE:1 OUT:n.out >/dev/null
expect 1 "n.out.mle.tsv cannot belong to m.out: the table names run" m.out --mle n.out.mle.tsv
cp m.out.mle.tsv keep.tsv && cp n.out.mle.tsv m.out.mle.tsv
expectmade other "ignored m.out.mle.tsv: the table names run" m.out --out other
rm -f other.* && mv keep.tsv m.out.mle.tsv

# A pair whose fit did not converge is marked in the tables, never called
# as if it had.
awk -F'\t' 'BEGIN { OFS = "\t" } NR == 3 { $9 = 0 } { print }' m.out.mle.tsv > unconv.tsv
expectmade u "1 pairs did not converge (CONV 0)" m.out --mle unconv.tsv --out u --related-kinship 0
grep -q "(not converged)" u.related.tsv || { echo "FAIL: the unconverged pair is not marked"; failed=1; }
rm -f u.* unconv.tsv

# With UpdateP 1 the calls are those at the sample frequencies: said.
"$kinex" INP:r.par MLE:1 UPP:1 OUT:j.out >/dev/null
expectmade jr "are the joint estimate of j.out (UpdateP 1)" j.out --out jr
rm -f jr.* j.out j.out.mle.tsv n.out n.out.mle.tsv

# Without the inbreeding and components tables the outputs are those of
# kinex-report before it read them (md5 sums of its report of six.out).
cp "$data/six.out" six.out
"$report" six.out >/dev/null
if ! md5sum six.pairs.tsv six.kinship.tsv six.indiv.tsv six.svg | diff - <(printf '%s\n' \
  "2e6a3c3482597e1b358af08ac19c44cb  six.pairs.tsv" "24ac4c19fdc9b745ee7b9a23c67023df  six.kinship.tsv" \
  "36124ea034af3c71ff493c3355194bbd  six.indiv.tsv" "b65fb4ff653d8fdbaeeb1bc9bcce6210  six.svg"); then
  echo "FAIL: the report of six.out is not what it was"; failed=1
fi
rm -f six.*

# kinex's inbreeding and components tables, made here with the run
# identifier of m.out's table: merged, drawn, the other outputs unchanged.
id=$(head -n 1 m.out.mle.tsv | cut -d ' ' -f 4 | tr -d ';')
cp m.out a.out && cp m.out.mle.tsv a.out.mle.tsv
"$report" a.out --out ref >/dev/null
awk -F'\t' -v id="$id" 'NR == 1 { print "# kinex run " id "; MLE:1; inbreeding by maximum likelihood (sample frequencies)"
  print "ID\tNLOCI\tF\tLRT" } NR > 1 { printf "%s\t%d\t%.4f\t%.4f\n", $1, 150 + NR, NR % 7 / 10, NR / 3 }' ref.indiv.tsv > a.out.inb.tsv
awk -F'\t' -v id="$id" 'NR == 1 { print "# kinex run " id "; PCS:2; unrelated set 40 of 60; variance explained 0.0213 0.0107"
  print "ID\tUNRELATED\tPC1\tPC2" } NR > 1 { printf "%s\t%d\t%.6f\t%.6f\n", $1, NR <= 41, NR % 3 * 0.1 - 0.1, -0.001 * NR }' ref.indiv.tsv > a.out.pcs.tsv
awk -F'\t' 'NR > 1 { print $1 "  pop" NR % 4 }' ref.indiv.tsv > pop.txt
expectmade new "merged a.out.mle.tsv, a.out.inb.tsv, a.out.pcs.tsv and pop.txt" a.out --out new --pop pop.txt --pcs-svg new.components.svg
for t in pairs.tsv kinship.tsv related.tsv svg; do
  cmp -s new.$t ref.$t || { echo "FAIL: new.$t is not ref.$t"; failed=1; }
done
cut -f 1-7 new.indiv.tsv | cmp -s - ref.indiv.tsv || { echo "FAIL: the individual table's first columns changed"; failed=1; }
{ head -n 1 new.indiv.tsv | cut -f 8-; tail -n +2 new.indiv.tsv | cut -f 1,8-; } > "$log/merged"
{ printf 'nloci_ml\tF_ML\tLRT_F\n'; tail -n +3 a.out.inb.tsv; } | cmp -s - "$log/merged" || { echo "FAIL: the inbreeding columns are not the table's"; failed=1; }
test "$(grep -c '<circle class="pt ' new.components.svg)" = 60 || { echo "FAIL: not one point per individual"; failed=1; }
for w in 'pop0 (15)' 'pop3 (15)' 'PC1 (2.13%)' 'PC2 (1.07%)'; do
  grep -qF "$w" new.components.svg || { echo "FAIL: the components plot lacks $w"; failed=1; }
done
# one component: PC1 against the individuals' rank
awk -F'\t' 'BEGIN { OFS = "\t" } NR == 1 { sub(/PCS:2/, "PCS:1"); sub(/ 0.0107/, "") } NR >= 2 { NF = 3 } { print }' a.out.pcs.tsv > single.tsv
expectmade one "wrote one.pairs.tsv, one.kinship.tsv, one.related.tsv, one.indiv.tsv, one.svg and one.pcs.svg" a.out --out one --pcs single.tsv
test "$(grep -c '<circle class="pt g0' one.pcs.svg)" = 40 && grep -q "rank of the individual by PC1" one.pcs.svg ||
  { echo "FAIL: the one-component plot"; failed=1; }
rm -f new.* one.* single.tsv

# Tables and labels that are not this run's, or not its individuals'.
sed "1s/run $id/run 0123456789abcdef/" a.out.inb.tsv > other.tsv
expect 1 "other.tsv cannot belong to a.out: the table names run 0123456789abcdef" a.out --inb other.tsv
awk 'NR == 5 { x = $0; next } { print } NR == 6 { print x }' a.out.inb.tsv > swap.tsv
expect 1 "swap.tsv line 5: the individual $(sed -n 6p a.out.inb.tsv | cut -f 1) is not the results file's individual 3" a.out --inb swap.tsv
sed '3s/^[^ ]*/nobody/' pop.txt > bad.txt
expect 1 "bad.txt line 3: the individual nobody is not an individual of a.out" a.out --pop bad.txt
expect 1 "--pop colours the components plot, and there is no components table" m.out --pop pop.txt
# found beside the results file, another run's components table is left
# out, and the plot of an earlier report goes
cp a.out b.out && cp a.out.mle.tsv b.out.mle.tsv && cp a.out.pcs.tsv b.out.pcs.tsv
"$report" b.out >/dev/null
sed "1s/run $id/run 0123456789abcdef/" a.out.pcs.tsv > b.out.pcs.tsv
expectsaid b.pcs.svg "removed b.pcs.svg, the components plot of an earlier report" b.out
grep -qF "ignored b.out.pcs.tsv: the table names run 0123456789abcdef" "$log/err" || { echo "FAIL: no note on b.out.pcs.tsv"; failed=1; }
rm -f a.* b.* ref.* other.tsv swap.tsv bad.txt pop.txt

# Runs with KIN:x: no IBD table in the results file, the pairs streamed to
# the side table.  The estimates are those of the run without KIN:, printed
# alike, so the kinship and related tables are its tables (with
# --min-kinship x after KIN:x) line for line.
# samepairs A B: A and B have the same lines.
samepairs() { cmp -s "$1" "$2"; }
"$sim" --individuals 60 --loci 2000 --seed 4 --out h >/dev/null
"$kinex" INP:h.par MLE:2 OUT:kf.out >/dev/null
"$kinex" INP:h.par MLE:2 KIN:0.0442 OUT:k.out >/dev/null
"$kinex" INP:h.par MLE:2 KIN:-1 OUT:ka.out >/dev/null
"$report" kf.out --out kg --min-kinship 0.0442 >/dev/null
"$report" kf.out >/dev/null
expectmade kr "no pair table kr.pairs.tsv: KIN:0.0442 streamed only the pairs of kinship 0.0442 or more (39 of 1770)" k.out --out kr
awk -F'\t' 'NR == 1 || $4 >= 0.0442' kf.related.tsv > "$log/rel"
samepairs kg.kinship.tsv kr.kinship.tsv && samepairs "$log/rel" kr.related.tsv &&
  cut -f 1 kf.indiv.tsv | cmp -s - <(cut -f 1 kr.indiv.tsv) && grep -q "only the 39 of 1770 pairs that KIN:0.0442 streamed" kr.svg ||
  { echo "FAIL: the tables of the KIN:0.0442 run are not those of the run without KIN:"; failed=1; }
expectmade kar "wrote kar.pairs.tsv, kar.kinship.tsv, kar.related.tsv" ka.out --out kar
cut -f 1-12,22- kf.pairs.tsv > "$log/pairs"
samepairs kf.kinship.tsv kar.kinship.tsv && samepairs kf.related.tsv kar.related.tsv &&
  samepairs "$log/pairs" kar.pairs.tsv ||
  { echo "FAIL: the tables of the KIN:-1 run are not those of the run without KIN:"; failed=1; }
# an earlier report's pair table goes when the pairs are not all streamed
cp kf.pairs.tsv kr.pairs.tsv
expectsaid kr.pairs.tsv "removed kr.pairs.tsv, the pair table of an earlier report" k.out --out kr
# another run's table: refused when named, and when found beside the
# results file (the pairs are nowhere else)
expect 1 "ka.out.mle.tsv cannot belong to k.out: the table names run" k.out --mle ka.out.mle.tsv
cp k.out kb.out && cp ka.out.mle.tsv kb.out.mle.tsv
expect 1 "kb.out.mle.tsv cannot belong to kb.out: the table names run" kb.out
# a pair out of order, an individual not of the results file
awk 'NR == 5 { x = $0; next } { print } NR == 6 { print x }' k.out.mle.tsv > swap.tsv
expect 1 "swap.tsv line 6: the pair $(sed -n 5p k.out.mle.tsv | cut -f 1,2 | sed 's/\t/, /') does not come after the pair" k.out --mle swap.tsv
sed '4s/^[^\t]*/nobody/' k.out.mle.tsv > nobody.tsv
expect 1 "nobody.tsv line 4: the individual nobody is not an individual of k.out" k.out --mle nobody.tsv
# more than 46340 individuals only with KIN: (this file's table ends early)
sed 's/individuals = 60$/individuals = 50000/; s/(39 of 1770,/(39 of 1249975000,/' k.out > big.out
cp k.out.mle.tsv big.out.mle.tsv
expect 1 "big.out ends inside the inbreeding table, after 60 of its 50000 lines" big.out
rm -f h.* k.* ka.* kar.* kb.* kf.* kg.* kr.* big.* swap.tsv nobody.tsv

# Killed while writing (here: stuck on a pipe whose reader does not read):
# the temporary files go, the earlier outputs stay as they were.
snapshot > "$log/before"
exec 3<> fifo
"$report" r.out --pairs fifo > /dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
  ls r.svg.?????? >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.5
if ! kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: kinex-report did not block on the pipe"; failed=1
fi
kill -TERM "$pid"
wait "$pid"
rc=$?
exec 3>&-
snapshot > "$log/after"
if [ "$rc" != 143 ] || ! cmp -s "$log/before" "$log/after"; then
  echo "FAIL: killed by SIGTERM: status $rc; $(diff "$log/before" "$log/after" | tr '\n' ' ')"
  failed=1
else
  echo "ok: killed by SIGTERM while writing: no temporary file left, nothing else changed"
fi

exit $failed
