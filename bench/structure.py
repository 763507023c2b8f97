#!/usr/bin/env python3
"""The maximum-likelihood Deltas on structured and admixed samples: MLE:1
and MLE:2 without adjustment, with PCS:10 (each individual's allele
frequencies from ten principal components) and with POP: (from the
simulated population labels), on kinex-sim data (all family types, 13%
inbred, 1% missing):

    python3 bench/structure.py [--build build] [--work /tmp/kinex-structure] [--only 1,2,3,4,5,6]
                               [--peers] [--samples K] [--with-mle1-large] [--small] [--reuse]

Designs: S, three subpopulations (--subpops 3 --fst 0.05 --admixed 0.2),
and H, the same without structure (another seed), each at 200 x 20000 and
1000 x 50000 SNPs (--small: 60 x 2000 and 120 x 4000, a smoke test).  At
the smaller size MLE:1 and MLE:2 each run unadjusted, with PCS:10 and (S)
with POP:data.pop; at the larger one MLE:2 only (with --with-mle1-large
also MLE:1 PCS:10 on S).  A kinex that refuses PCS: (exit status not 0)
has its PCS: runs left out, with a note.

1. Unrelated pairs called related (pair table CALL not "unrelated"), in %
   of three groups: both members of one pure subpopulation, of two
   different ones, at least one admixed member (label with "+").  Pairs
   not in P.truth.pairs.tsv or UN there are unrelated.
2. The share of each outbred class called right (PO parent-offspring, FS
   full-sib, HS and AV second-degree, FC third-degree), and the calls of
   the inbred classes.
3. Kinship (r(1,2) of the results file) bias and RMSE of the unrelated pairs
   of each group (target: bias within +-0.002), and the kinship RMSE of
   every relative class on S against H, same estimator and adjustment
   (POP: against H unadjusted; target: S at most 1.25 x H).
4. F of outbred individuals (F_exp 0): bias and RMSE of F_Mean (results
   file) and of F by maximum likelihood (<results>.inb.tsv); target RMSE
   at most 0.002.  Inbred individuals for information.
5. Wall and CPU time, peak memory of every run; the screen lines starting
   with "Ancestry" (time of the components, when the screen gives it).
6. H: PCS:10 against no adjustment per class, kinship RMSE and share
   called right (target: PCS:10 costs at most 10%).
7. With --peers (or 7 in --only): PLINK 2 --make-king-table (KING-robust
   kinship) and PLINK 1.9 --genome (PI_HAT/2) on S at the smaller size,
   share of the unrelated pairs of each group with kinship >= 0.0442
   (third degree or closer) and their kinship bias.

8. With --samples K (K > 1): the relatives' kinship RMSE on S against H
   of the kinship table at the smaller size, over the pairs of K samples of each
   design (each class has 10 to 20 pairs in one sample).

Runs are shared by the parts and made once, when a part first needs them.
With --reuse, a run that an earlier invocation finished in --work (results,
side tables and its measurement run.json) is read again instead of being
made anew.  Prints a markdown report.  Standard library only; the programs
run under /usr/bin/time -v (bench/measure.py).
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
import peers  # noqa: E402
import score  # noqa: E402
from score import BIAS, EXPECTED, INBRED, OUTBRED, RMSE, callcounts, kr, line, num, pct, ratio  # noqa: E402

SEEDS = {"S": 24101, "H": 24102}
DESIGNS = {"S": ["--subpops", "3", "--fst", "0.05", "--admixed", "0.2"], "H": []}
DESIGNNAMES = {"S": "S, three subpopulations (F_ST 0.05, 20% of the families admixed)",
               "H": "H, no structure"}
SIZES = [(200, 20000), (1000, 50000)]
SMALLSIZES = [(60, 2000), (120, 4000)]
PCS = "PCS:10"
GROUPS = ["same", "different", "admixed"]
GROUPNAMES = {"same": "Same subpopulation", "different": "Different subpopulations", "admixed": "An admixed member"}
KINGRELATED = 0.0442      # 2^-4.5, the KING boundary of third degree


def runs(a, design, size):
    """The runs of a design at a size: (estimator, adjustment) with the
    adjustment None, "PCS" or "POP"."""
    adjust = [None, "PCS"] + (["POP"] if design == "S" else [])
    if size == a.sizes[0]:
        return [(e, x) for e in ("MLE:1", "MLE:2") for x in adjust]
    out = [("MLE:2", x) for x in adjust]
    if a.withmle1large and design == "S":
        out.append(("MLE:1", "PCS"))
    return out


def label(est, adj):
    return est + {None: "", "PCS": " " + PCS, "POP": " POP:"}[adj]


def sizename(size):
    return f"{size[0]} x {size[1]}"


def seed(design, sample):
    """The seed of a design's sample: sample 0 is the one every table uses, the
    others serve only the pooled ratios of the last table."""
    return SEEDS[design] + 100 * sample


def simulate(a, design, size, sample=0):
    folder = os.path.join(a.work, f"{design}-{size[0]}x{size[1]}-{seed(design, sample)}")
    return score.simulate(a.sim, folder, size, seed(design, sample), DESIGNS[design])


class Skipped:
    """A run that gave no results: why."""

    def __init__(self, why):
        self.why = why


def kinex(a, design, size, est, adj, sample=0):
    """A measured kinex run (made once): its measure.Run and its scores, or
    a Skipped."""
    key = (design, size, est, adj) + ((sample,) if sample else ())
    if key in a.done:
        return a.done[key]
    folder = simulate(a, design, size, sample)
    sub = os.path.join(folder, (est + ("-" + adj if adj else "")).lower().replace(":", ""))
    os.makedirs(sub, exist_ok=True)
    res = os.path.join(sub, "results.out")
    extra = {None: [], "PCS": [PCS], "POP": ["POP:../data.pop"]}[adj]
    cmd = [a.kinex, "INP:../data.par", "GEN:../data.gen", "OUT:results.out", "UPP:0", est] + extra
    r = measure.remembered(cmd, sub, a.limit, a.reuse, [res + ".mle.tsv"],
                           f"  running {label(est, adj)} on {design} {sizename(size)} ...")
    if r.killed:
        a.done[key] = Skipped(f"killed at the limit of {a.limit} s")
        return a.done[key]
    if r.status != 0:
        why = f"kinex refused it ({measure.refusal(r)})"
        if adj != "PCS":
            sys.exit(f"{label(est, adj)} in {sub}: {why}\n{(r.screen + r.errors)[-800:]}")
        a.done[key] = Skipped(why)
        return a.done[key]
    a.done[key] = (r, scoreresults(folder, res))
    return a.done[key]


def populations(folder, ids):
    """Each individual's population label (P.pop; "all" without it)."""
    pop = {x: "all" for x in ids}
    path = os.path.join(folder, "data.pop")
    if os.path.exists(path):
        with open(path) as f:
            for w in (x.split() for x in f):
                if w:
                    pop[w[0]] = w[1]
    return [pop[x] for x in ids]


