// Maximum-likelihood Deltas of SNP data at counting speed (MLE:2).  A
// two-allele locus enters a dyad's likelihood only through the way the two
// genotypes meet (nine ways) and the terms of that way, which depend on the
// locus's allele counts.  So the loci are put once into classes of nearly
// equal allele frequency (uniform on the logit scale, so that rare alleles,
// whose terms change fastest, get narrow classes), each class's terms are
// the means of its loci's terms, and a dyad's likelihood has one row per
// class and way, weighted by the dyad's loci of that class meeting that
// way: popcounts over the two individuals' bit-planes of the class.  A
// locus that stands for several identical loci takes that many places in
// the planes, so the counts are the weighted IIS counts exactly.
#include <algorithm>
#include <bit>
#include <cmath>

#include "estimation/common/common.hpp"
#include "estimation/entries/entries.hpp"
#include "ancestry/ancestry.hpp"
#include "estimation/mle/errorprobs.hpp"
#include "estimation/mle/mle.hpp"
#include "genotypes/snpstore.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

#define KX_KERNEL "estimation/mle/classcount.hpp"
#include "estimation/simd/simdversions.hpp"

namespace {

const char* routine = "EM_Delta";

// The class of every unique locus (0-based) into cls[1..U]; returns the
// number of classes that hold loci.
int32_t classify(const std::vector<int32_t>& n, std::vector<int32_t>& cls)
{
    const int32_t u = vars.numloci2;
    std::vector<double> z;
    allocarray(z, std::size_t(u) + 1, 0.0, allocfailmessage("the classes of loci"), routine);
    double lo = 1e300, hi = -1e300;
    for (int32_t l = 1; l <= u; ++l) {
        const double size = double(std::max(n[std::size_t(l)], 1));
        double p = double(vars.numa[std::size_t(vars.locusloc[std::size_t(l - 1)] + 1)]) / size;
        const double edge = 0.5 / size;
        p = std::min(std::max(p, edge), 1.0 - edge);
        z[std::size_t(l)] = std::log(p / (1.0 - p));
        lo = std::min(lo, z[std::size_t(l)]);
        hi = std::max(hi, z[std::size_t(l)]);
    }
    const double width = hi > lo ? (hi - lo) / double(mleclasses) : 1.0;
    std::vector<int32_t> used(std::size_t(mleclasses), -1);
    allocarray(cls, std::size_t(u) + 1, 0, allocfailmessage("the classes of loci"), routine);
    for (int32_t l = 1; l <= u; ++l)
        cls[std::size_t(l)] = std::min(int32_t((z[std::size_t(l)] - lo) / width), mleclasses - 1);
    // number the classes that hold loci in order of frequency
    for (int32_t l = 1; l <= u; ++l) used[std::size_t(cls[std::size_t(l)])] = 0;
    int32_t k = 0;
    for (int32_t& x : used)
        if (x == 0) x = k++;
    for (int32_t l = 1; l <= u; ++l) cls[std::size_t(l)] = used[std::size_t(cls[std::size_t(l)])];
    return k;
}

// Copies of allele 1 and of allele 2 that the two genotypes of each way
// hold: a locus can meet a dyad in way v only when its allele counts reach
// them (a locus typed in one individual in none).
constexpr int32_t waycopies[9][2] = {{4, 0}, {0, 4}, {2, 2}, {2, 2}, {3, 1}, {1, 3}, {3, 1}, {1, 3}, {2, 2}};

// The counts of allele 1 and allele 2 of unique locus l.
void counts(int32_t l, int32_t* count)
{
    const int32_t base = vars.locusloc[std::size_t(l - 1)];
    count[0] = vars.numa[std::size_t(base + 1)];
    count[1] = vars.numa[std::size_t(base + 2)];
}

bool waypossible(const int32_t* count, int v) { return count[0] >= waycopies[v][0] && count[1] >= waycopies[v][1]; }

// The weight of the loci of every class at which a dyad can meet in each
// way, weight[9 k + v].
void wayweights(const mleclassing& c, const std::vector<int32_t>& cls, std::vector<double>& weight)
{
    allocarray(weight, std::size_t(c.nclass) * 9, 0.0, allocfailmessage("the classes of loci"), routine);
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        int32_t count[2];
        counts(l, count);
        for (int v = 0; v < 9; ++v)
            if (waypossible(count, v))
                weight[std::size_t(9 * cls[std::size_t(l)] + v)] += vars.markercnt[std::size_t(l)];
    }
}

