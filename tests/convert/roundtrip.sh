#!/usr/bin/env bash
# Round trip through PLINK: kinex-sim writes the same genotypes as a KINEX
# layout 2 file and as PLINK text files, PLINK 1.9 makes them binary, and
# kinex-convert must give back kinex-sim's genotype file, and kinex the same
# results.  Usage: roundtrip.sh KINEX-CONVERT KINEX-SIM KINEX
set -euo pipefail
convert=$1 sim=$2 kinex=$3 report=$4
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
# command line and the clock (and kinex-report reads both later).
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

# 3. Families: the IIDs of d.fam made to repeat across families (f0012_fs
#    f0012_fs_c2 becomes f0012_fs c2).  They are refused as they stand;
#    --id FID_IID joins them back into d's identifiers (the same genotype
#    file); --short-ids numbers them, and kinex-report puts FID and IID back:
#    the same tables as d's, with the identifier split in two.
awk '{ $2 = substr($2, length($1) + 2); print }' d.fam > t.fam
cp d.bed t.bed
cp d.bim t.bim
if "$convert" --bfile t 2>err.txt; then
  echo "IIDs repeated across families were accepted"; exit 1
fi
grep -q "repeats individual" err.txt
grep -q -- "--short-ids numbers the individuals" err.txt
"$convert" --bfile t --id FID_IID --out u >/dev/null
cmp d.gen u.gen
"$convert" --bfile t --short-ids --out t --mle 0 > said.txt
grep -qx "next: kinex INP:t.par MLE:0" said.txt
grep -qx "then: kinex-report t.out" said.txt
"$kinex" INP:t.par >/dev/null
"$kinex" INP:d.par >/dev/null
"$report" t.out >/dev/null
"$report" d.out >/dev/null
python3 - <<'PY'
def rows(name):
    return [l.split("\t") for l in open(name).read().split("\n")[:-1]]
fam = [l.split() for l in open("t.fam")]
ids = [l.split("\t") for l in open("t.ids.tsv").read().split("\n")[1:-1]]
assert [(f, i) for _, f, i in ids] == [(f[0], f[1]) for f in fam], "map differs from t.fam"
assert [x[0] for x in ids] == ["I%02d" % k for k in range(1, 31)]
for table, n in (("kinship", 2), ("pairs", 2), ("indiv", 1)):
    t, d = rows("t.%s.tsv" % table), rows("d.%s.tsv" % table)
    assert len(t) == len(d) and len(t) > 1
    head = {"kinship": ["FID1", "ID1", "FID2", "ID2"], "pairs": ["fid1", "id1", "fid2", "id2"],
            "indiv": ["fid", "id"]}[table]
    assert t[0][:2 * n] == head and t[0][2 * n:] == d[0][n:], table + " header"
    for a, b in zip(t[1:], d[1:]):
        joined = [a[2 * k] + "_" + a[2 * k + 1] for k in range(n)]
        assert joined == b[:n] and a[2 * n:] == b[n:], table + ": " + str(a)
print("identifier map: FID and IID back in the kinship, pair and individual tables, "
      "numbers as without the map")
PY