def pairgroup(p, q):
    if "+" in p or "+" in q:
        return "admixed"
    return "same" if p == q else "different"


class Scores:
    """What the parts report of one run (or a peer's kinship):
    un[group]: (pairs, pairs called related, kinship Tally);
    rel[class]: (kinship Tally, {call: pairs});
    f[kind]: Tally of (F_Mean, F by maximum likelihood) against realized F,
    kinds outbred, outbred admixed, inbred."""

    def __init__(self):
        self.un = {g: [0, 0, kr.Tally(1)] for g in GROUPS}
        self.rel = {}
        self.f = {}


def pairscores(folder, ids, kin, related, calls=None):
    """Scores of the pairs: kin the kinships in pair-table order,
    related(call, k) whether a pair (kinship k) counts as called related,
    calls an iterator of (ID1, ID2, CALL) in the same order, or None for a
    peer."""
    truth = kr.Truth(os.path.join(folder, "data"))
    pop = populations(folder, ids)
    sc = Scores()
    for s, (i, j, rel, t, call) in enumerate(score.walkpairs(truth, ids, calls)):
        k = kin[s]
        if rel == "UN":
            u = sc.un[pairgroup(pop[i], pop[j])]
            u[0] += 1
            u[1] += related(call, k)
            u[2].add([0.0], [k])
        else:
            c = sc.rel.setdefault(rel, (kr.Tally(1), {}))
            c[0].add([t[9]], [k])
            if call is not None:
                c[1][call] = c[1].get(call, 0) + 1
    return truth, pop, sc


