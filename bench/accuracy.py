#!/usr/bin/env python3
"""Accuracy of kinex (and, on SNPs, of the PLINK peers) per relationship
class against kinex-sim's realized truth: the tables of docs/VALIDATION.md.

    python3 bench/accuracy.py [--build build] [--work /tmp/kinex-accuracy] [--out docs/VALIDATION.md]

Two kinds of data, each simulated afresh as --samples samples with seeds
SEED, SEED+1, ... (all family types, 1% missing genotypes):

- SNPs: --snp-individuals x --snp-loci (default 100 x 5000), with PLINK files;
- multi-allelic markers: --multi-individuals x 60 loci (default 200).

kinex runs on every sample with UpdateP 0 and with UpdateP 1 (Inbreed 1,
all nine Deltas); on the SNP samples PLINK 1.9 --genome, PLINK 2 KING-robust
and the relationship matrix run as well.  The pairs of all samples of one
kind are pooled per relationship class; for each class the report gives the
mean realized value, and for each estimator its mean estimate, bias and
RMSE, of Delta1..Delta9 and r(1,2) (peers: Z2, Z1, Z0 beside Delta7..9,
their kinship beside r(1,2)), then F_Mean per class of individuals.  A
summary gives the headline figures over all pairs and over the pairs
without an inbred member, which the peers assume.  With --reuse the
outputs an earlier run left in --work are scored again, without running
anything.
"""
import argparse
import concurrent.futures
import datetime
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, HERE)
import measure  # noqa: E402
import peers  # noqa: E402
from score import kr, num  # noqa: E402

SEED = 7100
NAMES = {"UN": "unrelated", "PO": "parent and offspring", "FS": "full sibs", "HS": "half sibs",
         "AV": "avuncular (uncle or aunt and nephew or niece)", "FC": "first cousins",
         "PO_FSM": "parent and child of a full-sib mating", "PO_HSM": "parent and child of a half-sib mating",
         "FS_FSM": "full sibs whose parents are full sibs", "REL": "all related pairs together",
         "ALL": "all pairs"}
FNAMES = {"outbred": "outbred individuals (F = 0)", "fsm child": "children of full sibs (F = 1/4)",
          "hsm child": "children of half sibs (F = 1/8)", "ifs sibs": "full sibs whose parents are full sibs (F = 1/4)"}
ESTIMATORS = ["kinex UpdateP 0", "kinex UpdateP 1", "PLINK 1.9 --genome", "PLINK 2 KING-robust",
              "PLINK 2 --make-rel"]


def onesample(a, kind, seed):
    """Simulates one sample and runs every estimator on it; returns
    {estimator: (pair tallies, F tallies or None, pair tallies without
    inbred members)} and the run seconds.  With --reuse, outputs already in
    the sample's folder are scored again instead of being made anew."""
    folder = os.path.join(a.work, f"{kind}-{seed}")
    os.makedirs(folder, exist_ok=True)
    timefile = os.path.join(folder, "seconds.json")
    reuse = a.reuse and os.path.exists(timefile)
    if kind == "snp":
        size = ["--individuals", str(a.snp_individuals), "--loci", str(a.snp_loci), "--plink"]
    else:
        size = ["--individuals", str(a.multi_individuals), "--loci", "60", "--markers", "multi"]
    if not reuse:
        subprocess.run([a.sim, "--out", "data", "--seed", str(seed), "--missing", "0.01", "--families", "all",
                        "--inbreed", "1"] + size, cwd=folder, check=True, stdout=subprocess.DEVNULL)
    truth = kr.Truth(os.path.join(folder, "data"))

    def outbred(x, y):
        return not truth.inbred(x) and not truth.inbred(y)

    out, secs = {}, {}
    for upp in (0, 1):
        name = f"kinex UpdateP {upp}"
        if not reuse:
            r = measure.measured([a.kinex, "INP:data.par", f"OUT:upp{upp}.out", f"UPP:{upp}"], folder, a.limit)
            if r.status != 0:
                raise RuntimeError(f"{name} on {folder} failed: {r.screen[-500:]}{r.errors[-500:]}")
            secs[name] = r.wall
        ibd, inb = kr.readresults(os.path.join(folder, f"upp{upp}.out"))
        out[name] = (kr.pairtallies(truth, ibd), kr.inbtallies(truth, inb), kr.pairtallies(truth, ibd, only=outbred))
    if kind == "snp":
        if not reuse:
            subprocess.run(peers.makebed("data"), cwd=folder, check=True, stdout=subprocess.DEVNULL)
        ids = peers.readfam(os.path.join(folder, "data.fam"))
        for name, cmd, reader in peers.commands(os.path.join(folder, "data"), os.path.join(folder, "peer")):
            if not reuse:
                subprocess.run(cmd, cwd=folder, check=True, stdout=subprocess.DEVNULL)
            table = reader(ids)
            out[name] = (kr.pairtallies(truth, table), None, kr.pairtallies(truth, table, only=outbred))
    if reuse:
        with open(timefile) as f:
            secs = json.load(f)
    else:
        with open(timefile, "w") as f:
            json.dump(secs, f)
    return out, secs


