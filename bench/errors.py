#!/usr/bin/env python3
"""Genotyping errors in the pair likelihood: MLE:1 and MLE:2 with ERR:0
(the likelihood without errors) and ERR:e, on kinex-sim data (all family
types, 13% inbred, 1% missing):

    python3 bench/errors.py [--build build] [--work /tmp/kinex-errors] [--only 1,2,3,4]
                            [--small] [--reuse]

Designs: E, 1% of the typed genotypes wrong (kinex-sim --error 0.01; its
truth files are the error-free truth), and C, no errors (another seed),
each at 200 x 20000 and 1000 x 50000 SNPs (--small: 60 x 2000 and
120 x 4000, a smoke test).  At the smaller size MLE:1 and MLE:2 run, at the
larger one MLE:2 only; on E each with ERR:0 and ERR:0.01, on C with ERR:0
and ERR:0.005.  A run whose side table does not name the error rate given
(a kinex that passed ERR: over) stops the script.

1. E: the share of each outbred class called right (CALL of
   <results>.mle.tsv: PO parent-offspring, FS full-sib, HS and AV
   second-degree, FC third-degree; target at least 98%), unrelated pairs
   called related (CALL not "unrelated"; target at most 0.1%), the kinship
   (r(1,2) of the results file) bias of every class (target: outbred
   relatives within +-0.003), the calls of the inbred classes, and the
   bias and RMSE of F_Mean (results file) and F_ML (<results>.inb.tsv) of
   outbred and inbred individuals against the realized F.
2. C: ERR:0.005 against ERR:0 per class: kinship RMSE, Delta8 RMSE of the
   outbred relatives, share called right; target: ERR:0.005 within 10% of
   ERR:0 in every class (RMSE ratios at most 1.10, share ratio at least
   0.90).
3. C, ERR:0: the kinship RMSE of the unrelated pairs (target at most
   0.0015) and of every outbred relative class against the best peer's
   figures (NgsRelate on the same design, 200 x 20000, given below), the
   Delta8 (target at most 0.015) and Delta9 RMSE of the outbred relatives,
   and the Delta4, Delta6 and Delta9 RMSE of the unrelated pairs of two
   outbred members (an inbred member's own autozygosity puts an unrelated
   pair partly in Delta2, Delta4 or Delta6, which the truth files do not
   count).
4. Wall and CPU time, peak memory, iterations of every run, and the cost
   of ERR: (run time with ERR:e over that with ERR:0; target at most 1.2
   for ERR:0.01).

Pairs not listed in the truth files, and the listed UN pairs, are
unrelated.  Runs are shared by the parts and made once, when a part first
needs them.  With --reuse, a run that an earlier invocation finished in
--work (results, side tables and its measurement run.json) is read again
instead of being made anew.  Prints a markdown report.  Standard library
only; the programs run under /usr/bin/time -v (bench/measure.py).
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
import score  # noqa: E402
from score import BIAS, D4, D6, D8, D9, EXPECTED, INBRED, OUTBRED, R, RMSE, callcounts, kr, line, num, pct, ratio  # noqa: E402

SEEDS = {"E": 25101, "C": 25102}
DESIGNS = {"E": ["--error", "0.01"], "C": []}
DESIGNNAMES = {"E": "E, 1% genotyping errors", "C": "C, no errors"}
RATES = {"E": ["0", "0.01"], "C": ["0", "0.005"]}
SIZES = [(200, 20000), (1000, 50000)]
SMALLSIZES = [(60, 2000), (120, 4000)]
# The values read of every pair, and their places in a Tally of this run.
WHICH = (D4, D6, D8, D9, R)
V4, V6, V8, V9, VR = range(len(WHICH))
UNOUT = "UN outbred"       # unrelated pairs of two outbred members
REL = "REL"                # the outbred relatives together
# The best peer (NgsRelate, 200 x 20000 SNPs of this design, no errors): RMSE.
PEERKIN = {"UN": 0.0015, "PO": 0.0030, "FS": 0.0066, "HS": 0.0037, "AV": 0.0033, REL: 0.0039}
PEERNAME = "NgsRelate"
CALLED = 0.98              # share of each outbred class called right
FALSEREL = 0.001           # share of the unrelated pairs called related
KINBIAS = 0.003
COST = 1.2
WITHIN = 0.10


def sizename(size):
    return f"{size[0]} x {size[1]}"


def label(est, rate):
    return f"{est} ERR:{rate}"


def runs(a, design, size):
    """(estimator, ERR: rate) of the runs of a design at a size."""
    ests = ("MLE:1", "MLE:2") if size == a.sizes[0] else ("MLE:2",)
    return [(e, x) for e in ests for x in RATES[design]]


def simulate(a, design, size):
    folder = os.path.join(a.work, f"{design}-{size[0]}x{size[1]}-{SEEDS[design]}")
    return score.simulate(a.sim, folder, size, SEEDS[design], DESIGNS[design])


class Skipped:
    """A run that gave no results: why."""

    def __init__(self, why):
        self.why = why


class Scores:
    """What the parts report of one run:
    tally[c]: kr.Tally of Delta4, Delta6, Delta8, Delta9 and kinship
    against the realized ones, per class c: every relative class, "UN"
    (every unrelated pair), UNOUT (those of two outbred members), REL (the
    outbred relatives together); calls[c]: {CALL: pairs};
    f: {kind: Tally of (F_Mean, F_ML)}, kinds outbred and inbred;
    maximiser: the screen's "most iterations ..., dyads not converged ..."."""

    def __init__(self):
        self.tally = {}
        self.calls = {}
        self.f = {}
        self.maximiser = ""

    def stat(self, c, v):
        """(mean truth, mean estimate, bias, RMSE) of value v in class c, or None."""
        t = self.tally.get(c)
        return t.stats()[v] if t is not None else None

    def pairs(self, c):
        t = self.tally.get(c)
        return t.n if t is not None else 0

    def right(self, c):
        """(pairs called as expected, pairs) of a class (REL: of the outbred
        classes together)."""
        if c == REL:
            return sum(self.right(x)[0] for x in OUTBRED), self.pairs(REL)
        return self.calls.get(c, {}).get(EXPECTED[c], 0), self.pairs(c)

    def related(self):
        """(unrelated pairs called related, unrelated pairs)."""
        calls = self.calls.get("UN", {})
        return sum(k for c, k in calls.items() if c not in ("unrelated", "NA")), self.pairs("UN")