def scoreresults(folder, res):
    ids, kin, fmean = score.readkinship(res)
    calls = score.tsvcolumns(res + ".mle.tsv", ["ID1", "ID2", "CALL"])
    truth, pop, sc = pairscores(folder, ids, kin, lambda call, k: call not in ("unrelated", "NA"), calls)
    label = dict(zip(ids, pop))
    sc.f = score.ftallies(truth, ids, fmean, score.readfml(res),
                          lambda x, kind: "outbred admixed" if kind == "outbred" and "+" in label[x] else None)
    return sc


def each(a, designs, sizes=None):
    """(design, size, estimator, adjustment, result) of every planned run."""
    for design in designs:
        for size in sizes or a.sizes:
            for est, adj in runs(a, design, size):
                yield design, size, est, adj, kinex(a, design, size, est, adj)


def tables(a, out, designs, head, row, sizes=None):
    """One table per design and size: the head lines, then row(scores) of
    each run; the runs left out as notes below it."""
    for design in designs:
        for size in sizes or a.sizes:
            out += [f"### {DESIGNNAMES[design]}, {sizename(size)} SNPs", ""] + head
            notes = []
            for _, _, est, adj, got in each(a, [design], [size]):
                if isinstance(got, Skipped):
                    notes.append(f"{label(est, adj)} not run: {got.why}.")
                else:
                    out.append(line([label(est, adj)] + row(got[1])))
            out += [""] + notes + ([""] if notes else [])


def part1(a, out):
    out += ["## 1. Unrelated pairs called related", "",
            "Share of the unrelated pairs whose CALL is not `unrelated` (H has one population: "
            "every pair counts as of the same one).", ""]

    def row(sc):
        total = [sum(sc.un[g][k] for g in GROUPS) for k in (0, 1)]
        return [pct(sc.un[g][1], sc.un[g][0]) for g in GROUPS] + [pct(total[1], total[0])]

    tables(a, out, ["S", "H"], ["| Run | " + " | ".join(GROUPNAMES[g] for g in GROUPS) + " | All unrelated |",
                                "|---|--:|--:|--:|--:|"], row)


def part2(a, out):
    out += ["## 2. Relatives called right", "",
            "Share of each outbred class called as expected (PO parent-offspring, FS full-sib, HS and AV "
            "second-degree, FC third-degree); then the calls of the inbred classes, for information.", ""]

    def row(sc):
        cells = []
        for c in OUTBRED:
            t = sc.rel.get(c)
            cells.append(pct(t[1].get(EXPECTED[c], 0), t[0].n) if t else "–")
        return cells + [callcounts(sc.rel[c][1]) if c in sc.rel else "–" for c in INBRED]

    tables(a, out, ["S", "H"], ["| Run | " + " | ".join(OUTBRED + INBRED) + " |",
                                "|---|" + "--:|" * len(OUTBRED) + "---|" * len(INBRED)], row)


def counterpart(a, size, est, adj):
    """The H run to hold an S run against: the same estimator and
    adjustment (POP: against H unadjusted); None when H has no such run."""
    adj = None if adj == "POP" else adj
    if (est, adj) not in runs(a, "H", size):
        return None
    got = kinex(a, "H", size, est, adj)
    return None if isinstance(got, Skipped) else got[1]


