#!/usr/bin/env python3
"""Tests of the known-truth checker: it reads results files with either
line end, scores by hand-checkable numbers, and rejects results files
that a broken estimator or writer would make.

    test_checker.py --kinex K --sim S [unittest options]

One real sample (the snp-upp0-inb1 scenario) is simulated and estimated
once; the tests then check copies of its results file, altered the way a
fault would alter them.
"""
import math
import os
import re
import shutil
import sys
import tempfile
import unittest
from array import array

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, HERE)
import kinexresults as kr  # noqa: E402
import knowntruth as kt  # noqa: E402

PROGRAMS = {}
SCENARIO = "snp-upp0-inb1"


def rewrite(src, dst, ibdline=None, inbline=None, joint=None):
    """Copies a results file, passing the fields of every IBD table line
    through ibdline and of every inbreeding line through inbline; the line
    ends are kept as they were unless joint (a line end) replaces them all."""
    with open(src, "rb") as f:
        parts = re.split(r"(\r\n|\n)", f.read().decode("latin-1"))
    table = None
    for k in range(0, len(parts), 2):
        line = parts[k]
        if line in ("IBD coefficient estimates", "Indiv genotypes at polymorphic loci & inbreeding"):
            table = line
        elif line == "":
            table = None
        w = line.split()
        if table == "IBD coefficient estimates" and len(w) == 22 and w[0].isdigit() and ibdline:
            parts[k] = " ".join(ibdline(w))
        elif table and table.startswith("Indiv") and len(w) == 7 and w[1].isdigit() and inbline:
            parts[k] = " ".join(inbline(w))
    if joint is not None:
        parts = [joint if k % 2 else p for k, p in enumerate(parts)]
    with open(dst, "wb") as f:
        f.write("".join(parts).encode("latin-1"))


def withr(w):
    """The line with r(1,2) recomputed from its (altered) Deltas, as a
    consistent writer would."""
    d = [float(x) for x in w[12:21]]
    r = (d[0] + 1) * 0.5 if w[1] == w[2] else d[0] + 0.5 * (d[2] + d[4] + d[6]) + 0.25 * d[7]
    return w[:21] + [f"{r:.4f}"]


