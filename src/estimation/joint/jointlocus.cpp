// The E-step of one dyad over a block of loci: for every locus genotyped in
// both individuals, the posterior of each Delta state given the pair of
// genotypes and the current allele counts, and the expected number of
// independent genes of each allele.
#include <algorithm>
#include <cmath>

#include "estimation/common/modes.hpp"
#include "estimation/joint/joint.hpp"
#include "estimation/joint/jointterms.hpp"
#include "run/variables.hpp"

namespace {

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

// The pattern of a compared locus (1..9 as the IIS modes, pattern 5 AB /
// BB and 6 AB / CC), the alleles it names (aa, bb, cc as the expected
// genes use them) and the state weights wt[0..8]: Delta times the pattern's
// term (jointterms.hpp), with the factors h1 (AA / AA, AA / AB, AB / BB),
// the self term and h2 (AB / AB) and h3 (AB / AC) on Delta7 and Delta9.
// With Inbreed 0 only states 7, 8 and 9 take part.
struct locuspattern {
    int pattern = 0;
    int32_t aa = 0, bb = 0, cc = 0;
};

struct weightinputs {
    const double* d;
    bool inb1;
    double h1, h2, h3, selfterm;
};

// A homozygote with a heterozygote that carries its allele: autozygous
// states first and first + 1 (2 and 3 for AA / AB, 4 and 5 for AB / BB).
inline void weighhomhet(const termshomhet& r, int first, const weightinputs& in, double* wt)
{
    if (in.inb1) {
        wt[first] = in.d[first] * r.x1;
        wt[first + 1] = (in.d[first + 1] * 2.0) * r.x2;
    }
    wt[7] = in.d[7] * r.x2;
    wt[8] = (in.d[8] * r.x3) * in.h1;
}

// A homozygote with a heterozygote that does not carry its allele: the
// autozygous state at (3 for AA / BC, 5 for AB / CC).
inline void weighhomdistinct(const termshomdistinct& r, int at, const weightinputs& in, double* wt)
{
    if (in.inb1) wt[at] = in.d[at] * r.x1;
    wt[8] = in.d[8] * r.x2;
}

inline __attribute__((always_inline)) void patternof(const int8_t* x, const int8_t* y, const double* cnt,
                                                     int32_t base, double n, const weightinputs& in,
                                                     locuspattern& q, double* wt)
{
    const double* d = in.d;
    const bool inb1 = in.inb1;
    if (x[0] == x[1]) {
        const int32_t A = x[0];
        const double cA = cnt[base + A];
        q.aa = A;
        if (y[0] == y[1]) {
            if (y[0] == A) {  // AA / AA
                q.pattern = 1;
                const termshomhom r = homhom(n, cA);
                if (inb1) {
                    wt[0] = d[0] * r.q0;
                    wt[1] = d[1] * r.q1;
                    wt[2] = d[2] * r.q1;
                    wt[4] = d[4] * r.q1;
                    wt[3] = d[3] * r.q2;
                    wt[5] = d[5] * r.q2;
                }
                wt[6] = d[6] * r.q1;
                wt[7] = d[7] * r.q2;
                wt[8] = (d[8] * r.q3) * in.h1;
            } else {  // AA / BB
                q.pattern = 2;
                q.bb = y[0];
                const termshomother r = homother(n, cA, cnt[base + q.bb]);
                if (inb1) {
                    wt[1] = d[1] * r.x1;
                    wt[3] = d[3] * r.x4;
                    wt[5] = d[5] * r.x2;
                }
                wt[8] = d[8] * r.x3;
            }
        } else if (y[0] == A || y[1] == A) {  // AA / AB
            q.pattern = 3;
            q.bb = y[0] == A ? y[1] : y[0];
            weighhomhet(homhet(n, cA, cnt[base + q.bb]), 2, in, wt);
        } else {  // AA / BC
            q.pattern = 4;
            q.bb = y[0];
            q.cc = y[1];
            weighhomdistinct(homdistinct(n, cA, cnt[base + q.bb], cnt[base + q.cc]), 3, in, wt);
        }
        return;
    }
    const int32_t A = x[0], B = x[1];
    if (y[0] == y[1]) {
        const int32_t C = y[0];
        if (C == A || C == B) {  // AB / BB: S the shared allele (aa), U the other (bb)
            q.pattern = 5;
            q.aa = C;
            q.bb = C == A ? B : A;
            weighhomhet(homhet(n, cnt[base + q.aa], cnt[base + q.bb]), 4, in, wt);
        } else {  // AB / CC
            q.pattern = 6;
            q.aa = A;
            q.bb = B;
            q.cc = C;
            weighhomdistinct(homdistinct(n, cnt[base + C], cnt[base + A], cnt[base + B]), 5, in, wt);
        }
        return;
    }
    const int32_t C = y[0], D = y[1];
    const bool ac = A == C || A == D, bc = B == C || B == D;
    if (ac && bc) {  // AB / AB
        q.pattern = 7;
        q.aa = A;
        q.bb = B;
        const termshethet r = hethet(n, cnt[base + A], cnt[base + B]);
        wt[6] = ((d[6] * 2.0) * r.xx) * in.selfterm;
        wt[7] = d[7] * r.y8;
        wt[8] = (d[8] * r.y9) * in.h2;
    } else if (ac || bc) {  // AB / AC: S shared (aa), U of individual 1 (bb), V of individual 2 (cc)
        q.pattern = 8;
        q.aa = ac ? A : B;
        q.bb = ac ? B : A;
        q.cc = C == q.aa ? D : C;
        const termshetshare r = hetshare(n, cnt[base + q.aa], cnt[base + q.bb], cnt[base + q.cc]);
        wt[7] = d[7] * r.xx;
        wt[8] = (d[8] * r.yy) * in.h3;
    } else {  // AB / CD: only Delta9, counted once per replicate
        q.pattern = 9;
        wt[8] = 1.0;
    }
}

// Adds the expected independent genes of the locus to allelesum.
inline __attribute__((always_inline)) void addgenes(const locuspattern& q, const double* p, const double* cnt, int32_t base, double* asum)
{
    switch (q.pattern) {
    case 1: asum[base + q.aa] += geneshomhom(p, 2.0); break;
    case 2:
        asum[base + q.aa] += geneshomother(p, 5, 1.0);
        asum[base + q.bb] += geneshomother(p, 3, 1.0);
        break;
    case 3:
    case 5:
        asum[base + q.aa] += geneshomhet(p, q.pattern == 3 ? 2 : 4, 2.0);
        asum[base + q.bb] += 1.0;
        break;
    case 4:
    case 8:
        asum[base + q.aa] += 1.0 + p[8];
        asum[base + q.bb] += 1.0;
        asum[base + q.cc] += 1.0;
        break;
    case 6:
        asum[base + q.cc] += 1.0 + p[8];
        asum[base + q.aa] += 1.0;
        asum[base + q.bb] += 1.0;
        break;
    case 7: {
        const double cA = cnt[base + q.aa], cB = cnt[base + q.bb];
        const double gA = geneshethet(p, 1.0, cA, cA + cB), gB = geneshethet(p, 1.0, cB, cA + cB);
        asum[base + q.aa] += gA;
        asum[base + q.bb] += gB;
        break;
    }
    default: break;
    }
}

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

void estepblock(const estepdyad& rec, const jointwork& wk, int32_t first, int32_t last, dyadsums& sums,
                jointgenes& gs)
{
    const bool inb1 = vars.inbreed == 1;
    const double nn = double(vars.numindiv);
    const double selfterm = 1.0 + 2.0 / (nn * nn);
    const double* d = rec.d;
    const double* cnt = vars.allelecnt.data();
    const int32_t* loc = vars.locusloc.data();
    double* asum = gs.allelesum.data();
    d9factors h;

    for (int32_t l = first; l <= last; ++l) {
        const int8_t* x = rec.g1 + 2 * std::size_t(l - 1);
        const int8_t* y = rec.g2 + 2 * std::size_t(l - 1);
        if (x[0] <= 0 || y[0] <= 0) continue;
        if (rec.t == 1) gs.locusdyads[std::size_t(l)] += 1;
        const int32_t nal = loc[l] - loc[l - 1];
        if (nal != h.k) makefactors(h, nal, l, rec.t, wk);
        const int32_t base = loc[l - 1];
        locuspattern q;
        double wt[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
        const weightinputs in{d, inb1, rec.h1one ? 1.0 : h.h1, h.h2, h.h3, selfterm};
        patternof(x, y, cnt, base, wk.locustotal[std::size_t(l)], in, q, wt);

        double sum = 0.0;
        for (int s = 0; s < 9; ++s) sum += wt[s];
        if (sum == 0.0) continue;  // no state explains the pair: nothing to add
        double p[9];
        if (q.pattern == 9) {
            for (int s = 0; s < 8; ++s) p[s] = 0.0;
            p[8] = 1.0;
        } else {
            for (int s = 0; s < 9; ++s) p[s] = wt[s] / sum;
        }
        const double weight = double(vars.markercnt[std::size_t(l)]);
        sums.w += weight;
        for (int s = 0; s < 9; ++s) sums.a[s] += weight * p[s];
        addgenes(q, p, cnt, base, asum);
    }
}