def part3(a, out):
    out += ["## 3. Kinship", "", "### Unrelated pairs: bias (RMSE) of r(1,2); target bias within +-0.002", ""]

    def row(sc):
        cells, ok = [], True
        for g in GROUPS:
            t = sc.un[g][2].stats()[0]
            cells.append(f"{num(t[BIAS], sign=True)} ({num(t[RMSE])})" if t else "–")
            ok = ok and (t is None or abs(t[BIAS]) <= 0.002)
        return cells + ["yes" if ok else "no"]

    tables(a, out, ["S", "H"], ["| Run | " + " | ".join(GROUPNAMES[g] for g in GROUPS) + " | Within +-0.002 |",
                                "|---|--:|--:|--:|---|"], row)
    classes = OUTBRED + INBRED
    out += ["### Relatives: kinship RMSE on S / on H (same estimator and adjustment; POP: against H unadjusted); "
            "target at most 1.25", ""]
    for size in a.sizes:
        out += [f"#### {sizename(size)} SNPs", "", "| Run | " + " | ".join(classes) + " | All at most 1.25 |",
                "|---|" + "--:|" * len(classes) + "---|"]
        notes = []
        for _, _, est, adj, got in each(a, ["S"], [size]):
            if isinstance(got, Skipped):
                notes.append(f"{label(est, adj)} not run: {got.why}.")
                continue
            h = counterpart(a, size, est, adj)
            cells, worst = [], 0.0
            for c in classes:
                s = got[1].rel[c][0].stats()[0] if c in got[1].rel else None
                t = h.rel[c][0].stats()[0] if h is not None and c in h.rel else None
                if s is None:
                    cells.append("–")
                elif t is None:
                    cells.append(f"{num(s[RMSE])} / –")
                else:
                    q = ratio(s[RMSE], t[RMSE])
                    worst = max(worst, q)
                    cells.append(f"{num(s[RMSE])} / {num(t[RMSE])} = {q:.2f}")
            verdict = "no H run" if h is None else ("yes" if worst <= 1.25 else f"no ({worst:.2f})")
            out.append(line([label(est, adj)] + cells + [verdict]))
        out += [""] + notes + ([""] if notes else [])


def part4(a, out):
    out += ["## 4. Inbreeding F", "",
            "Bias (RMSE) against the realized F: F_Mean of the results file, F_ML of `<results>.inb.tsv`. "
            "Target: F RMSE of outbred individuals at most 0.002.", ""]

    def stat(t, k):
        s = t.stats()[k] if t else None
        return f"{num(s[BIAS], sign=True)} ({num(s[RMSE])})" if s else "–"

    def row(sc):
        o, ad, i = sc.f.get("outbred"), sc.f.get("outbred admixed"), sc.f.get("inbred")
        ok = [s[RMSE] <= 0.002 for s in (o.stats() if o else []) if s]
        return [o.n if o else 0, stat(o, 0), stat(o, 1), "/".join("yes" if x else "no" for x in ok) or "–",
                ad.n if ad else 0, stat(ad, 0), stat(ad, 1), i.n if i else 0, stat(i, 0), stat(i, 1)]

    tables(a, out, ["S", "H"], [
        "| Run | Outbred | F_Mean | F_ML | RMSE at most 0.002 (F_Mean/F_ML) | Outbred admixed | F_Mean | F_ML "
        "| Inbred | F_Mean | F_ML |", "|---|--:|--:|--:|---|--:|--:|--:|--:|--:|--:|"], row)


def warned(screen):
    return "show structure" in screen


def part5(a, out):
    out += ["## 5. Time and memory", "", "| Design | Size | Run | Wall s | CPU s | Peak MiB | Structure warning |",
            "|---|---|---|--:|--:|--:|---|"]
    notes, ancestry = [], []
    for design, size, est, adj, got in each(a, ["S", "H"]):
        if isinstance(got, Skipped):
            notes.append(f"{design} {sizename(size)} {label(est, adj)} not run: {got.why}.")
            continue
        r = got[0]
        out.append(line([design, sizename(size), label(est, adj), f"{r.wall:.1f}", f"{r.cpu:.1f}",
                         f"{r.rss / 1024:.0f}", "yes" if warned(r.screen) else ""]))
        ancestry += [f"- {design} {sizename(size)} {label(est, adj)}: `{w.strip()}`"
                     for w in r.screen.split("\n") if w.strip().startswith("Ancestry")]
    out += [""] + notes + ([""] if notes else [])
    if ancestry:
        out += ["Ancestry lines of the screen:", ""] + ancestry + [""]
    if a.reuse:
        out += ["(With --reuse, the times of runs made by an earlier invocation are those it measured.)", ""]