class RealSample(unittest.TestCase):
    """Checks on one real kinex run and altered copies of its results."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="kinex-checker-")
        cls.prefix, cls.results = kt.simulate(PROGRAMS["sim"], SCENARIO, kt.TESTSEED, cls.dir)
        kt.runkinex(PROGRAMS["kinex"], cls.dir)
        cls.checks = kt.SCENARIOS[SCENARIO]["checks"]
        cls.truth = kr.Truth(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def copy(self, name, **how):
        path = os.path.join(self.dir, name)
        rewrite(self.results, path, **how)
        return path

    def failed(self, path):
        return kt.failures(kt.measure(self.prefix, path), self.checks)

    def test_genuine_results_pass(self):
        self.assertEqual(self.failed(self.results), [])

    def test_record_joined_by_cr_lf_is_read(self):
        with open(self.results, "rb") as f:
            raw = f.read()
        self.assertIn(b"\r\n", raw)
        ibd, inb = kr.readresults(self.results)
        n = len(ibd.ids)
        self.assertEqual(n, int(re.search(rb"Number of individuals = (\d+)", raw).group(1)))
        self.assertEqual(len(ibd.values), 10 * n * (n - 1) // 2)
        self.assertEqual(len(inb), n)

    def test_line_ends_do_not_matter(self):
        ibd, inb = kr.readresults(self.results)
        for name, end in (("lf.out", "\n"), ("crlf.out", "\r\n")):
            with self.subTest(end=repr(end)):
                other, oinb = kr.readresults(self.copy(name, joint=end))
                self.assertEqual(other.ids, ibd.ids)
                self.assertEqual(other.values, ibd.values)
                self.assertEqual(oinb, inb)

    def test_delta7_and_delta9_exchanged(self):
        def swap(w):
            w = list(w)
            w[18], w[20] = w[20], w[18]
            return w
        # as written: r(1,2) no longer follows from the Deltas
        with self.assertRaisesRegex(kr.FormatError, "r\\(1,2\\)"):
            kr.readresults(self.copy("swap79.out", ibdline=swap))
        # with r(1,2) recomputed the table is consistent, but not the truth
        bad = self.failed(self.copy("swap79r.out", ibdline=lambda w: withr(swap(w))))
        self.assertTrue(any(b.startswith("UN Delta9 mean") for b in bad), bad)
        self.assertTrue(any(b.startswith("FS Delta7 mean") for b in bad), bad)

    def test_autozygous_states_of_the_wrong_individual(self):
        # Delta3/Delta5 and Delta4/Delta6 taken from the other orientation
        def swap(w):
            return w[:14] + [w[16], w[17], w[14], w[15]] + w[18:]
        bad = self.failed(self.copy("swap35.out", ibdline=swap))
        self.assertTrue(any(b.startswith("PO_FSM Delta5 mean") for b in bad), bad)

    def test_estimates_of_other_pairs(self):
        # every line's values belong to the pair of the next individuals
        ibd, _ = kr.readresults(self.results)
        move = {name: ibd.ids[(k + 1) % len(ibd.ids)] for k, name in enumerate(ibd.ids)}
        rows = {}
        with open(self.results, "rb") as f:
            for line in re.split(r"\r\n|\n", f.read().decode("latin-1")):
                w = line.split()
                if len(w) == 22 and w[0].isdigit():
                    rows[(w[1], w[2])] = w[3:]
        bad = self.failed(self.copy("moved.out", ibdline=lambda w: w[:3] + rows[(move[w[1]], move[w[2]])]))
        self.assertTrue(any(b.startswith("PO Delta8 mean") for b in bad), bad)
        self.assertTrue(any(b.startswith("REL r rmse") for b in bad), bad)

    def test_inbreeding_left_out(self):
        bad = self.failed(self.copy("nof.out", inbline=lambda w: w[:5] + ["0.0000", "0.0000"]))
        self.assertTrue(any(b.startswith("F:fsm child F_Mean mean") for b in bad), bad)
        self.assertTrue(any(b.startswith("F:ifs sibs F_Mean mean") for b in bad), bad)

    def test_inbreed_0_bounds_see_inbreeding(self):
        m = kt.measure(self.prefix, self.results)
        self.assertGreater(m[("ALL", "Delta1-6", "max")], 0.0)
        self.assertEqual(len(kt.failures(m, kt.NOINBREEDING)), 2)

    def test_broken_tables(self):
        def dropone(path):
            lines = kr.textlines(path)
            k = lines.index("Indiv genotypes at polymorphic loci & inbreeding") - 4
            del lines[k]
            with open(path, "w") as f:
                f.write("\n".join(lines) + "\n")
            return path
        with self.assertRaisesRegex(kr.FormatError, "not n x n"):
            kr.readresults(dropone(self.copy("short.out", joint="\n")))

        def renumber(w):
            return [str(int(w[0]) + 1)] + w[1:] if w[0] == "5" else w
        with self.assertRaisesRegex(kr.FormatError, "wrong dyad"):
            kr.readresults(self.copy("renumbered.out", ibdline=renumber))

        ibd, _ = kr.readresults(self.results)
        last = ibd.ids[-1]

        def lowerdiffers(w):
            # the lines of the last individual, all below the diagonal, no
            # longer mirror their pairs
            if w[1] == last and w[2] != last:
                d7, d9 = float(w[18]), float(w[20])
                step = 0.01 if d9 >= 0.01 else -0.01
                return withr(w[:18] + [f"{d7 + step:.4f}", w[19], f"{d9 - step:.4f}", w[21]])
            return w
        with self.assertRaisesRegex(kr.FormatError, "not mirrors"):
            kr.readresults(self.copy("mirror.out", ibdline=lowerdiffers))

        def nosum(w):
            return w[:20] + ["0.0000", w[21]] if w[0] == "2" else w
        with self.assertRaisesRegex(kr.FormatError, "sum to"):
            kr.readresults(self.copy("nosum.out", ibdline=nosum))


class Scoring(unittest.TestCase):
    """Statistics of a hand-made sample of four individuals."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kinex-score-")
        prefix = os.path.join(self.dir, "s")
        with open(prefix + ".truth.pairs.tsv", "w") as f:
            f.write("# comment\nid1\tid2\trelation\td1\td2\td3\td4\td5\td6\td7\td8\td9\tkinship\tkinship_exp\n")
            f.write("a\tb\tFS\t0\t0\t0\t0\t0\t0\t0.25\t0.5\t0.25\t0.25\t0.25\n")
            f.write("c\td\tPO_FSM\t0\t0\t0\t0\t0.25\t0\t0.25\t0.5\t0\t0.375\t0.375\n")
        with open(prefix + ".truth.indiv.tsv", "w") as f:
            f.write("id\tfamily\trole\tF\tF_exp\n")
            f.write("a\tf1_fs\tc1\t0\t0\nb\tf1_fs\tc2\t0\t0\n")
            f.write("c\tf2_fsm\tfa\t0\t0\nd\tf2_fsm\tch\t0.3\t0.25\n")
        self.truth = kr.Truth(prefix)
        ids = ["a", "b", "c", "d"]
        # pairs in the order ab ac ad bc bd cd
        rows = [[0, 0, 0, 0, 0, 0, 0.35, 0.4, 0.25, 0.275],
                [0, 0, 0, 0, 0, 0, 0, 0.1, 0.9, 0.025],
                [0, 0, 0, 0, 0, 0, 0, 0, 1, 0],
                [0, 0, 0, 0, 0, 0, 0, 0, 1, 0],
                [0, 0, 0, 0, 0, 0, 0, 0.2, 0.8, 0.05],
                [0, 0, 0, 0, 0.2, 0, 0.3, 0.5, 0, 0.4]]
        self.ibd = kr.Ibd(ids, array("f", [x for r in rows for x in r]), [0.5] * 4)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_orientation(self):
        self.assertAlmostEqual(self.ibd.pair(2, 3)[4], 0.2)
        seen = self.ibd.pair(3, 2)
        self.assertAlmostEqual(seen[2], 0.2)
        self.assertEqual(seen[4], 0.0)

    def test_class_statistics(self):
        s = kr.pairscores(self.truth, self.ibd)
        self.assertEqual([c for c in s], ["UN", "FS", "PO_FSM", "REL", "ALL"])
        n, st = s["FS"]
        self.assertEqual(n, 1)
        truth, mean, bias, rmse = st[6]
        self.assertAlmostEqual(truth, 0.25)
        self.assertAlmostEqual(mean, 0.35, places=6)
        self.assertAlmostEqual(bias, 0.1, places=6)
        self.assertAlmostEqual(rmse, 0.1, places=6)
        n, st = s["UN"]
        self.assertEqual(n, 4)
        # unrelated r(1,2): 0.025, 0, 0, 0.05 against 0
        self.assertAlmostEqual(st[9][2], 0.01875, places=6)
        self.assertAlmostEqual(st[9][3], math.sqrt((0.025 ** 2 + 0.05 ** 2) / 4), places=6)
        self.assertAlmostEqual(st[8][1], 0.925, places=6)
        self.assertEqual(s["ALL"][0], 6)
        self.assertEqual(s["REL"][0], 2)

    def test_excluded_pairs(self):
        s = kr.pairscores(self.truth, self.ibd, only=lambda a, b: not self.truth.inbred(a) and not self.truth.inbred(b))
        self.assertNotIn("PO_FSM", s)
        self.assertEqual(s["UN"][0], 2)

    def test_missing_values_are_left_out(self):
        t = kr.Tally(2)
        t.add([0.5, 0.5], [0.6, None])
        t.add([0.5, 0.5], [0.4, None])
        st = t.stats()
        self.assertAlmostEqual(st[0][2], 0.0)
        self.assertAlmostEqual(st[0][3], 0.1)
        self.assertIsNone(st[1])

    def test_inbreeding_classes(self):
        inb = {"a": (0, 10, 5, 5, 0.01, 0.0), "b": (0, 10, 5, 5, 0.03, 0.0),
               "c": (0, 10, 5, 5, 0.0, 0.0), "d": (0, 10, 7, 3, 0.25, 0.0)}
        s = kr.inbscores(self.truth, inb)
        self.assertEqual(s["outbred"][0], 3)
        self.assertAlmostEqual(s["outbred"][1][1], 0.04 / 3)
        self.assertAlmostEqual(s["fsm child"][1][2], -0.05)


def main():
    args = sys.argv[1:]
    for key in ("--kinex", "--sim"):
        if key in args:
            k = args.index(key)
            PROGRAMS[key[2:]] = os.path.abspath(args[k + 1])
            del args[k:k + 2]
    if len(PROGRAMS) != 2:
        sys.exit("usage: test_checker.py --kinex K --sim S [unittest options]")
    unittest.main(argv=[sys.argv[0]] + args)


if __name__ == "__main__":
    main()
