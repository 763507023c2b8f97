#!/usr/bin/env python3
"""Differential test: run `kinex` and the Python reference (kinexref.py) on
many small random cases and compare their results files and screen output
byte for byte.

    difftest.py --kinex PATH [--cases N] [--seed S] [--jobs J] [--keep DIR]
    difftest.py --kinex PATH --replay FOLDER

Masked before comparing: the digits of the two time lines of the results
file (lines starting "Run started  date = " and "Run finished date = ") and the last
column (elapsed seconds) of the joint-EM table on the screen.  The
reference treats every elapsed time as 0 seconds, so the comparison
assumes kinex runs each small case in well under two seconds.

Every tenth case is a "big" one (SNPs, about a thousand loci, a few
individuals, fixed allele frequencies) and every twentieth a "wide" one
(30 to 36 individuals, a few loci) so that long locus lists, the
"Finished examining" line and the joined lines of the inbreeding table
are exercised too; every tenth, from the fifth on, is a "long" one (2 to 5
individuals, 60 or more loci, joint estimation, mostly with inbreeding) so
that the joint EM reaches its small-inbreeding branches.

On a difference the case seed and the first differing lines are printed
and the case folder is kept (under --keep, default a temporary folder) for
replay with --replay.  The last line is "N passed, M failed".
"""

import argparse
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True   # leave no cache files in the source tree
sys.path.insert(0, HERE)
import gencase  # noqa: E402

REF = os.path.join(HERE, 'kinexref.py')
EMLINE = re.compile(r'^[ 0-9]{5}[ 0-9]{8} *[0-9]\.[0-9]{6}(E[+-][0-9]{2}|[+-][0-9]{3})[ 0-9]{14}$')


def maskscreen(text):
    out = []
    for line in text.split('\n'):
        if len(line) == 41 and EMLINE.match(line):
            line = line[:27] + ' ' * 13 + 'T'
        out.append(line)
    return out


def slowjoint(text):
    """True when a joint-EM screen row shows 2 or more elapsed seconds: the
    interval between rows then grows with the clock (a slow build or a busy
    machine), which the reference, at 0 seconds throughout, cannot follow."""
    for line in text.split('\n'):
        if len(line) == 41 and EMLINE.match(line) and int(line[27:]) >= 2:
            return True
    return False


def withoutjointrows(lines):
    """The screen without the joint-EM table's rows and headers (and the
    empty line before each header)."""
    out = []
    for x in lines:
        # rows come masked (their seconds replaced by 'T')
        if len(x) == 41 and EMLINE.match(x[:40] + '0'):
            continue
        if x.startswith(' Repl Iterate'):
            if out and out[-1] == '':
                out.pop()
            continue
        out.append(x)
    return out


def maskresults(text):
    out = []
    for line in text.split('\n'):
        if line.startswith('Run started  date = ') or line.startswith('Run finished date = '):
            line = re.sub('[0-9]', '9', line)   # digits only: the layout is compared
        out.append(line)
    return out


def kindof(seed, base):
    k = seed - base
    if k % 20 == 19:
        return 'wide'
    if k % 10 == 9:
        return 'big'
    if k % 10 == 4:
        return 'long'
    return 'normal'


def runboth(kinex, folder, timeout):
    """Run both programs on the case in folder; return a list of problems."""
    with open(os.path.join(folder, 'case.json')) as fh:
        desc = json.load(fh)
    inputs = sorted(f for f in os.listdir(folder) if f not in ('kinex', 'ref'))
    runs = {}
    for side in ('kinex', 'ref'):
        d = os.path.join(folder, side)
        if os.path.isdir(d):
            shutil.rmtree(d)
        os.makedirs(d)
        for f in inputs:
            if f != 'case.json':
                shutil.copy(os.path.join(folder, f), d)
        if side == 'kinex':
            cmd = ['kinex'] + desc['args']
            exe = os.path.abspath(kinex)
        else:
            cmd = [sys.executable, REF, '--ref-argv0=kinex',
                   '--ref-fixed-clock'] + desc['args']
            exe = sys.executable
        try:
            p = subprocess.run(cmd, executable=exe, cwd=d, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=timeout)
        except subprocess.TimeoutExpired:
            return ['%s: timed out after %d s' % (side, timeout)]
        runs[side] = p
        with open(os.path.join(d, 'screen.txt'), 'wb') as fh:
            fh.write(p.stdout)
    problems = []
    kp, rp = runs['kinex'], runs['ref']
    if rp.returncode == 3:
        return ['reference does not handle this case: ' + rp.stderr.decode('latin-1').strip()]
    if rp.returncode != 0:
        problems.append('reference exit status %d: %s' % (rp.returncode,
                                                          rp.stderr.decode('latin-1')[-2000:]))
    if kp.returncode != rp.returncode:
        problems.append('exit status: kinex %d, reference %d%s' % (
            kp.returncode, rp.returncode,
            ('; kinex stderr: ' + kp.stderr.decode('latin-1')[-2000:]) if kp.stderr else ''))
    kscreen = maskscreen(kp.stdout.decode('latin-1'))
    rscreen = maskscreen(rp.stdout.decode('latin-1'))
    if slowjoint(kp.stdout.decode('latin-1')):
        kscreen, rscreen = withoutjointrows(kscreen), withoutjointrows(rscreen)
    problems += comparelines('screen', kscreen, rscreen)
    kd = os.path.join(folder, 'kinex')
    rd = os.path.join(folder, 'ref')
    outname = desc['outfile']
    kf = os.path.join(kd, outname)
    rf = os.path.join(rd, outname)
    if os.path.exists(kf) and os.path.exists(rf):
        with open(kf, 'rb') as fh:
            kt = fh.read().decode('latin-1')
        with open(rf, 'rb') as fh:
            rt = fh.read().decode('latin-1')
        problems += comparelines('results file', maskresults(kt), maskresults(rt))
    elif os.path.exists(kf) != os.path.exists(rf):
        problems.append('results file %s: kinex %s, reference %s' % (
            outname, 'present' if os.path.exists(kf) else 'missing',
            'present' if os.path.exists(rf) else 'missing'))
    kfiles = sorted(f for f in os.listdir(kd) if f != 'screen.txt')
    rfiles = sorted(f for f in os.listdir(rd) if f != 'screen.txt')
    if kfiles != rfiles:
        problems.append('files left: kinex %s, reference %s' % (kfiles, rfiles))
    return problems


