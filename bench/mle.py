#!/usr/bin/env python3
"""The maximum-likelihood Deltas (MLE:1, MLE:2) against the default EM, in
one run on kinex-sim data (all family types, 13% inbred, 1% missing):

    python3 bench/mle.py [--build build] [--work /tmp/kinex-mle] [--only 1,2,3,4,5]

1. Speed, 500 x 20000 SNPs, UpdateP 0, one process: the default EM, MLE:1
   and MLE:2.
2. Accuracy against the realized IBD per relationship class (Delta8 and
   kinship RMSE), 200 x 20000 SNPs and 200 x 60 multi-allelic loci, three
   samples each, pooled: the default EM, MLE:1 and (SNPs) MLE:2.
3. 1000 x 50000 SNPs: MLE:1 against MLE:2.
4. 2000 x 100000 SNPs, all 1999000 pairs: kinex-par -np 2 MLE:2 beside
   PLINK 1.9 --genome.
5. MLE:2 at 1000 individuals with 50000, 100000 and 200000 SNPs.
Wherever MLE:1 and MLE:2 ran on the same data, the largest difference of a
Delta and of the kinship between them is reported.

Prints a markdown report.  Standard library only; the programs run under
/usr/bin/time -v (bench/measure.py).
"""
import argparse
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
import peers  # noqa: E402
from score import iterations, kr, line  # noqa: E402

SEED = 20240
MPI = ["mpirun", "--allow-run-as-root", "-np", "2"]
OUTBRED = ["PO", "FS", "HS", "AV", "FC"]


