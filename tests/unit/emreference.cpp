// Reference for the tests: the EM of one dyad over its term entries, one
// dyad at a time in plain scalar code, which the program's eight-lane EM
// (emlanes.cpp, lanekernel.hpp) must match to the bit.  E-step: mode by mode, every
// entry spreads its weight over the mode's states in proportion to
// Delta_s x term_s; the mode-9 loci all go to Delta9.  M-step: the expected
// counts normalised.  At most 100 iterations; a state at 0 stays at 0.
#include <algorithm>
#include <cmath>

#include "emreference.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/fixed/fixed.hpp"
#include "run/variables.hpp"

namespace {

const double tiny = 1e-300;

// Two quotients a/b and c/d in one instruction where the machine has one:
// the same bits as two divisions, in about the time of one.  The division
// is what bounds an E-step.
inline void divpair(double a, double b, double c, double d, double& q1, double& q2)
{
    typedef double pair __attribute__((vector_size(16)));
    const pair num = {a, c}, den = {b, d};
    const pair q = num / den;
    q1 = q[0];
    q2 = q[1];
}

// One mode's entries: weights w[k], terms t[q][k].
struct entryview {
    const double* w;
    const double* t[3];
};

entryview modeview(const termentries& ew, int m)
{
    const std::size_t f = std::size_t(ew.first[m]);
    return {ew.ew.data() + f, {ew.et[0].data() + f, ew.et[1].data() + f, ew.et[2].data() + f}};
}

// A mode with one base state b (value db) and NT further states s[] with
// terms t[0..NT-1], all above b: the products p[] and their sum.
template <int NT>
inline double products(const entryview& x, int32_t k, double db, const int (&s)[NT], const double* d, double* p)
{
    double dsum = db;
    for (int q = 0; q < NT; ++q) {
        p[q] = d[s[q]] * x.t[q][k];
        dsum += p[q];
    }
    return dsum;
}

template <int NT>
inline void gather(const double* p, double r, double* v, double& sumr)
{
    for (int q = 0; q < NT; ++q) v[q] += p[q] * r;
    sumr += r;
}

// Adds the expected counts of such a mode to e.
template <int NT>
void onebase(const entryview& en, int32_t count, int b, const int (&s)[NT], const double* d, double* e)
{
    double v[NT] = {}, sumr = 0.0;
    const double db = d[b];
    int32_t k = 0;
    for (; k + 1 < count; k += 2) {
        double pa[NT], pb[NT], ra, rb;
        const double da = products(en, k, db, s, d, pa), dsb = products(en, k + 1, db, s, d, pb);
        divpair(en.w[k], da, en.w[k + 1], dsb, ra, rb);
        if (da > tiny) gather<NT>(pa, ra, v, sumr);
        if (dsb > tiny) gather<NT>(pb, rb, v, sumr);
    }
    if (k < count) {
        double p[NT];
        const double dsum = products(en, k, db, s, d, p);
        if (dsum > tiny) gather<NT>(p, en.w[k] / dsum, v, sumr);
    }
    e[b] += db * sumr;
    for (int q = 0; q < NT; ++q) e[s[q]] += v[q];
}

// Mode 1 (AA, AA): base states 2, 3, 5, 7; Delta4, 6 and 8 share a term.
// p[] holds the products of Delta1, 4, 6, 8 and 9.
inline double modeoneproducts(const entryview& x, int32_t k, const double* d, double* p)
{
    p[0] = d[1] * x.t[0][k];
    p[1] = d[4] * x.t[1][k];
    p[2] = d[6] * x.t[1][k];
    p[3] = d[8] * x.t[1][k];
    p[4] = d[9] * x.t[2][k];
    return p[0] + d[2] + d[3] + p[1] + d[5] + p[2] + d[7] + p[3] + p[4];
}

void modeone(const entryview& en, int32_t count, const double* d, double* e)
{
    double v[5] = {}, sumr = 0.0;
    int32_t k = 0;
    for (; k + 1 < count; k += 2) {
        double pa[5], pb[5], ra, rb;
        const double da = modeoneproducts(en, k, d, pa), dsb = modeoneproducts(en, k + 1, d, pb);
        divpair(en.w[k], da, en.w[k + 1], dsb, ra, rb);
        if (da > tiny) gather<5>(pa, ra, v, sumr);
        if (dsb > tiny) gather<5>(pb, rb, v, sumr);
    }
    if (k < count) {
        double p[5];
        const double dsum = modeoneproducts(en, k, d, p);
        if (dsum > tiny) gather<5>(p, en.w[k] / dsum, v, sumr);
    }
    e[1] += v[0];
    e[2] += d[2] * sumr;
    e[3] += d[3] * sumr;
    e[4] += v[1];
    e[5] += d[5] * sumr;
    e[6] += v[2];
    e[7] += d[7] * sumr;
    e[8] += v[3];
    e[9] += v[4];
}

// Without inbreeding Delta1..Delta6 are 0 throughout, and so are all their
// products: leaving them out of the sums changes no bit (x + 0 = x).  A
// mode's weight then goes to an optional base state among 7 and 8
// (HasBase, value db), Delta8 (term index I8, when I8 >= 0) and Delta9
// (term index I9).  p8 and p9 are the products of Delta8 and Delta9.
template <bool HasBase, int I8, int I9>
inline double outbredproducts(const entryview& x, int32_t k, double db, double d8, double d9, double& p8,
                              double& p9)
{
    p9 = d9 * x.t[I9][k];
    p8 = 0.0;
    if constexpr (I8 >= 0) p8 = d8 * x.t[I8][k];
    if constexpr (HasBase && I8 >= 0) return db + p8 + p9;
    else if constexpr (HasBase) return db + p9;
    else if constexpr (I8 >= 0) return p8 + p9;
    else return p9;
}

template <bool HasBase, int I8>
inline void outbredgather(double p8, double p9, double r, double& v8, double& v9, double& sumr)
{
    if constexpr (I8 >= 0) v8 += p8 * r;
    v9 += p9 * r;
    if constexpr (HasBase) sumr += r;
}

template <bool HasBase, int I8, int I9>
void outbred(const entryview& en, int32_t count, double db, const double* d, double& eb, double* e)
{
    double v8 = 0.0, v9 = 0.0, sumr = 0.0;
    const double d8 = d[8], d9 = d[9];
    int32_t k = 0;
    for (; k + 1 < count; k += 2) {
        double p8a, p9a, p8b, p9b, ra, rb;
        const double da = outbredproducts<HasBase, I8, I9>(en, k, db, d8, d9, p8a, p9a);
        const double dsb = outbredproducts<HasBase, I8, I9>(en, k + 1, db, d8, d9, p8b, p9b);
        divpair(en.w[k], da, en.w[k + 1], dsb, ra, rb);
        if (da > tiny) outbredgather<HasBase, I8>(p8a, p9a, ra, v8, v9, sumr);
        if (dsb > tiny) outbredgather<HasBase, I8>(p8b, p9b, rb, v8, v9, sumr);
    }
    if (k < count) {
        double p8, p9;
        const double dsum = outbredproducts<HasBase, I8, I9>(en, k, db, d8, d9, p8, p9);
        if (dsum > tiny) outbredgather<HasBase, I8>(p8, p9, en.w[k] / dsum, v8, v9, sumr);
    }
    if constexpr (HasBase) eb += db * sumr;
    if constexpr (I8 >= 0) e[8] += v8;
    e[9] += v9;
}

const int mode2[3] = {4, 6, 9};
const int mode3[3] = {4, 8, 9};
const int mode5[3] = {6, 8, 9};
const int mode7[2] = {8, 9};
const int only9[1] = {9};

}  // namespace

