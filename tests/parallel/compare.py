#!/usr/bin/env python3
"""Compares two KINEX results files.

Lines that name the run itself (command line, number of processes, start
and end times, the maximum-likelihood table and its run identifier) are
skipped.  With --tolerance 0 every other line must be
identical; otherwise the lines must have the same words and every number
may differ by at most the tolerance.  Exit status 0 when they agree.
"""
import argparse
import re
import sys

SKIP = re.compile(r"^(  \S.*kinex|  Number of MPI parallel threads = |Run (started |finished) date = |  Output file = |  Maximum likelihood table = |  IBD coefficient table = )")


def lines(name):
    with open(name, "rb") as f:
        text = f.read().decode("latin-1")
    # CR LF inside table blocks and LF both end a line here
    return [l for l in re.split(r"\r\n|\n", text)]


def number(word):
    try:
        return float(word)
    except ValueError:
        return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("expected")
    ap.add_argument("actual")
    ap.add_argument("--tolerance", type=float, default=0.0)
    ap.add_argument("--skip-iterations", action="store_true",
                    help="ignore the Iter = line and the tolerance list")
    a = ap.parse_args()
    e, f = lines(a.expected), lines(a.actual)
    if a.skip_iterations:
        def strip(ls):
            out, skipping = [], False
            for l in ls:
                if l.startswith("Tol = ") or l.startswith("Tol(1-"):
                    skipping = l.startswith("Tol(1-")
                    continue
                if skipping:
                    if l.strip() == "":
                        skipping = False
                    else:
                        continue
                out.append(l)
            return out
        e, f = strip(e), strip(f)
    if len(e) != len(f):
        print(f"line counts differ: {len(e)} vs {len(f)}")
        return 1
    bad = 0
    worst = 0.0
    for k, (x, y) in enumerate(zip(e, f), 1):
        if SKIP.match(x) and SKIP.match(y):
            continue
        if x == y:
            continue
        wx, wy = x.split(), y.split()
        ok = a.tolerance > 0 and len(wx) == len(wy)
        if ok:
            for u, v in zip(wx, wy):
                if u == v:
                    continue
                nu, nv = number(u), number(v)
                if nu is None or nv is None or abs(nu - nv) > a.tolerance + 1e-12:
                    ok = False
                    break
                worst = max(worst, abs(nu - nv))
        if not ok:
            bad += 1
            if bad <= 10:
                print(f"line {k} differs:\n  < {x!r}\n  > {y!r}")
    if bad:
        print(f"{bad} lines differ")
        return 1
    if a.tolerance > 0:
        print(f"agree within {a.tolerance} (largest difference {worst:.6g})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
