#!/usr/bin/env python3
"""What a key costs: one build, one data set, two or more key sets, runs
interleaved (every key set once per round, --repeat rounds) so that the
machine's drift falls on every column alike:

    python3 bench/keycost.py --data DIR [--build build] [--repeat 3]
                             --keys "MLE:1" --keys "MLE:1 ERR:0.005" [...]

DIR holds data.par and data.gen (as kinex-sim --out data writes them).
Serial kinex; CPU seconds (user + system) of every run, their median per
key set and its ratio to the first key set's.  Prints a markdown report.
Standard library only.
"""
import argparse
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
from score import line  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--data", required=True)
    ap.add_argument("--keys", action="append", required=True)
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--limit", type=int, default=3600)
    a = ap.parse_args()
    if len(a.keys) < 2:
        sys.exit("keycost: give at least two --keys")
    data = os.path.abspath(a.data)
    kinex = os.path.abspath(os.path.join(a.build, "kinex"))
    cpu = [[] for _ in a.keys]
    out = measure.header("What a key costs", "keycost.py", [f"'{w}'" if " " in w else w for w in sys.argv[1:]])
    for _ in range(a.repeat):
        for k, keys in enumerate(a.keys):
            cwd = os.path.join(data, f"keycost{k}")
            os.makedirs(cwd, exist_ok=True)
            cmd = [kinex, "INP:" + os.path.join(data, "data.par"), "GEN:" + os.path.join(data, "data.gen"),
                   "OUT:run.out"] + keys.split()
            r = measure.measured(cmd, cwd, a.limit)
            if r.status != 0:
                sys.exit(f"keycost: '{keys}' failed (status {r.status}), see {cwd}")
            cpu[k].append(r.cpu)
    out += [measure.vectorloops(), "", f"Data: {data}", "",
            "| Keys | CPU s of each run | Median | Against the first |", "|---|---|--:|--:|"]
    first = statistics.median(cpu[0])
    for keys, runs in zip(a.keys, cpu):
        med = statistics.median(runs)
        out.append(line([f"`{keys}`", ", ".join(f"{x:.2f}" for x in runs), f"{med:.2f}", f"{med / first:.2f} x"]))
    print("\n".join(out))
    print(f"\n- Load after: `{measure.uptime()}`")


if __name__ == "__main__":
    main()