// The mean terms of every class start at 0, `per` of them a class (per / 9
// a way), with the weights of the class's ways.
void startterms(mleclassing& c, int per, const std::vector<int32_t>& cls, std::vector<double>& weight)
{
    allocarray(c.terms, std::size_t(c.nclass) * std::size_t(per), 0.0, allocfailmessage("the classes of loci"),
               routine);
    wayweights(c, cls, weight);
}

// A class and way that no locus can give gets terms 1 (no dyad counts
// there).
void emptyways(mleclassing& c, int per, const std::vector<double>& weight)
{
    const int way = per / 9;
    for (int32_t k = 0; k < c.nclass; ++k)
        for (int v = 0; v < 9; ++v)
            if (weight[std::size_t(9 * k + v)] == 0.0)
                for (int q = 0; q < way; ++q) c.terms[std::size_t(per * k + way * v + q)] = 1.0;
}

// Mean terms of every class and way, over the loci of the class at which a
// dyad can meet in that way, each weighted by markercnt, from the loci's
// own terms (made eight at a time as for the EM).  A locus that no dyad can
// meet in a way (too few copies of an allele) has no term there that any
// dyad uses, and must not enter the mean: its terms need not even be
// defined.
void classterms(mleclassing& c, const std::vector<int32_t>& n, const std::vector<int32_t>& cls)
{
    const int32_t u = vars.numloci2;
    std::vector<double> weight;
    startterms(c, 27, cls, weight);
    const std::string message = allocfailmessage("the classes of loci");
    const int32_t chunk = 4096;
    termentries scratch;
    allocarray(scratch.en, std::size_t(chunk), 0, message, routine);
    allocarray(scratch.ex1, std::size_t(chunk), 0, message, routine);
    allocarray(scratch.ex2, std::size_t(chunk), 0, message, routine);
    for (int q = 0; q < emterms; ++q) allocarray(scratch.et[q], std::size_t(chunk), 0.0, message, routine);
    for (int v = 0; v < 9; ++v) {
        const int m = twovariant[v].mode, sel = twovariant[v].sel;
        for (int32_t lo = 1; lo <= u; lo += chunk) {
            const int32_t hi = std::min(u, lo + chunk - 1);
            for (int32_t l = lo; l <= hi; ++l) {
                int32_t count[2];
                counts(l, count);
                scratch.en[std::size_t(l - lo)] = n[std::size_t(l)];
                scratch.ex1[std::size_t(l - lo)] = count[sel];
                scratch.ex2[std::size_t(l - lo)] = count[1 - sel];
            }
            scratch.first[m] = 0;
            scratch.made[m] = hi - lo + 1;
            entryterms(scratch, m);
            for (int32_t l = lo; l <= hi; ++l) {
                int32_t count[2];
                counts(l, count);
                if (!waypossible(count, v)) continue;
                const int32_t k = cls[std::size_t(l)];
                const double share = double(vars.markercnt[std::size_t(l)]) / weight[std::size_t(9 * k + v)];
                for (int q = 0; q < termcount[m]; ++q)
                    c.terms[std::size_t(27 * k + 3 * v + q)] += share * scratch.et[q][std::size_t(l - lo)];
            }
        }
    }
    emptyways(c, 27, weight);
}

