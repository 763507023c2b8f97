"""Reads a kinex results file and kinex-sim's truth files, and scores the
estimates against the realized truth per relationship class.

Standard library only.  Used by the validation suite in this folder and by
the scripts in bench/.

Results file: the IBD table holds one line per ordered pair
"Dyad Indiv1 Indiv2 #IIS1..#IIS9 Delta1..Delta9 r(1,2)", 32 lines to a
record joined by CR LF; the inbreeding table one line per individual
"Indiv #Miss #Gens #HomG #HetG F_Mean F_SD".  Both CR LF and LF end a line
here, so a file whose line ends were rewritten either way reads the same.

Truth: P.truth.pairs.tsv lists every pair of one family (first member the
one earlier in the genotype file) with its realized Jacquard shares d1..d9
and realized kinship; all other pairs are unrelated (d9 = 1, kinship 0).
P.truth.indiv.tsv gives each individual's realized inbreeding F.
"""
import math
import re
from array import array

QUANTITIES = ["Delta1", "Delta2", "Delta3", "Delta4", "Delta5", "Delta6",
              "Delta7", "Delta8", "Delta9", "r"]

IBDHEAD = ("Dyad Indiv1 Indiv2 #IIS1 #IIS2 #IIS3 #IIS4 #IIS5 #IIS6 #IIS7 #IIS8 #IIS9 "
           "Delta1 Delta2 Delta3 Delta4 Delta5 Delta6 Delta7 Delta8 Delta9 r(1,2)")
INBHEAD = "Indiv #Miss #Gens #HomG #HetG F_Mean F_SD"

# Unrelated pairs: the within-family UN pairs of the truth file and every
# pair of two families.  RELATIVES pools every other listed pair, ALLPAIRS
# every scored pair.
UNRELATED = "UN"
RELATIVES = "REL"
ALLPAIRS = "ALL"


class FormatError(Exception):
    pass


def textlines(path):
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    lines = re.split(r"\r\n|\n", text)
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def tablebody(lines, title, head):
    """The lines of a table after its title, separator and column line, up to
    the first empty line or the end of the file."""
    try:
        at = lines.index(title)
    except ValueError:
        raise FormatError(f"no table '{title}'")
    if at + 2 >= len(lines) or lines[at + 2] != head:
        raise FormatError(f"table '{title}': column line missing")
    body = []
    for line in lines[at + 3:]:
        if line == "":
            break
        body.append(line)
    return body


