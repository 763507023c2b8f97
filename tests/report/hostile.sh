#!/usr/bin/env bash
# kinex-report given the names a careless or hostile user gives: outputs
# that are inputs under another name, devices, pipes and links, inputs that
# never end.  Every case runs in a scratch folder holding a results file,
# the outputs of an earlier report, a named pipe, links and (as root) device
# nodes made here; afterwards every file but the intended outputs must be
# byte-identical and every pipe, link and device still what it was.
# Usage: hostile.sh KINEX-REPORT KINEX-SIM KINEX
set -uo pipefail
report=$1 sim=$2 kinex=$3
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
