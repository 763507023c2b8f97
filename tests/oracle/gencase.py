#!/usr/bin/env python3
"""Make one small random kinex case from a seed.

    gencase.py --seed S --dir FOLDER [--kind normal|big|wide]

FOLDER receives the parameter file, the genotype file and case.json, which
holds the program arguments (key "args") and a summary of the case.

The sample is a small pedigree: founders draw their alleles from random
frequencies, later individuals inherit one gene from each of two earlier
individuals (sometimes the same one twice, which makes them inbred), so
parent-offspring pairs, sibs and inbred individuals turn up.  Loci may be
multi-allelic (layout 0: 2..8 alleles with raw IDs scattered over 1..999,
duplicated loci with other raw IDs, monomorphic and all-missing loci) or
SNPs (layouts 1 and 2: duplicated columns, monomorphic columns, assorted
missing characters, short and long rows).
"""

import argparse
import json
import os
import random


def pedigree(rng, n):
    """Parents of each individual (None for founders), in file order."""
    nfound = max(2, n - rng.randint(0, n // 2 + 1)) if n > 2 else rng.choice([1, 2])
    nfound = min(nfound, n)
    par = []
    for i in range(n):
        if i < nfound:
            par.append(None)
        else:
            p1 = rng.randrange(i)
            p2 = p1 if rng.random() < 0.12 else rng.randrange(i)
            par.append((p1, p2))
    return par


def dropgenes(rng, par, draw, hetero=()):
    """Two genes per individual following the pedigree; founders listed in
    hetero get two different genes (where the draw allows it)."""
    g = []
    for i, p in enumerate(par):
        if p is None:
            a, b = draw(), draw()
            tries = 0
            while i in hetero and a == b and tries < 50:
                b = draw()
                tries += 1
            g.append([a, b])
        else:
            g.append([rng.choice(g[p[0]]), rng.choice(g[p[1]])])
    return g


def randid(rng, i):
    r = rng.random()
    if r < 0.6:
        return 'ind%d' % (i + 1)
    if r < 0.8:
        k = rng.randint(1, 24)
        return ''.join(rng.choice('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-')
                       for _ in range(k))
    if r < 0.9:
        return str(rng.randint(1, 99999))
    return 'X%03d' % rng.randint(0, 999)


def idtext(rng, s):
    """An identifier as written in the file (sometimes quoted)."""
    if rng.random() < 0.05:
        return "'" + s + "'"
    return s


def multiallelic(rng, n, nloci, par, pmiss, hetero):
    """Genotype columns of layout 0: list over loci of per-individual pairs
    of raw allele values as written."""
    cols = []
    kinds = []
    polycols = []
    for l in range(nloci):
        r = rng.random()
        if polycols and r < 0.15:
            # the pattern of an earlier locus with other raw IDs
            src = cols[rng.choice(polycols)]
            ids = sorted(set(a for g in src for a in g if a > 0))
            newids = rng.sample(range(1, 1000), len(ids))
            remap = dict(zip(ids, newids))
            col = []
            for g in src:
                if g[0] <= 0 or g[1] <= 0:
                    col.append(missingpair(rng, g))
                else:
                    col.append([remap[g[0]], remap[g[1]]])
            cols.append(col)
            kinds.append('dup')
            polycols.append(l)
            continue
        if r < 0.22:
            a = rng.randint(1, 999)
            col = []
            for i in range(n):
                col.append(missingpair(rng, None) if rng.random() < pmiss else [a, a])
            cols.append(col)
            kinds.append('mono')
            continue
        if r < 0.26:
            cols.append([missingpair(rng, None) for _ in range(n)])
            kinds.append('missing')
            continue
        k = rng.randint(2, 8)
        ids = rng.sample(range(1, 1000), k)
        wts = [rng.random() + 0.05 for _ in range(k)]
        genes = dropgenes(rng, par, lambda: rng.choices(ids, wts)[0], hetero)
        col = []
        for g in genes:
            if rng.random() < pmiss:
                col.append(missingpair(rng, None))
            else:
                col.append(g[:] if rng.random() < 0.5 else [g[1], g[0]])
        cols.append(col)
        kinds.append('poly')
        polycols.append(l)
    return cols, kinds


def missingpair(rng, like):
    r = rng.random()
    if r < 0.6:
        return [0, 0]
    if r < 0.75:
        return [-9, rng.randint(1, 999)]
    if r < 0.9:
        return [rng.randint(1, 999), 0]
    return [-1, -1]


def ispoly_multi(col):
    seen = set()
    for a, b in col:
        if a > 0 and b > 0:
            seen.add(a)
            seen.add(b)
    return len(seen) >= 2


MISSCHARS = '9- N3x.'


def snpcols(rng, n, nloci, par, pmiss, hetero):
    """SNP columns: list over loci of per-individual characters."""
    cols = []
    for l in range(nloci):
        r = rng.random()
        if cols and r < 0.2:
            src = cols[rng.randrange(len(cols))]
            cols.append([c if c in '012' else rng.choice(MISSCHARS) for c in src])
            continue
        if r < 0.3:
            c = rng.choice('02')
            cols.append([c if rng.random() >= pmiss else rng.choice(MISSCHARS) for _ in range(n)])
            continue
        if r < 0.33:
            cols.append([rng.choice(MISSCHARS) for _ in range(n)])
            continue
        p = rng.uniform(0.05, 0.95)
        genes = dropgenes(rng, par, lambda: 1 if rng.random() < p else 2, hetero)
        col = []
        for g in genes:
            if rng.random() < pmiss:
                col.append(rng.choice(MISSCHARS))
            else:
                col.append(str(g.count(1)))
        cols.append(col)
    return cols


def ispoly_snp(col):
    s = set(col)
    return '1' in s or ('0' in s and '2' in s)


def writeids(rng, ids):
    lines = []
    cur = []
    for s in ids:
        cur.append(idtext(rng, s))
        if rng.random() < 0.35:
            lines.append(' '.join(cur))
            cur = []
    if cur:
        lines.append(' '.join(cur))
    return lines


def gencase(seed, folder, kind='normal', fixedp=False):
    rng = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    if kind == 'big':
        layout = rng.choice([1, 2])
        n = rng.randint(3, 5)
        nloci = rng.randint(995, 1100)
        updatep = 0
    elif kind == 'long':
        layout = rng.choices([0, 1, 2], [0.6, 0.2, 0.2])[0]
        n = rng.randint(2, 5)
        nloci = rng.randint(60, 2000 // (n * (n - 1) // 2))
        updatep = 1
    elif kind == 'wide':
        layout = rng.choice([0, 1, 2])
        n = rng.randint(30, 36)
        nloci = rng.randint(2, 8)
        updatep = 0
    else:
        layout = rng.choices([0, 1, 2], [0.5, 0.25, 0.25])[0]
        n = rng.randint(2, 12)
        nloci = rng.randint(1, 60)
        updatep = rng.randint(0, 1)
        if fixedp:
            updatep = 0
        if updatep:
            # keep the joint EM small enough for the reference
            ndyad = n * (n - 1) // 2
            nloci = max(1, min(nloci, 1200 // ndyad))
    inbreed = rng.randint(0, 1) if kind != 'long' else int(rng.random() < 0.8)
    rnddelta0 = rng.randint(0, 1)
    outallele = rng.randint(0, 1)
    pmiss = rng.choice([0.0, 0.03, 0.1, 0.25])
    par = pedigree(rng, n)
    # sometimes a founder heterozygous wherever it can be: its estimated
    # inbreeding goes to the prior alone, which the joint EM treats apart
    hetero = set()
    if rng.random() < (0.5 if kind == 'long' else 0.15):
        hetero.add(0)
    ids = [randid(rng, i) for i in range(n)]
    seedval = rng.choice([0, rng.randint(1, 99999), -rng.randint(1, 99999), rng.randint(1, 2147483647)])

    lines = []
    if layout == 0:
        while True:
            cols, kinds = multiallelic(rng, n, nloci, par, pmiss, hetero)
            if any(ispoly_multi(c) for c in cols):
                break
        sep = rng.choice([' ', ' ', '  ', ', ', '\t', ','])
        for i in range(n):
            vals = []
            for l in range(nloci):
                vals.extend(str(v) for v in cols[l][i])
            lines.append(idtext(rng, ids[i]) + sep + sep.join(vals))
    else:
        while True:
            cols = snpcols(rng, n, nloci, par, pmiss, hetero)
            if any(ispoly_snp(c) for c in cols):
                break
        lines.extend(writeids(rng, ids))
        if layout == 1:
            for l in range(nloci):
                row = ''.join(cols[l])
                lines.append(shapen(rng, row))
        else:
            for i in range(n):
                row = ''.join(cols[l][i] for l in range(nloci))
                lines.append(shapen(rng, row))
    gname = rng.choice(['geno.dat', 'genotypes.txt', 'g1.txt'])
    with open(os.path.join(folder, gname), 'w', newline='') as fh:
        fh.write('\n'.join(lines) + '\n')

    oname = rng.choice(['out.txt', 'results.out', 'kin.res'])
    args = []
    parname = 'VARN.par'
    # the values in the parameter file, before command-line overrides
    pv = {'n': n, 'l': nloci, 'gen': gname, 'out': oname, 'seed': seedval, 'upp': updatep}
    r = rng.random()
    if r < 0.06:
        args.append('RAN:%d' % seedval)
        pv['seed'] = rng.randint(1, 500)
    elif r < 0.12:
        args.append('IND:%d' % n)
        pv['n'] = rng.choice([1, n + 3])
    elif r < 0.16:
        args.append('UPP:%d' % updatep)
        pv['upp'] = 1 - updatep
        if kind != 'normal' or n * (n - 1) // 2 * nloci > 700:
            pv['upp'] = updatep
    elif r < 0.20:
        args.append('GEN:' + gname)
        pv['gen'] = 'nosuchfile.txt'
    elif r < 0.24:
        args.append('OUT:' + oname)
        pv['out'] = 'ignored.txt'
    elif r < 0.27:
        parname = 'other.par'
        args.append('INP:' + parname)
    elif r < 0.30:
        args.append('LOC:%d' % nloci)
        pv['l'] = nloci + 5
    elif r < 0.32:
        args.append('OMP:4')
    elif r < 0.335:
        args.append('RAN:%d' % seedval)
        args.append('RAN:77')
        pv['seed'] = 5
    elif r < 0.35:
        args.append('-nosuchoption')
    elif r < 0.36:
        args.append('IND:12x')
    elif r < 0.37:
        args.append('OMP:2')
        args.append(rng.choice(['help', 'HELP', 'Help']))
    crlf = rng.random() < 0.2
    eol = '\r\n' if crlf else '\n'

    def val(v, text):
        v = str(v)
        if rng.random() < 0.3 and not v.startswith("'"):
            return v
        return v + rng.choice(['  ', ' ', '\t', ', ', ' / ']) + text

    def name(s):
        return "'" + s + "'" if rng.random() < 0.25 else s

    pl = [val(pv['n'], 'number of individuals'),
          val(pv['l'], 'number of loci'),
          val(layout, 'data form'),
          val(inbreed, 'inbreeding'),
          val(name(pv['gen']), 'genotype file'),
          val(name(pv['out']), 'output file'),
          val(pv['seed'], 'seed'),
          val(rnddelta0, 'random start'),
          val(pv['upp'], 'update allele frequencies'),
          val(outallele, 'write allele frequencies')]
    text = ''
    for s in pl:
        if rng.random() < 0.05:
            text += eol
        text += s + eol
    with open(os.path.join(folder, parname), 'w', newline='') as fh:
        fh.write(text)
    desc = {'seed': seed, 'kind': kind, 'layout': layout, 'n': n, 'loci': nloci,
            'inbreed': inbreed, 'rnddelta0': rnddelta0, 'updatep': updatep,
            'outallelefre': outallele, 'args': args, 'outfile': oname}
    with open(os.path.join(folder, 'case.json'), 'w') as fh:
        json.dump(desc, fh, indent=1)
    return desc


def shapen(rng, row):
    r = rng.random()
    if r < 0.1 and len(row) > 1:
        return row[:rng.randint(1, len(row) - 1)].rstrip(' ')
    if r < 0.2:
        return row + ''.join(rng.choice('0129 ') for _ in range(rng.randint(1, 5)))
    return row


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--seed', type=int, required=True)
    ap.add_argument('--dir', required=True)
    ap.add_argument('--kind', default='normal', choices=['normal', 'big', 'wide', 'long'])
    ap.add_argument('--fixed-p', action='store_true', help='UpdateP 0 only')
    a = ap.parse_args()
    print(json.dumps(gencase(a.seed, a.dir, a.kind, a.fixed_p)))


if __name__ == '__main__':
    main()
