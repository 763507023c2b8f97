// The EM of one dyad over its term entries.  E-step: mode by mode, every
// entry spreads its weight over the mode's states in proportion to
// Delta_s x term_s; the mode-9 loci all go to Delta9.  M-step: the expected
// counts normalised.  At most 100 iterations; a state at 0 stays at 0.
#include <cmath>

#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "run/variables.hpp"

namespace {

const double tiny = 1e-300;

// A mode with one base state b and NT further states s[0..NT-1] (terms
// t[0..NT-1]), all above b.  Adds the mode's expected counts to e.
template <int NT>
void onebase(const termentry* en, int32_t count, int b, const int (&s)[NT], const double* d, double* e)
{
    double v[NT] = {}, sumr = 0.0;
    const double db = d[b];
    for (int32_t k = 0; k < count; ++k) {
        double p[NT];
        double dsum = db;
        for (int q = 0; q < NT; ++q) {
            p[q] = d[s[q]] * en[k].t[q];
            dsum += p[q];
        }
        if (dsum <= tiny) continue;
        double r = en[k].w / dsum;
        for (int q = 0; q < NT; ++q) v[q] += p[q] * r;
        sumr += r;
    }
    e[b] += db * sumr;
    for (int q = 0; q < NT; ++q) e[s[q]] += v[q];
}

// Mode 1 (AA, AA): base states 2, 3, 5, 7; Delta4, 6 and 8 share a term.
void modeone(const termentry* en, int32_t count, const double* d, double* e)
{
    double v1 = 0.0, v4 = 0.0, v6 = 0.0, v8 = 0.0, v9 = 0.0, sumr = 0.0;
    for (int32_t k = 0; k < count; ++k) {
        const double p1 = d[1] * en[k].t[0], p4 = d[4] * en[k].t[1], p6 = d[6] * en[k].t[1];
        const double p8 = d[8] * en[k].t[1], p9 = d[9] * en[k].t[2];
        double dsum = p1 + d[2] + d[3] + p4 + d[5] + p6 + d[7] + p8 + p9;
        if (dsum <= tiny) continue;
        double r = en[k].w / dsum;
        v1 += p1 * r;
        v4 += p4 * r;
        v6 += p6 * r;
        v8 += p8 * r;
        v9 += p9 * r;
        sumr += r;
    }
    e[1] += v1;
    e[2] += d[2] * sumr;
    e[3] += d[3] * sumr;
    e[4] += v4;
    e[5] += d[5] * sumr;
    e[6] += v6;
    e[7] += d[7] * sumr;
    e[8] += v8;
    e[9] += v9;
}

// Without inbreeding Delta1..Delta6 are 0 throughout, and so are all their
// products: leaving them out of the sums changes no bit (x + 0 = x).  A
// mode's weight then goes to an optional base state among 7 and 8
// (HasBase, value db), Delta8 (term index I8, when I8 >= 0) and Delta9
// (term index I9).
template <bool HasBase, int I8, int I9>
void outbred(const termentry* en, int32_t count, double db, const double* d, double& eb, double* e)
{
    double v8 = 0.0, v9 = 0.0, sumr = 0.0;
    const double d8 = d[8], d9 = d[9];
    for (int32_t k = 0; k < count; ++k) {
        double p8 = 0.0, dsum;
        const double p9 = d9 * en[k].t[I9];
        if constexpr (I8 >= 0) p8 = d8 * en[k].t[I8];
        if constexpr (HasBase && I8 >= 0) dsum = db + p8 + p9;
        else if constexpr (HasBase) dsum = db + p9;
        else if constexpr (I8 >= 0) dsum = p8 + p9;
        else dsum = p9;
        if (dsum <= tiny) continue;
        const double r = en[k].w / dsum;
        if constexpr (I8 >= 0) v8 += p8 * r;
        v9 += p9 * r;
        if constexpr (HasBase) sumr += r;
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

void emstart(double d9, double* d)
{
    if (vars.inbreed == 1) {
        for (int s = 1; s <= 8; ++s) d[s] = (1.0 - d9) * 0.125;
    } else {
        for (int s = 1; s <= 6; ++s) d[s] = 0.0;
        d[7] = d[8] = (1.0 - d9) * 0.5;
    }
    d[9] = d9;
}

void estep(const emwork& w, const double* d, double* e)
{
    for (int s = 1; s <= 9; ++s) e[s] = 0.0;
    const termentry* en = w.entries.data();
    if (vars.inbreed != 1) {
        outbred<true, 1, 2>(en + w.first[1], w.made[1], d[7], d, e[7], e);
        outbred<false, -1, 2>(en + w.first[2], w.made[2], 0.0, d, e[2], e);
        outbred<false, 1, 2>(en + w.first[3], w.made[3], 0.0, d, e[3], e);
        outbred<false, -1, 0>(en + w.first[4], w.made[4], 0.0, d, e[4], e);
        outbred<false, 1, 2>(en + w.first[5], w.made[5], 0.0, d, e[5], e);
        outbred<false, -1, 0>(en + w.first[6], w.made[6], 0.0, d, e[6], e);
        outbred<true, 0, 1>(en + w.first[7], w.made[7], d[7], d, e[7], e);
        outbred<true, -1, 0>(en + w.first[8], w.made[8], d[8], d, e[8], e);
        e[9] += w.w9;
        return;
    }
    modeone(en + w.first[1], w.made[1], d, e);
    onebase(en + w.first[2], w.made[2], 2, mode2, d, e);
    onebase(en + w.first[3], w.made[3], 3, mode3, d, e);
    onebase(en + w.first[4], w.made[4], 4, only9, d, e);
    onebase(en + w.first[5], w.made[5], 5, mode5, d, e);
    onebase(en + w.first[6], w.made[6], 6, only9, d, e);
    onebase(en + w.first[7], w.made[7], 7, mode7, d, e);
    onebase(en + w.first[8], w.made[8], 8, only9, d, e);
    e[9] += w.w9;
}

int emiterate(const emwork& w, double* d, double tol)
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
