#!/usr/bin/env python3
"""Benchmark of kinex, kinex-par and the PLINK peers on simulated SNP data.

    python3 bench/run.py [--build build] [--work /tmp/kinex-bench] [--out docs/BENCHMARK.md]

For every data set (fixed sizes and seeds, so reruns are comparable) it
simulates the sample with kinex-sim (all family types, 1% missing genotypes,
PLINK files beside), converts the PLINK text files once to a .bed set, and
runs, each under /usr/bin/time -v:

- kinex with UpdateP 0 and kinex-par (mpirun, 2 processes) with UpdateP 0,
  on the UpdateP 0 sizes;
- kinex and kinex-par with UpdateP 1, on the UpdateP 1 sizes;
- PLINK 1.9 --genome, PLINK 2 --make-king-table and --make-rel, on every
  data set.

A run still going after --limit seconds (20 minutes) is killed; the report
then gives how far it got from its screen output.  Every finished run is
scored against the simulator's realized truth.  The report (markdown) holds
the machine, the command, the date and the load, the table of times, memory
and headline accuracy, and the detailed accuracy tables; its layout stays
the same from run to run so that later reports compare line by line.
"""
import argparse
import datetime
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, HERE)
import measure  # noqa: E402
import peers  # noqa: E402
from score import CLASSES, D7, D8, D9, R, Scores, kr, num  # noqa: E402

SEED = 20240
UPP0 = [(200, 20000), (500, 20000), (1000, 50000)]
UPP1 = [(100, 5000), (200, 20000)]
MISSING = "0.01"
LIMIT = 1200
MPI = ["mpirun", "--allow-run-as-root", "-np", "2"]


def datasets(upp0, upp1):
    return sorted(set(upp0) | set(upp1))