class Ibd:
    """The IBD table of a results file.  For a < b (positions in the file,
    from 0) the ten values Delta1..Delta9, r(1,2) of the line with Indiv1 = a
    and Indiv2 = b are kept in one flat array."""

    def __init__(self, ids, values, selfr):
        self.ids = ids
        self.pos = {name: k for k, name in enumerate(ids)}
        self.values = values
        self.selfr = selfr

    def slot(self, a, b):
        n = len(self.ids)
        return (a * (2 * n - a - 1) // 2 + (b - a - 1)) * 10

    def pair(self, a, b):
        """Values of the ordered pair (a, b), a != b, seen with a first."""
        if a < b:
            s = self.slot(a, b)
            return list(self.values[s:s + 10])
        s = self.slot(b, a)
        v = list(self.values[s:s + 10])
        v[2], v[4] = v[4], v[2]
        v[3], v[5] = v[5], v[3]
        return v


def readibd(path, lines=None, check=True):
    """Parses the IBD table.  With check, also verifies its structure: n x n
    lines numbered in order, the Deltas of a line sum to 1 and give its
    r(1,2), and the line (b, a) is the mirror of (a, b)."""
    if lines is None:
        lines = textlines(path)
    body = tablebody(lines, "IBD coefficient estimates", IBDHEAD)
    n = math.isqrt(len(body))
    if n < 2 or n * n != len(body):
        raise FormatError(f"IBD table has {len(body)} lines, not n x n")
    ids = []
    for k in range(n):
        w = body[k * n + k].split()
        if len(w) != 22 or w[1] != w[2]:
            raise FormatError(f"IBD line {k * n + k + 1}: not a self pair")
        ids.append(w[1])
    values = array("f", bytes(4 * 10 * (n * (n - 1) // 2)))
    selfr = [0.0] * n
    for j in range(n):
        base = j * n
        for k in range(n):
            line = body[base + k]
            w = line.split()
            if len(w) != 22:
                raise FormatError(f"IBD line {base + k + 1}: {len(w)} fields")
            if check and (w[0] != str(base + k + 1) or w[1] != ids[j] or w[2] != ids[k]):
                raise FormatError(f"IBD line {base + k + 1}: wrong dyad or names: {line[:60]}")
            v = [float(x) for x in w[12:22]]
            if check:
                if any(x < 0.0 or x > 1.0 for x in v):
                    raise FormatError(f"IBD line {base + k + 1}: value outside 0..1")
                if abs(sum(v[:9]) - 1.0) > 0.0006:
                    raise FormatError(f"IBD line {base + k + 1}: Deltas sum to {sum(v[:9]):.4f}")
                if j == k:
                    r = (v[0] + 1.0) * 0.5
                else:
                    r = v[0] + 0.5 * (v[2] + v[4] + v[6]) + 0.25 * v[7]
                if abs(r - v[9]) > 0.0002:
                    raise FormatError(f"IBD line {base + k + 1}: r(1,2) {v[9]} but Deltas give {r:.5f}")
            if j == k:
                selfr[j] = v[9]
            elif j < k:
                s = (j * (2 * n - j - 1) // 2 + (k - j - 1)) * 10
                values[s:s + 10] = array("f", v)
            elif check:
                # line (j, k), k < j, mirrors line (k, j), read in row k
                s = (k * (2 * n - k - 1) // 2 + (j - k - 1)) * 10
                u = values[s:s + 10]
                m = (v[0], v[1], v[4], v[5], v[2], v[3], v[6], v[7], v[8], v[9])
                if any(abs(x - y) > 0.00005 for x, y in zip(u, m)):
                    raise FormatError(f"IBD lines of {ids[k]} and {ids[j]} are not mirrors")
    return Ibd(ids, values, selfr)


def readinb(path, lines=None):
    """Inbreeding table: id -> (miss, gens, hom, het, F_Mean, F_SD)."""
    if lines is None:
        lines = textlines(path)
    out = {}
    for line in tablebody(lines, "Indiv genotypes at polymorphic loci & inbreeding", INBHEAD):
        w = line.split()
        if len(w) != 7:
            raise FormatError(f"inbreeding line with {len(w)} fields: {line}")
        out[w[0]] = (int(w[1]), int(w[2]), int(w[3]), int(w[4]), float(w[5]), float(w[6]))
    return out


def readresults(path, check=True):
    lines = textlines(path)
    return readibd(path, lines, check), readinb(path, lines)


def readtsv(path):
    rows = []
    head = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#") or line == "":
                continue
            w = line.split("\t")
            if head is None:
                head = w
                continue
            rows.append(dict(zip(head, w)))
    return rows


class Truth:
    """Realized truth of one simulated sample."""

    def __init__(self, prefix):
        self.pairs = {}
        for r in readtsv(prefix + ".truth.pairs.tsv"):
            d = [float(r[f"d{k}"]) for k in range(1, 10)]
            rel = r["relation"]
            self.pairs[(r["id1"], r["id2"])] = (rel, d + [float(r["kinship"])])
        self.indiv = {}
        for r in readtsv(prefix + ".truth.indiv.tsv"):
            self.indiv[r["id"]] = (r["family"], r["role"], float(r["F"]), float(r["F_exp"]))

    def inbred(self, name):
        return self.indiv[name][3] > 0.0

    def fclass(self, name):
        """Inbreeding class of an individual: outbred, or the family type and
        role of an inbred one."""
        family, role, _, fexp = self.indiv[name]
        if fexp == 0.0:
            return "outbred"
        kind = family.split("_", 1)[1]
        return f"{kind} {'child' if role == 'ch' else 'sibs'}"


UNRELATEDTRUTH = [0.0] * 8 + [1.0, 0.0]


def classorder(name):
    known = ["UN", "PO", "FS", "HS", "AV", "FC", "PO_FSM", "PO_HSM", "FS_FSM", "REL", "ALL"]
    return (known.index(name) if name in known else len(known), name)


class Tally:
    """Running sums of truth, estimate and error of one class.  An estimate
    of None (a quantity an estimator does not give) is left out."""

    def __init__(self, width):
        self.n = 0
        self.k = [0] * width
        self.t = [0.0] * width
        self.e = [0.0] * width
        self.d = [0.0] * width
        self.d2 = [0.0] * width

    def add(self, truth, est):
        self.n += 1
        for k, (t, e) in enumerate(zip(truth, est)):
            if e is None:
                continue
            self.k[k] += 1
            self.t[k] += t
            self.e[k] += e
            self.d[k] += e - t
            self.d2[k] += (e - t) ** 2

    def stats(self):
        """Per quantity: (mean truth, mean estimate, bias, RMSE), or None
        where no estimate was given."""
        return [(t / k, e / k, d / k, math.sqrt(d2 / k)) if k else None
                for k, t, e, d, d2 in zip(self.k, self.t, self.e, self.d, self.d2)]


def pairtallies(truth, ibd, allpairs=True, only=None, tallies=None):
    """Adds the ten values Delta1..Delta9, r(1,2) of every pair to the
    tally of its relationship class (a new set of tallies, or the one given,
    to pool several samples).  ibd is an Ibd or any table with the same ids,
    pos and pair(i, j).  Every listed pair counts in its class; with
    allpairs, every other pair of the sample counts as unrelated.
    only(name1, name2) may exclude pairs."""
    if tallies is None:
        tallies = {}
    pos = ibd.pos
    listed = set()
    every = tallies.setdefault(ALLPAIRS, Tally(10))
    for (a, b), (rel, t) in truth.pairs.items():
        if only is not None and not only(a, b):
            continue
        i, j = pos[a], pos[b]
        listed.add((min(i, j), max(i, j)))
        est = ibd.pair(i, j)
        tallies.setdefault(rel, Tally(10)).add(t, est)
        every.add(t, est)
        if rel != UNRELATED:
            tallies.setdefault(RELATIVES, Tally(10)).add(t, est)
    if allpairs:
        n = len(ibd.ids)
        un = tallies.setdefault(UNRELATED, Tally(10))
        for i in range(n):
            for j in range(i + 1, n):
                if (i, j) in listed:
                    continue
                if only is not None and not only(ibd.ids[i], ibd.ids[j]):
                    continue
                est = ibd.pair(i, j)
                un.add(UNRELATEDTRUTH, est)
                every.add(UNRELATEDTRUTH, est)
    return tallies


def scores(tallies):
    """{class: (number, stats)} in the usual order of the classes."""
    return {c: (t.n, t.stats()) for c, t in sorted(tallies.items(), key=lambda x: classorder(x[0]))}


def pairscores(truth, ibd, allpairs=True, only=None):
    """Per relationship class: (number of pairs, (mean truth, mean
    estimate, bias, RMSE) of each of Delta1..Delta9, r(1,2))."""
    return scores(pairtallies(truth, ibd, allpairs, only))


def inbtallies(truth, inb, tallies=None):
    """Adds every individual's F_Mean and realized F to the tally of its
    inbreeding class."""
    if tallies is None:
        tallies = {}
    for name, row in inb.items():
        tallies.setdefault(truth.fclass(name), Tally(1)).add([truth.indiv[name][2]], [row[4]])
    return tallies


def inbscores(truth, inb):
    """F_Mean against realized F, per inbreeding class: (number, stats)."""
    tallies = inbtallies(truth, inb)
    return {c: (t.n, t.stats()[0]) for c, t in sorted(tallies.items())}