def part6(a, out):
    out += ["## 6. Without structure: PCS:10 against no adjustment (H)", "",
            "Ratios PCS:10 / unadjusted of the kinship RMSE (target at most 1.10) and of the share called right "
            "(unrelated pairs: called unrelated; target at least 0.90).", ""]
    for size in a.sizes:
        for est in ("MLE:1", "MLE:2"):
            if (est, "PCS") not in runs(a, "H", size):
                continue
            base, pcs = kinex(a, "H", size, est, None), kinex(a, "H", size, est, "PCS")
            out += [f"### {est}, {sizename(size)} SNPs", ""]
            skipped = [f"{label(est, adj)} not run: {got.why}." for adj, got in ((None, base), ("PCS", pcs))
                       if isinstance(got, Skipped)]
            if skipped:
                out += skipped + [""]
                continue
            u, p = base[1], pcs[1]
            out += ["| Class | Pairs | Kinship RMSE | PCS:10 | Ratio | Called right | PCS:10 | Ratio | "
                    "Within 10% |", "|---|--:|--:|--:|--:|--:|--:|--:|---|"]
            for c in ["UN"] + OUTBRED:
                if c == "UN":
                    cu = (u.un["same"][2].stats()[0], u.un["same"][0] - u.un["same"][1], u.un["same"][0])
                    cp = (p.un["same"][2].stats()[0], p.un["same"][0] - p.un["same"][1], p.un["same"][0])
                elif c in u.rel and c in p.rel:
                    cu = (u.rel[c][0].stats()[0], u.rel[c][1].get(EXPECTED[c], 0), u.rel[c][0].n)
                    cp = (p.rel[c][0].stats()[0], p.rel[c][1].get(EXPECTED[c], 0), p.rel[c][0].n)
                else:
                    continue
                kr_ = ratio(cp[0][RMSE], cu[0][RMSE])
                sr = ratio(cp[1] / cp[2], cu[1] / cu[2])
                ok = kr_ <= 1.10 and sr >= 0.90
                out.append(line([c, cu[2], num(cu[0][RMSE]), num(cp[0][RMSE]), f"{kr_:.3f}",
                                 f"{100.0 * cu[1] / cu[2]:.2f}%", f"{100.0 * cp[1] / cp[2]:.2f}%", f"{sr:.3f}",
                                 "yes" if ok else "no"]))
            out.append("")


def part7(a, out):
    size = a.sizes[0]
    folder = simulate(a, "S", size)
    prefix = os.path.join(folder, "data")
    sub = os.path.join(folder, "peers")
    os.makedirs(sub, exist_ok=True)
    ids = peers.readfam(prefix + ".fam")
    out += [f"## 7. Peers on S, {sizename(size)} SNPs", "",
            f"Unrelated pairs with kinship >= {KINGRELATED} (called related, third degree or closer), "
            "in % of each group, and their kinship bias (RMSE); beside them the kinex runs of the first table made "
            "in this invocation on the same sample (called related: CALL not `unrelated`).", "",
            "| Program | Wall s | CPU s | " + " | ".join(GROUPNAMES[g] for g in GROUPS) + " | "
            + " | ".join(f"Bias: {GROUPNAMES[g].lower()}" for g in GROUPS) + " |",
            "|---|--:|--:|" + "--:|" * (2 * len(GROUPS))]
    for name, cmd, read in peers.commands(prefix, os.path.join(sub, "peer"))[:2]:
        r = measure.measured(cmd, sub, a.limit)
        if r.killed or r.status != 0:
            out.append(line([name, "failed", f"status {r.status}"] + [""] * (2 * len(GROUPS))))
            continue
        table = read(ids)
        kin = [x if x == x else 0.0 for x in table.fields[9]]
        _, _, sc = pairscores(folder, ids, kin, lambda call, k: k >= KINGRELATED)
        cells = [pct(sc.un[g][1], sc.un[g][0]) for g in GROUPS]
        for g in GROUPS:
            t = sc.un[g][2].stats()[0]
            cells.append(f"{num(t[BIAS], sign=True)} ({num(t[RMSE])})" if t else "–")
        out.append(line([name, f"{r.wall:.1f}", f"{r.cpu:.1f}"] + cells))
    for est, adj in runs(a, "S", size):
        got = a.done.get(("S", size, est, adj))
        if got is not None and not isinstance(got, Skipped):
            r, sc = got
            cells = [pct(sc.un[g][1], sc.un[g][0]) for g in GROUPS]
            for g in GROUPS:
                t = sc.un[g][2].stats()[0]
                cells.append(f"{num(t[BIAS], sign=True)} ({num(t[RMSE])})" if t else "–")
            out.append(line([f"kinex {label(est, adj)} (CALL)", f"{r.wall:.1f}", f"{r.cpu:.1f}"] + cells))
    out.append("")


