#!/usr/bin/env python3
"""kinexref: a second, independent implementation of a successful serial
kinex run, in plain Python 3 (standard library only).

It reads the same parameter file, genotype file and command-line arguments
as `kinex`, writes the same results file and prints the same screen text.
Only runs that succeed are covered: an input that kinex would reject, or a
form of input this program does not handle, stops it with a message on
standard error and exit status 3 (never a silent guess).

Own options, given before the program's arguments:
  --ref-argv0=NAME     invocation name recorded in the command line
                       (default: "kinex")
  --ref-fixed-clock    treat every elapsed EM time as 0 seconds, so that the
                       screen's line interval grows as in a fast run

Single precision is emulated by rounding through a 4-byte float after every
single-precision operation; everything else is Python's double.
"""

import datetime
import math
import os
import struct
import sys
import time
from decimal import Decimal, ROUND_HALF_UP


COVER = {}


def cover(what):
    """Count a branch taken (written out when KINEXREF_COVERAGE names a
    file, to see which paths a set of cases reaches)."""
    COVER[what] = COVER.get(what, 0) + 1


class Unsupported(Exception):
    """An input this reference does not handle (or kinex would reject)."""


class StopRun(Exception):
    """The program's own fatal stop (message already printed)."""


# ---------------------------------------------------------------- numerics

_F4 = struct.Struct('<f')


def f32(x):
    return _F4.unpack(_F4.pack(x))[0]


C1 = float.fromhex('0x1.e666666666667p-1')    # 0.95, one ulp above nearest
C2 = float.fromhex('0x1.e666666666667p+0')    # 1.9 = 2 * C1
C3 = float.fromhex('0x1.6cccccccccccdp+1')    # 2.85
F32_0001 = f32(0.001)
F32_01 = f32(0.1)
F32_051 = f32(0.51)
F32_005 = f32(0.05)
F32_10000 = f32(10000.0)


def roundhalfaway(x):
    """Nearest integer, halves away from zero, on the exact binary value."""
    if x >= 0:
        k = math.floor(x)
        return int(k) + (1 if x - k >= 0.5 else 0)
    return -roundhalfaway(-x)


def fixfmt(x, w, d):
    """Fortran Fw.d of the exact value, half away from zero."""
    q = Decimal(x).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_UP)
    s = format(q, 'f')
    if s.startswith('-') and q == 0:
        s = s  # negative zero keeps its sign, as a processor may print it
    if len(s) > w:
        return '*' * w
    return s.rjust(w)


def scifmt(x, d=6):
    """Scientific text: one non-zero digit, d decimals, E+dd or +ddd."""
    if x == 0:
        return '0.' + '0' * d + 'E+00'
    sign = '-' if x < 0 else ''
    v = Decimal(abs(x))
    e = v.adjusted()
    m = v.scaleb(-e).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_UP)
    if m >= 10:
        e += 1
        m = v.scaleb(-e).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_UP)
    mant = format(m, 'f')
    if abs(e) <= 99:
        exp = 'E' + ('-' if e < 0 else '+') + '%02d' % abs(e)
    elif abs(e) <= 999:
        exp = ('-' if e < 0 else '+') + '%03d' % abs(e)
    else:
        raise Unsupported('exponent out of range')
    return sign + mant + exp


def lroundf(x):
    """C lround of a single-precision value (half away from zero)."""
    return roundhalfaway(x)


# ----------------------------------------------------------- random numbers

class Ran1:
    def __init__(self, idum):
        self.idum = idum
        self.ix = 0xFFFFFFFF
        self.iy = -1
        self.am = 0.0

    def __call__(self):
        if self.idum <= 0 or self.iy < 0:
            self.am = 1.0 / 2147483647.0
            a = abs(self.idum)
            if a > 2147483647:
                raise Unsupported('seed out of range')
            self.iy = (888889999 ^ a) | 1
            self.ix = (777755555 ^ a) & 0xFFFFFFFF
            self.idum = a + 1
        ix = self.ix
        ix ^= (ix << 13) & 0xFFFFFFFF
        ix ^= ix >> 17
        ix ^= (ix << 5) & 0xFFFFFFFF
        self.ix = ix
        iy = self.iy
        k = iy // 127773
        iy = 16807 * (iy - k * 127773) - 2836 * k
        if iy < 0:
            iy += 2147483647
        self.iy = iy
        return self.am * float(((ix ^ iy) & 0x7FFFFFFF) | 1)


def indexx(n, keys):
    """Ascending order of keys[1..n] (1-based lists), quicksort with an
    explicit stack, median of three, insertion sort below 8 elements."""
    order = list(range(n + 1))
    stack = []
    l, r = 1, n
    while True:
        if r - l < 7:
            for j in range(l + 1, r + 1):
                t = order[j]
                a = keys[t]
                i = j - 1
                while i >= l and keys[order[i]] > a:
                    order[i + 1] = order[i]
                    i -= 1
                order[i + 1] = t
            if not stack:
                return order
            r = stack.pop()
            l = stack.pop()
        else:
            m = (l + r) // 2
            order[m], order[l + 1] = order[l + 1], order[m]
            if keys[order[l]] > keys[order[r]]:
                order[l], order[r] = order[r], order[l]
            if keys[order[l + 1]] > keys[order[r]]:
                order[l + 1], order[r] = order[r], order[l + 1]
            if keys[order[l]] > keys[order[l + 1]]:
                order[l], order[l + 1] = order[l + 1], order[l]
            i = l + 1
            j = r
            t = order[l + 1]
            a = keys[t]
            while True:
                i += 1
                while keys[order[i]] < a:
                    i += 1
                j -= 1
                while keys[order[j]] > a:
                    j -= 1
                if j < i:
                    break
                order[i], order[j] = order[j], order[i]
            order[l + 1] = order[j]
            order[j] = t
            if len(stack) + 2 > 50:
                raise Unsupported('indexx stack overflow')
            if r - i + 1 >= j - l:
                stack.append(i)
                stack.append(r)
                r = j - 1
            else:
                stack.append(l)
                stack.append(j - 1)
                l = i


# --------------------------------------------------------- free-form input

SEPS = ' \t,;'


def splitvalues(line):
    """Values of one line of free-form input, one at a time; None marks a
    slash.  Values are produced lazily: what follows the last value that a
    read needs is never looked at."""
    i = 0
    n = len(line)
    pending_comma = False
    first = True
    while i < n:
        ch = line[i]
        if ch in ' \t':
            i += 1
            continue
        if ch in ',;':
            if pending_comma or first:
                raise Unsupported('null value in free-form input')
            pending_comma = True
            i += 1
            continue
        if ch == '/':
            yield None
            return
        if ch in '\'"':
            q = ch
            i += 1
            buf = []
            while True:
                if i >= n:
                    raise Unsupported('quoted value continues on another line')
                if line[i] == q:
                    if i + 1 < n and line[i + 1] == q:
                        buf.append(q)
                        i += 2
                        continue
                    i += 1
                    break
                buf.append(line[i])
                i += 1
            if i < n and line[i] not in SEPS + '/':
                raise Unsupported('text after a quoted value')
            val = ''.join(buf)
        else:
            j = i
            while j < n and line[j] not in SEPS + '/':
                j += 1
            val = line[i:j]
            k = 0
            while k < len(val) and val[k].isdigit():
                k += 1
            if 0 < k < len(val) and val[k] == '*':
                raise Unsupported('repeat count in free-form input')
            i = j
        pending_comma = False
        first = False
        yield val


class FreeReader:
    """Records of a text file read by free-form reads: every read starts on
    a new record and may take values from as many records as it needs."""

    def __init__(self, lines):
        self.lines = lines
        self.pos = 0

    def read(self, count):
        vals = []
        self.first = self.pos   # records this read takes values from: first..pos-1
        self.taken = 0          # values taken from the last of them
        while len(vals) < count:
            if self.pos >= len(self.lines):
                return None
            got = splitvalues(self.lines[self.pos])
            self.pos += 1
            self.taken = 0
            for v in got:
                self.taken += 1
                if v is None:
                    raise Unsupported('slash ends a free-form read')
                vals.append(v)
                if len(vals) == count:
                    break   # the rest of the record is skipped
        return vals

    def readline(self):
        if self.pos >= len(self.lines):
            return None
        s = self.lines[self.pos]
        self.pos += 1
        return s


def morevalues(line, count):
    """True when the line holds a value after its first `count` values
    (blanks, tabs, commas, semicolons and slashes separate values)."""
    i, n, seen = 0, len(line), 0
    while i < n:
        if line[i] in ' \t,;/':
            i += 1
            continue
        if seen == count:
            return True
        if line[i] in '\'"':
            q = line[i]
            i += 1
            while i < n:
                if line[i] == q:
                    if i + 1 < n and line[i + 1] == q:
                        i += 2
                        continue
                    i += 1
                    break
                i += 1
        else:
            while i < n and line[i] not in ' \t,;/':
                i += 1
        seen += 1
    return False


def nottext(line):
    """A control character other than tab, vertical tab, form feed and CR."""
    return any((ord(c) < 32 and not 9 <= ord(c) <= 13) or ord(c) == 127 for c in line)


