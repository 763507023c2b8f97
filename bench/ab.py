#!/usr/bin/env python3
"""Interleaved A/B timing of two builds on the throughput targets' commands.

    python3 bench/ab.py --base /tmp/kinex-base/build --build build [--repeat 3]
                        [--work /tmp/kinex-targets] [--joint-limit 90]

One run of targets.py per build, one after the other, puts minutes of
machine drift between the two columns; here every command runs for the
baseline and this build back to back, --repeat times, and the median of each
is compared.  The commands are those of targets.py:

1. kinex, UpdateP 0, 500 x 20000 SNPs: CPU seconds.
2. kinex, UpdateP 1, 200 x 5000 SNPs, stopped after --joint-limit seconds:
   joint EM seconds per 100 iterations (from the progress lines).
3. kinex-stages --count-only, 2000 x 100000 SNPs: CPU seconds.
4. kinex-par -np 2, UpdateP 0, 500 x 20000 SNPs: wall seconds.

Prints a markdown table on standard output.  Standard library only.
"""
import argparse
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
import measure  # noqa: E402
import targets  # noqa: E402


def cases(a):
    """(label, data size, command for a build folder, mpi words, value of a run);
    a data set is simulated only when a chosen target needs it."""
    def perhundred(r):
        secs, its = targets.joint_seconds_iterations(r.screen)
        return 100.0 * secs / its if its else float("nan")

    big, joint, huge = (500, 20000), (200, 5000), (2000, 100000)
    return [
        ("1. kinex UpdateP 0, 500 x 20000, CPU s", big,
         lambda b: [os.path.join(b, "kinex")] + targets.kinexargs(0), None, lambda r: r.cpu),
        ("2. kinex UpdateP 1, 200 x 5000, joint EM s / 100 it.", joint,
         lambda b: [os.path.join(b, "kinex")] + targets.kinexargs(1), None, perhundred),
        ("3. kinex-stages --count-only, 2000 x 100000, CPU s", huge,
         lambda b: [os.path.join(b, "bench", "kinex-stages"), "--count-only", "--quiet"] + targets.kinexargs(0),
         None, lambda r: r.cpu),
        ("4. kinex-par -np 2 UpdateP 0, 500 x 20000, wall s", big,
         lambda b: [os.path.join(b, "kinex-par")] + targets.kinexargs(0), targets.MPI, lambda r: r.wall),
    ]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--base", required=True)
    ap.add_argument("--work", default="/tmp/kinex-targets")
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--limit", type=int, default=3600)
    ap.add_argument("--joint-limit", dest="jointlimit", type=int, default=90)
    ap.add_argument("--only", default="1,2,3,4")
    a = ap.parse_args()
    a.build, a.base = os.path.abspath(a.build), os.path.abspath(a.base)
    a.sim = os.path.join(a.build, "tools", "sim", "kinex-sim")
    todo = {int(x) for x in a.only.split(",")}
    print("\n".join(measure.header("Interleaved A/B timing", "ab.py", sys.argv[1:])))
    print("| Target | baseline runs | this build's runs | median baseline | median this build | this / baseline |")
    print("|---|---|---|--:|--:|--:|")
    for k, (label, size, cmd, mpi, value) in enumerate(cases(a), 1):
        if k not in todo:
            continue
        folder = targets.simulate(a, *size)
        got = {a.base: [], a.build: []}
        for n in range(a.repeat):
            for b in (a.base, a.build):
                r = targets.run(a, folder, f"ab{k}-{n}-{'base' if b == a.base else 'this'}", cmd(b),
                                mpi=mpi, ranks=2 if mpi else 0, partial=k == 2)
                got[b].append(value(r))
        mb, mt = statistics.median(got[a.base]), statistics.median(got[a.build])
        print(targets.line([label, " ".join(f"{v:.1f}" for v in got[a.base]),
                            " ".join(f"{v:.1f}" for v in got[a.build]), f"{mb:.1f}", f"{mt:.1f}",
                            f"{mt / mb:.3f}"]), flush=True)
    print(f"\n- Load after: `{measure.uptime()}`")


if __name__ == "__main__":
    main()
