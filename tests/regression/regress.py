#!/usr/bin/env python3
"""Regression check: kinex and kinex-par against recorded results files.

    regress.py --kinex K --kinex-par KP [--record] [--jobs 2] [--only NAME]

Every case of cases.txt has its inputs in inputs/<name>/ (case.par and
case.gen) and is run as serial kinex and as kinex-par at the process and
thread counts listed there.  The results files must be the same as the
recorded ones in expected/: every line identical, except the lines that
name the run (command line, start and end time, and the number of processes
where a kinex-par run with UpdateP 0 is compared with the serial results).

A number may differ from the recorded one by one unit in its last printed
decimal where only the order of additions changed; such numbers are counted
and printed, and a file fails when they are more than 0.1% of its numbers.
Anything else that differs fails at once.

--record writes the expected files from the programs given (run it only
with the program whose results are to be kept).
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MPI = ["mpirun", "--allow-run-as-root", "--oversubscribe", "-x", "OMP_WAIT_POLICY=PASSIVE"]
LIMIT = 0.001

# lines that name the run rather than its results
RUNLINES = re.compile(r"^(  \S*kinex\S* |Run (started |finished) date = )")
PROCLINE = re.compile(r"^  Number of MPI parallel threads = ")
NUMBER = re.compile(r"^-?\d+(\.\d+)?(E[-+]\d+)?$")


def cases(only):
    out = []
    with open(os.path.join(HERE, "cases.txt")) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            name, runs = line.split()[:2]
            if only and name not in only:
                continue
            out.append((name, runs.split(",")))
    return out


def runtag(run):
    if run == "serial":
        return "serial"
    p, t = run.split("/")
    return f"p{p}t{t}"


def updatep(name):
    with open(os.path.join(HERE, "inputs", name, "case.par")) as f:
        values = [l.split()[0] if l.split() else "" for l in f]
    return int(values[8])


def expectedfile(name, run):
    """The recorded file a run is compared with, and whether the process
    count line is to be skipped."""
    if run != "serial" and updatep(name) == 0:
        return os.path.join(HERE, "expected", f"{name}.serial.out"), True
    return os.path.join(HERE, "expected", f"{name}.{runtag(run)}.out"), False


def execute(a, name, run):
    work = tempfile.mkdtemp(prefix=f"regress-{name}-")
    try:
        for f in ("case.par", "case.gen"):
            shutil.copy(os.path.join(HERE, "inputs", name, f), work)
        if run == "serial":
            cmd = [a.kinex, "INP:case.par", "OUT:case.out"]
        else:
            p, t = run.split("/")
            cmd = MPI + ["-np", p, a.kinex_par, "INP:case.par", "OUT:case.out", f"OMP:{t}"]
        p = subprocess.run(cmd, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
        if p.returncode != 0:
            return None, f"exit status {p.returncode}: {p.stdout.decode('latin-1')[-2000:]}"
        with open(os.path.join(work, "case.out"), "rb") as f:
            return f.read(), None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def lastunit(u, v):
    """True when the numbers u and v, printed alike, differ by one unit in
    the last printed decimal."""
    if len(u) != len(v):
        return False
    mu, eu = (u.split("E") + [""])[:2]
    mv, ev = (v.split("E") + [""])[:2]
    if eu != ev or "." not in mu or "." not in mv:
        return False
    if len(mu.split(".")[1]) != len(mv.split(".")[1]):
        return False
    iu, iv = int(mu.replace(".", "").replace("-", "")), int(mv.replace(".", "").replace("-", ""))
    su, sv = mu.startswith("-"), mv.startswith("-")
    iu, iv = (-iu if su else iu), (-iv if sv else iv)
    return abs(iu - iv) == 1


def compare(expected, actual, skipprocs):
    e = re.split(r"\r\n|\n", expected.decode("latin-1"))
    f = re.split(r"\r\n|\n", actual.decode("latin-1"))
    if len(e) != len(f):
        return False, f"{len(f)} lines instead of {len(e)}", 0, 0
    numbers = 0
    near = 0
    problems = []
    for k, (x, y) in enumerate(zip(e, f), 1):
        if RUNLINES.match(x) and RUNLINES.match(y):
            continue
        if skipprocs and PROCLINE.match(x) and PROCLINE.match(y):
            continue
        wx, wy = x.split(), y.split()
        numbers += sum(1 for w in wx if NUMBER.match(w))
        if x == y:
            continue
        if len(wx) != len(wy) or x.count(" ") != y.count(" "):
            problems.append(f"line {k}: {x!r} / {y!r}")
            continue
        for u, v in zip(wx, wy):
            if u == v:
                continue
            if NUMBER.match(u) and NUMBER.match(v) and lastunit(u, v):
                near += 1
            else:
                problems.append(f"line {k}: {u} instead of {v}: {x!r}")
                break
    if problems:
        return False, "\n      ".join(problems[:5]) + (f"\n      ... {len(problems)} lines" if len(problems) > 5 else ""), numbers, near
    if near > LIMIT * numbers:
        return False, f"{near} of {numbers} numbers differ in the last decimal (more than {LIMIT:.1%})", numbers, near
    return True, "", numbers, near


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kinex", required=True)
    ap.add_argument("--kinex-par")
    ap.add_argument("--record", action="store_true")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--only", nargs="*")
    ap.add_argument("--serial-only", action="store_true", help="skip the kinex-par runs")
    a = ap.parse_args()
    a.kinex = os.path.abspath(a.kinex)
    if a.kinex_par:
        a.kinex_par = os.path.abspath(a.kinex_par)

    jobs = []
    for name, runs in cases(a.only):
        for run in runs:
            if run != "serial" and (a.serial_only or not a.kinex_par):
                continue
            if a.record and run != "serial" and updatep(name) == 0:
                continue
            jobs.append((name, run))

    failures = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=a.jobs) as pool:
        futures = {pool.submit(execute, a, name, run): (name, run) for name, run in jobs}
        results = {}
        for fut in concurrent.futures.as_completed(futures):
            results[futures[fut]] = fut.result()
    for name, run in jobs:
        text, error = results[(name, run)]
        label = f"{name} {run}"
        if error:
            print(f"FAIL {label}: {error}")
            failures += 1
            continue
        exp, skipprocs = expectedfile(name, run)
        if a.record:
            os.makedirs(os.path.dirname(exp), exist_ok=True)
            with open(exp, "wb") as f:
                f.write(text)
            print(f"recorded {label}")
            continue
        with open(exp, "rb") as f:
            ok, why, numbers, near = compare(f.read(), text, skipprocs)
        if ok:
            print(f"ok   {label}: {numbers} numbers, {near} differ by one unit in the last decimal")
        else:
            print(f"FAIL {label}: {why}")
            failures += 1
    if failures:
        print(f"{failures} of {len(jobs)} runs differ from the recorded results")
        return 1
    print(f"all {len(jobs)} runs agree with the recorded results")
    return 0


if __name__ == "__main__":
    sys.exit(main())
