#!/usr/bin/env python3
"""Throughput measurements of kinex against a baseline build, in one run.

    python3 bench/targets.py --build build --base /tmp/kinex-base/build [--work /tmp/kinex-targets]
                             [--only 1,2,3,4,5] [--joint-limit 240]

Prints a markdown report on standard output:

1. UpdateP 0 on 500 x 20000 SNPs (1% missing): kinex of the baseline build
   against kinex of this build, and the ratio of their times.
2. UpdateP 1: dyad-locus updates per second of the joint E-step, on
   200 x 5000 SNPs and 500 x 50 multi-allelic loci (iterations x dyads x
   unique loci over the EM time kinex prints; one process, one thread).
3. 2000 x 100000 SNPs: every stage except the EM iterations
   (kinex-stages --count-only: reading, locus preparation, tallies and mode
   counting, the results file) against PLINK 1.9 --genome on the same data.
4. kinex-par with 2 processes against kinex (UpdateP 0 and 1), and with one
   process and 2 threads (UpdateP 1).
5. Peak memory against the packed genotypes plus delta, iisdyad and the
   joint EM's dyadhist.

Data come from kinex-sim with fixed seeds (all family types, 1% missing).
Standard library only; the programs run under /usr/bin/time -v.
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
import peers  # noqa: E402

SEED = 20240
MPI = ["mpirun", "--allow-run-as-root", "-np", "2", "-x", "OMP_WAIT_POLICY=PASSIVE"]
MIB = 1024.0 * 1024.0


def simulate(a, n, loci, markers="snp"):
    """The data set's folder; SNP data sets also get a PLINK .bed fileset."""
    folder = os.path.join(a.work, f"{markers}-{n}x{loci}")
    os.makedirs(folder, exist_ok=True)
    plink = markers == "snp"
    if not os.path.exists(os.path.join(folder, "data.bed" if plink else "data.par")):
        cmd = [a.sim, "--individuals", str(n), "--loci", str(loci), "--missing", "0.01", "--families", "all",
               "--seed", str(SEED), "--inbreed", "1", "--markers", markers, "--out", "data"]
        subprocess.run(cmd + (["--plink"] if plink else []), cwd=folder, check=True, stdout=subprocess.DEVNULL)
        if plink:
            subprocess.run(peers.makebed("data"), cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


def run(a, folder, name, cmd, mpi=None, ranks=0, partial=False):
    """A measured run; partial: a joint EM run that may be stopped after
    --joint-limit seconds (its rate comes from the progress lines so far)."""
    sub = os.path.join(folder, name)
    os.makedirs(sub, exist_ok=True)
    r = measure.measured(cmd, sub, a.jointlimit if partial else a.limit, mpi=mpi, ranks=ranks)
    if (r.killed and not partial) or (not r.killed and r.status != 0):
        sys.exit(f"{name} in {folder}: status {r.status}\n{(r.screen + r.errors)[-800:]}")
    return r


def kinexargs(upp, extra=()):
    return ["INP:../data.par", "GEN:../data.gen", "OUT:results.out", f"UPP:{upp}"] + list(extra)


def unique_loci(screen):
    m = re.search(r"Number of unique polymorphic loci = (\d+)", screen)
    return int(m.group(1))


def joint_seconds_iterations(screen):
    """(EM seconds, iterations) summed over the joint replicates, from the
    last progress line of each."""
    secs = its = 0
    for part in screen.split("Performming EM for Delta and P")[1:]:
        rows = re.findall(r"^\s+\d+\s+(\d+)\s+\S+E[-+]\d+\s+(\d+)\s*$", part, re.M)
        if rows:
            its += int(rows[-1][0])
            secs += int(rows[-1][1])
    return secs, its


def line(cells):
    return "| " + " | ".join(str(c) for c in cells) + " |"


def target1(a, out):
    folder = simulate(a, 500, 20000)
    out += ["## 1. UpdateP 0, 500 x 20000 SNPs", "",
            "| Program | Wall s | CPU s | Peak MiB |", "|---|--:|--:|--:|"]
    times = {}
    for label, build in (("baseline", a.base), ("this build", a.build)):
        if not build:
            continue
        r = run(a, folder, "t1-" + label.replace(" ", ""), [os.path.join(build, "kinex")] + kinexargs(0))
        times[label] = r.cpu
        out.append(line([f"kinex, {label}", f"{r.wall:.1f}", f"{r.cpu:.1f}", f"{r.rss / 1024:.0f}"]))
    if len(times) == 2:
        out += ["", f"Speed-up (CPU time): {times['baseline'] / times['this build']:.2f} x"]
    out.append("")


def target2(a, out):
    out += ["## 2. Joint E-step rate, UpdateP 1, one process, one thread", "",
            "| Data | Replicates' iterations | Unique loci | Dyads | EM s | Updates per second |",
            "|---|--:|--:|--:|--:|--:|"]
    for n, loci, markers in ((200, 5000, "snp"), (500, 50, "multi")):
        folder = simulate(a, n, loci, markers)
        r = run(a, folder, "t2", [a.kinex] + kinexargs(1), partial=True)
        secs, its = joint_seconds_iterations(r.screen)
        dyads = n * (n - 1) // 2
        l2 = unique_loci(r.screen)
        rate = its * dyads * l2 / secs if secs else float("nan")
        out.append(line([f"{n} x {loci} {markers}", its, l2, dyads, secs, f"{rate:.3g}"]))
    out += ["", "EM seconds are the whole seconds kinex prints (Time_in_EM); dyads that the",
            "joint EM leaves out (dyadflag 0) are counted, so the rate is an upper bound.",
            f"Runs are stopped after {a.jointlimit} s; the rate comes from the last progress line.", ""]


def target3(a, out):
    folder = simulate(a, 2000, 100000)
    stages = os.path.join(a.build, "bench", "kinex-stages")
    r = run(a, folder, "t3-kinex", [stages, "--count-only", "--quiet"] + kinexargs(0))
    rows = re.findall(r"^\s*(\S[^\n]*?)\s+([0-9.]+) s wall\s+([0-9.]+) s cpu$", r.errors, re.M)
    _, cmd, _ = peers.commands(os.path.join(folder, "data"), os.path.join(folder, "t3-plink", "peer"))[0]
    p = run(a, folder, "t3-plink", cmd)
    out += ["## 3. Everything but the EM iterations, 2000 x 100000 SNPs", "",
            "| Stage | Wall s | CPU s |", "|---|--:|--:|"]
    out += [line([name, w, c]) for name, w, c in rows]
    out += [line(["kinex-stages process (as measured from outside)", f"{r.wall:.1f}", f"{r.cpu:.1f}"]),
            line(["PLINK 1.9 --genome", f"{p.wall:.1f}", f"{p.cpu:.1f}"]), ""]


def target4(a, out):
    out += ["## 4. Parallel speed-up", "",
            "| Data | UpdateP | kinex | kinex-par -np 2 | speed-up | kinex-par -np 1 OMP:2 | speed-up "
            "| Peak MiB: kinex / -np 2 per process / OMP:2 |",
            "|---|--:|--:|--:|--:|--:|--:|--:|"]

    def speed(r, upp):
        # UpdateP 0: wall seconds of the whole run; UpdateP 1: joint EM
        # seconds per 100 iterations
        if upp == 0:
            return r.wall, f"{r.wall:.1f} s"
        secs, its = joint_seconds_iterations(r.screen)
        per = 100.0 * secs / its if its else float("nan")
        return per, f"{per:.1f} s / 100 it."

    for n, loci, upp in ((500, 20000, 0), (200, 5000, 1)):
        folder = simulate(a, n, loci)
        part = upp == 1
        s = run(a, folder, f"t4-kinex-{upp}", [a.kinex] + kinexargs(upp), partial=part)
        p = run(a, folder, f"t4-par2-{upp}", [a.kinexpar] + kinexargs(upp), mpi=MPI, ranks=2, partial=part)
        (sv, st), (pv, pt) = speed(s, upp), speed(p, upp)
        cells = [f"{n} x {loci}", upp, st, pt, f"{sv / pv:.2f}"]
        if upp == 1:
            t = run(a, folder, f"t4-omp2-{upp}", [a.kinexpar] + kinexargs(upp, ["OMP:2"]),
                    mpi=MPI[:2] + ["--bind-to", "none", "-np", "1"] + MPI[4:], ranks=1, partial=True)
            tv, tt = speed(t, upp)
            cells += [tt, f"{sv / tv:.2f}"]
            tmem = f"{t.rss / 1024:.0f}"
        else:
            cells += ["–", "–"]
            tmem = "–"
        cells.append(f"{s.rss / 1024:.0f} / {p.rss / 2048:.0f} / {tmem}")
        out.append(line(cells))
    out += ["", "UpdateP 0: wall time of the whole run.  UpdateP 1: seconds of joint EM per 100",
            f"iterations (Time_in_EM over the iterations of the progress lines), runs stopped after {a.jointlimit} s.",
            "The threads' run uses `mpirun --bind-to none`: Open MPI binds a process to one",
            "core by default when it starts at most two, and both threads would share it.", ""]


def target5(a, out):
    out += ["## 5. Peak memory", "",
            "| Data | UpdateP | Packed genotypes MiB | delta MiB | iisdyad MiB | dyadhist MiB | Sum MiB | Peak MiB | Peak / sum |",
            "|---|--:|--:|--:|--:|--:|--:|--:|--:|"]
    stages = os.path.join(a.build, "bench", "kinex-stages")
    for n, loci, upp in ((2000, 100000, 0), (500, 20000, 0), (200, 5000, 1)):
        folder = simulate(a, n, loci)
        # The largest sample only up to the EM iterations (which allocate
        # nothing of that size): the full EM would take hours.
        prog = [stages, "--count-only"] if n * loci > 10**8 else [a.kinex]
        r = run(a, folder, f"t5-{upp}", prog + kinexargs(upp), partial=upp == 1)
        dyads = n * (n - 1) // 2
        packed = n * ((loci + 15) // 16) * 4 / MIB
        delta = 9 * n * n * 4 / MIB
        iis = 9 * dyads * 4 / MIB
        hist = 18 * dyads * 4 / MIB if upp == 1 else 0.0
        total = packed + delta + iis + hist
        peak = r.rss / 1024.0
        out.append(line([f"{n} x {loci}", upp, f"{packed:.1f}", f"{delta:.1f}", f"{iis:.1f}", f"{hist:.1f}",
                         f"{total:.1f}", f"{peak:.1f}", f"{peak / total:.2f}"]))
    out += ["", "2000 x 100000: kinex-stages --count-only (reading, preparation, tallies, mode",
            "counting with iisdyad and delta, results file; no EM iterations).",
            "Packed genotypes as read (16 loci a 32-bit word per individual); the peak is",
            "the process's maximum resident set from /usr/bin/time, which includes the",
            "program itself (about 4 MiB) and the results file's line blocks.", ""]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--base", default="", help="baseline build folder (target 1)")
    ap.add_argument("--work", default="/tmp/kinex-targets")
    ap.add_argument("--limit", type=int, default=3600)
    ap.add_argument("--joint-limit", dest="jointlimit", type=int, default=240,
                    help="seconds after which a joint EM run is stopped (targets 2, 4, 5)")
    ap.add_argument("--only", default="1,2,3,4,5")
    a = ap.parse_args()
    a.build = os.path.abspath(a.build)
    a.base = os.path.abspath(a.base) if a.base else ""
    a.kinex = os.path.join(a.build, "kinex")
    a.kinexpar = os.path.join(a.build, "kinex-par")
    a.sim = os.path.join(a.build, "tools", "sim", "kinex-sim")
    out = measure.header("Throughput targets", "targets.py", sys.argv[1:])
    measure.runtargets(a, out, ((1, target1), (2, target2), (3, target3), (4, target4), (5, target5)))


if __name__ == "__main__":
    main()