void estep(const termentries& w, const double* d, double* e)
{
    for (int s = 1; s <= 9; ++s) e[s] = 0.0;
    auto en = [&w](int m) { return modeview(w, m); };
    if (vars.inbreed != 1) {
        outbred<true, 1, 2>(en(1), w.made[1], d[7], d, e[7], e);
        outbred<false, -1, 2>(en(2), w.made[2], 0.0, d, e[2], e);
        outbred<false, 1, 2>(en(3), w.made[3], 0.0, d, e[3], e);
        outbred<false, -1, 0>(en(4), w.made[4], 0.0, d, e[4], e);
        outbred<false, 1, 2>(en(5), w.made[5], 0.0, d, e[5], e);
        outbred<false, -1, 0>(en(6), w.made[6], 0.0, d, e[6], e);
        outbred<true, 0, 1>(en(7), w.made[7], d[7], d, e[7], e);
        outbred<true, -1, 0>(en(8), w.made[8], d[8], d, e[8], e);
        e[9] += w.w9;
        return;
    }
    modeone(en(1), w.made[1], d, e);
    onebase(en(2), w.made[2], 2, mode2, d, e);
    onebase(en(3), w.made[3], 3, mode3, d, e);
    onebase(en(4), w.made[4], 4, only9, d, e);
    onebase(en(5), w.made[5], 5, mode5, d, e);
    onebase(en(6), w.made[6], 6, only9, d, e);
    onebase(en(7), w.made[7], 7, mode7, d, e);
    onebase(en(8), w.made[8], 8, only9, d, e);
    e[9] += w.w9;
}

