#!/usr/bin/env python3
"""Runs every case of the malformed-input table against kinex (and, for the
cases that ask for it, kinex-par under mpirun) and checks the exit status,
the screen and that no input file was touched.

A case is a stanza of `key: value` lines in cases.txt; stanzas are
separated by blank lines, `#` starts a comment line.  Keys:

  case:     name (required)
  files:    corpus files copied into the case's working folder, each
            `name` or `name=newname`
  setup:    shell line run in the working folder before the run (repeatable);
            $KINEX is the serial program
  run:      the command line: `kinex` (or `kinex-sim`) and its arguments,
            split like a shell would (quotes allowed; \\n \\r \\t in an
            argument stand for those characters); kinex-sim's standard error
            goes to the screen text
  prefix:   shell text put before the program (ulimit, trap, ...)
  user:     nobody -- run as user 65534 (file permissions then apply to
            root's tests too); the case is skipped when not root
  status:   expected exit status (default 1)
  stop:     `Routine | message`: the screen must end with the error stop
  screen:   text the screen must contain (repeatable; \\n \\r allowed)
  noscreen: text the screen must not contain (repeatable)
  check:    shell line run in the working folder after the run that must
            succeed (repeatable)
  made:     files the run must leave besides its inputs (space separated,
            shell patterns allowed, each matching one file; default: none
            after a stop, out.txt after a normal end)
  changes:  inputs the run may replace or remove (space separated)
  par:      N -- run kinex-par with N processes too; it must end with the
            same status within the time limit, and the stop message must
            appear once per process that got to it before mpirun ended the
            job (1..N), or exactly `parcount` times
  parcount: how often kinex-par prints the stop message (1 for failures
            that only the master meets)
  require:  shell line run in an empty working folder first; when it fails
            the machine cannot stage the case, and it is skipped
  timeout:  seconds for one run (default 60)
  sanitized: skip -- the case cannot run under AddressSanitizer
            (address-space limits)

The working folders are temporary; nothing is written into the source
tree.  Cases run in parallel: most of their time is the 2-second wait of
the error stop.
"""
import argparse
import concurrent.futures
import fnmatch
import hashlib
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))


def parsetable(path):
    cases, cur = [], None
    with open(path, encoding="utf-8") as f:
        for lineno, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                cur = None
                continue
            key, sep, value = line.partition(":")
            if not sep:
                sys.exit(f"{path}:{lineno}: expected key: value")
            key, value = key.strip(), value.strip()
            if key == "case":
                cur = {"case": value, "line": lineno}
                cases.append(cur)
                continue
            if cur is None:
                sys.exit(f"{path}:{lineno}: {key} outside a case")
            if key in ("setup", "screen", "noscreen", "check"):
                cur.setdefault(key, []).append(value)
            elif key in cur:
                sys.exit(f"{path}:{lineno}: {key} given twice")
            else:
                cur[key] = value
    names = [c["case"] for c in cases]
    dup = {n for n in names if names.count(n) > 1}
    if dup:
        sys.exit(f"{path}: cases named twice: {sorted(dup)}")
    return cases


def inlines(text, screen):
    """The lines of text in screen in their order, other lines allowed
    between them (the other processes' lines interleave with the master's):
    the first may end a line, the last begin one, the others are whole."""
    want = text.split("\n")
    if want[-1] == "":
        want = want[:-1]
        whole_last = True
    else:
        whole_last = False
    lines = screen.splitlines()
    for start in range(len(lines)):
        if not lines[start].endswith(want[0]):
            continue
        at, ok = start + 1, True
        for k, w in enumerate(want[1:], 1):
            last = k == len(want) - 1
            while at < len(lines) and not (lines[at] == w or (last and not whole_last and lines[at].startswith(w))):
                at += 1
            if at == len(lines):
                ok = False
                break
            at += 1
        if ok:
            return True
    return False


def unescape(text):
    return text.replace("\\n", "\n").replace("\\r", "\r").replace("\\t", "\t")


def snapshot(folder, skip=()):
    """Hash of every file under folder (links and pipes by their kind)."""
    out = {}
    for dirpath, dirnames, filenames in os.walk(folder):
        for name in filenames + [d for d in dirnames if os.path.islink(os.path.join(dirpath, d))]:
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, folder)
            if rel in skip:
                continue
            if os.path.islink(path):
                out[rel] = "link:" + os.readlink(path)
            elif os.path.isfile(path):
                with open(path, "rb") as f:
                    out[rel] = hashlib.sha256(f.read()).hexdigest()
            else:
                out[rel] = "special"
    return out