def surplusline(found, layout, N, L):
    """The warning about what the genotype file holds beyond what was read
    (None when nothing)."""
    longrows, morelines, badlines, moreids = found

    def counted(k, one, many):
        return str(k) + ' ' + (one if k == 1 else many)
    parts = []
    if moreids:
        parts.append('more than %d identifiers' % N)
    if longrows:
        if layout == 0:
            parts.append(counted(longrows, 'line', 'lines') + ' with more than %d allele values' % (2 * L))
        elif layout == 1:
            parts.append(counted(longrows, 'locus row', 'locus rows') + ' longer than %d characters' % N)
        else:
            parts.append(counted(longrows, 'row', 'rows') + ' longer than %d characters' % L)
    if morelines:
        parts.append(counted(morelines, 'further line', 'further lines') + ' after '
                     + ('locus %d' % L if layout == 1 else 'individual %d' % N))
    if badlines:
        parts.append(counted(badlines, 'line', 'lines') + ' with bytes that are not text')
    if not parts:
        return None
    return ('Warning: genotype file holds more than was read (%d individuals at %d loci): ' % (N, L)
            + ', '.join(parts) + '.')


def readlines(path):
    with open(path, 'rb') as fh:
        data = fh.read().decode('latin-1')
    lines = data.split('\n')
    if lines and lines[-1] == '':
        lines.pop()
    return [s[:-1] if s.endswith('\r') else s for s in lines]


def intvalue(s, lo=-2147483647 - 1, hi=2147483647):
    t = s
    if t[:1] in '+-':
        t = t[1:]
    if not t or not t.isdigit() or not t.isascii():
        return None
    v = int(s)
    if v < lo or v > hi:
        return None
    return v


# -------------------------------------------------------------- the program