def checkrate(res, rate):
    """Stops the script when the pair table's first line does not say the
    error rate of the run (ERR: passed over, or said where none was given)."""
    with open(res + ".mle.tsv", encoding="utf-8") as f:
        first = f.readline()
    said = "genotyping error rate" in first
    if said != (float(rate) > 0):
        sys.exit(f"{res}.mle.tsv, a run with ERR:{rate}, begins\n  {first.strip()}\n"
                 "which does not give that error rate: does this kinex take the key ERR:?")


def scoreresults(folder, res):
    ids, cols, fmean = score.readvalues(res, WHICH)
    truth = kr.Truth(os.path.join(folder, "data"))
    outbred = [not truth.inbred(x) for x in ids]
    calls = score.tsvcolumns(res + ".mle.tsv", ["ID1", "ID2", "CALL"])
    sc = Scores()
    for s, (i, j, rel, t, call) in enumerate(score.walkpairs(truth, ids, calls)):
        est = [c[s] for c in cols]
        tv = [t[k] for k in WHICH]
        for c in (rel, UNOUT if rel == "UN" and outbred[i] and outbred[j] else None,
                  REL if rel in OUTBRED else None):
            if c is None:
                continue
            if c not in sc.tally:
                sc.tally[c], sc.calls[c] = kr.Tally(len(WHICH)), {}
            sc.tally[c].add(tv, est)
            sc.calls[c][call] = sc.calls[c].get(call, 0) + 1
    sc.f = score.ftallies(truth, ids, fmean, score.readfml(res))
    return sc


def kinex(a, design, size, est, rate):
    """A measured kinex run (made once): its measure.Run and its Scores, or
    a Skipped."""
    key = (design, size, est, rate)
    if key in a.done:
        return a.done[key]
    folder = simulate(a, design, size)
    sub = os.path.join(folder, f"{est}-err{rate}".lower().replace(":", ""))
    os.makedirs(sub, exist_ok=True)
    res = os.path.join(sub, "results.out")
    cmd = [a.kinex, "INP:../data.par", "GEN:../data.gen", "OUT:results.out", "UPP:0", est, f"ERR:{rate}"]
    r = measure.remembered(cmd, sub, a.limit, a.reuse, [res + ".mle.tsv", res + ".inb.tsv"],
                           f"  running {label(est, rate)} on {design} {sizename(size)} ...")
    if r.killed:
        a.done[key] = Skipped(f"killed at the limit of {a.limit} s")
        return a.done[key]
    if r.status != 0:
        sys.exit(f"{label(est, rate)} in {sub}: kinex refused it ({measure.refusal(r)})\n"
                 f"{(r.screen + r.errors)[-800:]}")
    checkrate(res, rate)
    sc = scoreresults(folder, res)
    sc.maximiser = score.iterations(r.screen)
    a.done[key] = (r, sc)
    return a.done[key]


