"""The peer programs (PLINK 1.9 --genome, PLINK 2 KING-robust and the
relationship matrix) on kinex-sim's PLINK files, and readers of their
outputs into the pair layout of the scoring code.

Each reader returns a PairTable: for every pair i < j of the sample (in the
order of the genotype file, which is also the order of the .fam file) the
ten values Delta1..Delta9, r(1,2), of which a peer gives only some (None
elsewhere): PLINK's Z2, Z1, Z0 stand beside Delta7, Delta8, Delta9, and
every peer's kinship coefficient beside r(1,2):

- PLINK 1.9 --genome: PI_HAT / 2 (PI_HAT = Z1/2 + Z2 = 2 x kinship);
- PLINK 2 --make-king-table: the KING-robust KINSHIP column as it is;
- PLINK 2 --make-rel: the off-diagonal relationship value / 2.

kinex-sim writes kinex's allele 1 as A and allele 2 as G.  None of the
three peer estimates depends on which allele is counted, so the coding is
left as PLINK reads it (PLINK 1.9 takes the minor allele as A1).
"""
import os
from array import array


def widestplink2():
    """PLINK 2's widest build this processor runs.  Debian's `plink2` is a
    script that picks a build by the flags of /proc/cpuinfo and asks for
    `abm`, which some virtual machines do not list although they run its
    instructions: it then falls back to the SSE4.2 build.  The AVX2 build
    writes the same tables (checked on 2,000 x 100,000), about a tenth
    faster."""
    build = "/usr/lib/plink2/plink2-avx2"
    try:
        with open("/proc/cpuinfo") as f:
            flags = next((l.split() for l in f if l.startswith("flags")), [])
    except OSError:
        flags = []
    if os.access(build, os.X_OK) and all(x in flags for x in ("avx2", "bmi1", "bmi2", "fma")):
        return build
    return "plink2"


PLINK1 = "plink1.9"
PLINK2 = widestplink2()

NAN = float("nan")


class PairTable:
    """Values of one estimator for every pair of the sample."""

    def __init__(self, ids, fields):
        self.ids = ids
        self.pos = {name: k for k, name in enumerate(ids)}
        self.fields = fields          # {value index 0..9: array per pair slot}
        n = len(ids)
        for k in fields:
            fields[k] = array("f", [NAN]) * (n * (n - 1) // 2)

    def slot(self, a, b):
        if a > b:
            a, b = b, a
        n = len(self.ids)
        return a * (2 * n - a - 1) // 2 + (b - a - 1)

    def put(self, a, b, k, value):
        self.fields[k][self.slot(a, b)] = value

    def pair(self, a, b):
        s = self.slot(a, b)
        out = [None] * 10
        for k, v in self.fields.items():
            x = v[s]
            out[k] = None if x != x else x
        return out

    def missing(self):
        """Number of pairs the reader did not fill."""
        return sum(1 for x in self.fields[9] if x != x)


def readfam(path):
    with open(path) as f:
        return [line.split()[1] for line in f if line.strip()]


def makebed(prefix):
    """The one conversion from P.ped/P.map to P.bed/.bim/.fam."""
    return [PLINK1, "--file", prefix, "--make-bed", "--out", prefix]


def commands(prefix, out):
    """Name, command, and the reader of its output, for each peer run."""
    return [
        ("PLINK 1.9 --genome", [PLINK1, "--bfile", prefix, "--genome", "--out", out + "-genome"],
         lambda ids: readgenome(ids, out + "-genome.genome")),
        ("PLINK 2 KING-robust", [PLINK2, "--bfile", prefix, "--make-king-table", "--out", out + "-king"],
         lambda ids: readking(ids, out + "-king.kin0")),
        ("PLINK 2 --make-rel", [PLINK2, "--bfile", prefix, "--make-rel", "triangle", "--out", out + "-rel"],
         lambda ids: readrel(ids, out + "-rel.rel", out + "-rel.rel.id")),
    ]


def readgenome(ids, path):
    t = PairTable(ids, {6: None, 7: None, 8: None, 9: None})
    pos = t.pos
    with open(path) as f:
        head = f.readline().split()
        c = {name: k for k, name in enumerate(head)}
        i1, i2, z0, z1, z2, pi = c["IID1"], c["IID2"], c["Z0"], c["Z1"], c["Z2"], c["PI_HAT"]
        for line in f:
            w = line.split()
            s = t.slot(pos[w[i1]], pos[w[i2]])
            t.fields[6][s] = float(w[z2])
            t.fields[7][s] = float(w[z1])
            t.fields[8][s] = float(w[z0])
            t.fields[9][s] = float(w[pi]) / 2.0
    return t


def readking(ids, path):
    t = PairTable(ids, {9: None})
    pos = t.pos
    with open(path) as f:
        head = f.readline().lstrip("#").split()
        c = {name: k for k, name in enumerate(head)}
        i1, i2, kin = c["IID1"], c["IID2"], c["KINSHIP"]
        for line in f:
            w = line.split()
            t.fields[9][t.slot(pos[w[i1]], pos[w[i2]])] = float(w[kin])
    return t


def readrel(ids, path, idpath):
    t = PairTable(ids, {9: None})
    pos = t.pos
    with open(idpath) as f:
        relids = [line.split()[1] for line in f if not line.startswith("#") and line.strip()]
    with open(path) as f:
        for i, line in enumerate(f):
            w = line.split()
            a = pos[relids[i]]
            for j in range(i):
                t.fields[9][t.slot(a, pos[relids[j]])] = float(w[j]) / 2.0
    return t