def simulate(a, n, loci, markers="snp", seed=SEED, plink=False):
    folder = os.path.join(a.work, f"{markers}-{n}x{loci}-{seed}")
    os.makedirs(folder, exist_ok=True)
    if not os.path.exists(os.path.join(folder, "data.bed" if plink else "data.par")):
        cmd = [a.sim, "--individuals", str(n), "--loci", str(loci), "--missing", "0.01", "--families", "all",
               "--seed", str(seed), "--inbreed", "1", "--markers", markers, "--out", "data"]
        subprocess.run(cmd + (["--plink"] if plink else []), cwd=folder, check=True, stdout=subprocess.DEVNULL)
        if plink:
            subprocess.run(peers.makebed("data"), cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


def kinex(a, folder, name, extra=(), mpi=None, ranks=0):
    """A measured kinex run in folder/name; returns the run and the results file."""
    sub = os.path.join(folder, name)
    os.makedirs(sub, exist_ok=True)
    prog = a.kinexpar if mpi else a.kinex
    cmd = [prog, "INP:../data.par", "GEN:../data.gen", "OUT:results.out", "UPP:0"] + list(extra)
    r = measure.measured(cmd, sub, a.limit, mpi=mpi, ranks=ranks)
    if r.killed or r.status != 0:
        sys.exit(f"{name} in {folder}: status {r.status}\n{(r.screen + r.errors)[-800:]}")
    return r, os.path.join(sub, "results.out")


def largestdifference(p, q):
    """Largest |Delta difference| and |kinship difference| over all pairs
    of two results files of one sample."""
    a, b = kr.readresults(p, check=False)[0], kr.readresults(q, check=False)[0]
    dd = dk = 0.0
    for x in range(0, len(a.values), 10):
        for s in range(9):
            dd = max(dd, abs(a.values[x + s] - b.values[x + s]))
        dk = max(dk, abs(a.values[x + 9] - b.values[x + 9]))
    return dd, dk


def target1(a, out):
    folder = simulate(a, 500, 20000)
    out += ["## 1. Speed, 500 x 20000 SNPs, UpdateP 0, one process", "",
            "| Estimator | Wall s | CPU s | Peak MiB | Maximiser |", "|---|--:|--:|--:|---|"]
    runs = {}
    for label, extra in (("default EM", []), ("MLE:1", ["MLE:1"]), ("MLE:2", ["MLE:2"])):
        r, res = kinex(a, folder, "t1-" + label.replace(" ", "").replace(":", ""), extra)
        runs[label] = (r, res)
        out.append(line([label, f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{r.rss / 1024:.0f}", iterations(r.screen)]))
    e, m1, m2 = runs["default EM"][0], runs["MLE:1"][0], runs["MLE:2"][0]
    dd, dk = largestdifference(runs["MLE:1"][1], runs["MLE:2"][1])
    out += ["", f"MLE:1 is {e.cpu / m1.cpu:.2f} x faster than the default EM (CPU time), MLE:2 {e.cpu / m2.cpu:.1f} x.",
            f"MLE:2 against MLE:1: largest Delta difference {dd:.4f}, largest kinship difference {dk:.4f}.", ""]


def accuracy(a, markers, loci, labels, out):
    tallies = {label: {} for label in labels}
    diffs = []
    for k in range(3):
        folder = simulate(a, 200, loci, markers, seed=SEED + 100 + k)
        truth = kr.Truth(os.path.join(folder, "data"))
        files = {}
        for label in labels:
            extra = [] if label == "default EM" else [label]
            _, res = kinex(a, folder, "t2-" + label.replace(" ", "").replace(":", ""), extra)
            files[label] = res
            ibd = kr.readresults(res, check=False)[0]
            kr.pairtallies(truth, ibd, tallies=tallies[label],
                           only=lambda x, y: not truth.inbred(x) and not truth.inbred(y))
        if "MLE:2" in files:
            diffs.append(largestdifference(files["MLE:1"], files["MLE:2"]))
    out += [f"### {markers.upper()}, 200 individuals x {loci} loci, 3 samples, pairs without an inbred member", "",
            "| Class | Pairs | " + " | ".join(f"{x} Delta8 RMSE | {x} kinship RMSE" for x in labels) + " |",
            "|---|--:|" + "--:|--:|" * len(labels)]
    for cls in ["UN"] + OUTBRED:
        cells, n = [], 0
        for label in labels:
            t = tallies[label].get(cls)
            if t is None:
                cells += ["", ""]
                continue
            st = t.stats()
            n = t.n
            cells += [f"{st[7][3]:.4f}", f"{st[9][3]:.4f}"]
        out.append(line([cls, n] + cells))
    # Delta8 over all outbred relatives together
    pooled = []
    for label in labels:
        sq = cnt = 0.0
        for cls in OUTBRED:
            t = tallies[label].get(cls)
            if t:
                sq += t.n * t.stats()[7][3] ** 2
                cnt += t.n
        pooled.append(f"{label} {math.sqrt(sq / cnt):.4f}" if cnt else "")
    out += ["", "Delta8 RMSE over all outbred relatives: " + ", ".join(pooled) + "."]
    if diffs:
        out.append(f"MLE:2 against MLE:1 on these samples: largest Delta difference {max(d for d, _ in diffs):.4f}, "
                   f"largest kinship difference {max(k for _, k in diffs):.4f}.")
    out.append("")


def target2(a, out):
    out += ["## 2. Accuracy against the realized IBD", ""]
    accuracy(a, "snp", 20000, ["default EM", "MLE:1", "MLE:2"], out)
    accuracy(a, "multi", 60, ["default EM", "MLE:1"], out)


def target3(a, out):
    folder = simulate(a, 1000, 50000)
    out += ["## 3. 1000 x 50000 SNPs, one process", "", "| Estimator | Wall s | CPU s | Peak MiB | Maximiser |",
            "|---|--:|--:|--:|---|"]
    res = {}
    for label in ("MLE:1", "MLE:2"):
        r, res[label] = kinex(a, folder, "t3-" + label.replace(":", ""), [label])
        res[label + " run"] = r
        out.append(line([label, f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{r.rss / 1024:.0f}", iterations(r.screen)]))
    dd, dk = largestdifference(res["MLE:1"], res["MLE:2"])
    ratio = res["MLE:1 run"].wall / res["MLE:2 run"].wall
    out += ["", f"MLE:2 is {ratio:.1f} x faster than MLE:1 (wall time); largest Delta difference {dd:.4f}, "
            f"largest kinship difference {dk:.4f}.", ""]


def target4(a, out):
    folder = simulate(a, 2000, 100000, plink=True)
    r, _ = kinex(a, folder, "t4-mle2-np2", ["MLE:2"], mpi=MPI, ranks=2)
    _, cmd, _ = peers.commands(os.path.join(folder, "data"), os.path.join(folder, "t4-plink", "peer"))[0]
    sub = os.path.join(folder, "t4-plink")
    os.makedirs(sub, exist_ok=True)
    p = measure.measured(cmd, sub, a.limit)
    out += ["## 4. 2000 x 100000 SNPs, all 1999000 pairs", "", "| Program | Wall s | CPU s | Peak MiB |",
            "|---|--:|--:|--:|",
            line(["kinex-par -np 2 MLE:2", f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{r.rss / 1024:.0f} (both processes)"]),
            line(["PLINK 1.9 --genome", f"{p.wall:.1f}", f"{p.cpu:.1f}", f"{p.rss / 1024:.0f}"]),
            "", f"kinex-par MLE:2 takes {r.wall / p.wall:.1f} x the wall time of PLINK 1.9 --genome "
            f"({iterations(r.screen)}).", ""]


def target5(a, out):
    out += ["## 5. MLE:2 at 1000 individuals", "", "| SNPs | Wall s | CPU s | Peak MiB |", "|--:|--:|--:|--:|"]
    for loci in (50000, 100000, 200000):
        folder = simulate(a, 1000, loci)
        r, _ = kinex(a, folder, "t5-mle2", ["MLE:2"])
        out.append(line([loci, f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{r.rss / 1024:.0f}"]))
    out.append("")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--work", default="/tmp/kinex-mle")
    ap.add_argument("--limit", type=int, default=7200)
    ap.add_argument("--only", default="1,2,3,4,5")
    a = ap.parse_args()
    a.build = os.path.abspath(a.build)
    a.kinex = os.path.join(a.build, "kinex")
    a.kinexpar = os.path.join(a.build, "kinex-par")
    a.sim = os.path.join(a.build, "tools", "sim", "kinex-sim")
    out = measure.header("Maximum-likelihood Deltas", "mle.py", sys.argv[1:])
    measure.runtargets(a, out, ((1, target1), (2, target2), (3, target3), (4, target4), (5, target5)))


if __name__ == "__main__":
    main()