// With errors (ERR:): the mean terms of all states of every class and way
// (72 per class: way v's term of Delta s at 8 v + s - 1), from every
// locus's probabilities with errors at its sample counts, over the loci of
// the class at which a dyad can meet in that way, weighted by markercnt.
void errorclassterms(mleclassing& c, const std::vector<int32_t>& n, const std::vector<int32_t>& cls)
{
    std::vector<double> weight;
    startterms(c, 72, cls, weight);
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        int32_t count[2];
        counts(l, count);
        const double cnt[3] = {0.0, double(count[0]), double(count[1])};
        const int32_t k = cls[std::size_t(l)];
        for (int v = 0; v < 9; ++v) {
            if (!waypossible(count, v)) continue;
            double p[10];
            errorprobs(snppair[waycodes[v][0]], snppair[waycodes[v][1]], 2, vars.generr, cnt,
                       double(n[std::size_t(l)]), nullptr, nullptr, p);
            const double share = double(vars.markercnt[std::size_t(l)]) / weight[std::size_t(9 * k + v)];
            for (int s = 1; s <= 8; ++s) c.terms[std::size_t(72 * k + 8 * v + s - 1)] += share * (p[s] / p[9]);
        }
    }
    emptyways(c, 72, weight);
}

// The mean moment terms (g1 - 2p)(g2 - 2p) / (4 p (1 - p)) of every class
// and way (g the copies of allele 1, p its frequency), over the loci of the
// class at which a dyad can meet in that way, weighted by markercnt.
void classmoments(mleclassing& c, const std::vector<int32_t>& n, const std::vector<int32_t>& cls)
{
    constexpr double copies[9][2] = {{2, 2}, {0, 0}, {2, 0}, {0, 2}, {2, 1}, {0, 1}, {1, 2}, {1, 0}, {1, 1}};
    allocarray(c.moment, 9 * std::size_t(c.nclass), 0.0, allocfailmessage("the classes of loci"), routine);
    std::vector<double> weight;
    wayweights(c, cls, weight);
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        int32_t count[2];
        counts(l, count);
        const double p = double(count[0]) / double(n[std::size_t(l)]), w = vars.markercnt[std::size_t(l)];
        const std::size_t at = 9 * std::size_t(cls[std::size_t(l)]);
        for (int v = 0; v < 9; ++v)
            if (waypossible(count, v))
                c.moment[at + std::size_t(v)] += w / weight[at + std::size_t(v)] *
                                                 ((copies[v][0] - 2.0 * p) * (copies[v][1] - 2.0 * p) /
                                                  (4.0 * p * (1.0 - p)));
    }
}

