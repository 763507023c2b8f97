// The genotyping error rate the data show (ERR: runs on two-allele data):
// a parent and child share a gene at every locus, so an opposite
// homozygote between them is impossible without an error.  With errors as
// the likelihood has them (a genotype read as each other one with
// probability e/2), a parent-offspring pair whose true genotypes hold h
// homozygotes (0, 1, 2) at a locus is seen opposite with probability
//     (e/2)(1 - e) h + (e^2/4)(2 - h)
// (a homozygote read right beside its relative read as the other
// homozygote; or both read wrong).  Over the W loci typed in both of every
// pair called parent-offspring, with H their true homozygotes, the
// opposite homozygotes seen number (e/2) H + (e^2/4)(2W - 3H); H comes from
// the homozygotes seen, Hs = H (1 - 3e/2) + 2We (a homozygote stays one
// with probability 1 - e/2, a heterozygote becomes one with e).  So the
// rate needs no allele frequencies, and inbred children or structure do
// not bias it.  The tallies are integers, the same at any number of
// processes.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "estimation/common/common.hpp"
#include "estimation/estimation.hpp"
#include "estimation/mle/mle.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/screen.hpp"
#include "run/variables.hpp"

bool errorsmeasured() { return vars.generr > 0.0 && vars.mle != 0 && vars.maxnumallele <= 2; }

void tallyerrors(errortally& t, const int8_t* gi, const int8_t* gj)
{
    ++t.pairs;
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const int8_t* x = gi + 2 * std::size_t(l - 1);
        const int8_t* y = gj + 2 * std::size_t(l - 1);
        if (x[0] == 0 || y[0] == 0) continue;
        const int64_t w = vars.markercnt[std::size_t(l)];
        const bool hx = x[0] == x[1], hy = y[0] == y[1];
        t.typed += w;
        t.homs += w * (int64_t(hx) + int64_t(hy));
        t.opposite += w * int64_t(hx && hy && x[0] != y[0]);
    }
}

namespace {

// The opposite homozygotes expected at rate e, less those seen.
double excess(double e, double opposite, double typed, double homs)
{
    const double h = std::clamp((homs - 2.0 * typed * e) / (1.0 - 1.5 * e), 0.0, 2.0 * typed);
    return 0.5 * e * h + 0.25 * e * e * (2.0 * typed - 3.0 * h) - opposite;
}

}  // namespace

double errorrate(int64_t opposite, int64_t typed, int64_t homs)
{
    if (opposite == 0 || typed == 0) return 0.0;
    const double o = double(opposite), w = double(typed), h = double(homs);
    double lo = 0.0, hi = 0.5;
    if (excess(hi, o, w, h) <= 0.0) return hi;
    for (int step = 0; step < 100; ++step) {
        const double mid = 0.5 * (lo + hi);
        (excess(mid, o, w, h) < 0.0 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

void errorsseen(const errortally& t)
{
    int64_t send[4] = {t.pairs, t.opposite, t.typed, t.homs}, sum[4] = {};
    parsumlong(send, sum, 4);
    if (sum[0] == 0) {
        vars.errline = "Genotyping errors seen: no pair called parent-offspring";
    } else {
        char text[200];
        std::snprintf(text, sizeof text,
                      "Genotyping error rate seen = %.5f (%lld parent-offspring pairs, %lld opposite homozygotes)",
                      errorrate(sum[1], sum[2], sum[3]), (long long)sum[0], (long long)sum[1]);
        vars.errline = text;
    }
    say("  " + vars.errline);
}

void dyaderrors()
{
    if (!errorsmeasured()) return;
    errortally t;
    std::vector<int8_t> bi, bj;
    gtypebuffer(bi, "EM_Delta");
    gtypebuffer(bj, "EM_Delta");
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i < n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            const int64_t k = dyadnum(i, j, n);
            if (!owndyad(k) || vars.mlecall[std::size_t(k)] != parentoffspring) continue;
            tallyerrors(t, fetchgtype(i, bi), fetchgtype(j, bj));
        }
    errorsseen(t);
}
