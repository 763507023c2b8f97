"""Runs a command under /usr/bin/time -v with a time limit (or reads again
the measurement of an earlier run), and describes the machine.  Standard
library only."""
import datetime
import json
import os
import re
import signal
import subprocess
import sys
import time

TIME = "/usr/bin/time"


class Run:
    """What one measured command did."""

    def __init__(self):
        self.status = None      # exit status, None when killed at the limit
        self.wall = 0.0         # seconds, as seen from here
        self.cpu = 0.0          # user + system seconds of all processes
        self.rss = 0            # peak resident set, KiB (summed over MPI ranks)
        self.killed = False
        self.screen = ""        # standard output
        self.errors = ""        # standard error, without the time report
        self.reused = False     # read again from an earlier run's run.json (remembered)


def parsetime(text):
    """(user + system seconds, peak RSS in KiB) from a /usr/bin/time -v report."""
    user = re.search(r"User time \(seconds\): ([0-9.]+)", text)
    syst = re.search(r"System time \(seconds\): ([0-9.]+)", text)
    rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", text)
    cpu = (float(user.group(1)) if user else 0.0) + (float(syst.group(1)) if syst else 0.0)
    return cpu, int(rss.group(1)) if rss else 0


def measured(cmd, cwd, limit, mpi=None, ranks=0):
    """Runs cmd in cwd, killing its process group after limit seconds.
    With mpi (the mpirun words, for ranks processes), every rank runs under
    its own time report; their CPU times and peak RSS are added.  Standard
    output goes through stdbuf, so that a killed run still leaves its
    progress lines."""
    r = Run()
    reports = []
    if mpi:
        reports = [os.path.join(cwd, f"rank{k}.time") for k in range(ranks)]
        for f in reports:
            if os.path.exists(f):
                os.remove(f)
        wrap = ["sh", "-c", "exec stdbuf -oL " + TIME + ' -v -o "rank$OMPI_COMM_WORLD_RANK.time" "$@"', "rank"]
        full = mpi + wrap + cmd
    else:
        full = [TIME, "-v", "-o", os.path.join(cwd, "run.time"), "stdbuf", "-oL"] + cmd
    out = open(os.path.join(cwd, "screen.txt"), "wb")
    err = open(os.path.join(cwd, "stderr.txt"), "wb")
    t0 = time.monotonic()
    p = subprocess.Popen(full, cwd=cwd, stdout=out, stderr=err, start_new_session=True)
    # Polled as well, for a run killed at the limit, which leaves no report.
    seen = {"rss": 0, "cpu": {}}
    while True:
        try:
            r.status = p.wait(timeout=2.0)
            break
        except subprocess.TimeoutExpired:
            pass
        poll(p.pid, seen)
        if time.monotonic() - t0 < limit:
            continue
        r.killed = True
        r.status = None
        os.killpg(p.pid, signal.SIGTERM)
        try:
            p.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
        break
    r.wall = time.monotonic() - t0
    out.close()
    err.close()
    with open(os.path.join(cwd, "screen.txt"), "rb") as f:
        r.screen = f.read().decode("latin-1")
    with open(os.path.join(cwd, "stderr.txt"), "rb") as f:
        r.errors = f.read().decode("latin-1")
    if r.killed:
        r.cpu, r.rss = sum(seen["cpu"].values()), seen["rss"]
    elif mpi:
        for f in reports:
            if os.path.exists(f):
                with open(f) as g:
                    cpu, rss = parsetime(g.read())
                r.cpu += cpu
                r.rss += rss
    else:
        path = os.path.join(cwd, "run.time")
        if os.path.exists(path):
            with open(path) as g:
                r.cpu, r.rss = parsetime(g.read())
    return r


def remembered(cmd, cwd, limit, reuse, needed, say=None):
    """measured(cmd, cwd, limit), or with reuse the measurement that an
    earlier call saved in cwd/run.json for the same command, as long as the
    files needed (paths) are still there; r.reused tells which.  A finished
    run (status 0) is saved for the next time, anything else is not.  say:
    a line for standard error when the command is really run."""
    saved = os.path.join(cwd, "run.json")
    if reuse and os.path.exists(saved) and all(os.path.exists(x) for x in needed):
        with open(saved) as f:
            old = json.load(f)
        if old["command"] == cmd:
            r = Run()
            r.status, r.wall, r.cpu, r.rss = old["status"], old["wall"], old["cpu"], old["rss"]
            with open(os.path.join(cwd, "screen.txt"), "rb") as f:
                r.screen = f.read().decode("latin-1")
            r.reused = True
            return r
    if os.path.exists(saved):
        os.remove(saved)
    if say:
        print(say, file=sys.stderr, flush=True)
    r = measured(cmd, cwd, limit)
    if not r.killed and r.status == 0:
        with open(saved, "w") as f:
            json.dump({"command": cmd, "status": r.status, "wall": r.wall, "cpu": r.cpu, "rss": r.rss}, f)
    return r


