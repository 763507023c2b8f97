#!/usr/bin/env python3
"""Cohort runs: the pairs streamed (KIN:) beside PLINK 2's KING-robust
table, on kinex-sim filesets (all family types, 1% missing, SNPs at
realistic spacing):

    python3 bench/cohort.py [--build build] [--work /tmp/kinex-cohort] [--only 1,2,3,4,5,6] [--limit 3600]

1. 2,000 x 100,000 SNPs, every pair: kinex-par -np 2 MLE:2 KIN:-1 against
   plink2 --make-king-table --threads 2 (wall time ratio), and -np 1
   against -np 2; the tables of -np 1 and -np 2 are the same bytes.
2. The screen: KIN:0.0442 against KIN:-1 on the same fileset (the same
   pairs of kinship 0.0442 or more, with the same numbers) and its time.
3. 20,000 x 100,000 SNPs, KIN:0.0442 MLE:2 -np 2 against plink2
   --make-king-table --king-table-filter 0.0442 --threads 2: wall time
   and the peak memory of each kinex-par process; -np 1 against -np 2.
4. 50,000 x 50,000 SNPs, KIN:0.0884 MLE:2 -np 2: wall time and memory.
5. The screen on the first 5,000 individuals of the 20,000 (kinex-convert
   --keep on the PLINK fileset): KIN:0.0442 against KIN:-1, as in 2.
6. 20,000 x 100,000 SNPs in three subpopulations (F_ST 0.05, a fifth of
   the families admixed), KIN:0.0442 MLE:2 PCS:10 -np 2 against plink2
   --make-king-table --king-table-filter 0.0442: time, memory, and the
   pairs each writes scored against the simulated truth (related pairs
   missed, unrelated pairs written, calls, kinship per class).

Prints a markdown report.  Standard library only.
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
from score import EXPECTED, kr, line, num  # noqa: E402
import peers  # noqa: E402

MPI = ["mpirun", "--allow-run-as-root", "--oversubscribe"]
SIZES = {"2k": (2000, 100000, 26001), "20k": (20000, 100000, 26002), "50k": (50000, 50000, 26003),
         "20k-s": (20000, 100000, 26102)}
# kinex-sim's options of a size beyond its individuals, loci and seed
DESIGN = {"20k-s": ["--subpops", "3", "--fst", "0.05", "--admixed", "0.2"]}


def fileset(a, name):
    """kinex-sim's files (layout 1, written as simulated, and a PLINK
    fileset) of one size, made once."""
    n, loci, seed = SIZES[name]
    prefix = os.path.join(a.work, name)
    if not os.path.exists(prefix + ".par") or not os.path.exists(prefix + ".bed"):
        subprocess.run([a.sim, "--individuals", str(n), "--loci", str(loci), "--missing", "0.01", "--families",
                        "all", "--layout", "1", "--bed", "--seed", str(seed), "--out", name] + DESIGN.get(name, []),
                       cwd=a.work, check=True, stdout=subprocess.DEVNULL)
    return prefix


def rankrss(folder, ranks):
    """The largest peak RSS (MiB) of the ranks of the last measured run."""
    most = 0
    for k in range(ranks):
        path = os.path.join(folder, f"rank{k}.time")
        if os.path.exists(path):
            with open(path) as f:
                most = max(most, measure.parsetime(f.read())[1])
    return most / 1024.0


def kinex(a, name, label, ranks, extra):
    """A measured kinex-par run, made once: (its measure.Run, the results
    file, the largest peak RSS of its processes in MiB)."""
    if (name, label) in a.done:
        return a.done[(name, label)]
    folder = os.path.join(a.work, f"{name}-{label}")
    os.makedirs(folder, exist_ok=True)
    prefix = fileset(a, name) if name in SIZES else os.path.join(a.work, name)
    cmd = [a.kinexpar, f"INP:{prefix}.par", f"GEN:{prefix}.gen", "OUT:results.out"] + extra
    r = measure.measured(cmd, folder, a.limit, mpi=MPI + ["-np", str(ranks)], ranks=ranks)
    if r.killed or r.status != 0:
        sys.exit(f"{label} on {name}: status {r.status}\n{(r.screen + r.errors)[-800:]}")
    a.done[(name, label)] = (r, os.path.join(folder, "results.out"), rankrss(folder, ranks))
    return a.done[(name, label)]


def plink(a, name, label, extra):
    folder = os.path.join(a.work, f"{name}-{label}")
    os.makedirs(folder, exist_ok=True)
    prefix = fileset(a, name)
    r = measure.measured([peers.PLINK2, "--bfile", prefix, "--make-king-table", "--threads", "2", "--out", "king"] + extra,
                         folder, a.limit)
    if r.status != 0:
        sys.exit(f"plink2 on {name}: status {r.status}\n{r.errors[-800:]}")
    return r


def streamed(path, least=None):
    """The pairs of a streamed table with a common locus (printed kinship
    at least `least`): their kinship and Deltas as printed."""
    pairs = {}
    with open(path, encoding="latin-1") as f:
        f.readline()
        f.readline()
        for text in f:
            w = text.rstrip("\n").split("\t")
            if w[2] == "0":
                continue
            if least is None or float(w[3]) >= least - 1e-9:
                pairs[(w[0], w[1])] = w[3:13]
    return pairs


def sametail(p, q):
    """True when two tables are the same bytes after their first lines."""
    with open(p, "rb") as f, open(q, "rb") as g:
        f.readline()
        g.readline()
        while True:
            x, y = f.read(1 << 20), g.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def part1(a, out):
    out += ["## 1. 2,000 x 100,000 SNPs, every pair (MLE:2 KIN:-1)", "",
            "| Program | Wall s | CPU s | Peak MiB (largest process) |", "|---|--:|--:|--:|"]
    p = plink(a, "2k", "king", [])
    r2, res2, m2 = kinex(a, "2k", "all-np2", 2, ["MLE:2", "KIN:-1"])
    r1, res1, m1 = kinex(a, "2k", "all-np1", 1, ["MLE:2", "KIN:-1"])
    out.append(line(["plink2 --make-king-table --threads 2", f"{p.wall:.1f}", f"{p.cpu:.1f}", f"{p.rss / 1024:.0f}"]))
    out.append(line(["kinex-par -np 2 MLE:2 KIN:-1", f"{r2.wall:.1f}", f"{r2.cpu:.1f}", f"{m2:.0f}"]))
    out.append(line(["kinex-par -np 1 MLE:2 KIN:-1", f"{r1.wall:.1f}", f"{r1.cpu:.1f}", f"{m1:.0f}"]))
    same = sametail(res1 + ".mle.tsv", res2 + ".mle.tsv")
    out += ["", f"kinex-par -np 2 / plink2: {r2.wall / p.wall:.1f} x the wall time (target at most 10 x); "
            f"-np 1 / -np 2: {r1.wall / r2.wall:.2f} (target at least 1.85); the tables of -np 1 and -np 2 "
            f"are {'the same bytes' if same else 'NOT the same'}.", ""]


def part2(a, out):
    out += ["## 2. The screen, 2,000 x 100,000 SNPs: KIN:0.0442 against every pair", ""]
    screened(a, out, "2k", "2,000 x 100,000 SNPs")


def part3(a, out):
    out += ["## 3. 20,000 x 100,000 SNPs, KIN:0.0442 MLE:2", "",
            "| Program | Wall s | CPU s | Peak MiB (largest process) | Pairs |", "|---|--:|--:|--:|--:|"]
    p = plink(a, "20k", "king", ["--king-table-filter", "0.0442"])
    r, res, mem = kinex(a, "20k", "kin-np2", 2, ["MLE:2", "KIN:0.0442"])
    with open(os.path.join(a.work, "20k-king", "king.kin0")) as f:
        kings = sum(1 for _ in f) - 1
    out.append(line(["plink2 --make-king-table --king-table-filter 0.0442 --threads 2", f"{p.wall:.1f}",
                     f"{p.cpu:.1f}", f"{p.rss / 1024:.0f}", kings]))
    out.append(line(["kinex-par -np 2 MLE:2 KIN:0.0442", f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{mem:.0f}",
                     len(streamed(res + ".mle.tsv"))]))
    r1, res1, mem1 = kinex(a, "20k", "kin-np1", 1, ["MLE:2", "KIN:0.0442"])
    out.append(line(["kinex-par -np 1 MLE:2 KIN:0.0442", f"{r1.wall:.1f}", f"{r1.cpu:.1f}", f"{mem1:.0f}",
                     len(streamed(res1 + ".mle.tsv"))]))
    same = sametail(res1 + ".mle.tsv", res + ".mle.tsv")
    out += ["", f"kinex-par / plink2: {r.wall / p.wall:.2f} x the wall time (target at most 1.5 x); largest "
            f"process {mem:.0f} MiB (target at most 2048); -np 1 / -np 2: {r1.wall / r.wall:.2f} (target at "
            f"least 1.85); the tables of -np 1 and -np 2 are {'the same bytes' if same else 'NOT the same'}.", ""]


def subset(a, count):
    """The first `count` individuals of the 20,000, by kinex-convert --keep."""
    name = f"20k-first{count}"
    prefix = os.path.join(a.work, name)
    if not os.path.exists(prefix + ".gen"):
        big = fileset(a, "20k")
        with open(big + ".fam") as f, open(prefix + ".keep", "w") as g:
            for _, text in zip(range(count), f):
                g.write(" ".join(text.split()[:2]) + "\n")
        subprocess.run([a.convert, "--bfile", big, "--keep", prefix + ".keep", "--out", prefix],
                       check=True, stdout=subprocess.DEVNULL)
    return name


def screened(a, out, name, label):
    """KIN:0.0442 against KIN:-1 on one data set: the pairs and numbers."""
    every = kinex(a, name, "all-np2", 2, ["MLE:2", "KIN:-1"])[1]
    r, res, mem = kinex(a, name, "kin-np2", 2, ["MLE:2", "KIN:0.0442"])
    top = streamed(every + ".mle.tsv", 0.0442)
    written = streamed(res + ".mle.tsv")
    differ = sum(1 for k in written if top.get(k) != written[k])
    missing = len(set(top) ^ set(written))
    fitted = [w for w in r.screen.split("\n") if "Pairs written" in w]
    out += [f"- {label}: kinex-par -np 2 MLE:2 KIN:0.0442: {r.wall:.1f} s wall, largest process {mem:.0f} MiB; "
            f"{fitted[-1].strip() if fitted else ''}",
            f"- pairs of kinship 0.0442 or more in the run of every pair: {len(top)}; written with KIN:0.0442: "
            f"{len(written)}; in one and not the other: {missing}; with other numbers: {differ}", ""]


def part5(a, out):
    out += ["## 5. The screen, the first 5,000 of the 20,000 individuals: KIN:0.0442 against every pair", ""]
    screened(a, out, subset(a, 5000), "5,000 x 100,000 SNPs")


def part4(a, out):
    out += ["## 4. 50,000 x 50,000 SNPs, KIN:0.0884 MLE:2 -np 2", ""]
    r, res, mem = kinex(a, "50k", "kin-np2", 2, ["MLE:2", "KIN:0.0884"])
    fitted = [w for w in r.screen.split("\n") if "Pairs written" in w]
    out += [f"- {r.wall:.0f} s wall, {r.cpu:.0f} s CPU, largest process {mem:.0f} MiB; "
            f"{fitted[-1].strip() if fitted else ''}", ""]


def written(path, least):
    """{pair: (kinship, call)} of a streamed table (call None for PLINK 2's
    .kin0, whose pairs of kinship below `least` are left out)."""
    pairs = {}
    with open(path, encoding="latin-1") as f:
        head = f.readline()
        if head.startswith("# kinex"):
            f.readline()
        for text in f:
            w = text.rstrip("\n").split("\t")
            if path.endswith(".kin0"):
                if float(w[-1]) >= least:
                    pairs[frozenset((w[1], w[3]))] = (float(w[-1]), None)
            else:
                pairs[frozenset((w[0], w[1]))] = (float(w[3]), w[15])
    return pairs


def againsttruth(truth, pairs, least):
    """One row of part 6: related pairs (true kinship at least `least`)
    missed, unrelated pairs (true kinship under least / 2) written, calls
    right, and kinship bias (RMSE) per class of the written relatives."""
    listed = {frozenset(k): v for k, v in truth.pairs.items()}
    related = {k: v for k, v in listed.items() if v[1][9] >= least}
    missed = sum(1 for k in related if k not in pairs)
    false = sum(1 for k in pairs if listed.get(k, ("UN", kr.UNRELATEDTRUTH))[1][9] < least / 2)
    tallies, right, called = {}, 0, 0
    for k, (rel, t) in related.items():
        if k not in pairs:
            continue
        kin, call = pairs[k]
        tallies.setdefault(rel, kr.Tally(1)).add([t[9]], [kin])
        if call is not None and rel in EXPECTED:
            called += 1
            right += call == EXPECTED[rel]
    classes = " ".join(f"{c} {num(t.stats()[0][2], sign=True)} ({num(t.stats()[0][3])})"
                       for c, t in sorted(tallies.items(), key=lambda x: kr.classorder(x[0])))
    return [len(related), len(pairs), missed, false, f"{right}/{called}" if called else "–", classes]


def part6(a, out):
    out += ["## 6. 20,000 x 100,000 SNPs in three subpopulations, KIN:0.0442 MLE:2 PCS:10", "",
            "| Program | Wall s | CPU s | Peak MiB (largest process) | Related (truth) | Written | Missed | "
            "Unrelated written | Outbred relatives called right | Kinship bias (RMSE) per class |",
            "|---|--:|--:|--:|--:|--:|--:|--:|--:|---|"]
    p = plink(a, "20k-s", "king", ["--king-table-filter", "0.0442"])
    r, res, mem = kinex(a, "20k-s", "pcs-np2", 2, ["MLE:2", "PCS:10", "KIN:0.0442"])
    truth = kr.Truth(fileset(a, "20k-s"))
    kings = written(os.path.join(a.work, "20k-s-king", "king.kin0"), 0.0442)
    ours = written(res + ".mle.tsv", 0.0442)
    out.append(line(["plink2 --make-king-table --king-table-filter 0.0442 --threads 2", f"{p.wall:.1f}",
                     f"{p.cpu:.1f}", f"{p.rss / 1024:.0f}"] + againsttruth(truth, kings, 0.0442)))
    out.append(line(["kinex-par -np 2 MLE:2 PCS:10 KIN:0.0442", f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{mem:.0f}"]
                    + againsttruth(truth, ours, 0.0442)))
    comps = [w.strip() for w in r.screen.split("\n") if "Ancestry components" in w or "above the noise" in w]
    out += [""] + [f"- {w}" for w in comps] + [""]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--work", default="/tmp/kinex-cohort")
    ap.add_argument("--only", default="1,2,3,4,5,6")
    ap.add_argument("--limit", type=int, default=3600)
    a = ap.parse_args()
    a.build = os.path.abspath(a.build)
    a.kinexpar = os.path.join(a.build, "kinex-par")
    a.sim = os.path.join(a.build, "tools", "sim", "kinex-sim")
    a.convert = os.path.join(a.build, "tools", "convert", "kinex-convert")
    a.done = {}
    os.makedirs(a.work, exist_ok=True)
    out = measure.header("Cohort runs: the pairs streamed (KIN:)", "cohort.py", sys.argv[1:])
    out += [measure.vectorloops(), f"- PLINK 2: `{peers.PLINK2}`", ""]

    parts = {"1": part1, "2": part2, "3": part3, "4": part4, "5": part5, "6": part6}
    for k in a.only.split(","):
        parts[k](a, out)
        print("\n".join(out))
        out.clear()
    print(f"- Load after: `{measure.uptime()}`")


if __name__ == "__main__":
    main()