def each(a, design, size):
    """(estimator, rate, result) of every planned run of a design at a size."""
    for est, rate in runs(a, design, size):
        yield est, rate, kinex(a, design, size, est, rate)


def table(a, out, design, size, head, row):
    """The head lines, then label and row(scores) of each run of a design
    at a size; the runs left out as notes below it."""
    out += head
    notes = []
    for est, rate, got in each(a, design, size):
        if isinstance(got, Skipped):
            notes.append(f"{label(est, rate)} not run: {got.why}.")
        else:
            out.append(line([label(est, rate)] + row(got[1])))
    out += [""] + notes + ([""] if notes else [])


def biasrmse(s):
    return f"{num(s[BIAS], sign=True)} ({num(s[RMSE])})" if s else "–"


def yesno(ok):
    return "–" if ok is None else ("yes" if ok else "no")


def part1(a, out):
    out += ["## 1. With 1% genotyping errors (design E)", "",
            "kinex-sim `--error 0.01`: each typed genotype is replaced by another with probability 0.01; the "
            "scores are against the error-free truth. ERR:0 is the likelihood without errors.", ""]
    for size in a.sizes:
        out += [f"### {DESIGNNAMES['E']}, {sizename(size)} SNPs", "",
                f"Share of each outbred class called right (target at least {CALLED:.0%}) and of the unrelated "
                f"pairs called related (CALL not `unrelated`; target at most {FALSEREL:.1%}).", ""]

        def called(sc):
            cells, ok = [], True
            for c in OUTBRED:
                k, n = sc.right(c)
                cells.append(pct(k, n))
                ok = ok and (n == 0 or k >= CALLED * n)
            k, n = sc.related()
            return cells + [yesno(ok), pct(k, n), yesno(k <= FALSEREL * n)]

        table(a, out, "E", size, ["| Run | " + " | ".join(OUTBRED) + f" | All at least {CALLED:.0%} | Unrelated "
                                  f"called related | At most {FALSEREL:.1%} |",
                                  "|---|" + "--:|" * len(OUTBRED) + "---|--:|---|"], called)
        classes = ["UN"] + OUTBRED + INBRED
        out += [f"Kinship bias (RMSE) against the realized kinship; target: outbred relatives within +-{KINBIAS}, "
                "the unrelated pairs and the inbred classes for information.", ""]

        def kinship(sc):
            cells = [biasrmse(sc.stat(c, VR)) for c in classes]
            got = [sc.stat(c, VR) for c in OUTBRED]
            return cells + [yesno(all(abs(s[BIAS]) <= KINBIAS for s in got if s))]

        table(a, out, "E", size, ["| Run | " + " | ".join(classes) + f" | Outbred relatives within +-{KINBIAS} |",
                                  "|---|" + "--:|" * len(classes) + "---|"], kinship)
        out += ["Calls of the inbred classes (pairs per CALL).", ""]
        table(a, out, "E", size, ["| Run | " + " | ".join(INBRED) + " |", "|---|" + "---|" * len(INBRED)],
              lambda sc: [callcounts(sc.calls.get(c, {})) for c in INBRED])
        out += ["F bias (RMSE) against the realized F: F_Mean of the results file, F_ML of `<results>.inb.tsv`.", ""]

        def inbreeding(sc):
            cells = []
            for kind in ("outbred", "inbred"):
                t = sc.f.get(kind)
                s = t.stats() if t else [None, None]
                cells += [t.n if t else 0, biasrmse(s[0]), biasrmse(s[1])]
            return cells

        table(a, out, "E", size, ["| Run | Outbred | F_Mean | F_ML | Inbred | F_Mean | F_ML |",
                                  "|---|--:|--:|--:|--:|--:|--:|"], inbreeding)


