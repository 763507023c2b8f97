// The E-step of one dyad over a block of loci: for every locus genotyped in
// both individuals, the posterior of each Delta state given the pair of
// genotypes and the current allele counts, and the expected number of
// independent genes of each allele.
#include <algorithm>
#include <cmath>

#include "estimation/estimation.hpp"
#include "estimation/modes.hpp"
#include "estimation/joint.hpp"
#include "run/variables.hpp"

namespace {

inline double floored(double v) { return v < termfloor ? termfloor : v; }

// Factors on Delta9, recomputed when the number of alleles changes.
struct d9factors {
    int32_t k = 0;  // number of alleles they were made for; 0: none yet
    double h1 = 1.0, h2 = 1.0, h3 = 1.0;
};

void makefactors(d9factors& h, int32_t k, int32_t l, int32_t t, const jointwork& wk)
{
    h.k = k;
    delta9factors(k, l, t, wk, h.h1, h.h2, h.h3);
}

// Up to four alleles receive expected genes from one locus.
struct genes {
    int n = 0;
    int32_t allele[4];
    double amount[4];
    void add(int32_t a, double v)
    {
        allele[n] = a;
        amount[n] = v;
        ++n;
    }
};

}  // namespace

void delta9factors(int32_t k, int32_t l, int32_t t, const jointwork& wk, double& h1, double& h2, double& h3)
{
    h1 = 1.0;
    if (wk.inbmin < 0.001 && vars.inbreed == 1) {
        double g = vars.locusloc[std::size_t(l)] == 2 * vars.numloci2 ? 2.0 : 16.0;
        h1 = 1.0 - std::min(g * wk.kinmin, 1.0);
    }
    // 0.95^t changes only with the iteration: each thread keeps the last.
    static thread_local int32_t powt = -1;
    static thread_local double pow95 = 0.0;
    if (t != powt) {
        pow95 = std::pow(0.95, double(t));
        powt = t;
    }
    h1 = h1 * (1.0 - pow95);
    if (wk.inbshare < 0.001 && k > 2) {
        h2 = 1.0 - 8.0 * wk.kinmin;
        h3 = 1.0 - std::min(8.0 * wk.kinmin, 1.0);
    } else {
        h2 = 1.0;
        h3 = 1.0;
    }
}

