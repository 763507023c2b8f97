"""Accuracy of one estimator's pair table (kinex's IBD table or a peer's)
against kinex-sim's realized truth, in the figures the benchmark and the
validation tables show.  Builds on tests/validation/kinexresults.py."""
import math
import os
import sys
from array import array

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "validation"))
import kinexresults as kr  # noqa: E402,F401

CLASSES = ["UN", "PO", "FS", "HS", "AV", "FC", "PO_FSM", "PO_HSM", "FS_FSM"]
R = 9          # index of r(1,2), the kinship, among the ten values
D7, D8, D9 = 6, 7, 8


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


def readkinship(path):
    """The kinship r(1,2) of every pair i < j of a results file, in the
    order of the pair table (1,2), (1,3), ..., (2,3), ..., and F_Mean of every
    individual: (ids, array of kinships, {id: F_Mean}).  Reads the file a
    line at a time and keeps only these, so a sample of thousands costs
    little memory (kr.readresults holds the whole file and all ten values
    of every pair)."""
    ids, kin, fmean = [], array("f"), {}
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
                w = line.split(None, 3)
                if w[1] != row:
                    row, after = w[1], False
                if after:
                    kin.append(float(line.rsplit(None, 1)[1]))
                elif w[1] == w[2]:
                    ids.append(w[1])
                    after = True
    n = len(ids)
    if n < 2 or len(kin) != n * (n - 1) // 2:
        raise kr.FormatError(f"{path}: IBD table of {n} individuals holds {len(kin)} pairs after the self pairs")
    return ids, kin, fmean