class Kinex:
    def __init__(self, argv0, args, fixedclock):
        self.argv0 = argv0
        self.args = args
        self.fixedclock = fixedclock
        self.out = sys.stdout
        self.prntline = '-' * 65
        self.gtypewarning = None

    # screen
    def w(self, text):
        self.out.write(text)

    def line(self, text=''):
        self.out.write(text + '\n')

    def stop(self, message, routine):
        self.line()
        self.line(message.rstrip(' '))
        self.line()
        self.line('Program stopped in subroutine ' + routine.rstrip(' '))
        raise StopRun()

    def banner_text(self):
        return (self.prntline + '\n' + '  KINEX, Version 1.0.0.0, Build 20211115\n'
                + self.prntline + '\n' + '\n')

    # -------------------------------------------------------- command line
    def getcommands(self):
        self.parfile = 'VARN.par'
        self.gtypefile = ''
        self.outfile = ''
        self.numindiv = -2147483647
        self.numloci = -2147483647
        self.idum = 0
        self.updatep = -1
        self.ompthd = 1
        self.commandline = self.argv0.rstrip(' ')
        keys = ['INP', 'OUT', 'RAN', 'LOC', 'IND', 'GEN', 'UPP', 'OMP']
        seen = dict((k, 0) for k in keys)
        errors = 0
        for raw in self.args[:999]:
            arg = raw
            if arg.strip(' ') == '':
                # reported and passed over; the arguments after it count
                self.commandline += ' ""'
                self.line()
                self.line('Empty run option: ignored!')
                self.line()
                errors += 1
                continue
            self.commandline += ' ' + arg.strip(' ')
            if len(arg) >= 4 and arg[3] == ':' and arg[:3] in keys:
                key = arg[:3]
                seen[key] += 1
                if seen[key] >= 2:
                    self.line('Repeated parameter values from keyboard! Original input: '
                              + arg.rstrip(' ') + '. The command is ignored!')
                    errors += 1
                    continue
                value = arg[4:].lstrip(' ')
                if key in ('INP', 'OUT', 'GEN'):
                    v = value.rstrip(' ')
                    if key == 'INP':
                        self.parfile = v
                    elif key == 'OUT':
                        self.outfile = v
                    else:
                        self.gtypefile = v
                    continue
                field = value[:12].replace(' ', '')
                if field == '':
                    num = 0
                else:
                    num = intvalue(field)
                if num is None:
                    self.line()
                    self.line('Error in reading parameters from keyboard! Original input: '
                              + key + ':' + value.rstrip(' ') + '. The command is ignored!')
                    self.line()
                    errors += 1
                    continue
                if key == 'RAN':
                    self.idum = num
                elif key == 'LOC':
                    self.numloci = num
                elif key == 'IND':
                    self.numindiv = num
                elif key == 'UPP':
                    self.updatep = num
                else:
                    self.ompthd = num
                continue
            if arg.rstrip(' ') == '--version':
                self.line('KINEX, Version 1.0.0.0, Build 20211115')
                raise StopRun('help')
            if arg.rstrip(' ').upper() == 'HELP' or arg.rstrip(' ') in ('-h', '--help'):
                for s in ['VARN command line Arguments:',
                          '  IND:[Number of individuals]',
                          '  LOC:[Number of loci]',
                          '  RAN:[Random number seed]',
                          '  INP:[Input parameter file name]',
                          '  OUT:[Output file name]',
                          '  GEN:[Genotype file name]',
                          '  UPP:[Update allele frequency 1/0]',
                          '  OMP:[Number of openMP threads]',
                          '  MLE:[Maximum likelihood Deltas 0/1/2]',
                          '  PCS:[Ancestry components 0..20, with MLE:1/2]',
                          '  POP:[Population labels file, with MLE:1/2]',
                          '  ERR:[Genotyping error rate 0..0.2, with MLE:1/2]',
                          '  KIN:[Least kinship of the pairs written, -1 all; with MLE:1/2]']:
                    self.line(s)
                raise StopRun('help')
            self.line()
            self.line('Run option ' + arg.rstrip(' ') + ' unrecognized: ignored!')
            self.line()
            errors += 1
        if len(self.args) > 999:
            self.line()
            self.line('Too many run options: the %d after the 999th are ignored!' % (len(self.args) - 999))
            self.line()
        # (the short wait after faulty arguments has no visible effect)

    # ------------------------------------------------------ parameter file
    def checkname(self, name, what):
        # a name that does not fit the 499 characters kept is refused
        if len(name) > 499:
            self.stop(what + ' name longer than 499 characters: ' + name + '!', 'ReadParFile')
        if any(c in name for c in '\n\r\0'):
            self.stop(what + ' name holds a line break or NUL character!', 'ReadParFile')

    def readparfile(self):
        now = datetime.datetime.now()
        self.date1 = [now.strftime('%Y%m%d'), '']
        self.time1 = [now.strftime('%H%M%S') + '.%03d' % (now.microsecond // 1000), '']
        self.checkname(self.parfile, 'Parameter file')
        if not os.path.isfile(self.parfile):
            self.stop('Parameter file ' + self.parfile + ' does not exist!', 'ReadParFile')
        self.w('Reading parameter file: ' + self.parfile)
        rd = FreeReader(readlines(self.parfile))

        def item(label, kind):
            v = rd.read(1)
            if v is None:
                self.stop('Error reading ' + label, 'ReadParFile')
            v = v[0]
            if kind == 'i':
                n = intvalue(v)
                if n is None:
                    self.stop('Error reading ' + label, 'ReadParFile')
                return n
            return v.rstrip(' ')

        v = item('#individuals!', 'i')
        if self.numindiv == -2147483647:
            self.numindiv = v
        if self.numindiv < 2:
            self.stop('#individuals = ' + str(self.numindiv) + ', smaller than the minimum value 2!',
                      'ReadParFile')
        v = item('#Loci!', 'i')
        if self.numloci == -2147483647:
            self.numloci = v
        if self.numloci < 1:
            self.stop('#loci = ' + str(self.numloci) + ', smaller than the minimum value 1!',
                      'ReadParFile')
        self.dataform = item('DataForm!', 'i')
        if self.dataform not in (0, 1, 2):
            self.stop('DataForm should be (0/1/2)!', 'ReadParFile')
        self.inbreed = item('Inbreed!', 'i')
        if self.inbreed not in (0, 1):
            self.stop('Inbreed should be Boolean (1/0=T/F)!', 'ReadParFile')
        v = item('GtypeFile!', 't')
        if self.gtypefile == '':
            self.gtypefile = v
        self.checkname(self.gtypefile, 'Genotype file')
        if not os.path.isfile(self.gtypefile):
            self.stop('Genotype file, ' + self.gtypefile + ', does not exist!', 'ReadParFile')
        v = item('Outfile!', 't')
        if self.outfile == '':
            self.outfile = v
        self.checkname(self.outfile, 'Output file')
        v = item('seed!', 'i')
        if self.idum == 0:
            self.idum = v
        self.iseed = self.idum
        if self.idum > 0:
            self.idum = -self.idum
        self.rnddelta0 = item('RndDelta0!', 'i')
        if self.rnddelta0 not in (0, 1):
            self.stop('RndDelta0 must be 1/0!', 'ReadParFile')
        v = item('UpdateP!', 'i')
        if self.updatep == -1:
            self.updatep = v
        if self.updatep not in (0, 1):
            self.stop('UpdateP must be 1/0!', 'ReadParFile')
        if self.updatep == 0 and self.rnddelta0 == 1:
            self.rnddelta0 = 0
        self.outallelefre = item('OutAlleleFre!', 'i')
        if self.outallelefre not in (0, 1):
            self.stop('OutAlleleFre must be 1/0!', 'ReadParFile')
        self.line('. Done.')

    # ------------------------------------------------------ genotype file
    def readgtype(self):
        N = self.numindiv
        L = self.numloci
        self.ran = Ran1(self.idum)
        self.line()
        self.line('Reading genotype file: ' + self.gtypefile)
        rd = FreeReader(readlines(self.gtypefile))
        self.individ = [''] * (N + 1)
        longrows = badlines = 0
        moreids = False

        def lookrow(s, w):
            return (len(s) > w and s[w:].strip(' \t\r') != '', nottext(s))
        if self.dataform == 0:
            self.line('  Reading genotypes for individual:')
            k = max(1, 1000000 // L)
            rawg = [None] * (N + 1)
            for i in range(1, N + 1):
                if i % k == 0:
                    self.w('\r  ' + str(i))
                vals = rd.read(1 + 2 * L)
                bad = vals is None
                al = []
                if not bad:
                    for s in vals[1:]:
                        v = intvalue(s, -32768, 32767)
                        if v is None:
                            bad = True
                            break
                        al.append(v)
                if bad:
                    self.stop('Error reading genotype data for individual ' + str(i) + '!',
                              'ReadGType')
                self.individ[i] = vals[0][:20]
                rawg[i] = al
                rec = rd.lines[rd.pos - 1]
                longrows += rd.first == rd.pos - 1 and morevalues(rec, 1 + 2 * L)
                badlines += nottext(rec)
            self.rawg = rawg
        else:
            ids = rd.read(N)
            if ids is None:
                self.stop('Error reading individual ID in genotype data file!', 'ReadGType')
            for i in range(1, N + 1):
                self.individ[i] = ids[i - 1][:20]
            badlines += sum(nottext(s) for s in rd.lines[rd.first:rd.pos])
            moreids = morevalues(rd.lines[rd.pos - 1], rd.taken)
            # genotype codes per individual and locus: 0 missing, 1 = 1/1,
            # 2 = 2/2, 3 = 1/2; character = copies of allele 1
            cmap = {'0': 2, '1': 3, '2': 1}
            codes = [None] + [[0] * (L + 1) for _ in range(N)]
            if self.dataform == 1:
                self.line('  Reading genotypes for locus:')
                b = 0
                first = 1
                while first <= L:
                    b += 1
                    last = min(first + 15, L)
                    rows = []
                    for l in range(first, last + 1):
                        s = rd.readline()
                        if s is None:
                            self.stop('Error in reading data for Locus = ' + str(first) + ' to '
                                      + str(last) + '!', 'ReadGType')
                        rows.append(s[:N].ljust(N))
                        lg, bd = lookrow(s, N)
                        longrows += lg
                        badlines += bd
                    for l in range(first, last + 1):
                        row = rows[l - first]
                        for i in range(1, N + 1):
                            codes[i][l] = cmap.get(row[i - 1], 0)
                    if b % 1000 == 0:
                        self.w('\r  ' + str(first))
                    first = last + 1
            else:
                self.line('  Reading genotypes for individual:')
                k = max(1, 1000000 // L)
                for i in range(1, N + 1):
                    s = rd.readline()
                    if s is None:
                        self.stop('Error reading genotype data for row ' + str(i) + '!',
                                  'ReadGType')
                    lg, bd = lookrow(s, L)
                    longrows += lg
                    badlines += bd
                    row_ = s[:L].ljust(L)
                    ci = codes[i]
                    for l in range(1, L + 1):
                        ci[l] = cmap.get(row_[l - 1], 0)
                    if i % k == 0:
                        self.w('\r  ' + str(i))
            self.snpcodes = codes
        self.line('\r  Finished reading genotype data of ' + str(N) + ' individuals at '
                  + str(L) + ' loci.' + ' ' * 16)
        rest = rd.lines[rd.pos:]
        morelines = sum(s.strip(' \t\r') != '' for s in rest)
        badlines += sum(nottext(s) for s in rest)
        self.gtypewarning = surplusline((longrows, morelines, badlines, moreids), self.dataform, N, L)
        if self.gtypewarning:
            self.line(self.gtypewarning)
        self.preparation()

    def preparation(self):
        N = self.numindiv
        L = self.numloci
        ran = self.ran
        self.maxrawallele = 0
        self.maxnumallele = 0
        self.line()
        self.line('Reformatting genotype data, counting #alleles/locus.')
        r1 = [0.0] * (N + 1)
        r2 = [0.0] * (N + 1)
        r3 = [0.0] * (N + 1)
        for i in range(1, N + 1):
            r1[i] = ran()
            r2[i] = ran()
            r3[i] = ran()
        S = [0.0] * (L + 1)
        obs = [0] * (L + 1)
        mono = 0
        if self.dataform == 0:
            rawfile = None
            if self.outallelefre == 1:
                rawfile = open(self.outfile + '.RawAllele', 'wb')
            codes = [None] * (L + 1)   # codes[l][i] = (c1, c2)
            rawids = [None] * (L + 1)
            for l in range(1, L + 1):
                amap = {}
                rawlist = []
                k = 0
                s = 0.0
                col = [None] * (N + 1)
                for i in range(1, N + 1):
                    a1 = self.rawg[i][2 * l - 2]
                    a2 = self.rawg[i][2 * l - 1]
                    if a1 <= 0 or a2 <= 0:
                        c1 = c2 = 0
                    else:
                        if a1 > 999 or a2 > 999:
                            self.stop('Allele ID > 999 in genotype data!', 'ReadGType')
                        cc = []
                        for a in (a1, a2):
                            c = amap.get(a)
                            if c is None:
                                k += 1
                                if k > 127:
                                    self.stop('Locus ' + str(l) + ' has more than 127 alleles!',
                                              'ReadGType')
                                amap[a] = k
                                c = k
                                rawlist.append(a)
                            cc.append(c)
                        c1, c2 = cc
                        if c1 > c2:
                            c1, c2 = c2, c1
                    s = s + (c1 + 1) * r1[i] + (c2 + 1) * r2[i] + (c1 + c2 - 1) * r3[i]
                    col[i] = (c1, c2)
                codes[l] = col
                if k == 0:
                    k = 1
                    rawlist = [0]
                obs[l] = k
                if k < 2:
                    mono += 1
                    s = 1e300
                else:
                    s = k * s
                S[l] = s
                self.maxnumallele = max(self.maxnumallele, k)
                self.maxrawallele = max(self.maxrawallele, max(rawlist))
                rawids[l] = rawlist
                if rawfile is not None:
                    vals = [k] + rawlist
                    text = ''
                    for p in range(0, len(vals), 127):
                        text += ''.join('%4d' % v for v in vals[p:p + 127]) + '\n'
                    rawfile.write(text.encode('latin-1'))
            if rawfile is not None:
                rawfile.close()
            self.rawcodes = codes
        else:
            self.line('  Individuals=')
            codes = self.snpcodes
            pair1 = (0, 1, 2, 1)
            pair2 = (0, 1, 2, 2)
            for i in range(1, N + 1):
                if i % 100 == 0:
                    self.w('\r  ' + str(i))
                ca = r1[i] + r3[i]
                cb = r2[i] + r3[i]
                cc = r1[i] + r2[i] - r3[i]
                ci = codes[i]
                for l in range(1, L + 1):
                    g = ci[l]
                    S[l] = S[l] + pair1[g] * ca + pair2[g] * cb + cc
            self.line('\r  Done with individuals 1 - ' + str(N))
            for l in range(1, L + 1):
                seen = set(codes[i][l] for i in range(1, N + 1))
                poly = (3 in seen) or (1 in seen and 2 in seen)
                if poly:
                    obs[l] = 2
                else:
                    obs[l] = 1
                    S[l] = 1e300
                    mono += 1
            if mono < L:
                self.maxnumallele = 2
            self.maxrawallele = 2
        self.line('  Monomorphic loci: ' + str(mono))
        self.line('  Polymorphic loci: ' + str(L - mono))
        self.line()
        self.line('Finding identical polymorphic loci. ')
        order = indexx(L, S)
        group = [0] * (L + 1)
        p = -1e200
        g = 0
        for q in range(1, L + 1):
            l = order[q]
            if S[l] >= 1e299:
                continue
            if abs(S[l] - p) > 1e-200:
                g += 1
                p = S[l]
            group[l] = g
        renum = {}
        markeridx = [0] * (L + 1)
        reps = []
        for l in range(1, L + 1):
            if group[l] == 0:
                continue
            if group[l] not in renum:
                renum[group[l]] = len(renum) + 1
                reps.append(l)
            markeridx[l] = renum[group[l]]
        U = len(renum)
        markercnt = [0] * (U + 1)
        for l in range(1, L + 1):
            if markeridx[l]:
                markercnt[markeridx[l]] += 1
        poly = sum(markercnt)
        if L > 999:
            self.line('\r  Finished examining locus 1 - ' + str(L))
        self.line('  Number of loci = ' + str(L))
        self.line('  Number of monomorphic loci = ' + str(L - poly))
        self.line('  Number of polymorphic loci = ' + str(poly))
        self.line('  Number of unique polymorphic loci = ' + str(U))
        if U < 1:
            self.stop('No polymorphism in genotype data!', 'ReadGType')
        self.line()
        self.line('Removing monomorphic & ordering markers.')
        self.numloci2 = U
        self.markeridx = markeridx
        self.markercnt = markercnt
        nobs = [0] * (U + 1)
        for u, l in enumerate(reps, 1):
            nobs[u] = obs[l]
        self.obsnumallele = nobs
        self.numallallele = sum(nobs)
        locusloc = [0] * (U + 1)
        for u in range(1, U + 1):
            locusloc[u] = locusloc[u - 1] + nobs[u]
        self.locusloc = locusloc
        # genotypes at the unique loci: gt[i][u] = (a1, a2), smaller first
        gt = [None] + [[None] * (U + 1) for _ in range(N)]
        if self.dataform == 0:
            for u, l in enumerate(reps, 1):
                col = self.rawcodes[l]
                for i in range(1, N + 1):
                    gt[i][u] = col[i]
        else:
            pairs = ((0, 0), (1, 1), (2, 2), (1, 2))
            if U < L:
                self.line('\r  Locus = ')
                for l in range(1, L + 1):
                    if l % 1000 == 0:
                        self.w('\r  ' + str(l))
                self.line('\r  Done with locus 1 - ' + str(L))
            for u, l in enumerate(reps, 1):
                for i in range(1, N + 1):
                    gt[i][u] = pairs[self.snpcodes[i][l]]
        self.gt = gt

    # ------------------------------------------------------ IIS and EM
    @staticmethod
    def findconf(a, b, c, d):
        if a == b:
            if c == d:
                return 1 if a == c else 2
            return 3 if (a == c or a == d) else 4
        m = (a == c) + (a == d) + (b == c) + (b == d)
        if m == 2:
            return 5 if c == d else 7
        if m == 1:
            return 8
        return 6 if c == d else 9

    def dyadno(self, i, j):
        N = self.numindiv
        return (i - 1) * (2 * N - i) // 2 + (j - i)

    def em_delta(self):
        N = self.numindiv
        U = self.numloci2
        ll = self.locusloc
        mc = self.markercnt
        gt = self.gt
        A = self.numallallele
        numa = [0] * (A + 1)
        nummisg = [0] * (U + 1)
        indvar = [None] + [[0, 0, 0, 0] for _ in range(N)]
        for i in range(1, N + 1):
            for l in range(1, U + 1):
                a1, a2 = gt[i][l]
                if a1 == 0:
                    nummisg[l] += 1
                    indvar[i][1] += mc[l]
                else:
                    numa[ll[l - 1] + a1] += 1
                    numa[ll[l - 1] + a2] += 1
                    if a1 == a2:
                        indvar[i][2] += mc[l]
                    else:
                        indvar[i][3] += mc[l]
        self.numa = numa
        self.nummisg = nummisg
        self.indvar = indvar
        nsize = [0] * (U + 1)
        for l in range(1, U + 1):
            s = 0
            for a in range(ll[l - 1] + 1, ll[l] + 1):
                s += numa[a]
            nsize[l] = s
        # preparations for merging the term entries of a dyad
        cmax = max(numa[1:]) if A > 0 else 0
        groupsize = {}
        for l in range(1, U + 1):
            groupsize[nsize[l]] = groupsize.get(nsize[l], 0) + 1
        gmax = max(groupsize.values())
        merging = cmax < gmax and self.rnddelta0 != 1
        if merging:
            visit = sorted(range(1, U + 1), key=lambda l: nsize[l])
        else:
            visit = list(range(1, U + 1))
        ptab = min(cmax, 99)
        pairtable = self.maxnumallele > 2

        u = self.ran()
        d9 = 0.75 + 0.25 * u
        ndyad = N * (N - 1) // 2
        iis = [None] * (ndyad + 1)
        self.line()
        if self.rnddelta0 != 1:
            self.line('Performming EM for Delta')
        else:
            self.line('Finding IIS across loci ')
        tol = 1e-6 if self.updatep == 0 else 1e-4
        delta = self.delta
        K = max(1, 10000000 // U)
        cnt = -1
        twoallele = [False] + [self.obsnumallele[l] == 2 for l in range(1, U + 1)]
        for i in range(1, N + 1):
            gi = gt[i]
            for j in range(i + 1, N + 1):
                k = self.dyadno(i, j)
                cnt += 1
                gj = gt[j]
                counts = [0] * 10
                modes = [0] * (U + 1)
                for l in range(1, U + 1):
                    a, b = gi[l]
                    c, d = gj[l]
                    if a == 0 or c == 0:
                        continue
                    m = self.findconf(a, b, c, d)
                    modes[l] = m
                    counts[m] += mc[l]
                iis[k] = counts
                if sum(counts) == 0:
                    delta[i][j] = [0.0] * 8 + [1.0]
                    delta[j][i] = [0.0] * 8 + [1.0]
                    continue
                if self.rnddelta0 == 1:
                    continue
                # term entries: per mode a list of [terms(10), weight]
                entries = [[] for _ in range(10)]
                w9 = 0
                caches = None
                cachen = None
                for l in visit:
                    m = modes[l]
                    if m == 0:
                        continue
                    if m == 9:
                        w9 += mc[l]
                        continue
                    n = nsize[l]
                    base = ll[l - 1]
                    a, b = gi[l]
                    c, d = gj[l]
                    key = None
                    keys2 = None
                    if merging and groupsize[n] > cmax:
                        if cachen != n:
                            caches = [dict() for _ in range(10)]
                            cachen = n
                        xa = numa[base + a]
                        if m in (1, 3, 4):
                            key = xa
                        elif m in (5, 6):
                            key = numa[base + c]
                        elif m == 8:
                            s_ = a if (a == c or a == d) else b
                            key = numa[base + s_]
                        elif m == 2:
                            if twoallele[l]:
                                key = xa
                            else:
                                xb = numa[base + c]
                                if pairtable and xa < ptab and xb < ptab:
                                    key = ('p', xa, xb)
                                    cover('em_delta pair key, mode 2')
                        elif m == 7:
                            xb = numa[base + b]
                            if twoallele[l]:
                                key = xa
                                keys2 = (xa, xb)
                            else:
                                lo_, hi_ = min(xa, xb), max(xa, xb)
                                if pairtable and xa < ptab and xb < ptab:
                                    key = ('p', lo_, hi_)
                                    cover('em_delta pair key, mode 7')
                        if key is not None:
                            hit = caches[m].get(key)
                            if hit is not None:
                                hit[1] += mc[l]
                                cover('em_delta merged entry, mode %d' % m)
                                continue
                    ent = [self.terms(m, n, numa, base, a, b, c, d), mc[l]]
                    entries[m].append(ent)
                    if key is not None:
                        if keys2 is not None:
                            for kk in keys2:
                                caches[m][kk] = ent
                        else:
                            caches[m][key] = ent
                if self.inbreed == 1:
                    D = [0.0] + [(1.0 - d9) * 0.125] * 8 + [d9]
                else:
                    h = (1.0 - d9) * 0.5
                    D = [0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, h, h, d9]
                D = self.emdyad(D, entries, float(w9), tol)
                delta[i][j] = [f32(x) for x in D[1:]]
                if cnt % K == 0:
                    if cnt % (20 * K) == 0:
                        self.line()
                        if self.inbreed == 1:
                            hd = ['Delta%d' % s for s in range(1, 10)]
                        else:
                            hd = ['Delta7', 'Delta8', 'Delta9']
                        self.line('%8s%8s' % ('Indiv1', 'Indiv2') + ''.join('%8s' % s for s in hd))
                    vals = delta[i][j] if self.inbreed == 1 else delta[i][j][6:]
                    self.line('%8d%8d' % (i, j) + ''.join(fixfmt(v, 8, 4) for v in vals))
        self.iisdyad = iis
        self.allelecnt = [float(x) for x in numa]
        for i in range(1, N + 1):
            for j in range(i + 1, N + 1):
                delta[j][i] = mirror(delta[i][j])
        self.computef()
        if self.rnddelta0 == 0:
            self.line()
            self.line('EM for Delta ONLY finished!')

    @staticmethod
    def terms(m, n, numa, base, a, b, c, d):
        """Ratio terms of a locus in mode m; index 1..9, None = not a state."""
        T = [None] * 10
        n = float(n)
        if m == 1:
            xa = float(numa[base + a])
            T[2] = T[3] = T[5] = T[7] = 1.0
            T[1] = (n - C1) / (xa - C1)
            v = (xa - C2) / (n - C2)
            T[4] = T[6] = T[8] = v
            T[9] = (xa - C3) * v / (n - C3)
        elif m == 2:
            xa = float(numa[base + a])
            xb = float(numa[base + c])
            T[2] = 1.0
            T[4] = max((xb - C1) / (n - C2), 1e-8)
            u = max((xa - C1) / (n - C2), 1e-8)
            T[6] = u
            T[9] = max((xb - C1) * u / (n - C3), 1e-8)
        elif m == 3 or m == 5:
            xa = float(numa[base + (a if m == 3 else c)])
            q = max((xa - C1) / (n - C2), 1e-8)
            if m == 3:
                T[3] = 1.0
                T[4] = 2 * q
            else:
                T[5] = 1.0
                T[6] = 2 * q
            T[8] = q
            T[9] = max((xa - C2) * 2 * q / (n - C3), 1e-8)
        elif m == 4:
            xa = float(numa[base + a])
            T[4] = 1.0
            T[9] = max((xa - C1) / (n - C3), 1e-8)
        elif m == 6:
            xc = float(numa[base + c])
            T[6] = 1.0
            T[9] = max((xc - C1) / (n - C3), 1e-8)
        elif m == 7:
            xa = float(numa[base + a])
            xb = float(numa[base + b])
            T[7] = 1.0
            T[8] = max((xa + xb - C2) * 0.5 / (n - C2), 1e-8)
            T[9] = max(2 * (xa - C1) * (xb - C1) / ((n - C3) * (n - C2)), 1e-8)
        elif m == 8:
            s = a if (a == c or a == d) else b
            xs = float(numa[base + s])
            T[8] = 1.0
            T[9] = max(4 * (xs - C1) / (n - C3), 1e-8)
        return T

    BASES = {1: (2, 3, 5, 7), 2: (2,), 3: (3,), 4: (4,), 5: (5,), 6: (6,), 7: (7,), 8: (8,)}

    def emdyad(self, D, entries, w9, tol):
        plans = []
        for m in range(1, 9):
            if not entries[m]:
                continue
            bases = self.BASES[m]
            states = [s for s in range(1, 10) if entries[m][0][0][s] is not None]
            others = [s for s in states if s not in bases]
            plans.append((m, bases, states, others))
        t = 1
        while True:
            E = [0.0] * 10
            for m, bases, states, others in plans:
                v = [0.0] * 10
                rsum = 0.0
                for T, wt in entries[m]:
                    prod = [0.0] * 10
                    dd = 0.0
                    for s in states:
                        ts = T[s]
                        if s in bases:
                            p = D[s]
                        else:
                            p = D[s] * ts
                        prod[s] = p
                        dd += p
                    if dd <= 1e-300:
                        continue
                    r = float(wt) / dd
                    rsum += r
                    for s in others:
                        v[s] += prod[s] * r
                for s in bases:
                    v[s] = D[s] * rsum
                for s in range(1, 10):
                    E[s] += v[s]
            E[9] += w9
            S = 0.0
            for s in range(1, 10):
                S += E[s]
            S += 1e-300
            g = 1.0 / S
            new = [0.0] + [E[s] * g for s in range(1, 10)]
            dm = 0.0
            for s in range(1, 10):
                dm += abs(new[s] - D[s])
            dm = dm / 9
            D = new
            if tol > dm:
                break
            if t >= 100:
                break
            t += 1
        return D

    def computef(self):
        N = self.numindiv
        delta = self.delta
        inb = [0.0] * (N + 1)
        fsd = [0.0] * (N + 1)
        for i in range(1, N + 1):
            row = delta[i]
            si = 0.0
            sf = 0.0
            for j in range(1, N + 1):
                if j == i:
                    continue
                v = row[j]
                f = f32(f32(f32(v[0]) + v[1]) + v[2])
                f = f32(f + v[3])
                si += f
                sf += f32(f * f)
            inb[i] = si
            fsd[i] = sf
        n1 = float(N - 1)
        for i in range(1, N + 1):
            inb[i] = inb[i] / n1
            m2 = fsd[i] / n1
            fsd[i] = math.sqrt(abs(m2 - inb[i] * inb[i]))
            delta[i][i] = [f32(inb[i]), 0.0, 0.0, 0.0, 0.0, 0.0, f32(1.0 - inb[i]), 0.0, 0.0]
        self.inb = inb
        self.fsd = fsd

    # ------------------------------------------------------ joint estimation
    def em_delta_p(self, rep):
        N = self.numindiv
        U = self.numloci2
        self.iter2 = 400
        if rep == 1:
            self.em_delta()
            if self.updatep == 0:
                return
        delta = self.delta
        ran = self.ran
        if rep == 1 and self.rnddelta0 == 1:
            for j in range(1, N + 1):
                for i in range(j + 1, N + 1):
                    v = [f32(ran()) for _ in range(8)]
                    v.append(f32((ran() + 1) * 5))
                    delta[j][i] = normf32(v)
                    delta[i][j] = mirror(delta[j][i])
                v = [f32(ran()) for _ in range(6)]
                v8 = f32(ran())
                v9 = f32(ran())
                v7 = f32((ran() + 1) * 5)
                delta[j][j] = normf32(v + [v7, v8, v9])
        elif self.inbreed == 1:
            for j in range(1, N + 1):
                for i in range(j + 1, N + 1):
                    old = delta[j][i]
                    v = [F32_01] + [f32(old[k] + F32_0001) for k in range(8)]
                    delta[j][i] = normf32(v)
                    delta[i][j] = mirror(delta[j][i])
        dyads = []   # (serial, j, i)
        dyadflag = {}
        for j in range(1, N + 1):
            for i in range(j + 1, N + 1):
                k = self.dyadno(j, i)
                dyads.append((k, j, i))
                if sum(self.iisdyad[k][1:]) == 0:
                    dyadflag[k] = 0
                    delta[j][i] = [0.0] * 8 + [1.0]
                    delta[i][j] = [0.0] * 8 + [1.0]
                else:
                    dyadflag[k] = 1
        gt = self.gt
        ll = self.locusloc
        A = self.numallallele
        distinct = None
        if self.maxnumallele >= 4:
            distinct = [0] * (A + 1)
            found = False
            for l in range(1, U + 1):
                base = ll[l - 1]
                for m in range(1, N):
                    a, b = gt[m][l]
                    if a == b:
                        continue
                    for s in range(m + 1, N + 1):
                        c, d = gt[s][l]
                        if c == d:
                            continue
                        if len({a, b, c, d}) == 4:
                            for x in (a, b, c, d):
                                distinct[base + x] += 1
                            found = True
            if not found:
                distinct = None
            else:
                cover('four-distinct alleles found')
        self.line()
        self.line('Performming EM for Delta and P: Replicate=' + str(rep))
        printstep = 10 if 0.5 * U * N * (N - 1) < 1e6 else 1
        tstart = self.walltime()
        lastprinted = 0

        # per dyad: its counted loci, classified once
        mc = self.markercnt
        nobs = self.obsnumallele
        plan = {}
        for k, j, i in dyads:
            if not dyadflag[k]:
                continue
            g1 = gt[j]
            g2 = gt[i]
            items = []
            for l in range(1, U + 1):
                a, b = g1[l]
                c, d = g2[l]
                if a == 0 or c == 0:
                    continue
                base = ll[l - 1]
                items.append((l, float(mc[l]), nobs[l]) + classify(a, b, c, d, base))
            plan[k] = items

        allelewt = 1000.0 * N
        inbreed = self.inbreed
        dprior = (inbreed * 0.1 / 9, inbreed * math.log10(0.25 * self.numloci + 1) / 9)
        tolfloor = math.exp(-30.0 / N) * 1e-5
        oscill = 0
        hist = {}
        toliter = self.toliter
        locusdyads = [0] * (U + 1)
        allelesum = [0.0] * (A + 1)
        fac7 = 1.0 + 2.0 / float(N * N)
        twon = 2 * U
        t = 1
        while True:
            # screen
            if t == 1 or t % printstep == 0:
                if t == 1 or t % (10 * printstep) == 0:
                    self.line()
                    self.line('%5s%8s%14s%14s' % ('Repl', 'Iterate', 'Tolerance', 'Time_in_EM'))
                if t % printstep == 0:
                    el = self.walltime() - tstart
                    if el < 2:
                        printstep *= 2
                    self.line('%5d%8d%14s%14d' % (rep, t, scifmt(self.tol2), el))
                    lastprinted = t
            # inbreeding summaries
            if inbreed == 1:
                inbmin = 1.0
                first = True
                tot = 0.0
                for y in range(1, N + 1):
                    row = delta[y]
                    s = 0.0
                    s13 = 0.0
                    for x in range(1, N + 1):
                        if x == y:
                            continue
                        v = row[x]
                        s += v[0] + v[1] + v[2] + v[3]
                        s13 += v[0] + v[2]
                    mean = s / (N - 1)
                    if first or mean < inbmin_raw:
                        inbmin_raw = mean
                        first = False
                    tot += s13 / (N - 1)
                inbmin = min(1.0, inbmin_raw)
                inbshare = tot / N
            else:
                inbmin = 0.0
                inbshare = 0.0
            kinmin = 1.0
            kinmax = -1.0
            for k, j, i in dyads:
                th = theta(delta[j][i])
                if th < kinmin:
                    kinmin = th
                if th > kinmax:
                    kinmax = th
            v = kinmin
            if inbreed == 1:
                cand = [x for x in (kinmin, inbmin) if not math.isnan(x)]
                v = min(cand) if cand else float('nan')
            if v < 1e-4:
                allelewt = min(1.05263 * allelewt, 1e10)
            elif v > 0.01:
                allelewt = max(0.95 * allelewt, 1.0)
            ac = self.allelecnt
            ltot = [0.0] * (U + 1)
            for l in range(1, U + 1):
                s = 0.0
                for a in range(ll[l - 1] + 1, ll[l] + 1):
                    s += ac[a]
                ltot[l] = s
            for a in range(1, A + 1):
                allelesum[a] = allelewt / 1
            tol2 = 0.0
            if t == 1:
                locusdyads = [0] * (U + 1)
            pw = 1.0 - math.pow(0.95, t)
            spreadk = kinmax - kinmin
            prior = dprior[1] if (t >= 50 and spreadk >= 0.05) else dprior[0]
            for k, j, i in dyads:
                if not dyadflag[k]:
                    continue
                old = delta[j][i]
                D = [0.0] + [float(x) for x in old]
                acc = [0.0] * 10
                wsum = 0.0
                prevK = None
                h1 = h2 = h3 = 1.0
                th = theta(old)
                h1all = (inbreed == 1 and spreadk > 0.05 and th > 0.025)
                if h1all:
                    cover('h1 = 1 for the dyad')
                for item in plan[k]:
                    l, wt, KK = item[0], item[1], item[2]
                    if t == 1:
                        locusdyads[l] += 1
                    if prevK is None or KK != prevK:
                        h1 = 1.0
                        if inbmin < 0.001 and inbreed == 1:
                            cover('h1 from kinmin, g %d' % (2 if ll[l] == twon else 16))
                            gg = 2 if ll[l] == twon else 16
                            h1 = 1.0 - min(gg * kinmin, 1.0)
                        h1 = h1 * pw
                        if inbshare < 0.001 and KK > 2:
                            cover('h2 h3 from kinmin')
                            h2 = 1.0 - 8 * kinmin
                            h3 = 1.0 - min(8 * kinmin, 1.0)
                        else:
                            h2 = 1.0
                            h3 = 1.0
                        prevK = KK
                    hh1 = 1.0 if h1all else h1
                    res = locusweights(item, D, ac, ltot[l], inbreed, hh1, h2, h3, fac7)
                    if res is None:
                        cover('locus weights sum to 0')
                        continue
                    post, genes = res
                    for s in range(1, 10):
                        ps = post[s]
                        if ps != 0.0:
                            acc[s] += wt * ps
                    wsum += wt
                    for a, gval in genes:
                        allelesum[a] += gval
                aa = [prior + acc[s] for s in range(10)]
                den = 9 * prior + wsum + 1e-300
                new = [0.0] + [aa[s] / den for s in range(1, 10)]
                # history and acceleration
                if t == 1:
                    hist[k] = [[f32(x) for x in new[1:]], None]
                elif t == 2:
                    hist[k][1] = [f32(x) for x in new[1:]]
                elif oscill < 100:
                    cover('acceleration')
                    ho, hn = hist[k]
                    ext = new[:]
                    for s in range(1, 10):
                        Hn = hn[s - 1]
                        Ho = ho[s - 1]
                        if (new[s] > Hn) == (Hn > Ho):
                            e = (3 * new[s] - Hn) - Ho
                            if e >= 0:
                                ext[s] = e
                    if t < 10 or toliter[t - 2] > toliter[t - 1]:
                        sm = 0.0
                        for s in range(1, 10):
                            sm += ext[s]
                        sm += 1e-300
                        new = [0.0] + [ext[s] / sm for s in range(1, 10)]
                    hist[k] = [hn, [f32(x) for x in new[1:]]]
                ch = 0.0
                for s in range(1, 10):
                    ch += abs(new[s] - D[s])
                tol2 += 2 * ch
                delta[j][i] = [f32(x) for x in new[1:]]
                delta[i][j] = mirror(delta[j][i])
            if distinct is not None:
                for a in range(1, A + 1):
                    allelesum[a] += distinct[a]
            self.computef()
            prevld = None
            sc = 0.0
            for l in range(1, U + 1):
                ld = locusdyads[l]
                if ld == 0:
                    cover('locus without dyads')
                    continue
                if ld != prevld:
                    sc = 1.0 / math.sqrt(2 * ld)
                    prevld = ld
                lo, hi = ll[l - 1] + 1, ll[l]
                mn = None
                for a in range(lo, hi + 1):
                    ac[a] = allelesum[a] * sc
                    if mn is None or ac[a] < mn:
                        mn = ac[a]
                if mn <= 3:
                    cover('allele counts lifted to 3')
                    add = 3 - mn
                    for a in range(lo, hi + 1):
                        ac[a] += add
            tol2 = tol2 / (9 * N * N)
            self.tol2 = tol2
            toliter[t] = tol2
            if t >= 4:
                if (tol2 > toliter[t - 1]) != (toliter[t - 1] > toliter[t - 2]):
                    oscill += 1
            spread = 0.0
            selfmax = 0.0
            if t >= 51:
                big = -2.0
                small = 2.0
                for k, j, i in dyads:
                    th = theta(delta[j][i])
                    if th > big:
                        big = th
                    if th < small:
                        small = th
                spread = big - small
                if inbreed == 1:
                    for x in range(1, N + 1):
                        th = theta(delta[x][x])
                        if th > selfmax:
                            selfmax = th
            stop = False
            if tol2 < tolfloor and t > 10:
                stop = True
            elif t == 400:
                stop = True
            elif selfmax < F32_051 and spread > F32_005 and (
                    (tol2 < 5e-5 and t > 50) or (tol2 < 1e-4 and t > 100)
                    or (t > 200 and tol2 < 5e-4)):
                stop = True
            if stop:
                cover('stop at t %s' % ('< 51' if t < 51 else '400' if t == 400 else '51..399'))
                if oscill >= 100:
                    cover('oscill reached 100')
                if prior != dprior[0]:
                    cover('second prior')
                break
            t += 1
        if lastprinted != t:
            el = self.walltime() - tstart
            self.line('%5d%8d%14s%14d' % (rep, t, scifmt(self.tol2), el))
        self.iter2 = t
        ac = self.allelecnt
        for l in range(1, U + 1):
            if locusdyads[l] == 0:
                continue
            for a in range(ll[l - 1] + 1, ll[l] + 1):
                ac[a] = allelesum[a] - allelewt
        # background relatedness
        nd = len(dyads)
        th = [0.0] * (nd + 1)
        for k, j, i in dyads:
            th[k] = theta(delta[j][i])
        order = indexx(nd, th)
        if th[order[nd]] - th[order[1]] >= 0.05:
            cover('background relatedness')
            q = max(1, lroundf(f32(F32_01 * f32(float(nd)))))
            T = th[order[q]]
            M = [0.0] * 10
            cnt = 0
            for k, j, i in dyads:
                if th[k] <= T:
                    v = delta[j][i]
                    for s in range(1, 10):
                        M[s] += v[s - 1]
                    cnt += 1
            M = [x / cnt for x in M]
            for k, j, i in dyads:
                v = [0.0] + [float(x) for x in delta[j][i]]
                for s in (1, 3, 5, 7, 8):
                    v[s] = max(v[s] - M[s], 0.0)
                sm = 0.0
                for s in range(1, 9):
                    sm += v[s]
                v[9] = 1.0 - sm
                delta[j][i] = [f32(x) for x in v[1:]]
                delta[i][j] = mirror(delta[j][i])
            self.computef()
        if inbreed == 1:
            inb = self.inb
            order = indexx(N, inb)
            if inb[order[N]] - inb[order[1]] >= 0.05:
                cover('background inbreeding')
                q = max(1, lroundf(f32(F32_01 * f32(float(N)))))
                T = inb[order[q]]
                M = [0.0] * 5
                cnt = 0
                for y in range(1, N + 1):
                    if inb[y] <= T:
                        for x in range(1, N + 1):
                            if x == y:
                                continue
                            v = delta[y][x]
                            for s in range(1, 5):
                                M[s] += v[s - 1]
                            cnt += 1
                M = [x / cnt for x in M]
                for k, j, i in dyads:
                    v = [0.0] + [float(x) for x in delta[j][i]]
                    for s in range(1, 5):
                        v[s] = max(v[s] - M[s], 0.0)
                    sm = 0.0
                    for s in range(1, 9):
                        sm += v[s]
                    v[9] = 1.0 - sm
                    delta[j][i] = [f32(x) for x in v[1:]]
                    delta[i][j] = mirror(delta[j][i])
                self.computef()
        self.line()
        self.line('  EM for Delta and P completed for replicate ' + str(rep))

    def walltime(self):
        if self.fixedclock:
            return 0
        return int(time.time())

    # ------------------------------------------------------ results
    def output(self):
        N = self.numindiv
        self.line()
        self.line('Writing results...')
        o = []
        sep = self.prntline
        o.append('\n' + sep[:30] + '\nRunning parameters and options\n' + sep[:30] + '\n')
        o.append('\nCommand line arguments:\n  ' + self.commandline + '\n')
        poly = sum(self.markercnt)
        o.append('\nRun parameters and basic data statistics:\n')
        for lab, val in [('  Number of individuals = ', N),
                         ('  Number of loci = ', self.numloci),
                         ('  Number of monomorphic loci = ', self.numloci - poly),
                         ('  Number of polymorphic loci = ', poly),
                         ('  Number of unique polymorphic loci = ', self.numloci2),
                         ('  Max number of allele/locus = ', self.maxnumallele),
                         ('  Random number seed = ', self.iseed),
                         ('  Number of MPI parallel threads = ', 1),
                         ('  Parameter file = ', self.parfile),
                         ('  Genotype file = ', self.gtypefile),
                         ('  Output file = ', self.outfile),
                         ('  Random start Delta = ', self.rnddelta0),
                         ('  Update allele frequency = ', self.updatep)]:
            o.append(lab + str(val) + '\n')
        if self.gtypewarning:
            o.append('  ' + self.gtypewarning + '\n')
        o.append('\n\n' + sep[:36] + '\nRunning time, Tolerance and Iterates\n' + sep[:36] + '\n')
        now = datetime.datetime.now()
        self.date1[1] = now.strftime('%Y%m%d')
        self.time1[1] = now.strftime('%H%M%S') + '.%03d' % (now.microsecond // 1000)
        for e, word in ((0, 'started '), (1, 'finished')):
            d = self.date1[e]
            tm = self.time1[e]
            o.append('Run ' + word + ' date = ' + d[6:8] + '/' + d[4:6] + '/' + d[0:4]
                     + ', Time = ' + tm[4:6] + '/' + tm[2:4] + '/' + tm[0:2] + '\n')
        o.append('\nTol = ' + scifmt(self.tol2) + '\n')
        o.append('Iter = ' + str(self.iter2 if self.updatep > 0 else 0) + '\n')
        if self.updatep > 0:
            o.append('\nTol(1-' + str(self.iter2) + '):\n')
            vals = [scifmt(self.toliter[t]).rjust(13) for t in range(1, self.iter2 + 1)]
            rows = [''.join(vals[p:p + 10]) for p in range(0, len(vals), 10)]
            o.append('\n'.join(rows))
        # IBD table
        self.line('  Delta(X, Y), ' + str(N) + ' individuals' + ', ' + str(N * N)
                  + ' dyads (lines) ...')
        o.append('\n\n' + sep[:25] + '\nIBD coefficient estimates\n' + sep[:25] + '\n')
        o.append('Dyad Indiv1 Indiv2 #IIS1 #IIS2 #IIS3 #IIS4 #IIS5 #IIS6 #IIS7 #IIS8 #IIS9 '
                 'Delta1 Delta2 Delta3 Delta4 Delta5 Delta6 Delta7 Delta8 Delta9 r(1,2)\n')
        ids = [s.rstrip(' ') for s in self.individ]
        blk = LineBlock(32)
        delta = self.delta
        for j in range(1, N + 1):
            for k in range(1, N + 1):
                d = (j - 1) * N + k
                if k > j:
                    c = self.iisdyad[self.dyadno(j, k)][1:]
                elif k < j:
                    q = self.iisdyad[self.dyadno(k, j)]
                    c = [q[1], q[2], q[5], q[6], q[3], q[4], q[7], q[8], q[9]]
                else:
                    c = [self.indvar[j][2], 0, 0, 0, 0, 0, self.indvar[j][3], 0, 0]
                D = delta[j][k]
                if k != j:
                    s = f32(f32(f32(0.0 + D[2]) + D[4]) + D[6])
                    r = s * 0.5 + D[0]
                    r = r + D[7] * 0.25
                else:
                    r = (D[0] + 1) * 0.5
                text = (str(d) + ' ' + ids[j] + ' ' + ids[k] + ' ' + ' '.join(str(x) for x in c)
                        + ''.join(four(f32(F32_10000 * x)) for x in D) + four(10000.0 * r))
                blk.add(text)
        o.append(blk.flush())
        # inbreeding table
        self.line('  Inbreeding coefficients, ' + str(N) + ' individuals (lines) ...')
        o.append('\n\n' + sep[:48] + '\nIndiv genotypes at polymorphic loci & inbreeding\n'
                 + sep[:48] + '\n' + 'Indiv #Miss #Gens #HomG #HetG F_Mean F_SD\n')
        blk = LineBlock(32)
        for i in range(1, N + 1):
            iv = self.indvar[i]
            blk.add(ids[i] + ' ' + str(iv[1]) + ' ' + str(iv[2] + iv[3]) + ' ' + str(iv[2]) + ' '
                    + str(iv[3]) + four(10000.0 * self.inb[i]) + four(10000.0 * self.fsd[i]))
        o.append(blk.flush())
        if self.outallelefre == 1:
            o.append(self.freqtable())
        with open(self.outfile, 'ab') as fh:
            fh.write(''.join(o).encode('latin-1'))
        if self.outallelefre == 1 and self.dataform == 0:
            try:
                os.remove(self.outfile + '.RawAllele')
            except OSError:
                pass
        self.line('  Writing to file, ' + self.outfile + ', completed.')

    def freqtable(self):
        U = self.numloci2
        ll = self.locusloc
        A = self.numallallele
        upd = [0.0] * (A + 1)
        ini = [0.0] * (A + 1)
        for m in range(1, U + 1):
            lo, hi = ll[m - 1] + 1, ll[m]
            if hi < lo:
                continue
            T = 0.0
            Ui = 0
            for a in range(lo, hi + 1):
                T += self.allelecnt[a]
                Ui += self.numa[a]
            rt = 1.0 / T
            ru = 1.0 / float(Ui)
            for a in range(lo, hi + 1):
                upd[a] = self.allelecnt[a] * rt
                ini[a] = self.numa[a] * ru
        self.line('  Allele frequencies, Locus 1~' + str(self.numloci))
        sep = self.prntline
        o = ['\n\n' + sep[:51] + '\nAllele frequency estimates\n'
             '(Columns 1-3 = allele ID, initial & updated frequency)\n' + sep[:51] + '\n']
        rd = None
        if self.dataform == 0:
            rd = FreeReader(readlines(self.outfile + '.RawAllele'))
        blk = LineBlock(8)
        for l in range(1, self.numloci + 1):
            if rd is not None:
                v = rd.read(1)
                cnt = int(v[0])
                rd.pos -= 1
                v = rd.read(1 + cnt)
                raw = [int(x) for x in v[1:]]
            else:
                raw = [1, 2]
            m = self.markeridx[l]
            if m > 0:
                na = ll[m] - ll[m - 1]
                miss = self.nummisg[m]
            else:
                na = 1
                miss = 0
            text = ('Locus ' + str(l) + ': ' + str(na) + ' alleles, ' + str(miss)
                    + ' missing genotypes\r\n')
            if m > 0:
                for a in range(1, na + 1):
                    g = ll[m - 1] + a
                    text += str(raw[a - 1]) + three(1000.0 * ini[g]) + three(1000.0 * upd[g]) + '\r\n'
            else:
                text += str(raw[0]) + ' 1.000 1.000\r\n'
            blk.add(text)
        o.append(blk.flush())
        return ''.join(o)

    # ------------------------------------------------------ the run
    def run(self):
        self.w(self.banner_text())
        self.getcommands()
        self.readparfile()
        self.readgtype()
        N = self.numindiv
        self.delta = [None] + [[None] + [[0.0] * 9 for _ in range(N)] for _ in range(N)]
        self.inb = [0.0] * (N + 1)
        self.fsd = [0.0] * (N + 1)
        self.toliter = [0.0] * 401
        self.tol2 = 0.0
        self.iter2 = 0
        numrep = 5 if self.updatep == 1 else 1
        sumdelta = None
        if self.updatep == 1:
            sumdelta = [None] + [[None] + [[0.0] * 9 for _ in range(N)] for _ in range(N)]
        ran_all = False
        for rep in range(1, numrep + 1):
            self.em_delta_p(rep)
            if numrep == 1:
                break
            if rep == 1 and self.iter2 < 400:
                break
            for y in range(1, N + 1):
                for x in range(1, N + 1):
                    sd = sumdelta[y][x]
                    dv = self.delta[y][x]
                    sumdelta[y][x] = [f32(sd[s] + dv[s]) for s in range(9)]
            if rep == numrep:
                ran_all = True
                cover('five replicates averaged')
        if ran_all:
            five = f32(5.0)
            for y in range(1, N + 1):
                for x in range(1, N + 1):
                    self.delta[y][x] = [f32(v / five) for v in sumdelta[y][x]]
        with open(self.outfile, 'wb') as fh:
            fh.write(self.banner_text().encode('latin-1'))
        self.output()
        self.line()
        self.line('Finished!')


def mirror(v):
    return [v[0], v[1], v[4], v[5], v[2], v[3], v[6], v[7], v[8]]


def normf32(v):
    s = 0.0
    for x in v:
        s = f32(s + x)
    return [f32(x / s) for x in v]


def theta(v):
    """Kinship of a stored vector (9 singles, index 0..8)."""
    return v[0] + (v[2] + v[4] + v[6]) / 2 + v[7] / 4


def four(x):
    k = roundhalfaway(x)
    if 0 <= k <= 10000:
        return ' %d.%04d' % (k // 10000, k % 10000)
    raise Unsupported('value outside the four-decimal texts: %r' % x)


def three(x):
    k = roundhalfaway(x)
    if 0 <= k <= 1000:
        return ' %d.%03d' % (k // 1000, k % 1000)
    raise Unsupported('value outside the three-decimal texts: %r' % x)


class LineBlock:
    def __init__(self, slots):
        self.slots = slots
        self.lines = []
        self.out = []

    def add(self, text):
        if len(self.lines) == self.slots:
            self.out.append('\r\n'.join(self.lines) + '\n')
            self.lines = []
        self.lines.append(text.rstrip(' '))

    def flush(self):
        for s in self.lines:
            self.out.append(s + '\n')
        self.lines = []
        return ''.join(self.out)


# kinds of a counted locus in the joint EM (individual 1 genotype / 2)
AAAA, AABB, AAAB, AABC, ABBB, ABCC, ABAB, ABAC, ABCD = range(1, 10)


def classify(a, b, c, d, base):
    """Pattern of a counted locus and the global numbers of the alleles the
    weights need, in the roles of the weight table."""
    if a == b:
        if c == d:
            if a == c:
                return (AAAA, base + a)
            return (AABB, base + a, base + c)
        if a == c or a == d:
            other = d if a == c else c
            return (AAAB, base + a, base + other)
        return (AABC, base + a, base + c, base + d)
    if c == d:
        if c == a or c == b:
            u = b if c == a else a
            return (ABBB, base + c, base + u)
        return (ABCC, base + c, base + a, base + b)
    if a == c and b == d:
        return (ABAB, base + a, base + b)
    if a == c or a == d:
        s, u = a, b
    elif b == c or b == d:
        s, u = b, a
    else:
        return (ABCD,)
    v = d if c == s else c
    return (ABAC, base + s, base + u, base + v)


def fl(v):
    return v if v >= 1e-8 else 1e-8


def locusweights(item, D, ac, n, inbreed, h1, h2, h3, fac7):
    """Posteriors (index 1..9) and expected independent genes of a locus;
    None when the weights sum to exactly 0."""
    kind = item[3]
    w = [0.0] * 10
    if kind == AAAA:
        A = item[4]
        cA = ac[A]
        r = cA / n
        q1 = r * (cA - C1) / (n - C1)
        q2 = q1 * (cA - C2) / (n - C2)
        q3 = q2 * (cA - C3) / (n - C3)
        if inbreed == 1:
            w[1] = D[1] * r
            w[2] = D[2] * q1
            w[3] = D[3] * q1
            w[4] = D[4] * q2
            w[5] = D[5] * q1
            w[6] = D[6] * q2
        w[7] = D[7] * q1
        w[8] = D[8] * q2
        w[9] = D[9] * q3 * h1
    elif kind == AABB:
        A, B = item[4], item[5]
        cA = ac[A]
        cB = ac[B]
        x1 = fl(cA * cB / (n * (n - C1)))
        x2 = fl(x1 * (cA - C1) / (n - C2))
        x4 = fl(x1 * (cB - C1) / (n - C2))
        x3 = fl(x2 * (cB - C1) / (n - C3))
        if inbreed == 1:
            w[2] = D[2] * x1
            w[4] = D[4] * x4
            w[6] = D[6] * x2
        w[9] = D[9] * x3
    elif kind == AAAB:
        A, B = item[4], item[5]
        cA = ac[A]
        cB = ac[B]
        x1 = fl(cB * cA / ((n - C1) * n))
        x2 = fl(x1 * (cA - C1) / (n - C2))
        x3 = fl(2 * x2 * (cA - C2) / (n - C3))
        if inbreed == 1:
            w[3] = D[3] * x1
            w[4] = D[4] * 2 * x2
        w[8] = D[8] * x2
        w[9] = D[9] * x3 * h1
    elif kind == AABC:
        A, B, Cc = item[4], item[5], item[6]
        cA = ac[A]
        x1 = fl(2 * cA * ac[B] * ac[Cc] / ((n - C1) * n * (n - C2)))
        x2 = fl(x1 * (cA - C1) / (n - C3))
        if inbreed == 1:
            w[4] = D[4] * x1
        w[9] = D[9] * x2
    elif kind == ABBB:
        S, Uu = item[4], item[5]
        cS = ac[S]
        x1 = fl(ac[Uu] * cS / ((n - C1) * n))
        x2 = fl(x1 * (cS - C1) / (n - C2))
        x3 = fl(2 * x2 * (cS - C2) / (n - C3))
        if inbreed == 1:
            w[5] = D[5] * x1
            w[6] = D[6] * 2 * x2
        w[8] = D[8] * x2
        w[9] = D[9] * x3 * h1
    elif kind == ABCC:
        Cc, A, B = item[4], item[5], item[6]
        cC = ac[Cc]
        x1 = fl(2 * cC * ac[A] * ac[B] / ((n - C1) * n * (n - C2)))
        x2 = fl(x1 * (cC - C1) / (n - C3))
        if inbreed == 1:
            w[6] = D[6] * x1
        w[9] = D[9] * x2
    elif kind == ABAB:
        A, B = item[4], item[5]
        cA = ac[A]
        cB = ac[B]
        x = fl(cA * cB / ((n - C1) * n))
        y8 = fl(x * (cA + cB - C2) / (n - C2))
        y9 = fl(4 * x * (cA - C1) * (cB - C1) / ((n - C3) * (n - C2)))
        w[7] = D[7] * 2 * x * fac7
        w[8] = D[8] * y8
        w[9] = D[9] * y9 * h2
    elif kind == ABAC:
        S, Uu, V = item[4], item[5], item[6]
        cS = ac[S]
        x = fl(ac[Uu] * cS * ac[V] / ((n - C1) * n * (n - C2)))
        y = fl(4 * x * (cS - C1) / (n - C3))
        w[8] = D[8] * x
        w[9] = D[9] * y * h3
    else:
        p = [0.0] * 10
        p[9] = 1.0
        return p, ()
    s = 0.0
    for k in range(1, 10):
        s += w[k]
    if s == 0.0:
        return None
    p = [x / s for x in w]
    if kind == AAAA:
        genes = ((item[4], (((2 - p[1]) + p[4]) + p[6]) + p[8] + 2 * p[9]),)
    elif kind == AABB:
        genes = ((item[4], 1 + p[6] + p[9]), (item[5], 1 + p[4] + p[9]))
    elif kind == AAAB:
        genes = ((item[4], 2 - p[3] + p[9]), (item[5], 1.0))
    elif kind == AABC:
        genes = ((item[4], 1 + p[9]), (item[5], 1.0), (item[6], 1.0))
    elif kind == ABBB:
        genes = ((item[4], 2 - p[5] + p[9]), (item[5], 1.0))
    elif kind == ABCC:
        genes = ((item[4], 1 + p[9]), (item[5], 1.0), (item[6], 1.0))
    elif kind == ABAB:
        cA = ac[item[4]]
        cB = ac[item[5]]
        genes = ((item[4], 1 + p[9] + p[8] * cA / (cA + cB)),
                 (item[5], 1 + p[9] + p[8] * cB / (cA + cB)))
    else:
        genes = ((item[4], 1 + p[9]), (item[5], 1.0), (item[6], 1.0))
    return p, genes


def main(argv):
    argv0 = 'kinex'
    fixed = False
    args = list(argv)
    while args and args[0].startswith('--ref-'):
        a = args.pop(0)
        if a.startswith('--ref-argv0='):
            argv0 = a[len('--ref-argv0='):]
        elif a == '--ref-fixed-clock':
            fixed = True
        else:
            sys.stderr.write('kinexref: unknown option ' + a + '\n')
            return 2
    prog = Kinex(argv0, args, fixed)
    try:
        prog.run()
    except StopRun as e:
        sys.stdout.flush()
        return 0 if e.args == ('help',) else 1
    except Unsupported as e:
        sys.stdout.flush()
        sys.stderr.write('kinexref: input not handled: %s\n' % e)
        return 3
    sys.stdout.flush()
    return 0


def savecover():
    path = os.environ.get('KINEXREF_COVERAGE')
    if path:
        with open(path, 'a') as fh:
            fh.write(repr(COVER) + '\n')


if __name__ == '__main__':
    rc = main(sys.argv[1:])
    savecover()
    sys.exit(rc)