def simulate(sim, folder, n, loci):
    os.makedirs(folder, exist_ok=True)
    if os.path.exists(os.path.join(folder, "data.bed")):
        return
    subprocess.run([sim, "--individuals", str(n), "--loci", str(loci), "--missing", MISSING,
                    "--families", "all", "--seed", str(SEED), "--inbreed", "1", "--plink", "--out", "data"],
                   cwd=folder, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(peers.makebed("data"), cwd=folder, check=True, stdout=subprocess.DEVNULL)


def progress(screen, n, wall):
    """How far a killed kinex run got, from its screen text."""
    joint = screen.rfind("Performming EM for Delta and P")
    if joint >= 0:
        rows = re.findall(r"^\s+(\d+)\s+(\d+)\s+\S+E[-+]\d+\s+(\d+)\s*$", screen[joint:], re.M)
        if rows:
            rep, it, secs = rows[-1]
            return f"joint EM: replicate {rep}, iteration {it} after {secs} s in it"
        return "joint EM started"
    rows = re.findall(r"^\s+(\d+)\s+(\d+)(?:\s+[0-9.*]+){3,9}\s*$", screen, re.M)
    if not rows:
        return "before the EM for Delta"
    i, j = int(rows[-1][0]), int(rows[-1][1])
    share = ((i - 1) * (2 * n - i) // 2 + (j - i)) / (n * (n - 1) // 2)
    text = f"EM for Delta: {100.0 * share:.0f}% of the dyads"
    if share > 0.01:
        text += f", about {wall / share / 60:.0f} min in all at that pace"
    return text


class Result:
    def __init__(self, data, program, run):
        self.data = data
        self.program = program
        self.run = run
        self.scores = None
        self.note = ""


def kinexrun(a, folder, name, prog, upp, n, par):
    out = os.path.join(folder, name)
    os.makedirs(out, exist_ok=True)
    cmd = [prog, "INP:../data.par", "GEN:../data.gen", "OUT:results.out", f"UPP:{upp}"]
    r = measure.measured(cmd, out, a.limit, mpi=MPI if par else None, ranks=2 if par else 0)
    res = Result(None, name, r)
    if r.killed:
        res.note = f"killed at {a.limit / 60:g} min; {progress(r.screen, n, r.wall)}"
    elif r.status != 0:
        res.note = f"failed, status {r.status}: {(r.screen + r.errors)[-300:]!r}"
    else:
        ibd, inb = kr.readresults(os.path.join(out, "results.out"))
        res.scores = Scores(a.truth, ibd, inb)
        it = re.search(r"^Iter = (\d+)$", open(os.path.join(out, "results.out"), encoding="latin-1").read(), re.M)
        if upp == 1 and it:
            reps = len(re.findall(r"EM for Delta and P completed for replicate", r.screen))
            res.note = f"{reps} replicate{'s' if reps != 1 else ''}, {it.group(1)} iterations in the last"
    return res


def peerruns(a, folder):
    out = []
    for k in range(len(peers.commands("", ""))):
        name = peers.commands("", "")[k][0]
        sub = os.path.join(folder, re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-"))
        os.makedirs(sub, exist_ok=True)
        _, cmd, reader = peers.commands(os.path.join(folder, "data"), os.path.join(sub, "peer"))[k]
        r = measure.measured(cmd, sub, a.limit)
        res = Result(None, name, r)
        if r.killed:
            res.note = f"killed at {a.limit / 60:g} min"
        elif r.status != 0:
            res.note = f"failed, status {r.status}"
        else:
            table = reader(a.ids)
            gaps = table.missing()
            res.scores = Scores(a.truth, table)
            if gaps:
                res.note = f"{gaps} pairs missing from the output"
        out.append(res)
    return out


def header(a, before, after, started, finished):
    cores, model, mem = measure.machine()
    lines = [
        "# Benchmark",
        "",
        "Baseline of `kinex` and `kinex-par` against PLINK on simulated SNP data with known",
        "realized identity by descent. Produced by `bench/run.py`; rerun it to compare",
        "(same sizes, seeds and layout).",
        "",
        f"- Command: `{a.command}`",
        f"- Date: {started:%Y-%m-%d %H:%M} to {finished:%H:%M} (local time)",
        f"- Machine: {cores} cores (`nproc`), {model}, {mem:.1f} GiB memory",
        f"- Load before: `{before}`",
        f"- Load after: `{after}`",
        f"- Programs: `{a.kinex}`, `{a.kinexpar}` under `{' '.join(MPI)}`, "
        f"{peers.PLINK1} and {peers.PLINK2} (their default thread counts)" + (f"; built from {a.label}" if a.label else ""),
        f"- Data: `kinex-sim --families all --missing {MISSING} --seed {SEED} --inbreed 1 --plink`: "
        "every family type (parents and child, full and half sibs, cousins, avuncular, and three",
        "  inbred types), unrelated SNPs, 1% of the genotypes missing. kinex runs with Inbreed 1",
        "  (all nine Deltas) and its seed 1.",
    ]
    high = max(float(x) for x in re.findall(r"load average: ([0-9.]+)", before + " " + after) or ["0"])
    if high > 0.5 * cores:
        lines.append(f"- The machine was shared with other work (load average up to {high:.1f} on {cores} cores), "
                     "so the wall times are inflated; CPU times are less affected.")
    lines.append("")
    return lines


def maintable(results):
    lines = [
        "## Runs",
        "",
        "Wall and CPU time in seconds (CPU: user + system of all processes), peak resident",
        "memory in MiB (kinex-par: sum over the two processes). Kinship: kinex's r(1,2),",
        "PLINK 1.9's PI_HAT/2, KING-robust kinship, relationship matrix/2; RMSE and bias",
        "against the realized kinship over all pairs, and RMSE over related pairs only.",
        "Delta7/8/9: RMSE against realized Delta7, Delta8, Delta9 over pairs without an",
        "inbred member (PLINK 1.9: Z2, Z1, Z0).",
        "",
        "| Data (individuals x SNPs) | Program | Wall s | CPU s | Peak MiB | Kinship RMSE | "
        "Kinship bias | RMSE relatives | Delta7 RMSE | Delta8 RMSE | Delta9 RMSE | Note |",
        "|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|",
    ]
    for x in results:
        s = x.scores
        cells = [x.data, x.program, f"{x.run.wall:.1f}", f"{x.run.cpu:.1f}", f"{x.run.rss / 1024.0:.0f}"]
        if s:
            cells += [num(s.stat("ALL", R, 3)), num(s.stat("ALL", R, 2), sign=True), num(s.stat("REL", R, 3)),
                      num(s.stat("ALL", D7, 3, True)), num(s.stat("ALL", D8, 3, True)),
                      num(s.stat("ALL", D9, 3, True))]
        else:
            cells += ["–"] * 6
        cells.append(x.note)
        lines.append("| " + " | ".join(cells) + " |")
    lines.append("")
    return lines


def classtables(results):
    lines = [
        "## Kinship per relationship class",
        "",
        "Bias / RMSE of the kinship estimate against the realized kinship. UN: unrelated pairs",
        "(also every pair of two families); PO parent-offspring, FS full sibs, HS half sibs,",
        "AV avuncular, FC first cousins; PO_FSM and PO_HSM parent and child of a full-sib or",
        "half-sib mating; FS_FSM full sibs whose parents are full sibs.",
        "",
    ]
    for data in dict.fromkeys(x.data for x in results):
        rows = [x for x in results if x.data == data and x.scores]
        if not rows:
            continue
        n = rows[0].scores.byclass
        lines += [f"### {data}", "",
                  "| Program | " + " | ".join(f"{c} ({n[c][0]})" for c in CLASSES if c in n) + " |",
                  "|---|" + "--:|" * sum(1 for c in CLASSES if c in n)]
        for x in rows:
            cells = [f"{num(x.scores.stat(c, R, 2), sign=True)} / {num(x.scores.stat(c, R, 3))}"
                     for c in CLASSES if c in n]
            lines.append(f"| {x.program} | " + " | ".join(cells) + " |")
        lines.append("")
    return lines


def kinextables(results):
    lines = [
        "## kinex: all nine Deltas and inbreeding",
        "",
        "RMSE of Delta1..Delta9 against the realized shares over all pairs, and of F_Mean",
        "against the realized inbreeding over all individuals and over the inbred ones",
        "(with the bias of the latter).",
        "",
        "| Data | Program | " + " | ".join(f"Delta{k}" for k in range(1, 10)) +
        " | F RMSE | F RMSE inbred | F bias inbred |",
        "|---|---|" + "--:|" * 12,
    ]
    for x in results:
        s = x.scores
        if not s or s.f is None:
            continue
        ib = s.finbred
        cells = [num(s.stat("ALL", k, 3)) for k in range(9)]
        cells += [num(s.fall[3]), num(ib[3] if ib else None), num(ib[2] if ib else None, sign=True)]
        lines.append(f"| {x.data} | {x.program} | " + " | ".join(cells) + " |")
    lines.append("")
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--work", default="/tmp/kinex-bench")
    ap.add_argument("--out", default=os.path.join(HERE, "..", "docs", "BENCHMARK.md"))
    ap.add_argument("--limit", type=int, default=LIMIT, help="seconds before a run is killed")
    ap.add_argument("--sizes0", help="UpdateP 0 sizes instead of the baseline, e.g. 50x1000,80x2000")
    ap.add_argument("--sizes1", help="UpdateP 1 sizes instead of the baseline")
    ap.add_argument("--no-par", action="store_true", help="skip kinex-par")
    ap.add_argument("--fresh", action="store_true", help="simulate the data sets again")
    ap.add_argument("--label", default="", help="where the programs come from, e.g. the commit they were built from")
    a = ap.parse_args()
    a.command = "python3 bench/run.py " + " ".join(sys.argv[1:])
    a.kinex = os.path.abspath(os.path.join(a.build, "kinex"))
    a.kinexpar = os.path.abspath(os.path.join(a.build, "kinex-par"))
    sim = os.path.abspath(os.path.join(a.build, "tools", "sim", "kinex-sim"))

    def sizes(text, default):
        return [tuple(int(v) for v in s.split("x")) for s in text.split(",")] if text else default

    upp0, upp1 = sizes(a.sizes0, UPP0), sizes(a.sizes1, UPP1)
    for tool in (a.kinex, sim, measure.TIME, peers.PLINK1, peers.PLINK2, "stdbuf") + (() if a.no_par else (a.kinexpar, "mpirun")):
        if not shutil.which(tool):
            sys.exit(f"missing: {tool}")
    started = datetime.datetime.now()
    before = measure.uptime()
    results = []
    for n, loci in datasets(upp0, upp1):
        data = f"{n} x {loci}"
        folder = os.path.join(a.work, f"data-{n}x{loci}")
        if a.fresh and os.path.isdir(folder):
            shutil.rmtree(folder)
        print(f"== {data}", flush=True)
        simulate(sim, folder, n, loci)
        a.truth = kr.Truth(os.path.join(folder, "data"))
        a.ids = peers.readfam(os.path.join(folder, "data.fam"))
        runs = []
        for upp, where in ((0, upp0), (1, upp1)):
            if (n, loci) not in where:
                continue
            runs.append((f"kinex UpdateP {upp}", a.kinex, upp, False))
            if not a.no_par:
                runs.append((f"kinex-par -np 2 UpdateP {upp}", a.kinexpar, upp, True))
        for name, prog, upp, par in runs:
            sub = re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")
            res = kinexrun(a, folder, sub, prog, upp, n, par)
            res.data, res.program = data, name
            results.append(res)
            print(f"  {name}: {res.run.wall:.1f} s {res.note}", flush=True)
        for res in peerruns(a, folder):
            res.data = data
            results.append(res)
            print(f"  {res.program}: {res.run.wall:.1f} s {res.note}", flush=True)
    after = measure.uptime()
    finished = datetime.datetime.now()
    text = header(a, before, after, started, finished) + maintable(results) + \
        classtables(results) + kinextables(results)
    with open(a.out, "w") as f:
        f.write("\n".join(text))
    print(f"report written to {a.out}")


if __name__ == "__main__":
    main()