int emiterate(const termentries& w, double* d, double tol)
{
    double e[10];
    for (int t = 1;; ++t) {
        estep(w, d, e);
        double sum = 0.0;
        for (int s = 1; s <= 9; ++s) sum += e[s];
        const double g = 1.0 / (sum + tiny);
        double change = 0.0;
        for (int s = 1; s <= 9; ++s) {
            double next = e[s] * g;
            change += std::fabs(next - d[s]);
            d[s] = next;
        }
        change /= 9.0;
        if (emconverged(tol, change) || t >= 100) return t;
    }
}

// Probability terms of one locus, one at a time: the ratio of each state's
// probability to that of the mode's base state, with the frequency
// products estimated gene copy by gene copy from the counts.  The program
// makes them eight at a time (lanekernel.hpp, terms8).
namespace {

inline double floored(double v) { return std::max(v, termfloor); }

}  // namespace

void locusterms(int m, int32_t n, int32_t x1, int32_t x2, double* t)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double dn = double(n), a = double(x1), b = double(x2);
    switch (m) {
    case 1: {  // AA, AA: no floor
        double v = (a - c2) / (dn - c2);
        t[0] = (dn - c) / (a - c);
        t[1] = v;
        t[2] = (a - c3) * v / (dn - c3);
        break;
    }
    case 2: {  // AA, BB: a first individual's allele, b second's
        double u = floored((a - c) / (dn - c2));
        t[0] = floored((b - c) / (dn - c2));
        t[1] = u;
        t[2] = floored((b - c) * u / (dn - c3));
        break;
    }
    case 3:    // AA, AB: a the first individual's allele
    case 5: {  // AB, AA: a the second individual's allele
        double q = floored((a - c) / (dn - c2));
        t[0] = 2.0 * q;
        t[1] = q;
        t[2] = floored((a - c2) * t[0] / (dn - c3));
        break;
    }
    case 4:  // AA, BC
    case 6:  // AB, CC: a the second individual's allele
        t[0] = floored((a - c) / (dn - c3));
        break;
    case 7:  // AB, AB
        t[0] = floored((a + b - c2) * 0.5 / (dn - c2));
        t[1] = floored(2.0 * (a - c) * (b - c) / ((dn - c3) * (dn - c2)));
        break;
    case 8:  // AB, AC: a the shared allele
        t[0] = floored(4.0 * (a - c) / (dn - c3));
        break;
    default:
        break;
    }
}