class runner:
    def __init__(self, args):
        self.kinex = os.path.abspath(args.kinex)
        self.kinexpar = os.path.abspath(args.kinex_par) if args.kinex_par else None
        self.kinexsim = os.path.abspath(args.kinex_sim) if args.kinex_sim else None
        self.corpus = os.path.join(here, "corpus")
        self.sanitized = args.sanitized
        self.root = os.geteuid() == 0
        # mpirun cases start several processes each: fewer at a time.
        self.mpislots = threading.Semaphore(4)
        self.partimes = []

    def shell(self, folder, line, timeout=60):
        env = dict(os.environ, KINEX=self.kinex)
        return subprocess.run(["bash", "-c", line], cwd=folder, env=env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def start(self, case, folder, parallel):
        words = [unescape(w) for w in shlex.split(case["run"])]
        if words[0] not in ("kinex", "kinex-sim"):
            raise ValueError("run must start with kinex or kinex-sim")
        sim = words[0] == "kinex-sim"
        if sim:
            prog = [self.kinexsim]
        elif parallel:
            prog = ["mpirun", "--allow-run-as-root", "--oversubscribe", "-np", case["par"], self.kinexpar]
        else:
            prog = [self.kinex]
        command = case.get("prefix", "") + " exec " + " ".join(shlex.quote(w) for w in prog + words[1:])
        if case.get("user") == "nobody":
            command = "exec setpriv --reuid=65534 --regid=65534 --clear-groups bash -c " + shlex.quote(command)
        command += " > screen.txt 2> " + ("screen.txt" if sim else "stderr.txt")
        env = dict(os.environ, OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1")
        began = time.monotonic()
        limit = float(case.get("timeout", 60))
        proc = subprocess.Popen(["bash", "-c", command], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                start_new_session=True)
        try:
            status = proc.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            # A run that hangs is a failure; end it and all it started.
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            status = "timeout"
        return status, time.monotonic() - began

    def one(self, case, parallel):
        """Returns a list of failure texts (empty when the case passed)."""
        fails = []
        label = case["case"] + (" [kinex-par -np %s]" % case["par"] if parallel else "")
        folder = tempfile.mkdtemp(prefix="kinexmalformed.")
        try:
            os.chmod(folder, 0o755)
            if "require" in case and self.shell(folder, case["require"]).returncode != 0:
                return ["skip"]
            for item in case.get("files", "").split():
                src, _, dst = item.partition("=")
                target = os.path.join(folder, dst or src)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copy(os.path.join(self.corpus, src), target)
            for line in case.get("setup", []):
                res = self.shell(folder, line)
                if res.returncode != 0:
                    return [f"{label}: setup failed: {line}\n{res.stdout.decode(errors='replace')}"]
            before = snapshot(folder)

            if parallel:
                with self.mpislots:
                    status, secs = self.start(case, folder, True)
                self.partimes.append(secs)
            else:
                status, secs = self.start(case, folder, False)
            screen = ""
            if os.path.exists(os.path.join(folder, "screen.txt")):
                with open(os.path.join(folder, "screen.txt"), "rb") as f:
                    screen = f.read().decode("latin-1")

            want = int(case.get("status", "1"))
            if status != want:
                fails.append(f"exit status {status}, expected {want} ({secs:.1f} s)")
            if "stop" in case:
                routine, _, message = case["stop"].partition("|")
                routine, message = routine.strip(), message.strip()
                block = "\n" + message + "\n\nProgram stopped in subroutine " + routine + "\n"
                if not parallel:
                    if not screen.endswith(block):
                        fails.append("screen does not end with the stop:" + repr(block))
                    elif screen.count(block) != 1:
                        fails.append("stop printed more than once")
                else:
                    # Processes' lines interleave, and a slow process may be
                    # ended by mpirun before it gets to its own stop.
                    # Count whole lines: two processes' messages may sit on
                    # neighbouring lines, sharing the line end between them.
                    lines = screen.splitlines()
                    said = lines.count(message)
                    stopped = lines.count("Program stopped in subroutine " + routine)
                    low, high = (int(case["parcount"]),) * 2 if "parcount" in case else (1, int(case["par"]))
                    if not (low <= said <= high and said == stopped):
                        fails.append(f"stop printed {said} times, routine {stopped} times, expected {low}..{high}")
            for text in case.get("screen", []):
                if unescape(text) not in screen and not (parallel and inlines(unescape(text), screen)):
                    fails.append("screen lacks: " + repr(unescape(text)))
            for text in case.get("noscreen", []):
                if unescape(text) in screen:
                    fails.append("screen has: " + repr(unescape(text)))

            # Inputs untouched; nothing made but what the case expects.
            after = snapshot(folder, skip=("screen.txt", "stderr.txt"))
            changes = set(case.get("changes", "").split())
            for name, digest in before.items():
                if name in changes:
                    continue
                if name not in after:
                    fails.append(f"input {name} was removed")
                elif after[name] != digest:
                    fails.append(f"input {name} was modified")
            default = "out.txt" if want == 0 and "stop" not in case else ""
            made = case.get("made", default).split()
            left = {n for n in after if n not in before or n in changes and after.get(n) != before.get(n)}
            matched = [sorted(n for n in left if fnmatch.fnmatchcase(n, m)) for m in made]
            if any(len(m) != 1 for m in matched) or len(left) != len(made) or \
                    set().union(*map(set, matched)) != left:
                fails.append(f"files left: {sorted(left)}, expected {sorted(made)}")
            for line in case.get("check", []):
                res = self.shell(folder, line)
                if res.returncode != 0:
                    fails.append(f"check failed: {line}\n{res.stdout.decode(errors='replace')[:2000]}")
            if fails:
                err = ""
                if os.path.exists(os.path.join(folder, "stderr.txt")):
                    with open(os.path.join(folder, "stderr.txt"), errors="replace") as f:
                        err = f.read()[:1500]
                fails = [f"{label} (table line {case['line']}):"] + ["  " + x for x in fails] + \
                        ["  --- screen (last 1500 characters):", screen[-1500:], "  --- stderr:", err]
            return fails
        except Exception as e:  # a broken case is a failure, not a crash of the driver
            return [f"{label}: {type(e).__name__}: {e}"]
        finally:
            subprocess.run(["chattr", "-R", "-i", folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.rmtree(folder, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--kinex", required=True)
    ap.add_argument("--kinex-par")
    ap.add_argument("--kinex-sim")
    ap.add_argument("--table", default=os.path.join(here, "cases.txt"))
    ap.add_argument("--sanitized", action="store_true", help="programs built with AddressSanitizer")
    ap.add_argument("--jobs", type=int, default=16)
    ap.add_argument("--only", help="run the cases whose name contains this text")
    args = ap.parse_args()

    r = runner(args)
    cases = parsetable(args.table)
    runs, skipped = [], []
    for c in cases:
        if args.only and args.only not in c["case"]:
            continue
        if "run" not in c:
            sys.exit(f"case {c['case']}: no run line")
        if args.sanitized and c.get("sanitized") == "skip":
            skipped.append(c["case"])
            continue
        if c.get("user") == "nobody" and not r.root:
            skipped.append(c["case"])
            continue
        if c["run"].split()[0] == "kinex-sim" and not r.kinexsim:
            skipped.append(c["case"])
            continue
        runs.append((c, False))
        if "par" in c:
            if r.kinexpar and shutil.which("mpirun"):
                runs.append((c, True))
            else:
                skipped.append(c["case"] + " [kinex-par]")

    began = time.monotonic()
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        # kinex-par runs first: they take longest.
        order = sorted(runs, key=lambda x: not x[1])
        for (case, parallel), fails in zip(order, pool.map(lambda x: r.one(*x), order)):
            if fails == ["skip"]:
                skipped.append(case["case"])
                runs.remove((case, parallel))
            elif fails:
                failed.append(case["case"])
                print("\n".join(fails), flush=True)
    passed = len(runs) - len(failed)
    if r.partimes:
        print(f"kinex-par runs: {len(r.partimes)}, the longest took {max(r.partimes):.1f} s")
    print(f"malformed inputs: {len(runs)} runs of {len(cases)} cases in {time.monotonic() - began:.0f} s"
          + (f"; skipped: {', '.join(skipped)}" if skipped else ""))
    print(f"{passed} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
