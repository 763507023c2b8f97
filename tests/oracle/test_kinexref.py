#!/usr/bin/env python3
"""Checks of the Python reference on its own: the worked examples of the
program's description and plausibility of the estimates."""

import io
import os
import random
import shutil
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True   # leave no cache files in the source tree
sys.path.insert(0, HERE)
import kinexref as kr  # noqa: E402


def runref(folder, args=(), parfile=None):
    """Run the reference in folder; return (program state, screen text)."""
    cwd = os.getcwd()
    os.chdir(folder)
    try:
        prog = kr.Kinex('kinex', list(args), True)
        prog.out = io.StringIO()
        try:
            prog.run()
        except kr.StopRun:
            pass
        return prog, prog.out.getvalue()
    finally:
        os.chdir(cwd)


def writecase(folder, par, geno, gname='g.txt'):
    with open(os.path.join(folder, 'VARN.par'), 'w') as fh:
        fh.write('\n'.join(str(v) for v in par) + '\n')
    with open(os.path.join(folder, gname), 'w') as fh:
        fh.write('\n'.join(geno) + '\n')


class Numerics(unittest.TestCase):
    def test_ran1_start(self):
        r = kr.Ran1(0)
        r()
        self.assertEqual(r.idum, 1)
        r2 = kr.Ran1(0)
        r2.idum = 0
        # state right after initialisation, before the first advance
        a = 0
        self.assertEqual((888889999 ^ a) | 1, 888889999)
        self.assertEqual(777755555 ^ a, 777755555)

    def test_ran1_scale(self):
        self.assertEqual(struct_bits(1.0 / 2147483647.0), 0x3E00000000200000)

    def test_ran1_sign_of_seed(self):
        a = kr.Ran1(-12345)
        b = kr.Ran1(12345)
        b.idum = -b.idum
        sa = [a() for _ in range(50)]
        b.idum = 12345
        b = kr.Ran1(12345)
        # 12345 is positive: the generator initialises only on idum <= 0 or
        # iy < 0; iy starts at -1, so it initialises with |12345| too
        sb = [b() for _ in range(50)]
        self.assertEqual(sa, sb)
        self.assertTrue(all(0 < x <= 1 for x in sa))

    def test_constants(self):
        self.assertEqual(struct_bits(kr.C1), 0x3FEE666666666667)
        self.assertEqual(struct_bits(kr.C2), 0x3FFE666666666667)
        self.assertEqual(struct_bits(kr.C3), 0x4006CCCCCCCCCCCD)
        self.assertEqual(kr.C2, 2 * kr.C1)
        self.assertEqual(kr.F32_051, 0.5099999904632568)
        self.assertEqual(kr.F32_005, 0.05000000074505806)

    def test_indexx(self):
        self.assertEqual(kr.indexx(1, [0.0, 5.0])[1:], [1])
        keys = [0.0] + [float(i) for i in range(1, 101)]
        self.assertEqual(kr.indexx(100, keys)[1:], list(range(1, 101)))
        # short arrays are an insertion sort that keeps equal keys in order
        self.assertEqual(kr.indexx(5, [0.0, 2.0, 1.0, 2.0, 1.0, 0.5])[1:], [5, 2, 4, 1, 3])
        rng = random.Random(5)
        for n in (8, 9, 20, 333, 1000):
            keys = [0.0] + [rng.choice([1.0, 2.0, rng.random()]) for _ in range(n)]
            order = kr.indexx(n, keys)
            self.assertEqual(sorted(order[1:]), list(range(1, n + 1)))
            vals = [keys[order[i]] for i in range(1, n + 1)]
            self.assertEqual(vals, sorted(vals))

    def test_formats(self):
        self.assertEqual(kr.scifmt(0.0), '0.000000E+00')
        self.assertEqual(kr.scifmt(1.2345674e-5), '1.234567E-05')
        self.assertEqual(kr.scifmt(9.9999996e-3), '1.000000E-02')
        self.assertEqual(kr.scifmt(1.5e-120), '1.500000-120')
        self.assertEqual(kr.fixfmt(0.03125, 8, 4), '  0.0313')
        self.assertEqual(kr.fixfmt(1.0, 8, 4), '  1.0000')
        self.assertEqual(kr.fixfmt(123456.0, 8, 4), '********')
        self.assertEqual(kr.four(375.0), ' 0.0375')
        self.assertEqual(kr.four(10000.0), ' 1.0000')
        self.assertEqual(kr.four(0.5), ' 0.0001')
        self.assertEqual(kr.three(1000.0), ' 1.000')
        self.assertEqual(kr.roundhalfaway(2.5), 3)
        self.assertEqual(kr.roundhalfaway(2.4999999999999996), 2)

    def test_findconf(self):
        f = kr.Kinex.findconf
        self.assertEqual(f(1, 1, 1, 2), 3)
        self.assertEqual(f(1, 2, 1, 1), 5)
        self.assertEqual(f(1, 1, 2, 3), 4)
        self.assertEqual(f(2, 3, 1, 1), 6)
        self.assertEqual(f(2, 1, 1, 2), 7)
        self.assertEqual(f(1, 2, 1, 3), 8)
        self.assertEqual(f(1, 2, 3, 4), 9)
        table = [1, 5, 2, 3, 7, 3, 2, 5, 1]
        for a, b in ((1, 1), (1, 2), (2, 2)):
            for c, d in ((1, 1), (1, 2), (2, 2)):
                self.assertEqual(f(a, b, c, d), table[3 * (c + d) + (a + b) - 8])


