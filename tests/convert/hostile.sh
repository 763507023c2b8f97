#!/usr/bin/env bash
# kinex-convert given the names a careless or hostile user gives: outputs
# and results files that are inputs under another name, named pipes,
# folders and devices where files belong, samples KINEX cannot take.  Every
# case runs in a scratch folder; afterwards every file must be
# byte-identical and every pipe, link and device still what it was.
# Usage: hostile.sh KINEX-CONVERT
set -uo pipefail
convert=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/s" "$work/log"
cd "$work/s"
log=$work/log
failed=0

# d: a PLINK fileset of 4 individuals and 2 SNPs; data.gen: a VCF of them
printf '\x6c\x1b\x01\x1b\xe4' > d.bed
printf 'f1 a 0 0 1 -9\nf1 b 0 0 2 -9\nf2 d 0 0 1 -9\nf2 c 0 0 2 -9\n' > d.fam
printf '1\ts1\t0\t1\tA\tG\n1\ts2\t0\t2\tA\tG\n' > d.bim
printf '##fileformat=VCFv4.2\n##contig=<ID=1>\n##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\n1\t1\ts1\tG\tA\t.\t.\t.\tGT\t0/1\t1/1\n' > data.gen
# e.vcf: a row with one genotype column more than the header has samples
sed 's/\tGT\t/\tGT\t0\/0\t/' data.gen > e.vcf
# u: identifiers with a control character, a byte that is not UTF-8, and
# 11 letters in 22 bytes
cp d.bed u.bed; cp d.bim u.bim
printf 'f a\033b 0 0 1 -9\nf b\377 0 0 2 -9\nf \303\251\303\251\303\251\303\251\303\251\303\251\303\251\303\251\303\251\303\251\303\251 0 0 1 -9\nf c 0 0 2 -9\n' > u.fam
for p in p q; do cp d.bed $p.bed; cp d.fam $p.fam; cp d.bim $p.bim; done
rm p.fam q.bim
mkfifo p.fam q.bim v.vcf o.gen
cp d.bed r.bed; cp d.bim r.bim; mkdir r.fam            # a folder as .fam
cp d.fam t.fam; cp d.bim t.bim; printf '\x6c\x1b' > t.bed   # a 2-byte .bed
cp d.bed m.bed; cp d.bim m.bim
awk 'BEGIN { for (i = 1; i <= 46341; i++) print "f", "i" i, 0, 0, 1, -9 }' > m.fam
if [ "$(id -u)" = 0 ]; then mknod n.par c 1 3; fi        # a device where the .par goes
printf 'PLINK v2.00a3.5\n' > d.log                          # PLINK's log beside its fileset
# k: the outputs of --bfile d --out k, beside them the map of an earlier
# --short-ids conversion
"$convert" --bfile d --out k > /dev/null
"$convert" --bfile d --out j --short-ids > /dev/null && mv j.ids.tsv k.ids.tsv && rm j.gen j.par

snapshot() {
  for f in *; do
    if [ -L "$f" ]; then echo "$f link $(readlink "$f")"
    elif [ -f "$f" ]; then echo "$f file $(md5sum < "$f")"
    else echo "$f $(stat -c '%F %t:%T' "$f")"
    fi
  done
}

# expect MESSAGE ARGS...: kinex-convert ARGS fails with status 1 and
# MESSAGE, and leaves the folder as it was.
expect() {
  local msg=$1
  shift
  snapshot > "$log/before"
  timeout 60 "$convert" "$@" > "$log/out" 2> "$log/err"
  local rc=$?
  snapshot > "$log/after"
  local bad=""
  [ "$rc" = 1 ] || bad="status $rc, not 1"
  grep -qF -- "$msg" "$log/err" || bad="$bad; message not found: $msg"
  cmp -s "$log/before" "$log/after" || bad="$bad; the folder changed: $(diff "$log/before" "$log/after" | tr '\n' ' ')"
  if [ -n "$bad" ]; then
    echo "FAIL: kinex-convert $*: $bad"; cat "$log/err"; failed=1; return 1
  fi
  echo "ok: kinex-convert $*: $(head -n 1 "$log/err" | head -c 150)"
}

# expectgone NAME MESSAGE ARGS...: kinex-convert ARGS ends with status 0,
# says MESSAGE, removes NAME, and leaves everything else as it was (its
# outputs rewritten with the same bytes).
expectgone() {
  local gone=$1 msg=$2
  shift 2
  snapshot | awk -v g="$gone" '$1 != g' > "$log/before"
  timeout 60 "$convert" "$@" > "$log/out" 2> "$log/err"
  local rc=$?
  snapshot > "$log/after"
  local bad=""
  [ "$rc" = 0 ] || bad="status $rc, not 0"
  grep -qF -- "$msg" "$log/out" || bad="$bad; message not found: $msg"
  if [ -e "$gone" ] || [ -L "$gone" ]; then bad="$bad; $gone is still there"; fi
  cmp -s "$log/before" "$log/after" || bad="$bad; the folder changed: $(diff "$log/before" "$log/after" | tr '\n' ' ')"
  if [ -n "$bad" ]; then
    echo "FAIL: kinex-convert $*: $bad"; cat "$log/out" "$log/err"; failed=1; return 1
  fi
  echo "ok: kinex-convert $*: $(grep -F -- "$msg" "$log/out" | head -c 150)"
}

expect "the output data.gen would overwrite the input ./data.gen" --vcf ./data.gen --out data
expect "would overwrite the input d.fam (the same file on disk) when kinex runs" --bfile d --results ./d.fam
expect "would overwrite d.gen (the same file on disk), which kinex or kinex-report reads" --bfile d --results "$PWD/d.gen"
expect "which kinex or kinex-report reads" --bfile d --results d.par
expect "m.fam lists more than 46340 individuals; KINEX takes at most 46340" --bfile m
expect "cannot read p.fam: it is a named pipe, not a .fam file" --bfile p
expect "cannot read q.bim: it is a named pipe, not a .bim file" --bfile q
expect "cannot read v.vcf: it is a named pipe, not a VCF or BCF file" --vcf v.vcf
expect "cannot read r.fam: it is a folder, not a .fam file" --bfile r
expect "t.bed is truncated: it holds only the 2 bytes 0x6C 0x1B" --bfile t
expect "cannot write o.gen: it is a named pipe" --bfile d --out o
if [ -e n.par ]; then
  expect "cannot write n.par: it is a character device" --bfile d --out n
fi
expect "--id FID_IID needs PLINK input" --vcf data.gen --out w --id FID_IID
expect "repeated option: '--mle 2' after '--mle 1'" --bfile d --mle 1 --mle 2
expect "cannot read v.vcf: it is a named pipe, not a list of samples" --bfile d --out w --keep v.vcf
expect "cannot write d.log: it is there and is not a kinex-convert log" --bfile d --maf 0.01
if expect "'a\x1Bb' (individual 1): holds a control character (0x1B at byte 2)" --bfile u; then
  for m in "'b\xFF' (individual 2): is not UTF-8 text (0xFF at byte 2)" \
           "(individual 3): longer than 20 bytes"; do
    grep -qF -- "$m" "$log/err" || { echo "FAIL: --bfile u: message not found: $m"; failed=1; }
  done
fi
expect "e.vcf line 5 has 12 tab-separated columns, but the header line has 11" --vcf e.vcf
# A conversion that writes no map removes the map an earlier one left
# beside its outputs (kinex-report would relabel the individuals by it).
expectgone k.ids.tsv "removed k.ids.tsv, the identifier map of an earlier conversion" --bfile d --out k

exit $failed