def comparelines(what, a, b, context=2, show=4):
    if a == b:
        return []
    out = []
    n = max(len(a), len(b))
    shown = 0
    for i in range(n):
        x = a[i] if i < len(a) else '<no line>'
        y = b[i] if i < len(b) else '<no line>'
        if x != y:
            if shown == 0:
                out.append('%s differs (kinex %d lines, reference %d lines), first at line %d:'
                           % (what, len(a), len(b), i + 1))
                for j in range(max(0, i - context), i):
                    out.append('    = %r' % a[j])
            out.append('  line %d kinex: %r' % (i + 1, x))
            out.append('  line %d ref  : %r' % (i + 1, y))
            shown += 1
            if shown >= show:
                break
    ndiff = sum(1 for i in range(n) if (a[i] if i < len(a) else None) != (b[i] if i < len(b) else None))
    out.append('  (%d differing lines in all)' % ndiff)
    return out


def onecase(kinex, seed, base, root, timeout, fixedp):
    folder = os.path.join(root, 'case-%d' % seed)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    desc = gencase.gencase(seed, folder, kindof(seed, base), fixedp)
    problems = runboth(kinex, folder, timeout)
    return seed, desc, folder, problems


def main():
    ap = argparse.ArgumentParser(description='kinex against the Python reference')
    ap.add_argument('--kinex', required=True, help='the serial kinex program')
    ap.add_argument('--cases', type=int, default=40)
    ap.add_argument('--seed', type=int, default=1, help='seed of the first case')
    ap.add_argument('--jobs', type=int, default=2)
    ap.add_argument('--keep', help='folder for the case folders (kept on failure)')
    ap.add_argument('--timeout', type=int, default=600)
    ap.add_argument('--replay', help='run both programs again on a kept case folder')
    ap.add_argument('--fixed-p', action='store_true',
                    help='only cases with fixed allele frequencies (UpdateP 0)')
    ap.add_argument('--ref', help='another reference program (default: kinexref.py here)')
    a = ap.parse_args()
    if a.ref:
        global REF
        REF = os.path.abspath(a.ref)
    if a.replay:
        problems = runboth(a.kinex, a.replay, a.timeout)
        print('\n'.join(problems) if problems else 'no difference')
        print('%d passed, %d failed' % (0 if problems else 1, 1 if problems else 0))
        return 1 if problems else 0
    root = a.keep or tempfile.mkdtemp(prefix='kinex-oracle-')
    os.makedirs(root, exist_ok=True)
    passed = failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, a.jobs)) as pool:
        futs = [pool.submit(onecase, a.kinex, s, a.seed, root, a.timeout, a.fixed_p)
                for s in range(a.seed, a.seed + a.cases)]
        for f in futs:
            seed, desc, folder, problems = f.result()
            summary = ('layout %(layout)d, %(n)d individuals, %(loci)d loci, Inbreed %(inbreed)d, '
                       'RndDelta0 %(rnddelta0)d, UpdateP %(updatep)d, OutAlleleFre %(outallelefre)d'
                       % desc)
            if desc['args']:
                summary += ', args ' + ' '.join(desc['args'])
            if problems:
                failed += 1
                print('FAIL case seed %d (%s, %s): kept in %s' % (seed, desc['kind'], summary, folder))
                for p in problems:
                    print('  ' + p)
            else:
                passed += 1
                print('ok   case seed %d (%s, %s)' % (seed, desc['kind'], summary))
                shutil.rmtree(folder, ignore_errors=True)
            sys.stdout.flush()
    if not a.keep and failed == 0:
        shutil.rmtree(root, ignore_errors=True)
    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