// The bit-planes: per individual, the loci in class order, every class
// from a word start, a locus of weight w in w places.
void classplanes(mleclassing& c, const std::vector<int32_t>& cls)
{
    const int32_t u = vars.numloci2;
    const std::string message = allocfailmessage("the bit-planes of the classes");
    std::vector<int64_t> places;
    allocarray(places, std::size_t(c.nclass) + 1, int64_t(0), message, routine);
    for (int32_t l = 1; l <= u; ++l) places[std::size_t(cls[std::size_t(l)])] += vars.markercnt[std::size_t(l)];
    allocarray(c.first, std::size_t(c.nclass) + 1, 0, message, routine);
    for (int32_t k = 0; k < c.nclass; ++k)
        c.first[std::size_t(k + 1)] = c.first[std::size_t(k)] + int32_t((places[std::size_t(k)] + 63) / 64);
    c.words = c.first[std::size_t(c.nclass)];
    // the store place of the locus at every bit of the planes, and how many
    // bits of each word are in use (a class's last word may be short)
    std::vector<int64_t> next(std::size_t(c.nclass), 0);
    std::vector<uint32_t> at;
    std::vector<uint8_t> fill;
    allocarray(at, 64 * std::size_t(c.words), 0u, message, routine);
    allocarray(fill, std::size_t(c.words), uint8_t(0), message, routine);
    for (int32_t k = 0; k < c.nclass; ++k) next[std::size_t(k)] = int64_t(c.first[std::size_t(k)]) * 64;
    for (int32_t l = 1; l <= u; ++l) {
        int64_t& t = next[std::size_t(cls[std::size_t(l)])];
        for (int32_t n = 0; n < vars.markercnt[std::size_t(l)]; ++n, ++t) {
            at[std::size_t(t)] = snpplaceof(l);
            ++fill[std::size_t(t >> 6)];
        }
    }
    allocarray(c.planes, 2 * std::size_t(c.words) * std::size_t(vars.numindiv), uint64_t(0), message, routine);
    // each process sets its block of individuals, then all are shared;
    // each word of the planes is made in registers from its loci's codes
    int32_t mine1 = 0, mine2 = 0;
    lociblock(vars.numindiv, vars.numthreads, vars.threadid, mine1, mine2);
    for (int32_t i = mine1; i <= mine2; ++i) {
        uint64_t* p = c.planes.data() + 2 * std::size_t(c.words) * std::size_t(i - 1);
        const uint32_t* column = snpcolumn(i);
        for (int32_t q = 0; q < c.words; ++q) {
            const uint32_t* a = at.data() + 64 * std::size_t(q);
            uint64_t lo = 0, hi = 0;
            for (int b = 0, e = fill[std::size_t(q)]; b < e; ++b) {
                const uint64_t code = uint64_t(snpcodeatplace(column, a[b]));
                lo |= (code & 1) << b;
                hi |= (code >> 1) << b;
            }
            p[2 * std::size_t(q)] = lo;
            p[2 * std::size_t(q) + 1] = hi;
        }
    }
    parshareindiv(c.planes.data(), 2 * std::size_t(c.words) * sizeof(uint64_t));
}

// The logarithm of every class and way's sum of terms at each
// relationship's Deltas, and the rows made ready to point at them; and
// whether each row alone is flat (a dyad's L is flat when all its rows
// are).
void relationlogs(mleclassing& c)
{
    const std::string message = allocfailmessage("the classes of loci");
    allocarray(c.rellog, std::size_t(nrelations) * 9 * std::size_t(c.nclass), 0.0, message, routine);
    allocarray(c.rows.relrow, 9 * std::size_t(c.nclass), 0, message, routine);
    allocarray(c.rowflat, 9 * std::size_t(c.nclass), uint8_t(0), message, routine);
    termentries one;
    one.adjusted = one.allstates = c.rows.allstates;
    for (int32_t k = 0; k < c.nclass; ++k)
        for (int v = 0; v < 9; ++v) {
            const int m = twovariant[v].mode;
            onerow(one, m);
            for (int q = 0; q < (one.allstates ? 8 : termcount[m]); ++q)
                one.et[q][0] = one.allstates ? c.terms[std::size_t(72 * k + 8 * v + q)]
                                             : c.terms[std::size_t(27 * k + 3 * v + q)];
            rowrelations(one, c.rellog.data() + std::size_t(nrelations) * std::size_t(9 * k + v));
            c.rowflat[std::size_t(9 * k + v)] = flatdirection(one);
        }
    c.rows.reltable = c.rellog.data();
}

}  // namespace

void planclasses(mleclassing& c)
{
    std::vector<int32_t> n;
    locussizes(n);
    c.nclass = classify(n, c.classof);
    if (vars.generr > 0.0) errorclassterms(c, n, c.classof);
    else classterms(c, n, c.classof);
    classplanes(c, c.classof);
    const std::string message = allocfailmessage("the classes of loci");
    allocarray(c.counts, 9 * std::size_t(c.nclass), 0, message, routine);
    classmoments(c, n, c.classof);
    const std::size_t rows = 9 * std::size_t(c.nclass);
    allocarray(c.rows.ew, rows, 0.0, message, routine);
    const int nterms = vars.generr > 0.0 ? 8 : emterms;
    for (int q = 0; q < nterms; ++q) allocarray(c.rows.et[q], rows, 0.0, message, routine);
    c.rows.adjusted = c.rows.allstates = vars.generr > 0.0;
    relationlogs(c);
}