def part2(a, out):
    base, other = RATES["C"]
    out += [f"## 2. Without errors: ERR:{other} against ERR:{base} (design C)", "",
            f"Per class the kinship RMSE, the Delta8 RMSE (outbred relatives) and the share called right "
            f"(unrelated pairs: called `unrelated`; the inbred classes have no expected call). Target: "
            f"ERR:{other} within {WITHIN:.0%} of ERR:{base} in every class (RMSE ratio at most {1 + WITHIN:.2f}, "
            f"share ratio at least {1 - WITHIN:.2f}).", ""]
    for size in a.sizes:
        for est in ("MLE:1", "MLE:2"):
            if (est, base) not in runs(a, "C", size):
                continue
            u, p = kinex(a, "C", size, est, base), kinex(a, "C", size, est, other)
            out += [f"### {est}, {DESIGNNAMES['C']}, {sizename(size)} SNPs", ""]
            skipped = [f"{label(est, x)} not run: {got.why}." for x, got in ((base, u), (other, p))
                       if isinstance(got, Skipped)]
            if skipped:
                out += skipped + [""]
                continue
            u, p = u[1], p[1]
            out += [f"| Class | Pairs | Kinship RMSE | ERR:{other} | Ratio | Delta8 RMSE | ERR:{other} | Ratio "
                    f"| Called right | ERR:{other} | Ratio | Within {WITHIN:.0%} |",
                    "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|"]
            for c in ["UN"] + OUTBRED + [REL] + INBRED:
                if not u.pairs(c) or not p.pairs(c):
                    continue
                cells, ok = [c if c != REL else "Outbred relatives", u.pairs(c)], True
                values = [VR] + ([V8] if c in OUTBRED or c == REL else [])
                for v in (VR, V8):
                    if v not in values:
                        cells += ["–"] * 3
                        continue
                    x, y = u.stat(c, v)[RMSE], p.stat(c, v)[RMSE]
                    q = ratio(y, x)
                    ok = ok and q <= 1 + WITHIN
                    cells += [num(x), num(y), f"{q:.3f}"]
                if c in EXPECTED or c == REL:
                    (ku, nu), (kp, np_) = u.right(c), p.right(c)
                    q = ratio(kp / np_, ku / nu)
                    ok = ok and q >= 1 - WITHIN
                    cells += [f"{100.0 * ku / nu:.2f}%", f"{100.0 * kp / np_:.2f}%", f"{q:.3f}"]
                else:
                    cells += ["–"] * 3
                out.append(line(cells + [yesno(ok)]))
            out.append("")


def part3(a, out):
    out += ["## 3. Without errors, ERR:0, against the best peer (design C)", "",
            f"RMSE against the realized values. Peer: {PEERNAME} on the same design at 200 x 20000 SNPs "
            "(no figure for FC); at other sizes its figures are for comparison only. Unrelated pairs' Deltas: "
            "pairs of two outbred members.", ""]
    peerdeltas = [("Outbred relatives", REL, V8, "Delta8", None, 0.015),
                  ("Outbred relatives", REL, V9, "Delta9", 0.0121, None),
                  ("Unrelated", UNOUT, V4, "Delta4", 0.0003, None),
                  ("Unrelated", UNOUT, V6, "Delta6", 0.0003, None),
                  ("Unrelated", UNOUT, V9, "Delta9", 0.0049, None)]
    for size in a.sizes:
        got = [(est, g) for est, rate, g in each(a, "C", size) if rate == "0"]
        notes = [f"{label(est, '0')} not run: {g.why}." for est, g in got if isinstance(g, Skipped)]
        got = [(est, g[1]) for est, g in got if not isinstance(g, Skipped)]
        names = [est for est, _ in got]
        out += [f"### {DESIGNNAMES['C']}, {sizename(size)} SNPs", "",
                "| Class | Pairs | " + " | ".join(f"{x} kinship RMSE" for x in names) + f" | {PEERNAME} | Target | "
                + " | ".join(f"{x} met" for x in names) + " |",
                "|---|--:|" + "--:|" * len(names) + "--:|---|" + "---|" * len(names)]
        for c in ["UN"] + OUTBRED + [REL]:
            if not got or not got[0][1].pairs(c):
                continue
            peer = PEERKIN.get(c)
            limit = 0.0015 if c == "UN" else peer
            target = "at most 0.0015" if c == "UN" else (f"at most {PEERNAME}" if peer else "–")
            vals = [sc.stat(c, VR)[RMSE] for _, sc in got]
            out.append(line([{"UN": "Unrelated", REL: "Outbred relatives"}.get(c, c), got[0][1].pairs(c)]
                            + [num(x) for x in vals] + [num(peer), target]
                            + [yesno(None if limit is None else x <= limit) for x in vals]))
        out += ["", "| Pairs | Value | " + " | ".join(f"{x} RMSE" for x in names) + f" | {PEERNAME} | Target | "
                + " | ".join(f"{x} met" for x in names) + " |",
                "|---|---|" + "--:|" * len(names) + "--:|---|" + "---|" * len(names)]
        for who, c, v, value, peer, limit in peerdeltas:
            if not got or not got[0][1].pairs(c):
                continue
            vals = [sc.stat(c, v)[RMSE] for _, sc in got]
            target, bound = (f"at most {limit}", limit) if limit else (f"at most {PEERNAME}", peer)
            out.append(line([f"{who} ({got[0][1].pairs(c)})", value] + [num(x) for x in vals] + [num(peer), target]
                            + [yesno(x <= bound) for x in vals]))
        out += [""] + notes + ([""] if notes else [])