def pool(parts):
    """Adds up the tallies of several samples."""
    total = {}
    for part in parts:
        for est, sets in part.items():
            dsts = total.setdefault(est, tuple(None if x is None else {} for x in sets))
            for src, dst in zip(sets, dsts):
                if src is None:
                    continue
                for c, t in src.items():
                    d = dst.setdefault(c, kr.Tally(len(t.t)))
                    d.n += t.n
                    for k in range(len(t.t)):
                        d.k[k] += t.k[k]
                        d.t[k] += t.t[k]
                        d.e[k] += t.e[k]
                        d.d[k] += t.d[k]
                        d.d2[k] += t.d2[k]
    return total


def classtable(cls, pooled):
    """One class: a row of mean realized values per kind of data, and mean,
    bias and RMSE rows per estimator."""
    head = "| | " + " | ".join([f"Delta{k}" for k in range(1, 10)] + ["r(1,2)"]) + " |"
    lines = [head, "|---|" + "--:|" * 10]
    for kind, label in (("snp", "SNPs"), ("multi", "multi-allelic")):
        if kind not in pooled:
            continue
        ests = pooled[kind]
        first = next(iter(ests.values()))[0].get(cls)
        if first is None:
            continue
        st = first.stats()
        lines.append(f"| **{label}: realized mean** ({first.n} pairs) | " +
                     " | ".join(num(x[0] if x else None) for x in st) + " |")
        for est in ESTIMATORS:
            if est not in ests or cls not in ests[est][0]:
                continue
            st = ests[est][0][cls].stats()
            for what, k in (("mean", 1), ("bias", 2), ("RMSE", 3)):
                lines.append(f"| {est}: {what} | " +
                             " | ".join(num(x[k] if x else None, sign=(k == 2)) for x in st) + " |")
    return lines + [""]


def ftable(pooled):
    lines = ["| Individuals | Data | Number | Realized mean | Estimator | Mean F_Mean | Bias | RMSE |",
             "|---|---|--:|--:|---|--:|--:|--:|"]
    for kind, label in (("snp", "SNPs"), ("multi", "multi-allelic")):
        if kind not in pooled:
            continue
        for est in ESTIMATORS:
            f = pooled[kind].get(est, (None, None, None))[1]
            if not f:
                continue
            for c in sorted(f, key=lambda c: list(FNAMES).index(c) if c in FNAMES else 99):
                st = f[c].stats()[0]
                lines.append(f"| {FNAMES.get(c, c)} | {label} | {f[c].n} | {num(st[0])} | {est} | "
                             f"{num(st[1])} | {num(st[2], sign=True)} | {num(st[3])} |")
    return lines + [""]