void kingplanes(mleclassing& c)
{
    c.nclass = 1;
    allocarray(c.classof, std::size_t(vars.numloci2) + 1, 0, allocfailmessage("the bit-planes of the classes"),
               routine);
    classplanes(c, c.classof);
}

void kingcounts(const uint64_t* a, const uint64_t* b, int32_t words, int64_t* k)
{
    SIMDCALL(countking, a, b, words, k);
}

double classking(const mleclassing& c, int32_t i, int32_t j)
{
    const std::size_t per = 2 * std::size_t(c.words);
    const uint64_t* a = c.planes.data() + per * std::size_t(i - 1);
    const uint64_t* b = c.planes.data() + per * std::size_t(j - 1);
    int64_t k[4];
    kingcounts(a, b, c.words, k);
    return kingkinship(k[0], k[1], k[2], k[3]);
}

void classkingrows(const mleclassing& c, int32_t i1, int32_t i2, int32_t j, double* out)
{
    const std::size_t per = 2 * std::size_t(c.words);
    const uint64_t* b = c.planes.data() + per * std::size_t(j - 1);
    int32_t i = i1;
    for (; i + 3 <= i2; i += 4) {
        const uint64_t* a[4];
        for (int q = 0; q < 4; ++q) a[q] = c.planes.data() + per * std::size_t(i + q - 1);
        int64_t k[16];
        SIMDCALL(countkingfour, a, b, c.words, k);
        for (int q = 0; q < 4; ++q) out[i + q - i1] = kingkinship(k[4 * q], k[4 * q + 1], k[4 * q + 2], k[4 * q + 3]);
    }
    for (; i <= i2; ++i) out[i - i1] = classking(c, i, j);
}

void classentries(mleclassing& c, int32_t i, int32_t j, int32_t* iis)
{
    classcounts(c, i, j);
    classrows(c, iis);
}

void classcounts(mleclassing& c, int32_t i, int32_t j)
{
    const std::size_t per = 2 * std::size_t(c.words);
    const uint64_t* a = c.planes.data() + per * std::size_t(i - 1);
    const uint64_t* b = c.planes.data() + per * std::size_t(j - 1);
    SIMDCALL(countways, a, b, c.first.data(), c.nclass, c.counts.data());
}

double classmodeking(const mleclassing& c)
{
    int32_t iis[9] = {};
    for (int32_t k = 0; k < c.nclass; ++k)
        for (int v = 0; v < 9; ++v) iis[twovariant[v].mode - 1] += c.counts[std::size_t(9 * k + v)];
    return kingofmodes(iis);
}

double classmoment(const mleclassing& c)
{
    double sum = 0.0, n = 0.0;
    for (std::size_t x = 0; x < 9 * std::size_t(c.nclass); ++x) {
        sum += double(c.counts[x]) * c.moment[x];
        n += double(c.counts[x]);
    }
    return n > 0.0 ? sum / n : 0.0;
}

double entrymoment(const termentries& te)
{
    // the keyed allele's frequency q = x1 / n gives each mode's term
    double sum = 0.0, n = 0.0;
    for (int m : {1, 2, 3, 5, 7})
        for (int32_t k = 0; k < te.made[m]; ++k) {
            const std::size_t e = std::size_t(te.first[m] + k);
            const double q = double(te.ex1[e]) / double(te.en[e]), pq = 4.0 * q * (1.0 - q);
            const double g1 = m == 1 || m == 2 || m == 3 ? 2.0 : 1.0;
            const double g2 = m == 1 || m == 5 ? 2.0 : m == 2 ? 0.0 : 1.0;
            sum += te.ew[e] * ((g1 - 2.0 * q) * (g2 - 2.0 * q) / pq);
            n += te.ew[e];
        }
    return n > 0.0 ? sum / n : 0.0;
}

