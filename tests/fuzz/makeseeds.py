#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into seeds/<target>/.

Seeds are good and faulty inputs taken from the example, the test data and
the malformed-input corpus, each with the small header its target expects.
Run it again after adding files there; the seeds are committed.  With
KINEX set to a built kinex, results files for kinex-report's reader are
made too.
"""
import glob
import os
import shutil
import subprocess
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
seeds = os.path.join(here, "seeds")


def put(target, name, data):
    folder = os.path.join(seeds, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def parfile(n="6", loci="4", form="0", inbreed="1", geno="geno.txt", out="out.txt", seed="5",
            rnd="0", upd="0", fre="1", eol="\n"):
    items = [n + " individuals", loci + " loci", form, inbreed, geno, out, seed, rnd, upd, fre]
    return eol.join(items) + eol


def commands(name, args, par):
    put("fuzz_commands", name, bytes([len(args)]) + "".join(a + "\n" for a in args).encode() + par.encode())


def layout(form, name, n, loci, text, flags=1):
    put("fuzz_layout%d" % form, name, bytes([(n - 2) % 79, (loci - 1) % 40, flags]) + text)


shutil.rmtree(seeds, ignore_errors=True)

# ---- command line and parameter file ----
commands("plain", [], parfile())
commands("described", [], read(os.path.join(root, "examples", "VARN.par")).decode().replace("example.gen", "geno.txt"))
commands("crlf", [], parfile(eol="\r\n"))
commands("quoted", [], parfile(geno="'geno.txt'", out='"out dir/x.txt"'))
commands("separators", [], "\n\n 7,8 first\n\t3;\n0\n1\ngeno.txt\nout.txt\n-7\n1\n1\n0\n")
commands("arguments", ["IND:50", "LOC: 12", "RAN:", "UPP:1", "OMP:4", "GEN:geno.txt", "OUT:res.txt"], parfile())
commands("faultyargs", ["IND:x7", "UPP:1", "UPP:0", "-v", "ind:50", "INP:VARN.par", "IND:12 3"], parfile())
commands("help", ["hElP"], "")
commands("ninevalues", [], parfile().rsplit("\n", 2)[0] + "\n")
commands("badranges", [], parfile(n="1", form="3", inbreed="2"))
commands("sameoutput", [], parfile(out="geno.txt"))
for f in sorted(glob.glob(os.path.join(root, "tests", "malformed", "corpus", "*.par"))):
    commands("malformed_" + os.path.basename(f), [], read(f).decode("latin-1"))

# ---- genotype files, one target per layout ----
layout(0, "example", 40, 30, read(os.path.join(root, "examples", "example.gen")))
layout(0, "onerep", 6, 40, read(os.path.join(root, "tests", "data", "estimation", "onerep", "onerep.gen")))
layout(0, "small", 3, 2, b"a 5 7 1 2\nb,7,7,2,2\n'c d' 0 3 1 1 99 99\n")
layout(0, "crlf", 3, 2, b"a 5 7 1 2\r\nb 7 7 2 2\r\nc 0 3 1 1\r\n", 0)
layout(0, "missing", 3, 3, b"a 0 0 1 2 5 5\nb 0 0 2 2 5 5\nc 0 0 1 1 5 5\n")
layout(0, "big", 2, 1, b"a 1000 1\nb 1 1\n")
layout(0, "short", 3, 2, b"a 1 2 1 2\nb 1 2\nc 1 1 2 2\n")
layout(0, "manyalleles", 65, 1, "".join("i%d %d %d\n" % (i, 2 * i - 1, 2 * i) for i in range(1, 66)).encode())

snp = ["2102", "1201", "1120", "2292", "2211", "0211", "1201", "2020", "1002", "210-"]
bylocus = "i1 i2\ni3 i4\n" + "".join(l + "\n" for l in snp)
byindiv = "i1 i2\ni3 i4\n" + "".join("".join(l[i] for l in snp) + "\n" for i in range(4))
layout(1, "small", 4, 10, bylocus.encode())
layout(1, "crlf", 4, 10, bylocus.replace("\n", "\r\n").encode())
layout(1, "shortfile", 4, 20, bylocus.encode())
layout(1, "mono", 4, 2, b"a b c d\n2222\n0000\n")
layout(2, "small", 4, 10, byindiv.encode())
layout(2, "crlf", 4, 10, byindiv.replace("\n", "\r\n").encode())
layout(2, "shortrows", 4, 12, byindiv.encode())
layout(2, "fivereps", 4, 40, read(os.path.join(root, "tests", "data", "estimation", "fivereps", "fivereps.gen")))
for f in sorted(glob.glob(os.path.join(root, "tests", "malformed", "corpus", "*.gen*"))):
    name = os.path.basename(f)
    form = 0 if ".gen0" in name else 1 if ".gen1" in name else 2
    layout(form, "malformed_" + name, 4, 3, read(f))

# ---- raw-allele side file, for the two data sets of the target ----
six = "   2   5   7\n   1   1\n   2  10  20\n   1   0\n   4 999   1   2   3\n   2   3   4\n   2   5   6\n   2   2   4\n"
twenty = "  40" + "".join("%4d" % i for i in range(1, 41)) + "\n   2   1   2\n   1   9\n"
put("fuzz_rawallele", "six", b"\x00" + six.encode())
put("fuzz_rawallele", "sixjoint", b"\x02" + six.encode())
put("fuzz_rawallele", "twenty", b"\x01" + twenty.encode())
put("fuzz_rawallele", "sixcommas", b"\x00" + six.replace("   ", ",").encode())
put("fuzz_rawallele", "sixshort", b"\x00" + six[:40].encode())
put("fuzz_rawallele", "fourloci", b"\x00" + read(os.path.join(root, "tests", "data", "output", "fourloci.RawAllele")))

# ---- population labels of the six individuals a..f ----
put("fuzz_popfile", "three", "a p1\nb p1\nc p2\nd p2\ne p3\nf p3\n")
put("fuzz_popfile", "one", "a x\r\nb x\r\nc x\r\nd x\r\ne x\r\nf x\r\n")
put("fuzz_popfile", "quoted", "'a' \"site one\"\n\nb\tp2\nc 'site one'\nd p2\ne p2\nf \"p2\"\n")
put("fuzz_popfile", "faults", "a p1\nb p1 extra\nc\nz p2\na p2\n'd p3\n")
put("fuzz_popfile", "missing", "a p1\nb p1\nc p2\n")

# ---- results files for kinex-report ----
kinex = os.environ.get("KINEX")
if kinex:
    corpus = os.path.join(root, "tests", "malformed", "corpus")
    runs = [("layout0", "p0.par", "good0.gen", []), ("layout1", "p1.par", "good1.gen", ["UPP:1"]),
            ("layout2", "p2.par", "good2.gen", ["IND:2"]), ("crlf", "p0crlf.par", "crlf0.gen", [])]
    for name, par, gen, args in runs:
        with tempfile.TemporaryDirectory() as work:
            shutil.copy(os.path.join(corpus, par), work)
            shutil.copy(os.path.join(corpus, gen), work)
            subprocess.run([os.path.abspath(kinex), "INP:" + par, "OUT:res.out"] + args, cwd=work,
                           stdout=subprocess.DEVNULL, check=True)
            data = read(os.path.join(work, "res.out"))
        put("fuzz_report", name, b"\x00" + data)
        put("fuzz_report", name + "_tinybuffer", b"\x15" + data)
    # 33 individuals: the tables' first 32 lines are joined by CR LF.
    with tempfile.TemporaryDirectory() as work:
        gen = "".join("i%d %d %d %d 2\n" % (i, 1 + i % 3, 1 + i % 2, 1 + i % 4) for i in range(1, 34))
        with open(os.path.join(work, "g.gen"), "w") as f:
            f.write(gen)
        with open(os.path.join(work, "r.par"), "w") as f:
            f.write("33\n2\n0\n1\ng.gen\nres.out\n5\n0\n0\n0\n")
        subprocess.run([os.path.abspath(kinex), "INP:r.par"], cwd=work, stdout=subprocess.DEVNULL, check=True)
        put("fuzz_report", "blocks33", b"\x40" + read(os.path.join(work, "res.out")))
