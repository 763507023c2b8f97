#!/usr/bin/env python3
"""Which branches of the joint estimation and of the entry merging a set of
generated cases reaches: runs the reference alone (no kinex needed) on the
cases that difftest.py would make and counts, per branch, the cases that
took it.

    coverage.py [--cases N] [--seed S]
"""

import argparse
import ast
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True   # leave no cache files in the source tree
sys.path.insert(0, HERE)
import difftest  # noqa: E402
import gencase  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description='branch coverage of the generated cases')
    ap.add_argument('--cases', type=int, default=100)
    ap.add_argument('--seed', type=int, default=1)
    a = ap.parse_args()
    root = tempfile.mkdtemp(prefix='kinex-oracle-cover-')
    log = os.path.join(root, 'cover.txt')
    env = dict(os.environ, KINEXREF_COVERAGE=log)
    for s in range(a.seed, a.seed + a.cases):
        folder = os.path.join(root, 'case-%d' % s)
        desc = gencase.gencase(s, folder, difftest.kindof(s, a.seed))
        subprocess.run([sys.executable, os.path.join(HERE, 'kinexref.py'), '--ref-fixed-clock']
                       + desc['args'], cwd=folder, env=env, stdout=subprocess.DEVNULL)
        shutil.rmtree(folder)
    cases = {}
    with open(log) as fh:
        for line in fh:
            for k in ast.literal_eval(line):
                cases[k] = cases.get(k, 0) + 1
    shutil.rmtree(root)
    for k in sorted(cases):
        print('%5d  %s' % (cases[k], k))
    print('(of %d cases)' % a.cases)


if __name__ == '__main__':
    main()
