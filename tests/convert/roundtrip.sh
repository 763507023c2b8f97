#!/usr/bin/env bash
# Round trip through PLINK: kinex-sim writes the same genotypes as a KINEX
# layout 2 file and as PLINK text files, PLINK 1.9 makes them binary, and
# kinex-convert must give back kinex-sim's genotype file, and kinex the same
# results.  Usage: roundtrip.sh KINEX-CONVERT KINEX-SIM KINEX
set -euo pipefail
convert=$1 sim=$2 kinex=$3
plink=$(command -v plink1.9 || true)
if [ -z "$plink" ]; then
  echo "plink1.9 is not installed (bash scripts/setup.sh installs it): skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$sim" --individuals 30 --loci 700 --missing 0.03 --seed 11 --out s --plink >/dev/null

# 1. SNPs kept in file order (one chromosome, rising positions) and A1 set to
#    kinex-sim's allele 1 (written as A): the very same genotype file.
awk '{print 1, $2, 0, NR}' s.map > one.map
cp s.ped one.ped
awk '{print $2, "A"}' s.map > a1.txt
"$plink" --file one --a1-allele a1.txt 2 1 --make-bed --out one >/dev/null
"$convert" --bfile one --out c --results c.out >/dev/null
cmp s.gen c.gen
echo "same genotype file: $(wc -l < c.gen) lines"

# The same fileset as VCF, ALT = A1 (kept with --keep-allele-order, or PLINK
# would make the major allele REF), sample names = IIDs: the same file again.
if "$convert" --help | grep -q "NOT AVAILABLE"; then
  echo "kinex-convert built without htslib: VCF round trip skipped"
else
  "$plink" --bfile one --keep-allele-order --recode vcf-iid --out v >/dev/null
  "$convert" --vcf v.vcf --out cv >/dev/null
  cmp s.gen cv.gen
  echo "same genotype file from VCF"
fi

# kinex on both: the same results file but for the names of the files, the
# command line and the clock.
"$kinex" INP:s.par >/dev/null
"$kinex" INP:c.par >/dev/null
strip() {
  grep -v -e '^  Parameter file = ' -e '^  Genotype file = ' -e '^  Output file = ' \
       -e '^Run started' -e '^Run finished' -e ' INP:' "$1"
}
diff <(strip s.out) <(strip c.out)
echo "same kinex results: $(wc -l < c.out) lines"

# 2. PLINK's defaults: SNPs sorted by chromosome and position, A1 the minor
#    allele of the sample.  The file then holds the same genotypes with its
#    loci in .bim order and the digits of SNPs whose A1 is G (kinex-sim's
#    allele 2) counted the other way (2 <-> 0).
"$plink" --file s --make-bed --out d >/dev/null
"$convert" --bfile d --out d >/dev/null
python3 - <<'PY'
sim = open("s.gen").read().split("\n")
conv = open("d.gen").read().split("\n")
n = 30
idlines = (n + 9) // 10
assert sim[:idlines] == conv[:idlines], "identifiers differ"
bim = [l.split() for l in open("d.bim")]
order = [int(b[1][3:]) - 1 for b in bim]          # snpL -> locus L of s.gen
swapped = [b[4] == "G" for b in bim]
flip = {"2": "0", "0": "2", "1": "1", "-": "-"}
for i in range(n):
    s, c = sim[idlines + i], conv[idlines + i]
    want = "".join(flip[s[l]] if sw else s[l] for l, sw in zip(order, swapped))
    assert c == want, f"individual {i + 1} differs"
print(f"PLINK defaults: same genotypes, {sum(swapped)} of {len(bim)} SNPs with A1 = allele 2 "
      f"(counted the other way), loci in chromosome order")
PY
