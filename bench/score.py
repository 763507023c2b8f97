"""Accuracy of one estimator's pair table (kinex's IBD table or a peer's)
against kinex-sim's realized truth, in the figures the benchmark and the
validation tables show.  Builds on tests/validation/kinexresults.py."""
import math
import os
import sys

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
