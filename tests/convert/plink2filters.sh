#!/usr/bin/env bash
# The filters against PLINK 2 itself: on a VCF of multi-allelic sites,
# indels, '*' and 'N' alleles, missing calls and rare alleles, and on a
# PLINK fileset made from it (with 0 alleles in its .bim), kinex-convert
# FILTERS and plink2 FILTERS must keep the same samples and sites, count
# the same at each step, and give the same genotypes: kinex-convert's file
# is compared with the one it writes from plink2's output.
# Usage: plink2filters.sh KINEX-CONVERT
set -euo pipefail
convert=$1
plink2=$(command -v plink2 || true)
if [ -z "$plink2" ]; then
  echo "plink2 is not installed (bash scripts/setup.sh installs it): skipped"
  exit 77
fi
if "$convert" --help | grep -q "NOT AVAILABLE"; then
  echo "kinex-convert built without htslib: skipped"
  exit 77
fi
# a small workspace and one thread: the machine is shared
p2() { "$plink2" --memory 640 --threads 1 "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 40 samples, 300 sites on chromosomes 1, 2, 3 and 22, some samples and
# sites often missing; allele 0 common, the others sharing a small share.
python3 - <<'PY'
import random
random.seed(5)
n = 40
names = ["s%02d" % (i + 1) for i in range(n)]
smiss = [0.01] * n
for i, m in ((4, 0.25), (16, 0.12), (29, 0.08), (33, 0.105), (36, 0.06)):
    smiss[i] = m
rows = ["##fileformat=VCFv4.2"] + ["##contig=<ID=%d>" % c for c in (1, 2, 3, 22)] + [
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + "\t".join(names)]
for chrom, m in ((1, 120), (2, 90), (3, 60), (22, 30)):
    pos = 0
    for k in range(m):
        pos += random.choice([1, 50, 200, 400, 900, 1500, 3000])
        ref = random.choice("ACGT")
        other = [b for b in "ACGT" if b != ref]
        r = random.random()
        if r < 0.70: alts = [random.choice(other)]
        elif r < 0.78: alts = random.sample(other, 2)
        elif r < 0.81: alts = random.sample(other, 3)
        elif r < 0.84: alts = [random.choice(other), ref + "T"]
        elif r < 0.89: alts = [ref + random.choice("ACGT")]
        elif r < 0.91: ref, alts = ref + "G", [ref]
        elif r < 0.93: alts = [random.choice("*N")]
        elif r < 0.95: alts = ["."]
        else: alts = [random.choice(other).lower()]
        nal = 1 + (0 if alts == ["."] else len(alts))
        p = random.choice([0.004, 0.01, 0.02, 0.04, 0.08, 0.2, 0.5])
        vmiss = random.choice([0] * 6 + [0.01, 0.02, 0.05, 0.09, 0.1, 0.11, 0.2, 0.4])
        calls = []
        for i in range(n):
            if random.random() < max(vmiss, smiss[i]):
                calls.append(random.choice(["./.", ".|.", "."]))
                continue
            g = [0 if nal == 1 or random.random() >= p else random.randint(1, nal - 1)
                 for _ in range(2)]
            calls.append(("%d|%d" if random.random() < 0.3 else "%d/%d") % tuple(g))
        rows.append("\t".join([str(chrom), str(pos), "v%d_%d" % (chrom, k + 1), ref,
                               ",".join(alts), ".", "PASS", ".", "GT"] + calls))
open("x.vcf", "w").write("\n".join(rows) + "\n")
open("keep.txt", "w").write("#IID\n" + "".join(s + "\n" for s in names[::2]))
open("remove.txt", "w").write("s05\ns07\ns09\nnobody\n")
PY
# the fileset: the sites of at most 2 alleles, families f1 to f4, the
# missing allele code as PLINK 1.9 writes it (0); lists by FID and IID
p2 --vcf x.vcf --max-alleles 2 --make-bed --out b >/dev/null
awk 'BEGIN { OFS = "\t" } { if ($5 == ".") $5 = "0"; print }' b.bim > b2.bim && mv b2.bim b.bim
awk '{ $1 = "f" (NR % 4 + 1); print }' b.fam > b2.fam && mv b2.fam b.fam
awk 'NR % 3 != 0 { print $1, $2 }' b.fam > bkeep.txt
awk 'NR % 7 == 0 { print $1, $2 }' b.fam > bremove.txt

# check INPUT FILTERS...: INPUT is --vcf FILE or --bfile PREFIX; runs both
# programs in a folder of its own, compared at the end
cases=0
check() {
  local kind=$1 in=$2 dir=c$cases
  shift 2
  cases=$((cases + 1))
  mkdir "$dir"
  echo "$kind $in $*" > "$dir/args"
  local export=(--export vcf)
  [ "$kind" = --bfile ] && export=(--make-bed)
  p2 "$kind" "$in" "$@" "${export[@]}" --out "$dir/p" >/dev/null
  "$convert" "$kind" "$in" "$@" --out "$dir/k" >/dev/null
  if [ "$kind" = --bfile ]; then "$convert" --bfile "$dir/p" --out "$dir/pk" >/dev/null
  else "$convert" --vcf "$dir/p.vcf" --out "$dir/pk" >/dev/null; fi
}

check --vcf x.vcf --snps-only just-acgt --max-alleles 2
check --vcf x.vcf --max-alleles 2 --mind 0.1 --geno 0.1 --maf 0.05
check --vcf x.vcf --keep keep.txt --remove remove.txt --chr 1,3 --maf 0.02 --bp-space 500
check --vcf x.vcf --snps-only --mind 0.1 --geno 0.05 --maf 0.1
check --vcf x.vcf --chr 2-22 --mind --geno --maf --bp-space 2000
check --vcf x.vcf --maf 0.5
check --vcf x.vcf --maf 0.55
check --bfile b --snps-only just-acgt --max-alleles 1
check --bfile b --keep bkeep.txt --mind 0.08 --geno 0.05 --maf 0.03 --bp-space 300
check --bfile b --remove bremove.txt --chr 1-3 --snps-only --maf 0.3

# Per case: the numbers of individuals and loci (k.par against pk.par), the
# genotype files alike up to the order of a genotype's two allele IDs in
# DataForm 0 (PLINK 2 writes a heterozygote's lower allele first), and each
# step's count in kinex-convert's log against PLINK 2's log.
python3 - "$cases" <<'PY'
import re, sys

def norm(name):
    out = []
    for line in open(name):
        w = line.split()
        if len(w) > 1 and all(x.isdigit() for x in w[1:]):
            w = w[:1] + [" ".join(sorted(w[k:k + 2], key=int)) for k in range(1, len(w), 2)]
        out.append(w)
    return out

def steps(ours, theirs):
    theirs = theirs.replace("\n", " ")
    def kept(opt):   # "--maf 0.05: 88 of 120 sites kept (32 ...)" -> (88, 32)
        m = re.search(r"^%s( [^:]*)?: (\d+) of (\d+) \w+ kept" % re.escape(opt), ours, re.M)
        return m and (int(m.group(2)), int(m.group(3)) - int(m.group(2)))
    def plink(pattern):
        m = re.search(pattern, theirs)
        return m and int(m.group(1))
    checks = []
    for opt in ("--keep", "--remove"):
        if kept(opt):
            checks.append((opt + " kept", kept(opt)[0],
                           plink(r"%s: (\d+) samples? remaining" % opt)))
    read = int(re.search(r": (\d+) sites?$", ours, re.M).group(1))
    for opt in ("--chr", "--snps-only", "--max-alleles"):
        if kept(opt):
            read = kept(opt)[0]
    checks.append(("sites read", read, plink(r"(\d+) (?:out of \d+ )?variants? loaded")))
    for opt, pattern in (("--mind", r"(\d+) samples? removed due to missing genotype data"),
                         ("--geno", r"--geno: (\d+) variants? removed"),
                         ("--maf", r"(\d+) variants? removed due to allele frequency"),
                         ("--bp-space", r"--bp-space: (\d+) variants? removed")):
        if kept(opt):
            checks.append((opt + " out", kept(opt)[1], plink(pattern) or 0))
    return checks

failed = 0
for c in range(int(sys.argv[1])):
    d = "c%d/" % c
    args = open(d + "args").read().strip()
    counts = [open(d + f).read().split("\n")[:2] for f in ("k.par", "pk.par")]
    checks = steps(open(d + "k.log").read(), open(d + "p.log").read())
    bad = [x for x in checks if x[1] != x[2]]
    if counts[0] != counts[1] or norm(d + "k.gen") != norm(d + "pk.gen") or bad:
        failed = 1
        print("FAIL: %s: kinex-convert and plink2 differ: %s; %s" % (args, counts, bad))
        continue
    print("ok: %s: %s individuals, %s loci as PLINK 2, same genotypes; %s" % (
        args, counts[0][0].split()[0], counts[0][1].split()[0],
        ", ".join("%s %d" % x[:2] for x in checks)))
sys.exit(failed)
PY
