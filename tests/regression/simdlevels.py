#!/usr/bin/env python3
"""The maximum-likelihood runs at every compiled version of the vector loops.

The loops of the maximiser, of the entries at own frequencies and of the
KING-robust popcounts are compiled for AVX-512, AVX2 and plain x86-64
(KINEX_SIMD caps the choice); every version must give the same side
tables, byte for byte, as the one the machine chooses.  Simulated data
with structure and without, several key sets.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

CASES = [
    (["--individuals", "40", "--loci", "1200", "--missing", "0.01", "--subpops", "2", "--admixed", "0.3"],
     [["MLE:1", "POP:case.pop"], ["MLE:1", "PCS:2", "KIN:-1"], ["MLE:2", "PCS:2"], ["MLE:1", "ERR:0.01"]]),
    (["--individuals", "20", "--loci", "60", "--markers", "multi", "--subpops", "2"],
     [["MLE:1", "POP:case.pop", "ERR:0.01"]]),
    (["--individuals", "40", "--loci", "1200", "--missing", "0.01", "--families", "all"], [["MLE:2", "KIN:0.02"]]),
]


def tables(folder, out):
    """The side tables of a run, without their first line (the run's name)."""
    got = {}
    for side in (".mle.tsv", ".inb.tsv", ".pcs.tsv"):
        path = os.path.join(folder, out + side)
        if os.path.exists(path):
            with open(path, "rb") as f:
                got[side] = f.read().split(b"\n", 1)[1]
    return got


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kinex", required=True)
    ap.add_argument("--sim", required=True)
    a = ap.parse_args()
    failures = 0
    for opts, keysets in CASES:
        folder = tempfile.mkdtemp(prefix="simdlevels-")
        subprocess.run([a.sim, "--out", "case"] + opts, cwd=folder, check=True, stdout=subprocess.DEVNULL)
        for keys in keysets:
            runs = {}
            for level in ("", "avx2", "base"):
                env = dict(os.environ)
                env.pop("KINEX_SIMD", None)
                if level:
                    env["KINEX_SIMD"] = level
                out = f"run{level or 'machine'}.out"
                p = subprocess.run([a.kinex, "INP:case.par", f"OUT:{out}", "UPP:0"] + keys, cwd=folder, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                if p.returncode != 0:
                    print(f"{keys} {level or 'machine'}: kinex failed: {p.stderr.decode()[-500:]}")
                    failures += 1
                runs[level] = tables(folder, out)
            for level in ("avx2", "base"):
                same = runs[level] == runs[""] and runs[""]
                print(f"{' '.join(keys)} {level}: {'same' if same else 'DIFFERS'} ({len(runs[''])} tables)")
                failures += 0 if same else 1
        if failures == 0:
            shutil.rmtree(folder, ignore_errors=True)
        else:
            print(f"kept in {folder}")
    print("every version agrees" if failures == 0 else f"{failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