void estepblock(const estepdyad& rec, int32_t first, int32_t last, double* a, double& w)
{
    jointwork& wk = *rec.work;
    const bool inb1 = vars.inbreed == 1;
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double nn = double(vars.numindiv);
    const double selfterm = 1.0 + 2.0 / (nn * nn);
    const double* d = rec.d;
    const double* cnt = vars.allelecnt.data();
    const int32_t* loc = vars.locusloc.data();
    double* asum = wk.allelesum.data();
    d9factors h;

    for (int32_t l = first; l <= last; ++l) {
        const int8_t* x = rec.g1 + 2 * std::size_t(l - 1);
        const int8_t* y = rec.g2 + 2 * std::size_t(l - 1);
        if (x[0] <= 0 || y[0] <= 0) continue;
        if (rec.t == 1) wk.locusdyads[std::size_t(l)] += 1;
        const int32_t nal = loc[l] - loc[l - 1];
        if (nal != h.k) makefactors(h, nal, l, rec.t, wk);
        const double h1 = rec.h1one ? 1.0 : h.h1;
        const int32_t base = loc[l - 1];
        const double n = wk.locustotal[std::size_t(l)];
        double wt[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
        genes gn;
        // the amounts below are filled after the posteriors are known
        int pattern = 0;
        int32_t aa = 0, bb = 0, cc = 0;  // alleles named by the pattern
        if (x[0] == x[1]) {
            const int32_t A = x[0];
            const double cA = cnt[base + A];
            if (y[0] == y[1]) {
                if (y[0] == A) {  // AA / AA
                    pattern = 1;
                    aa = A;
                    double q1 = ((cA / n) * (cA - c)) / (n - c);
                    double q2 = (q1 * (cA - c2)) / (n - c2);
                    double q3 = (q2 * (cA - c3)) / (n - c3);
                    if (inb1) {
                        wt[0] = d[0] * (cA / n);
                        wt[1] = d[1] * q1;
                        wt[2] = d[2] * q1;
                        wt[4] = d[4] * q1;
                        wt[3] = d[3] * q2;
                        wt[5] = d[5] * q2;
                    }
                    wt[6] = d[6] * q1;
                    wt[7] = d[7] * q2;
                    wt[8] = (d[8] * q3) * h1;
                } else {  // AA / BB
                    pattern = 2;
                    aa = A;
                    bb = y[0];
                    const double cB = cnt[base + bb];
                    double x1 = floored((cA * cB) / (n * (n - c)));
                    double x2 = floored((x1 * (cA - c)) / (n - c2));
                    double x4 = floored((x1 * (cB - c)) / (n - c2));
                    double x3 = floored((x2 * (cB - c)) / (n - c3));
                    if (inb1) {
                        wt[1] = d[1] * x1;
                        wt[3] = d[3] * x4;
                        wt[5] = d[5] * x2;
                    }
                    wt[8] = d[8] * x3;
                }
            } else if (y[0] == A || y[1] == A) {  // AA / AB
                pattern = 3;
                aa = A;
                bb = y[0] == A ? y[1] : y[0];
                const double cB = cnt[base + bb];
                double x1 = floored((cB * cA) / ((n - c) * n));
                double x2 = floored((x1 * (cA - c)) / (n - c2));
                double x3 = floored(((2.0 * x2) * (cA - c2)) / (n - c3));
                if (inb1) {
                    wt[2] = d[2] * x1;
                    wt[3] = (d[3] * 2.0) * x2;
                }
                wt[7] = d[7] * x2;
                wt[8] = (d[8] * x3) * h1;
            } else {  // AA / BC
                pattern = 4;
                aa = A;
                bb = y[0];
                cc = y[1];
                const double cB = cnt[base + bb], cC = cnt[base + cc];
                double x1 = floored((((2.0 * cA) * cB) * cC) / (((n - c) * n) * (n - c2)));
                double x2 = floored((x1 * (cA - c)) / (n - c3));
                if (inb1) wt[3] = d[3] * x1;
                wt[8] = d[8] * x2;
            }
        } else {
            const int32_t A = x[0], B = x[1];
            if (y[0] == y[1]) {
                const int32_t C = y[0];
                if (C == A || C == B) {  // AB / BB: S the shared allele, U the other
                    pattern = 5;
                    aa = C;                 // S
                    bb = C == A ? B : A;    // U
                    const double cS = cnt[base + aa], cU = cnt[base + bb];
                    double x1 = floored((cU * cS) / ((n - c) * n));
                    double x2 = floored((x1 * (cS - c)) / (n - c2));
                    double x3 = floored(((2.0 * x2) * (cS - c2)) / (n - c3));
                    if (inb1) {
                        wt[4] = d[4] * x1;
                        wt[5] = (d[5] * 2.0) * x2;
                    }
                    wt[7] = d[7] * x2;
                    wt[8] = (d[8] * x3) * h1;
                } else {  // AB / CC
                    pattern = 6;
                    aa = A;
                    bb = B;
                    cc = C;
                    const double cA = cnt[base + A], cB = cnt[base + B], cC = cnt[base + C];
                    double x1 = floored((((2.0 * cC) * cA) * cB) / (((n - c) * n) * (n - c2)));
                    double x2 = floored((x1 * (cC - c)) / (n - c3));
                    if (inb1) wt[5] = d[5] * x1;
                    wt[8] = d[8] * x2;
                }
            } else {
                const int32_t C = y[0], D = y[1];
                const bool ac = A == C || A == D, bc = B == C || B == D;
                if (ac && bc) {  // AB / AB
                    pattern = 7;
                    aa = A;
                    bb = B;
                    const double cA = cnt[base + A], cB = cnt[base + B];
                    double xx = floored((cA * cB) / ((n - c) * n));
                    double y8 = floored((xx * ((cA + cB) - c2)) / (n - c2));
                    double y9 = floored((((4.0 * xx) * (cA - c)) * (cB - c)) / ((n - c3) * (n - c2)));
                    wt[6] = ((d[6] * 2.0) * xx) * selfterm;
                    wt[7] = d[7] * y8;
                    wt[8] = (d[8] * y9) * h.h2;
                } else if (ac || bc) {  // AB / AC: S shared, U of individual 1, V of individual 2
                    pattern = 8;
                    aa = ac ? A : B;
                    bb = ac ? B : A;
                    cc = C == aa ? D : C;
                    const double cS = cnt[base + aa], cU = cnt[base + bb], cV = cnt[base + cc];
                    double xx = floored(((cU * cS) * cV) / (((n - c) * n) * (n - c2)));
                    double yy = floored(((4.0 * xx) * (cS - c)) / (n - c3));
                    wt[7] = d[7] * xx;
                    wt[8] = (d[8] * yy) * h.h3;
                } else {  // AB / CD: only Delta9, counted once per replicate
                    pattern = 9;
                    wt[8] = 1.0;
                }
            }
        }

        double sum = 0.0;
        for (int s = 0; s < 9; ++s) sum += wt[s];
        if (sum == 0.0) continue;  // no state explains the pair: nothing to add
        double p[9];
        if (pattern == 9) {
            for (int s = 0; s < 8; ++s) p[s] = 0.0;
            p[8] = 1.0;
        } else {
            for (int s = 0; s < 9; ++s) p[s] = wt[s] / sum;
        }
        const double weight = double(vars.markercnt[std::size_t(l)]);
        w += weight;
        for (int s = 0; s < 9; ++s) a[s] += weight * p[s];

        switch (pattern) {
        case 1: gn.add(aa, (((2.0 - p[0]) + p[3]) + p[5]) + p[7] + 2.0 * p[8]); break;
        case 2:
            gn.add(aa, (1.0 + p[5]) + p[8]);
            gn.add(bb, (1.0 + p[3]) + p[8]);
            break;
        case 3:
            gn.add(aa, (2.0 - p[2]) + p[8]);
            gn.add(bb, 1.0);
            break;
        case 4:
            gn.add(aa, 1.0 + p[8]);
            gn.add(bb, 1.0);
            gn.add(cc, 1.0);
            break;
        case 5:
            gn.add(aa, (2.0 - p[4]) + p[8]);
            gn.add(bb, 1.0);
            break;
        case 6:
            gn.add(cc, 1.0 + p[8]);
            gn.add(aa, 1.0);
            gn.add(bb, 1.0);
            break;
        case 7: {
            const double cA = cnt[base + aa], cB = cnt[base + bb];
            gn.add(aa, (1.0 + p[8]) + (p[7] * cA) / (cA + cB));
            gn.add(bb, (1.0 + p[8]) + (p[7] * cB) / (cA + cB));
            break;
        }
        case 8:
            gn.add(aa, 1.0 + p[8]);
            gn.add(bb, 1.0);
            gn.add(cc, 1.0);
            break;
        default: break;
        }
        for (int g = 0; g < gn.n; ++g) asum[base + gn.allele[g]] += gn.amount[g];
    }
}