def pooled(tallies):
    """One kr.Tally of several samples' tallies of a class."""
    t = kr.Tally(1)
    for x in tallies:
        t.n += x.n
        for f in ("k", "t", "e", "d", "d2"):
            getattr(t, f)[0] += getattr(x, f)[0]
    return t


def part8(a, out):
    size, n = a.sizes[0], a.samples
    classes = OUTBRED + INBRED
    out += [f"## 8. Relatives over {n} samples, {sizename(size)} SNPs", "",
            f"Kinship RMSE of each relative class on S / on H as in the kinship table, over the pairs of {n} samples of "
            f"each design (seeds {seed('S', 0)} + 100 k and {seed('H', 0)} + 100 k, k = 0..{n - 1}; a class "
            "of ten pairs in one sample leaves its RMSE uncertain by about a fifth); in brackets the "
            "lowest and highest of the single samples' ratios and the pairs pooled.  Target at most 1.25.", "",
            "| Run | " + " | ".join(classes) + " | All at most 1.25 |", "|---|" + "--:|" * len(classes) + "---|"]
    for est, adj in runs(a, "S", size):
        hadj = None if adj == "POP" else adj
        if (est, hadj) not in runs(a, "H", size):
            continue
        got = [(kinex(a, "S", size, est, adj, k), kinex(a, "H", size, est, hadj, k)) for k in range(n)]
        if any(isinstance(x, Skipped) for pair in got for x in pair):
            out.append(line([label(est, adj)] + ["–"] * len(classes) + ["a run skipped"]))
            continue
        cells, worst = [], 0.0
        for c in classes:
            both = [(s[1].rel[c][0], h[1].rel[c][0]) for s, h in got if c in s[1].rel and c in h[1].rel]
            if not both:
                cells.append("–")
                continue
            ps, ph = (pooled(x[side] for x in both).stats()[0][RMSE] for side in (0, 1))
            q = ratio(ps, ph)
            worst = max(worst, q)
            each_ = [ratio(x[0].stats()[0][RMSE], x[1].stats()[0][RMSE]) for x in both]
            cells.append(f"{num(ps)} / {num(ph)} = {q:.2f} ({min(each_):.2f}-{max(each_):.2f}, "
                         f"{sum(x[0].n for x in both)} pairs)")
        out.append(line([label(est, adj)] + cells + ["yes" if worst <= 1.25 else f"no ({worst:.2f})"]))
    out.append("")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    measure.designoptions(ap, "/tmp/kinex-structure", "1,2,3,4,5,6")
    ap.add_argument("--peers", action="store_true", help="the peers' table as well: PLINK 2 KING-robust and PLINK 1.9 --genome")
    ap.add_argument("--with-mle1-large", dest="withmle1large", action="store_true",
                    help="also MLE:1 PCS:10 on S at the larger size")
    ap.add_argument("--samples", type=int, default=1,
                    help="also the relatives' kinship ratios pooled over this many samples of each design")
    a = ap.parse_args()
    measure.designsetup(a, SIZES, SMALLSIZES)
    if a.peers:
        a.only += ",7"
    if a.samples > 1:
        a.only += ",8"
    out = measure.header("Structure and admixture: MLE:1 and MLE:2 with PCS: and POP:", "structure.py",
                         sys.argv[1:])
    at = next(k for k, w in enumerate(out) if w.startswith("- Machine:"))
    out[at + 1:at + 1] = [measure.vectorloops(), f"- kinex: `{a.kinex}`, kinex-sim: `{a.sim}`, work folder `{a.work}`"]
    measure.runtargets(a, out, ((1, part1), (2, part2), (3, part3), (4, part4), (5, part5), (6, part6),
                                (7, part7), (8, part8)))


if __name__ == "__main__":
    main()
