"""Accuracy of one estimator's pair table (kinex's IBD table or a peer's)
against kinex-sim's realized truth, in the figures the benchmark and the
validation tables show.  Builds on tests/validation/kinexresults.py."""
import math
import os
import subprocess
import sys
from array import array

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "validation"))
import kinexresults as kr  # noqa: E402,F401

CLASSES = ["UN", "PO", "FS", "HS", "AV", "FC", "PO_FSM", "PO_HSM", "FS_FSM"]
OUTBRED = ["PO", "FS", "HS", "AV", "FC"]          # relatives of two outbred members
INBRED = ["PO_FSM", "PO_HSM", "FS_FSM"]
R = 9          # index of r(1,2), the kinship, among the ten values
D4, D6, D7, D8, D9 = 3, 5, 6, 7, 8
BIAS, RMSE = 2, 3      # positions in a kr.Tally's stats
# The CALL of <results>.mle.tsv that each class should get, and short names of the calls.
EXPECTED = {"UN": "unrelated", "PO": "parent-offspring", "FS": "full-sib", "HS": "second-degree",
            "AV": "second-degree", "FC": "third-degree"}
SHORTCALL = {"duplicate": "dup", "parent-offspring": "PO", "full-sib": "FS", "second-degree": "2nd",
             "third-degree": "3rd", "unrelated": "UN"}


class Scores:
    """byclass: {class: (pairs, stats per value)} over all pairs;
    outbred: the same over pairs without an inbred member;
    f: {class: (individuals, stats)} of F_Mean, or None for a peer; fall
    and finbred: the stats of F_Mean over all and over inbred individuals."""

    def __init__(self, truth, table, inb=None):
        self.byclass = kr.pairscores(truth, table)
        self.outbred = kr.pairscores(truth, table, only=lambda a, b: not truth.inbred(a) and not truth.inbred(b))
        self.f = kr.inbscores(truth, inb) if inb is not None else None
        self.fall = self.finbred = None
        if inb is not None:
            every, inbred = kr.Tally(1), kr.Tally(1)
            for name, row in inb.items():
                every.add([truth.indiv[name][2]], [row[4]])
                if truth.inbred(name):
                    inbred.add([truth.indiv[name][2]], [row[4]])
            self.fall, self.finbred = every.stats()[0], inbred.stats()[0]

    def stat(self, cls, k, which, outbred=False):
        """which: 0 mean truth, 1 mean estimate, 2 bias, 3 RMSE; None when
        the class is absent or the estimator gives no such value."""
        table = self.outbred if outbred else self.byclass
        if cls not in table or table[cls][1][k] is None:
            return None
        return table[cls][1][k][which]


def num(x, digits=4, sign=False):
    if x is None or (isinstance(x, float) and math.isnan(x)):
        return "–"
    return f"{x:+.{digits}f}" if sign else f"{x:.{digits}f}"


def tsvcolumns(path, names):
    """The named columns of one of kinex's tab-separated side tables
    (<results>.mle.tsv, .inb.tsv, .pcs.tsv), row by row as tuples of
    strings: the lines starting with '#' skipped, the first other line the
    header.  Streams, so that a pair table of a million lines costs no
    memory (kr.readtsv keeps every row as a dict)."""
    with open(path, encoding="utf-8") as f:
        at = None
        for line in f:
            if line.startswith("#") or line == "\n":
                continue
            w = line.rstrip("\n").split("\t")
            if at is None:
                missing = [x for x in names if x not in w]
                if missing:
                    raise kr.FormatError(f"{path}: no column {', '.join(missing)}")
                at = [w.index(x) for x in names]
                continue
            yield tuple(w[k] for k in at)