def refusal(r):
    """Why a run that ended with a status other than 0 stopped: its status
    and last line of the screen or error output."""
    tail = [w.strip() for w in (r.screen + "\n" + r.errors).split("\n") if w.strip()]
    tail = [w for w in tail if not w.startswith("Program stopped") and "exited with" not in w]
    return f"status {r.status}: \"{tail[-1] if tail else ''}\""


WRAPPERS = {"time", "sh", "stdbuf", "mpirun", "orterun", "orted", "prterun"}
TICK = os.sysconf("SC_CLK_TCK")


def poll(session, seen):
    """Adds up the resident memory of the session's processes (the measured
    programs, not the wrappers) and keeps the peak, and their CPU times."""
    total = 0
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                stat = f.read()
            comm = stat[stat.index("(") + 1:stat.rindex(")")]
            w = stat[stat.rindex(")") + 2:].split()
            if int(w[3]) != session or comm in WRAPPERS:
                continue
            with open(f"/proc/{name}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
            seen["cpu"][name] = (int(w[11]) + int(w[12])) / TICK
        except (OSError, ValueError, IndexError):
            continue
    seen["rss"] = max(seen["rss"], total)


def machine():
    """nproc, CPU model, memory, as text."""
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    mem = 0
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                mem = int(line.split()[1])
    return os.cpu_count(), model, mem / 1048576.0


def vectorloops():
    """The report line of which loops kinex takes here, from the CPU flags:
    the AVX-512 ones need the vector popcount as well."""
    flags = set()
    with open("/proc/cpuinfo") as f:
        for w in f:
            if w.startswith("flags"):
                flags = set(w.split(":", 1)[1].split())
                break
    best = ("AVX-512 (with vector popcount)" if {"avx512f", "avx512bw", "avx512_vpopcntdq"} <= flags
            else "AVX2" if "avx2" in flags else "plain x86-64")
    cap = os.environ.get("KINEX_SIMD")
    return f"- Vector loops: {best}" + (f", capped by KINEX_SIMD={cap}" if cap else "")


def uptime():
    return subprocess.run(["uptime"], stdout=subprocess.PIPE).stdout.decode().strip()


def loadavg():
    with open("/proc/loadavg") as f:
        return [float(x) for x in f.read().split()[:3]]


def header(title, script, args):
    """The first lines of a report: title, command, date, machine, load."""
    cores, model, mem = machine()
    return [f"# {title}", "", f"- Command: `python3 bench/{script} {' '.join(args)}`",
            f"- Date: {datetime.datetime.now():%Y-%m-%d %H:%M}", f"- Machine: {cores} cores, {model}, {mem:.1f} GiB",
            f"- Load before: `{uptime()}`", ""]


def designoptions(ap, work, only):
    """The options of the design benchmarks (errors.py, structure.py)."""
    ap.add_argument("--build", default="/work/main/build")
    ap.add_argument("--work", default=work)
    ap.add_argument("--limit", type=int, default=7200)
    ap.add_argument("--only", default=only)
    ap.add_argument("--small", action="store_true", help="60 x 2000 and 120 x 4000 SNPs: a smoke test")
    ap.add_argument("--reuse", action="store_true", help="read again the runs an earlier invocation finished")


def designsetup(a, sizes, smallsizes):
    """The parsed options of designoptions made ready: absolute folders, the
    programs, the sizes and no run done yet."""
    a.build = os.path.abspath(a.build)
    a.work = os.path.abspath(a.work)
    a.kinex = os.path.join(a.build, "kinex")
    a.sim = os.path.join(a.build, "tools", "sim", "kinex-sim")
    a.sizes = smallsizes if a.small else sizes
    a.done = {}


def runtargets(a, out, targets):
    """Runs the numbered targets that a.only names, printing each one's lines
    as soon as it is done, then the load after."""
    todo = {int(x) for x in a.only.split(",")}
    for k, f in targets:
        if k in todo:
            f(a, out)
            print("\n".join(out), flush=True)
            out.clear()
    print(f"- Load after: `{uptime()}`")
