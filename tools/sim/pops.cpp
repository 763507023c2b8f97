#include "pops.hpp"
#include <cmath>
#include "gamma.hpp"

void assignpops(const sample& s, int k, double admixed, rng& r, popset& p)
{
    p = popset();
    p.k = k;
    size_t nfam = size_t(s.nfam);
    p.own.resize(nfam);
    p.other.assign(nfam, -1);
    for (size_t f = 0; f < nfam; f++)
        p.own[f] = int(f % size_t(k));
    if (admixed > 0) {
        // The first nmix of a random permutation (a partial Fisher-Yates shuffle).
        size_t nmix = size_t(std::llround(admixed * double(nfam)));
        std::vector<uint32_t> perm(nfam);
        for (size_t f = 0; f < nfam; f++)
            perm[f] = uint32_t(f);
        for (size_t i = 0; i < nmix; i++) {
            size_t j = i + rngbelow(r, uint32_t(nfam - i));
            std::swap(perm[i], perm[j]);
            p.other[perm[i]] = (p.own[perm[i]] + 1) % k;
        }
    }
    size_t m = s.fa.size();
    p.qexp.assign(m, 1);
    p.qthr.assign(m, 0);
    for (size_t i = 0; i < m; i++) {
        if (s.fa[i] >= 0) {
            p.qexp[i] = (p.qexp[s.fa[i]] + p.qexp[s.mo[i]]) / 2;
        } else if (p.other[s.famof[i]] >= 0) {
            p.qexp[i] = rngunif(r);
            p.qthr[i] = rngthreshold(p.qexp[i]);
        }
    }
}

std::string popname(const popset& p, int f)
{
    std::string name = "p" + std::to_string(p.own[f] + 1);
    if (p.other[f] >= 0)
        name += "+p" + std::to_string(p.other[f] + 1);
    return name;
}

void drawsubfreqs(rng& r, const locus& anc, double fst, int k, std::vector<locus>& sub)
{
    const double scale = (1 - fst) / fst;
    sub.resize(size_t(k));
    for (locus& x : sub) {
        x = anc;
        if (anc.snp) {
            // Beta(a, b) as X / (X + Y), X ~ Gamma(a), Y ~ Gamma(b), in logarithms.
            double p = anc.cum[0];
            double lx = rnglgamma(r, p * scale), ly = rnglgamma(r, (1 - p) * scale);
            double q = 1 / (1 + std::exp(ly - lx));
            x.cum[0] = q;
            x.thr = rngthreshold(q);
            continue;
        }
        double lg[maxalleles], top = -INFINITY, prev = 0;
        for (int j = 0; j < anc.n; j++) {
            lg[j] = rnglgamma(r, (anc.cum[j] - prev) * scale);
            prev = anc.cum[j];
            top = std::fmax(top, lg[j]);
        }
        if (top == -INFINITY)
            continue;   // no allele with a positive frequency: keep the ancestral ones
        double sum = 0;
        for (int j = 0; j < anc.n; j++) {
            lg[j] = std::exp(lg[j] - top);
            sum += lg[j];
        }
        double acc = 0;
        for (int j = 0; j < anc.n; j++) {
            acc += lg[j] / sum;
            x.cum[j] = acc;
        }
        x.cum[anc.n - 1] = 1;
    }
}