namespace {

// What the rows of the classes are made from and into, held in locals so
// that the stores cannot make the compiler read the vectors' pointers
// again at every row.
struct rowarrays {
    const int32_t* counts;
    const uint8_t* rowflat;
    const double* terms;
    double* ew;
    int32_t* relrow;
    double* et[3];
};

// The rows of one mode (ways w0..w1 - 1 of every class met), NT terms each,
// from place at on; their summed count.
template <int NT>
int32_t moderows(const rowarrays r, int32_t nclass, int w0, int w1, int32_t& at, bool& flat)
{
    int32_t sum = 0, a = at;  // a local place: the stores of relrow cannot alias it
    bool f = flat;
    for (int32_t k = 0; k < nclass; ++k)
        for (int v = w0; v < w1; ++v) {
            const int32_t x = 9 * k + v;
            const int32_t count = r.counts[x];
            if (count == 0) continue;
            sum += count;
            r.ew[a] = double(count);
            r.relrow[a] = x;
            f = f && r.rowflat[x];
            const double* t = r.terms + 27 * std::size_t(k) + 3 * std::size_t(v);
            for (int q = 0; q < NT; ++q) r.et[q][a] = t[q];
            ++a;
        }
    at = a;
    flat = f;
    return sum;
}

}  // namespace

void classrows(mleclassing& c, int32_t* iis)
{
    termentries& te = c.rows;
    for (int m = 0; m < 9; ++m) iis[m] = 0;
    int32_t at = 0;
    bool flat = true;
    if (te.allstates) {
        // with errors: a row per class and way met, all in mode 1's group
        for (int m = 1; m <= 8; ++m) te.first[m] = te.made[m] = 0;
        const int32_t* counts = c.counts.data();
        const uint8_t* rowflat = c.rowflat.data();
        double* ew = te.ew.data();
        int32_t* relrow = te.relrow.data();
        double* et[8];
        for (int q = 0; q < 8; ++q) et[q] = te.et[q].data();
        int32_t byway[9] = {};
        for (int32_t k = 0; k < c.nclass; ++k)
            for (int v = 0; v < 9; ++v) {
                const int32_t x = 9 * k + v;
                const int32_t count = counts[x];
                if (count == 0) continue;
                byway[v] += count;
                ew[at] = double(count);
                relrow[at] = x;
                flat = flat && rowflat[x];
                const double* t = c.terms.data() + 8 * std::size_t(x);
                for (int q = 0; q < 8; ++q) et[q][at] = t[q];
                ++at;
            }
        for (int v = 0; v < 9; ++v) iis[twovariant[v].mode - 1] += byway[v];
        te.made[1] = at;
        te.w9 = 0.0;
        te.flat = int8_t(flat);
        return;
    }
    // the ways of each mode: 1 = ways 0, 1; 2 = 2, 3; 3 = 4, 5; 5 = 6, 7; 7 = 8
    constexpr int firstway[10] = {0, 0, 2, 4, 6, 6, 8, 8, 9, 9};
    rowarrays r{c.counts.data(), c.rowflat.data(), c.terms.data(), te.ew.data(), te.relrow.data(),
                {te.et[0].data(), te.et[1].data(), te.et[2].data()}};
    for (int m = 1; m <= 8; ++m) {
        te.first[m] = at;
        const int32_t before = at;
        const int w0 = firstway[m], w1 = firstway[m + 1];
        int32_t sum = 0;
        if (termcount[m] == 3) sum = moderows<3>(r, c.nclass, w0, w1, at, flat);
        else if (termcount[m] == 2) sum = moderows<2>(r, c.nclass, w0, w1, at, flat);
        else sum = moderows<1>(r, c.nclass, w0, w1, at, flat);
        iis[m - 1] += sum;
        te.made[m] = at - before;
    }
    te.w9 = 0.0;
    te.flat = int8_t(flat);
}