def part4(a, out):
    out += ["## 4. Time and memory", "", "| Design | Size | Run | Wall s | CPU s | Peak MiB | Maximiser |",
            "|---|---|---|--:|--:|--:|---|"]
    notes = []
    for design in ("E", "C"):
        for size in a.sizes:
            for est, rate, got in each(a, design, size):
                if isinstance(got, Skipped):
                    notes.append(f"{design} {sizename(size)} {label(est, rate)} not run: {got.why}.")
                    continue
                r, sc = got
                out.append(line([design, sizename(size), label(est, rate), f"{r.wall:.1f}", f"{r.cpu:.1f}",
                                 f"{r.rss / 1024:.0f}", sc.maximiser]))
    out += [""] + notes + ([""] if notes else [])
    out += ["### Cost of ERR:", "",
            f"Run time with ERR:e over that with ERR:0, same estimator and data; target at most {COST} for "
            "ERR:0.01 (design E), ERR:0.005 (design C) for information.", "",
            "| Design | Size | Estimator | ERR:e | Wall s ERR:0 / ERR:e | CPU s ERR:0 / ERR:e | Wall ratio | CPU ratio "
            f"| At most {COST} (wall/CPU) |", "|---|---|---|---|--:|--:|--:|--:|---|"]
    for design in ("E", "C"):
        base, other = RATES[design]
        for size in a.sizes:
            for est in ("MLE:1", "MLE:2"):
                if (est, base) not in runs(a, design, size):
                    continue
                u, p = kinex(a, design, size, est, base), kinex(a, design, size, est, other)
                if isinstance(u, Skipped) or isinstance(p, Skipped):
                    continue
                u, p = u[0], p[0]
                w, c = ratio(p.wall, u.wall), ratio(p.cpu, u.cpu)
                out.append(line([design, sizename(size), est, other, f"{u.wall:.2f} / {p.wall:.2f}",
                                 f"{u.cpu:.2f} / {p.cpu:.2f}", f"{w:.2f}", f"{c:.2f}",
                                 f"{yesno(w <= COST)}/{yesno(c <= COST)}"]))
    out.append("")
    if a.small:
        out += ["(Runs of a second or less are mostly start-up: their ratios say little.)", ""]
    if a.reuse:
        out += ["(With --reuse, the times of runs made by an earlier invocation are those it measured.)", ""]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    measure.designoptions(ap, "/tmp/kinex-errors", "1,2,3,4")
    a = ap.parse_args()
    measure.designsetup(a, SIZES, SMALLSIZES)
    out = measure.header("Genotyping errors: MLE:1 and MLE:2 with ERR:", "errors.py", sys.argv[1:])
    at = next(k for k, w in enumerate(out) if w.startswith("- Machine:"))
    out[at + 1:at + 1] = [measure.vectorloops(), f"- kinex: `{a.kinex}`, kinex-sim: `{a.sim}`, work folder `{a.work}`"]
    measure.runtargets(a, out, ((1, part1), (2, part2), (3, part3), (4, part4)))


if __name__ == "__main__":
    main()