def summary(pooled, which):
    """The headline figures of every estimator, one row each, over all
    pairs (which = 0) or over the pairs without an inbred member (2)."""
    lines = ["| Data | Estimator | Kinship RMSE, related | Kinship bias, related | "
             "Kinship RMSE, unrelated | Kinship bias, unrelated | PO: mean Delta8 | FS: mean Delta7 | "
             "F_Mean RMSE, inbred |",
             "|---|---|--:|--:|--:|--:|--:|--:|--:|"]
    for kind, label in (("snp", "SNPs"), ("multi", "multi-allelic")):
        if kind not in pooled:
            continue
        ests = pooled[kind]
        first = next(iter(ests.values()))[which]
        po, fs = first["PO"].stats(), first["FS"].stats()
        lines.append(f"| {label} | realized | | | | | {num(po[7][0])} | {num(fs[6][0])} | |")
        for est in ESTIMATORS:
            if est not in ests:
                continue
            pairs, f = ests[est][which], ests[est][1]
            rel, un = pairs["REL"].stats()[9], pairs["UN"].stats()[9]
            po, fs = pairs["PO"].stats()[7], pairs["FS"].stats()[6]
            inbred = kr.Tally(1)
            for c, t in (f or {}).items():
                if c != "outbred":
                    inbred.n += t.n
                    for k in ("k", "t", "e", "d", "d2"):
                        getattr(inbred, k)[0] += getattr(t, k)[0]
            fi = inbred.stats()[0]
            lines.append(f"| {label} | {est} | {num(rel[3])} | {num(rel[2], sign=True)} | {num(un[3])} | "
                         f"{num(un[2], sign=True)} | {num(po[1] if po else None)} | {num(fs[1] if fs else None)} | "
                         f"{num(fi[3] if fi else None)} |")
    return lines + [""]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--work", default="/tmp/kinex-accuracy")
    ap.add_argument("--out", default=os.path.join(HERE, "..", "docs", "VALIDATION.md"))
    ap.add_argument("--samples", type=int, default=4)
    ap.add_argument("--snp-individuals", type=int, default=100)
    ap.add_argument("--snp-loci", type=int, default=5000)
    ap.add_argument("--multi-individuals", type=int, default=200)
    ap.add_argument("--jobs", type=int, default=1)
    ap.add_argument("--limit", type=int, default=3600)
    ap.add_argument("--reuse", action="store_true",
                    help="score the outputs of an earlier run in --work again, without running anything")
    a = ap.parse_args()
    a.command = "python3 bench/accuracy.py " + " ".join(sys.argv[1:])
    a.kinex = os.path.abspath(os.path.join(a.build, "kinex"))
    a.sim = os.path.abspath(os.path.join(a.build, "tools", "sim", "kinex-sim"))
    started = datetime.datetime.now()
    parts = {"snp": [], "multi": []}
    seconds = {}
    with concurrent.futures.ThreadPoolExecutor(a.jobs) as ex:
        jobs = {ex.submit(onesample, a, kind, SEED + s): kind for kind in parts for s in range(a.samples)}
        for f in concurrent.futures.as_completed(jobs):
            out, secs = f.result()
            parts[jobs[f]].append(out)
            for k, v in secs.items():
                seconds.setdefault((jobs[f], k), []).append(v)
            print(f"  {jobs[f]} sample done: " + ", ".join(f"{k} {v:.0f} s" for k, v in secs.items()), flush=True)
    pooled = {kind: pool(p) for kind, p in parts.items()}
    lines = [
        "# Validation against known truth",
        "",
        "How close kinex's estimates come to the realized identity by descent of simulated",
        "relatives, per relationship class, beside PLINK's estimates on the same SNP data.",
        "",
        "## How this was made",
        "",
        f"- Command: `{a.command}` ({started:%Y-%m-%d}), with `{os.path.relpath(a.kinex, ROOT)}`" +
        (" (scoring again the outputs that the same command without `--reuse` left in the work folder)."
         if a.reuse else "."),
        f"- SNPs: {a.samples} samples of {a.snp_individuals} individuals x {a.snp_loci} SNPs; multi-allelic: "
        f"{a.samples} samples of {a.multi_individuals} individuals x 60 loci (2 to 20 alleles each).",
        f"  `kinex-sim --families all --missing 0.01 --inbreed 1 --seed {SEED}..{SEED + a.samples - 1}`: every",
        "  family type, unlinked loci, 1% of the genotypes missing. The pairs of the samples of one kind",
        "  are pooled.",
        "- kinex: Inbreed 1 (all nine Deltas), its seed 1, UpdateP 0 (sample allele frequencies) and",
        "  UpdateP 1 (allele frequencies estimated jointly).",
        "- Peers, SNPs only: PLINK 1.9 `--genome` (Z0, Z1, Z2 stand beside Delta9, Delta8, Delta7; PI_HAT/2",
        "  beside r(1,2)), PLINK 2 `--make-king-table` (KING-robust kinship) and `--make-rel` (relationship",
        "  matrix / 2). r(1,2) in kinex's table is the kinship coefficient.",
        "- Realized truth: kinex-sim's share of loci in each Jacquard state for every pair of one family,",
        "  from the gene labels; pairs of two families are unrelated (Delta9 = 1). Bias is the mean of",
        "  estimate minus realized value, RMSE the root mean square of that difference.",
        "- PLINK's Z0, Z1, Z2 and the three peer kinships assume that nobody is inbred; the summary",
        "  therefore also scores the pairs without an inbred member on their own.",
        "- Time per sample (wall, on a shared machine): " +
        "; ".join(f"{k} {kind}: {min(v):.0f}-{max(v):.0f} s" for (kind, k), v in sorted(seconds.items())) + ".",
        "",
        "## Summary",
        "",
        "Kinship is kinex's r(1,2), PLINK 1.9's PI_HAT/2, KING-robust's kinship and the",
        "relationship matrix / 2. PLINK 1.9's Z1 and Z2 stand beside Delta8 and Delta7.",
        "",
        "Over all pairs:",
        "",
    ] + summary(pooled, 0) + [
        "Over the pairs without an inbred member (the peers assume none; F_Mean as above):",
        "",
    ] + summary(pooled, 2) + [
        "## Per relationship class",
        "",
    ]
    classes = sorted({c for kind in pooled.values() for est in kind.values() for c in est[0]},
                     key=kr.classorder)
    for c in classes:
        lines += [f"### {c}: {NAMES.get(c, c)}", ""] + classtable(c, pooled)
    lines += ["## Inbreeding F_Mean", ""] + ftable(pooled)
    with open(a.out, "w") as f:
        f.write("\n".join(lines))
    print(f"report written to {a.out}")


if __name__ == "__main__":
    main()