def readvalues(path, which=(R,)):
    """The values of every pair i < j of a results file named by which
    (positions among Delta1..Delta9, r(1,2): 0..9), in the order of the pair
    table (1,2), (1,3), ..., (2,3), ..., and F_Mean of every individual:
    (ids, [array per value of which], {id: F_Mean}).  Reads the file a line
    at a time and keeps only these, so a sample of thousands costs little
    memory (kr.readresults holds the whole file and all ten values of every
    pair)."""
    ids, cols, fmean = [], [array("f") for _ in which], {}
    at = [12 + k for k in which]
    with open(path, encoding="latin-1") as f:
        lines = (line.rstrip("\r\n") for line in f)
        for title, head in (("IBD coefficient estimates", kr.IBDHEAD),
                            ("Indiv genotypes at polymorphic loci & inbreeding", kr.INBHEAD)):
            for line in lines:
                if line == title:
                    break
            else:
                raise kr.FormatError(f"{path}: no table '{title}'")
            next(lines, None)
            if next(lines, None) != head:
                raise kr.FormatError(f"{path}: table '{title}': column line missing")
            if head == kr.INBHEAD:
                for line in lines:
                    if line == "":
                        break
                    w = line.split()
                    fmean[w[0]] = float(w[5])
                break
            row, after = None, False
            for line in lines:
                if line == "":
                    break
                w = line.split()
                if w[1] != row:
                    row, after = w[1], False
                if after:
                    for c, k in zip(cols, at):
                        c.append(float(w[k]))
                elif w[1] == w[2]:
                    ids.append(w[1])
                    after = True
    n = len(ids)
    if n < 2 or any(len(c) != n * (n - 1) // 2 for c in cols):
        raise kr.FormatError(f"{path}: IBD table of {n} individuals holds {len(cols[0]) if cols else 0} pairs "
                             "after the self pairs")
    return ids, cols, fmean


def readkinship(path):
    """The kinship r(1,2) of every pair i < j of a results file in pair-table
    order, and F_Mean of every individual: (ids, array of kinships,
    {id: F_Mean})."""
    ids, cols, fmean = readvalues(path, (R,))
    return ids, cols[0], fmean


def readfml(res):
    """{id: F by maximum likelihood, None where NA} of <res>.inb.tsv."""
    return {x: None if f == "NA" else float(f) for x, f in tsvcolumns(res + ".inb.tsv", ["ID", "F"])}


def walkpairs(truth, ids, calls=None):
    """Every pair i < j of a results file (ids in its order) in pair-table
    order: yields (i, j, class, realized Delta1..Delta9, kinship, call).
    Pairs not listed in the truth are "UN" with Delta9 1.  calls: an
    iterator of (ID1, ID2, CALL) of the pair table <results>.mle.tsv in the
    same order, whose names are checked against the ids (call None without
    it); it must hold no pair more."""
    pos = {x: k for k, x in enumerate(ids)}
    listed = {}
    for (p, q), got in truth.pairs.items():
        i, j = pos[p], pos[q]
        listed[(min(i, j), max(i, j))] = got
    unlisted = (kr.UNRELATED, kr.UNRELATEDTRUTH)
    n, s = len(ids), 0
    for i in range(n):
        for j in range(i + 1, n):
            call = None
            if calls is not None:
                got = next(calls, None)
                if got is None:
                    raise kr.FormatError(f"pair table ends at line {s + 1}, before the pair {ids[i]} {ids[j]}")
                id1, id2, call = got
                if id1 != ids[i] or id2 != ids[j]:
                    raise kr.FormatError(f"pair table line {s + 1}: {id1} {id2}, results file {ids[i]} {ids[j]}")
            rel, t = listed.get((i, j), unlisted)
            yield i, j, rel, t, call
            s += 1
    if calls is not None and next(calls, None) is not None:
        raise kr.FormatError("the pair table holds more pairs than the results file")


def ftallies(truth, ids, fmean, fml, also=None):
    """{kind: kr.Tally(2)} of (F_Mean, F_ML) against the realized F of every
    individual: kinds "outbred" and "inbred" (pedigree F above 0), and
    also(id, kind) when that gives a kind name."""
    out = {}
    for x in ids:
        kind = "inbred" if truth.inbred(x) else "outbred"
        t, e = [truth.indiv[x][2]] * 2, [fmean[x], fml[x]]
        out.setdefault(kind, kr.Tally(2)).add(t, e)
        more = also(x, kind) if also else None
        if more:
            out.setdefault(more, kr.Tally(2)).add(t, e)
    return out


def simulate(sim, folder, size, seed, extra=()):
    """The sample of the maximum-likelihood benchmarks in folder, made once:
    kinex-sim with every family type, 13% inbred, 1% missing, its PLINK
    binary files too; size (individuals, SNPs), extra options added."""
    os.makedirs(folder, exist_ok=True)
    if not os.path.exists(os.path.join(folder, "data.bed")):
        cmd = [sim, "--individuals", str(size[0]), "--loci", str(size[1]), "--missing", "0.01", "--families", "all",
               "--seed", str(seed), "--inbreed", "1", "--bed", "--out", "data"] + list(extra)
        subprocess.run(cmd, cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


def iterations(screen):
    """The maximiser's line of a kinex screen: "<most iterations>, dyads not
    converged <count>", or ""."""
    for w in screen.split("\n"):
        if "Maximum likelihood Deltas: most iterations" in w:
            return w.split("most iterations")[1].strip()
    return ""


def line(cells):
    """A markdown table row."""
    return "| " + " | ".join(str(c) for c in cells) + " |"


def ratio(x, y):
    """x / y, where 0 / 0 is 1 (both exact) and x / 0 infinite; None if
    either is missing."""
    if x is None or y is None:
        return None
    if y == 0:
        return 1.0 if x == 0 else math.inf
    return x / y


def pct(k, n):
    return f"{100.0 * k / n:.2f}% ({k}/{n})" if n else "–"


def callcounts(calls):
    """{call: pairs} as "PO 12, FS 3", most frequent first."""
    return ", ".join(f"{SHORTCALL.get(c, c)} {k}" for c, k in sorted(calls.items(), key=lambda x: -x[1])) or "–"
