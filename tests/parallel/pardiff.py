#!/usr/bin/env python3
"""Differential test of kinex-par against kinex.

Simulated data sets go through kinex and through kinex-par under mpirun at
several process and thread counts.  With UpdateP 0 every dyad's EM does not
depend on the number of processes, so the tables must agree byte for byte;
with UpdateP 1 sums are formed in another order, so values may differ by
rounding (at most 0.0002) and the iteration count only where the tolerance
sits at the stopping boundary.  Input errors must end every process with
exit status 1, quickly.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# More threads than cores: threads that spin while waiting for the next
# team would starve the other processes, so they sleep instead.
MPI = ["mpirun", "--allow-run-as-root", "--oversubscribe", "-x", "OMP_WAIT_POLICY=PASSIVE"]


def run(cmd, cwd, timeout=300):
    t0 = time.time()
    p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1"), time.time() - t0


def simulate(sim, folder, args):
    code, out, err, _ = run([sim, "--out", "case"] + args, folder)
    if code != 0:
        raise SystemExit(f"kinex-sim failed: {err}")


def streamedasfull(kinex, folder, args, least):
    """The streamed table of serial.out against a run without KIN: of the
    same data: the same pairs (kinship at least `least`, or every pair) with
    the same Deltas and kinship, as the results file prints them."""
    full = [x for x in args if not x.startswith("KIN:")]
    code, _, err, _ = run([kinex, "OUT:full.out", "INP:case.par"] + full, folder)
    if code != 0:
        return False, f"kinex without KIN: failed: {err[-500:]}"
    with open(os.path.join(folder, "full.out"), encoding="latin-1") as f:
        text = f.read().replace("\r\n", "\n").split("\n")
    at = text.index("IBD coefficient estimates") + 3
    ids, rows = [], {}
    for line in text[at:]:
        if not line.strip():
            break
        w = line.split()
        if w[1] not in ids:
            ids.append(w[1])
        if w[1] != w[2] and ids.index(w[1]) < (ids.index(w[2]) if w[2] in ids else len(ids)):
            if least < 0 or float(w[21]) >= least:
                rows[(w[1], w[2])] = w[21:22] + w[12:21]
    streamed = {}
    with open(os.path.join(folder, "serial.out.mle.tsv"), encoding="latin-1") as f:
        lines = f.read().split("\n")[2:]
    for line in lines:
        if line:
            w = line.split("\t")
            if w[2] != "0":
                streamed[(w[0], w[1])] = w[3:13]
    nocommon = sum(1 for line in lines if line and line.split("\t")[2] == "0")
    if set(rows) != set(streamed):
        return False, f"{len(rows)} pairs without KIN:, {len(streamed)} streamed"
    bad = [k for k in rows if rows[k] != streamed[k]]
    return not bad, f"({len(rows)} pairs, {nocommon} without a common locus{', differ: ' + str(bad[:2]) if bad else ''})"


def compare(expected, actual, tolerance):
    cmd = [sys.executable, os.path.join(HERE, "compare.py"), expected, actual]
    if tolerance > 0:
        cmd += ["--tolerance", str(tolerance), "--skip-iterations"]
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return p.returncode == 0, p.stdout.decode()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kinex", required=True)
    ap.add_argument("--kinex-par", required=True)
    ap.add_argument("--sim", required=True)
    a = ap.parse_args()

    cases = [
        # name, simulator options, process counts, thread counts, tolerance
        # (and kinex arguments)
        ("snp-layout2-fixed", ["--individuals", "30", "--loci", "400", "--missing", "0.02", "--layout", "2",
                               "--out-allele-fre", "1"], [1, 2, 3, 5], [1], 0.0),
        ("snp-layout1-fixed", ["--individuals", "17", "--loci", "300", "--missing", "0.01", "--layout", "1",
                               "--inbreed", "0"], [2, 3], [1], 0.0),
        ("multi-fixed", ["--individuals", "25", "--loci", "40", "--markers", "multi", "--missing", "0.03",
                         "--out-allele-fre", "1"], [1, 2, 3, 5], [1], 0.0),
        ("tiny-more-processes-than-dyads", ["--individuals", "3", "--loci", "50", "--families", "fs,un"],
         [5], [1], 0.0),
        ("snp-joint", ["--individuals", "16", "--loci", "300", "--missing", "0.01", "--update-p", "1",
                       "--out-allele-fre", "1"], [1, 2, 3], [1, 2, 4], 0.0002),
        ("multi-joint", ["--individuals", "14", "--loci", "60", "--markers", "multi", "--update-p", "1",
                         "--inbreed", "0", "--out-allele-fre", "1"], [1, 2, 3], [1, 2, 4], 0.0002),
        # maximum-likelihood Deltas: the side table the same bytes at any
        # process count, also when the joint EM follows
        ("snp-mle", ["--individuals", "40", "--loci", "500", "--missing", "0.01", "--inbreed", "1"],
         [1, 2, 3], [1], 0.0, ["MLE:1"]),
        ("snp-mle-pooled", ["--individuals", "40", "--loci", "700", "--missing", "0.01", "--inbreed", "1",
                            "--layout", "1"], [1, 2, 3], [1], 0.0, ["MLE:2"]),
        ("multi-mle-joint", ["--individuals", "14", "--loci", "60", "--markers", "multi", "--update-p", "1"],
         [1, 3], [1, 2], 0.0002, ["MLE:1"]),
        # each individual's own frequencies: populations, components
        ("snp-mle-populations", ["--individuals", "36", "--loci", "600", "--missing", "0.01", "--subpops", "2",
                                 "--admixed", "0.3"], [1, 2, 3], [1], 0.0, ["MLE:1", "POP:case.pop"]),
        ("snp-mle-pooled-populations", ["--individuals", "36", "--loci", "800", "--missing", "0.01", "--subpops",
                                        "2"], [1, 3], [1], 0.0, ["MLE:2", "POP:case.pop"]),
        ("multi-mle-populations", ["--individuals", "24", "--loci", "60", "--markers", "multi", "--subpops",
                                   "3"], [1, 3], [1], 0.0, ["MLE:1", "POP:case.pop"]),
        ("snp-mle-pooled-components", ["--individuals", "60", "--loci", "2000", "--missing", "0.01",
                                       "--subpops", "3", "--admixed", "0.2"], [1, 2, 3], [1], 0.0,
         ["MLE:2", "PCS:2"]),
        # streamed pairs: the same table at any process count, and the same
        # pairs and numbers as a run that keeps every pair
        ("snp-kin-pooled", ["--individuals", "70", "--loci", "3000", "--missing", "0.01"], [1, 2, 3], [1], 0.0,
         ["MLE:2", "KIN:0.0442"]),
        ("snp-kin-components", ["--individuals", "60", "--loci", "2000", "--missing", "0.01", "--subpops", "3",
                                "--admixed", "0.2"], [1, 2, 3], [1], 0.0, ["MLE:2", "PCS:2", "KIN:0.0442"]),
        # (labels that fit the structure: an admixed label's frequencies can
        # leave a pair's kinship above its KING-robust one, README)
        ("snp-kin-populations", ["--individuals", "48", "--loci", "1500", "--missing", "0.01", "--subpops", "3"],
         [1, 3], [1], 0.0, ["MLE:1", "POP:case.pop", "KIN:0.0442"]),
        ("snp-kin-pooled-populations", ["--individuals", "48", "--loci", "1500", "--missing", "0.01", "--subpops",
                                        "3"], [1, 3], [1], 0.0, ["MLE:2", "POP:case.pop", "KIN:0.0442"]),
        # more rounds than one gathering takes: the batches' lines interleaved
        ("snp-kin-batches", ["--individuals", "800", "--loci", "200", "--missing", "0.01"], [2, 3], [1], 0.0,
         ["MLE:2", "KIN:-1"]),
        ("snp-kin-every-pair-errors", ["--individuals", "40", "--loci", "1500", "--missing", "0.01", "--error",
                                       "0.01"], [1, 3], [1], 0.0, ["MLE:1", "KIN:-1", "ERR:0.01"]),
    ]
    failures = 0
    for name, opts, procs, threads, tol, *extra in cases:
        args = extra[0] if extra else []
        folder = tempfile.mkdtemp(prefix=f"pardiff-{name}-")
        simulate(a.sim, folder, opts)
        code, _, err, secs = run([a.kinex, "OUT:serial.out", "INP:case.par"] + args, folder)
        if code != 0:
            print(f"[{name}] kinex failed ({code}): {err}")
            failures += 1
            continue
        for p in procs:
            for t in threads:
                out = f"par-{p}-{t}.out"
                cmd = MPI + ["-np", str(p), a.kinex_par, f"OUT:{out}", "INP:case.par", f"OMP:{t}"] + args
                code, _, err, secs = run(cmd, folder)
                label = f"[{name}] P={p} T={t}"
                if code != 0:
                    print(f"{label}: kinex-par failed ({code}): {err[-2000:]}")
                    failures += 1
                    continue
                ok, text = compare(os.path.join(folder, "serial.out"), os.path.join(folder, out), tol)
                for side in (".mle.tsv", ".inb.tsv", ".pcs.tsv"):
                    if not os.path.exists(os.path.join(folder, "serial.out" + side)):
                        continue
                    with open(os.path.join(folder, "serial.out" + side), "rb") as f1, \
                            open(os.path.join(folder, out + side), "rb") as f2:
                        # the first line names the run (its identifier)
                        same = f1.read().split(b"\n", 1)[1] == f2.read().split(b"\n", 1)[1]
                    ok = ok and same
                    text += "" if same else f" ({side} differs)"
                print(f"{label}: {'ok' if ok else 'DIFFERS'} ({secs:.1f} s) {text.strip()}")
                failures += 0 if ok else 1
        kin = [x for x in args if x.startswith("KIN:")]
        if kin:
            ok, text = streamedasfull(a.kinex, folder, args, float(kin[0][4:]))
            print(f"[{name}] streamed pairs against every pair: {'ok' if ok else 'DIFFERS'} {text}")
            failures += 0 if ok else 1
        if failures == 0:
            shutil.rmtree(folder, ignore_errors=True)
        else:
            print(f"[{name}] kept in {folder}")

    # Input errors stop every process, with status 1, within seconds.
    folder = tempfile.mkdtemp(prefix="pardiff-errors-")
    simulate(a.sim, folder, ["--individuals", "6", "--loci", "20", "--markers", "multi"])
    with open(os.path.join(folder, "case.gen")) as f:
        rows = f.read().split("\n")
    words = rows[3].split()
    words[5] = "1234"  # an allele ID above 999
    rows[3] = " ".join(words)
    with open(os.path.join(folder, "bad.gen"), "w") as f:
        f.write("\n".join(rows))
    for label, args, message in [
        ("missing genotype file", ["GEN:nothere.gen"], "Genotype file, nothere.gen, does not exist!"),
        ("allele ID above 999", ["GEN:bad.gen"], "Allele ID > 999 in genotype data!"),
    ]:
        cmd = MPI + ["-np", "3", a.kinex_par, "INP:case.par", "OUT:err.out"] + args
        try:
            code, out, err, secs = run(cmd, folder, timeout=60)
        except subprocess.TimeoutExpired:
            print(f"[errors] {label}: HANGS")
            failures += 1
            continue
        ok = code != 0 and out.count(message) == 3 and secs < 30
        print(f"[errors] {label}: {'ok' if ok else 'WRONG'} (status {code}, {out.count(message)} messages, {secs:.1f} s)")
        failures += 0 if ok else 1
    if failures == 0:
        shutil.rmtree(folder, ignore_errors=True)
    print("all agree" if failures == 0 else f"{failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
