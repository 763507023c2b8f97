// The genotyping error rate the data show (ERR: runs on two-allele data):
// a parent and child share a gene at every locus, so an opposite
// homozygote between them is impossible without an error.  With errors as
// the likelihood has them (a genotype read as each other one with
// probability e/2), a parent-offspring pair at a locus of allele
// frequencies p, q is seen opposite with probability
//     e s + e^2 ((1 - s)/2 - s),   s = p^2 + q^2
// (one of the two homozygous where its relative is not the other
// homozygote, read wrong; or both read wrong).  Summed over the loci
// typed in both of every pair called parent-offspring and set equal to
// the opposite homozygotes seen, this gives e.  Counts are integers (s in
// units of 2^-24), so the sums are the same at any number of processes.
#include <cmath>
#include <cstdio>

#include "estimation/common/common.hpp"
#include "estimation/estimation.hpp"
#include "estimation/mle/mle.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/variables.hpp"

namespace {

constexpr double sunit = 16777216.0;  // 2^24

}  // namespace

bool errorsmeasured() { return vars.generr > 0.0 && vars.mle != 0 && vars.maxnumallele <= 2; }

void errortallysetup(errortally& t)
{
    allocarray(t.s, std::size_t(vars.numloci2) + 1, int64_t(0), allocfailmessage("the error tally"), "EM_Delta");
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const int32_t a = vars.locusloc[l - 1] + 1;
        const double x = double(vars.numa[a]), n = x + double(vars.numa[a + 1]);
        if (n <= 0.0) continue;
        const double p = x / n, q = 1.0 - p;
        t.s[std::size_t(l)] = std::llround((p * p + q * q) * sunit);
    }
}

void tallyerrors(errortally& t, const int8_t* gi, const int8_t* gj)
{
    ++t.pairs;
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const int8_t* x = gi + 2 * std::size_t(l - 1);
        const int8_t* y = gj + 2 * std::size_t(l - 1);
        if (x[0] == 0 || y[0] == 0) continue;
        const int64_t w = vars.markercnt[std::size_t(l)];
        t.typed += w;
        t.same += w * t.s[std::size_t(l)];
        t.opposite += w * int64_t(x[0] == x[1] && y[0] == y[1] && x[0] != y[0]);
    }
}

double errorrate(int64_t opposite, int64_t typed, int64_t same)
{
    if (opposite == 0 || same == 0) return 0.0;
    // c1 e + c2 e^2 = opposite, c2 < 0: the smaller root, in the form that
    // does not cancel; past the top of the parabola, its top
    const double c1 = double(same) / sunit, c2 = 0.5 * (double(typed) - 3.0 * c1), o = double(opposite);
    const double disc = c1 * c1 + 4.0 * c2 * o;
    if (disc < 0.0) return c1 / (-2.0 * c2);
    return 2.0 * o / (c1 + std::sqrt(disc));
}

void errorsseen(const errortally& t)
{
    int64_t send[4] = {t.pairs, t.opposite, t.typed, t.same}, sum[4] = {};
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
    errortallysetup(t);
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