def readtext(path):
    with open(path, newline='') as fh:
        return fh.read()


def struct_bits(x):
    import struct
    return struct.unpack('<Q', struct.pack('<d', x))[0]


class Runs(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='kinexref-test-')

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_locus_preparation_examples(self):
        # locus 1: (5,7), (7,7), (0,3) -> codes 1 2 / 2 2 / missing, record 2 5 7;
        # locus 2 follows the same pattern with other raw IDs; locus 3 is
        # all missing; locus 4 is monomorphic
        geno = ['a 5 7 10 20 0 0 4 4',
                'b 7 7 20 20 -1 0 4 4',
                'c 0 3 0 9 0 5 0 0']
        writecase(self.dir, [3, 4, 0, 1, 'g.txt', 'o.txt', 7, 0, 0, 1], geno)
        prog, screen = runref(self.dir)
        self.assertEqual(prog.numloci2, 1)
        self.assertEqual(prog.markeridx[1:], [1, 1, 0, 0])
        self.assertEqual(prog.markercnt[1:], [2])
        self.assertEqual(prog.gt[1][1], (1, 2))
        self.assertEqual(prog.gt[2][1], (2, 2))
        self.assertEqual(prog.gt[3][1], (0, 0))
        self.assertIn('  Number of unique polymorphic loci = 1\n', screen)
        self.assertFalse(os.path.exists(os.path.join(self.dir, 'o.txt.RawAllele')))
        text = readtext(os.path.join(self.dir, 'o.txt'))
        self.assertIn('Locus 1: 2 alleles, 1 missing genotypes\r\n5 0.250 0.250\r\n7 0.750 0.750\r\n\n', text)
        self.assertIn('Locus 2: 2 alleles, 1 missing genotypes\r\n10 0.250 0.250\r\n', text)
        self.assertIn('Locus 3: 1 alleles, 0 missing genotypes\r\n0 1.000 1.000\r\n\n', text)
        self.assertTrue(text.endswith('Locus 4: 1 alleles, 0 missing genotypes\r\n4 1.000 1.000\r\n\n'))

    def test_ten_snp_loci(self):
        # loci 2 and 7 identical, locus 4 monomorphic
        rng = random.Random(3)
        n = 12
        cols = []
        for l in range(10):
            cols.append([rng.choice('012') for _ in range(n)])
        cols[3] = ['2'] * n
        cols[6] = cols[1][:]
        rows = [''.join(cols[l][i] for l in range(10)) for i in range(n)]
        geno = [' '.join('i%d' % i for i in range(n))] + rows
        writecase(self.dir, [n, 10, 2, 0, 'g.txt', 'o.txt', 7, 0, 0, 1], geno)
        prog, screen = runref(self.dir)
        self.assertEqual(prog.numloci2, 8)
        self.assertEqual(prog.markeridx[1:], [1, 2, 3, 0, 4, 5, 2, 6, 7, 8])
        self.assertEqual(prog.markercnt[2], 2)
        self.assertIn('\r  Locus = \n\r  Done with locus 1 - 10\n', screen)

    def pedigree_case(self, updatep, inbreed, nloci=150, seed=11, nf=30):
        rng = random.Random(seed)
        par = [None] * nf + [(0, 1), (0, 1), (nf, 2)]
        self.realized = [0.0, 0.0, 0.0]   # Delta7, Delta8, Delta9 of the sibs
        n = len(par)
        lines = []
        genes = []
        for l in range(nloci):
            k = rng.randint(4, 8)
            ids = rng.sample(range(1, 1000), k)
            g = []
            picks = []
            for p in par:
                if p is None:
                    g.append([rng.choice(ids), rng.choice(ids)])
                    picks.append(None)
                else:
                    k1 = rng.randrange(2)
                    k2 = rng.randrange(2)
                    g.append([g[p[0]][k1], g[p[1]][k2]])
                    picks.append((k1, k2))
            genes.append(g)
            # realized IBD of the two sibs (individuals nf+1, nf+2)
            shared = (picks[nf][0] == picks[nf + 1][0]) + (picks[nf][1] == picks[nf + 1][1])
            self.realized[2 - shared] += 1.0 / nloci
        for i in range(n):
            lines.append('ind%d ' % (i + 1) + ' '.join('%d %d' % tuple(genes[l][i]) for l in range(nloci)))
        writecase(self.dir, [n, nloci, 0, inbreed, 'g.txt', 'o.txt', 4711, 0, updatep, 0], lines)
        prog, screen = runref(self.dir)
        return prog, screen

    def check_sums(self, prog):
        n = prog.numindiv
        for x in range(1, n + 1):
            for y in range(1, n + 1):
                s = sum(prog.delta[x][y])
                self.assertAlmostEqual(s, 1.0, places=5)
                self.assertTrue(all(v >= 0 for v in prog.delta[x][y]))

    def test_pedigree_fixed_frequencies(self):
        # 30 founders, two full sibs (children of 1 and 2), and a child of
        # the first sib and founder 3
        prog, screen = self.pedigree_case(0, 0)
        self.check_sums(prog)
        d = prog.delta
        self.assertGreater(d[1][31][7], 0.9)     # parent-offspring: Delta8
        self.assertGreater(d[2][32][7], 0.9)
        self.assertGreater(d[31][33][7], 0.9)
        sib = d[31][32]
        for k in range(3):
            self.assertAlmostEqual(sib[6 + k], self.realized[k], delta=0.15)
        self.assertGreater(d[3][4][8], 0.9)      # unrelated founders: Delta9
        self.assertIn('EM for Delta ONLY finished!', screen)

    def test_pedigree_joint(self):
        prog, screen = self.pedigree_case(1, 1, nloci=40, nf=8)
        self.check_sums(prog)
        d = prog.delta
        self.assertGreater(d[1][9][7], 0.7)
        self.assertIn('  EM for Delta and P completed for replicate 1', screen)
        self.assertGreaterEqual(prog.iter2, 11)
        # allele counts never below 3 after the last iteration's lift
        for a in range(1, prog.numallallele + 1):
            self.assertGreater(prog.allelecnt[a], 0)

    def test_results_layout(self):
        geno = ['a 1 2 3 4', 'b 1 1 3 3', 'c 2 2 4 4']
        writecase(self.dir, [3, 2, 0, 1, 'g.txt', 'o.txt', 7, 0, 0, 0], geno)
        runref(self.dir, ['IND:3', 'GEN:g.txt'])
        text = readtext(os.path.join(self.dir, 'o.txt'))
        lines = text.split('\n')
        self.assertEqual(lines[0], '-' * 65)
        self.assertEqual(lines[1], '  KINEX, Version 1.0.0.0, Build 20211115')
        self.assertIn('  kinex IND:3 GEN:g.txt', lines)
        started = [s for s in lines if s.startswith('Run started  date = ')]
        self.assertEqual(len(started[0]), 47)
        i = lines.index('Iter = 0')
        self.assertEqual(lines[i + 1:i + 4], ['', '', '-' * 25])
        self.assertTrue(text.endswith('F_Mean F_SD\n' + '\n'.join(
            lines[-4:-1]) + '\n'))


if __name__ == '__main__':
    unittest.main()
