// Maximum-likelihood Deltas: the active-set Newton maximiser against a slow
// independent one (plain EM run far past convergence), the stopping
// conditions at the point it returns, and its boundary cases.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "emreference.hpp"
#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "estimation/common/modes.hpp"
#include "estimation/mle/mle.hpp"
#include "estimation/mle/stateprobs.hpp"
#include "estimation_setup.hpp"

namespace {

// Term entries made by hand: (mode, weight, terms of the mode's non-base
// states in the order modes.hpp gives them; adjusted: of every state the
// mode allows but Delta9, whose coefficient is 1, in state order).
struct entry {
    int mode;
    double w;
    double t[8];
};

// The states of an adjusted entry's terms, by mode.
constexpr int adjstates[9][8] = {{}, {1, 2, 3, 4, 5, 6, 7, 8}, {2, 4, 6}, {3, 4, 8}, {4}, {5, 6, 8}, {6}, {7, 8}, {8}};
constexpr int adjterms[9] = {0, 8, 3, 3, 1, 3, 1, 2, 1};

termentries entriesof(const std::vector<entry>& list, double w9, bool adjusted = false)
{
    termentries te;
    te.adjusted = adjusted;
    const std::size_t n = list.size() + 1;
    te.ew.assign(n, 0.0);
    for (auto& t : te.et) t.assign(n, 0.0);
    int32_t at = 0;
    for (int m = 1; m <= 8; ++m) {
        te.first[m] = at;
        for (const entry& e : list) {
            if (e.mode != m) continue;
            te.ew[std::size_t(at)] = e.w;
            for (int q = 0; q < 8; ++q) te.et[q][std::size_t(at)] = e.t[q];
            ++at;
            ++te.made[m];
        }
    }
    te.w9 = w9;
    return te;
}

// The nine state coefficients of an entry (1 for base states, 0 for states
// that cannot give the mode), written out from the term layout.
void coefficients(const entry& e, bool adjusted, double* a)
{
    for (int s = 0; s <= 9; ++s) a[s] = 0.0;
    const double* t = e.t;
    if (adjusted) {
        for (int q = 0; q < adjterms[e.mode]; ++q) a[adjstates[e.mode][q]] = t[q];
        a[9] = 1.0;
        return;
    }
    switch (e.mode) {
    case 1: a[1] = t[0]; a[2] = a[3] = a[5] = a[7] = 1; a[4] = a[6] = a[8] = t[1]; a[9] = t[2]; break;
    case 2: a[2] = 1; a[4] = t[0]; a[6] = t[1]; a[9] = t[2]; break;
    case 3: a[3] = 1; a[4] = t[0]; a[8] = t[1]; a[9] = t[2]; break;
    case 4: a[4] = 1; a[9] = t[0]; break;
    case 5: a[5] = 1; a[6] = t[0]; a[8] = t[1]; a[9] = t[2]; break;
    case 6: a[6] = 1; a[9] = t[0]; break;
    case 7: a[7] = 1; a[8] = t[0]; a[9] = t[1]; break;
    case 8: a[8] = 1; a[9] = t[0]; break;
    }
}

struct problem {
    std::vector<entry> list;
    double w9 = 0.0;
    bool adjusted = false;

    double loglik(const double* d) const
    {
        double l = w9 > 0 ? w9 * std::log(d[9]) : 0.0, a[10];
        for (const entry& e : list) {
            coefficients(e, adjusted, a);
            double dot = 0.0;
            for (int s = 1; s <= 9; ++s) dot += a[s] * d[s];
            l += e.w * std::log(dot);
        }
        return l;
    }
    void gradient(const double* d, double* g) const
    {
        double a[10];
        for (int s = 0; s <= 9; ++s) g[s] = 0.0;
        g[9] = w9 > 0 ? w9 / d[9] : 0.0;
        for (const entry& e : list) {
            coefficients(e, adjusted, a);
            double dot = 0.0;
            for (int s = 1; s <= 9; ++s) dot += a[s] * d[s];
            for (int s = 1; s <= 9; ++s) g[s] += e.w * a[s] / dot;
        }
    }
    double weight() const
    {
        double w = w9;
        for (const entry& e : list) w += e.w;
        return w;
    }
    // Plain EM: D_s <- D_s g_s / W, which never lowers L.
    // by the EM's multiplicative steps over the states of the bit mask
    void slowmax(uint32_t states, double* d, int iterations) const
    {
        const int n = std::popcount(states);
        for (int s = 0; s <= 9; ++s) d[s] = (states >> s & 1u) ? 1.0 / double(n) : 0.0;
        const double w = weight();
        double g[10];
        for (int it = 0; it < iterations; ++it) {
            gradient(d, g);
            for (int s = 1; s <= 9; ++s) d[s] = d[s] * g[s] / w;
        }
    }
};

problem randomproblem(esttest::rng& r, bool twoallele)
{
    problem p;
    const int n = 3 + int(r.uniform() * 40);
    for (int k = 0; k < n; ++k) {
        entry e{};
        const int modes2[5] = {1, 2, 3, 5, 7};
        e.mode = twoallele ? modes2[int(r.uniform() * 5)] : 1 + int(r.uniform() * 8);
        e.w = double(1 + int(r.uniform() * 30));
        if (twoallele) {  // terms of a real two-allele locus
            const int32_t size = 200, x = 20 + int(r.uniform() * 160);
            locusterms(e.mode, size, x, e.mode == 2 || e.mode == 7 ? size - x : x, e.t);
        } else {
            for (double& t : e.t) t = 0.02 + 3.0 * r.uniform();
        }
        p.list.push_back(e);
    }
    p.w9 = twoallele ? 0.0 : double(int(r.uniform() * 5));
    return p;
}

// A dyad at each individual's own frequencies: loci of two to four
// alleles, random genotypes and frequencies, the terms of stateprobs.hpp.
problem adjustedproblem(esttest::rng& r)
{
    problem p;
    p.adjusted = true;
    const int n = 3 + int(r.uniform() * 40);
    for (int k = 0; k < n; ++k) {
        const int alleles = 2 + int(r.uniform() * 3);
        int8_t x[2], y[2];
        for (int8_t* a : {x, x + 1, y, y + 1}) *a = int8_t(1 + int(r.uniform() * alleles));
        double fa[4], fb[4], prob[10];
        for (int q = 0; q < 4; ++q) {
            fa[q] = 0.05 + 0.5 * r.uniform();
            fb[q] = 0.05 + 0.5 * r.uniform();
        }
        const int8_t al[4] = {x[0], x[1], y[0], y[1]};
        for (int q = 0; q < 4; ++q)  // one frequency per allele and individual
            for (int o = 0; o < q; ++o)
                if (al[o] == al[q]) {
                    fa[q] = fa[o];
                    fb[q] = fb[o];
                }
        stateprobs(x, y, fa, fb, prob);
        entry e{findconf(x, y), double(1 + int(r.uniform() * 30)), {}};
        if (e.mode == 9) {
            p.w9 += e.w;
            continue;
        }
        for (int q = 0; q < adjterms[e.mode]; ++q) e.t[q] = prob[adjstates[e.mode][q]] / prob[9];
        p.list.push_back(e);
    }
    return p;
}

void expectmaximum(const problem& p, int inbreed, const char* what, uint32_t states = allstates)
{
    vars.inbreed = inbreed;
    const termentries te = entriesof(p.list, p.w9, p.adjusted);
    mlefit fit;
    mlesolve(te, fit, states);
    if (inbreed != 1) states &= outbredstates;
    double slow[10];
    p.slowmax(states, slow, 20000);
    const double l = p.loglik(fit.d), ls = p.loglik(slow);
    EXPECT_TRUE(fit.conv) << what;
    EXPECT_GE(l, ls - 1e-9 * std::fabs(ls)) << what;
    EXPECT_NEAR(fit.lnl, l, 1e-9 * std::fabs(l)) << what;
    // the conditions of a maximum over the simplex
    double g[10], sum = 0.0;
    p.gradient(fit.d, g);
    const double w = p.weight();
    for (int s = 1; s <= 9; ++s) {
        sum += fit.d[s];
        EXPECT_GE(fit.d[s], 0.0);
        if (!(states >> s & 1u)) EXPECT_EQ(fit.d[s], 0.0) << what;
        else if (fit.d[s] > 0.0) EXPECT_NEAR(g[s] / w, 1.0, 1e-8) << what << " state " << s;
        else EXPECT_LE(g[s], w * (1.0 + 1e-9)) << what << " state " << s;
    }
    EXPECT_NEAR(sum, 1.0, 1e-12);
}

}  // namespace

TEST(estimation_mle, reachesTheMaximumOfRandomDyads)
{
    esttest::freshstate(1);
    esttest::rng r{77};
    for (int k = 0; k < 24; ++k) {
        const problem p = randomproblem(r, k % 2 == 1);
        expectmaximum(p, 1, k % 2 ? "two-allele, Inbreed 1" : "any, Inbreed 1");
        expectmaximum(p, 0, k % 2 ? "two-allele, Inbreed 0" : "any, Inbreed 0");
        // one or the other individual not autozygous
        expectmaximum(p, 1, "first not autozygous", allstates & ~firstautozygous);
        expectmaximum(p, 1, "second not autozygous", allstates & ~secondautozygous);
        // each individual's own frequencies: a whole step must not end
        // where the genotypes of some mode have no state in use
        const problem a = adjustedproblem(r);
        expectmaximum(a, 1, "adjusted, Inbreed 1");
        expectmaximum(a, 0, "adjusted, Inbreed 0");
    }
}

// An individual not inbred beyond chance keeps its own genes apart in
// every pair, from whichever side; at the threshold it is inbred.  With
// many typed loci the threshold is the logarithm of their number.
TEST(estimation_mle, pairsOfIndividualsNotInbredBeyondChanceHoldTheirAutozygousStatesAtZero)
{
    esttest::freshstate(1);
    vars.numindiv = 5;
    vars.inblrt = {0.0, 0.4, 31.0, autozygouslrt, 5.0, 5.0};
    vars.indvar.assign(15, 0);
    vars.indvar[indvarat(2, 3)] = 8;  // 8 typed loci: log below 2.7055
    vars.indvar[indvarat(2, 4)] = 40;
    vars.indvar[indvarat(3, 4)] = 20;   // 60 loci: 4.09
    vars.indvar[indvarat(3, 5)] = 20000;  // 9.90
    EXPECT_EQ(autozygousbound(3), autozygouslrt);
    EXPECT_NEAR(autozygousbound(4), std::log(60.0), 1e-12);
    EXPECT_EQ(dyadstates(1, 2), allstates);  // not decided yet
    decideautozygous();
    EXPECT_EQ(vars.numautoz, 3);
    EXPECT_EQ(dyadstates(4, 5), allstates & ~secondautozygous);
    EXPECT_EQ(dyadstates(1, 2), allstates & ~firstautozygous);
    EXPECT_EQ(dyadstates(2, 1), allstates & ~secondautozygous);
    EXPECT_EQ(dyadstates(2, 3), allstates);
    EXPECT_EQ(allstates & ~firstautozygous & ~secondautozygous, outbredstates);
}

// A rule that replaces a fit by the best point of a smaller face (best,
// found by the slow maximiser) where the fit beats it by less than lrt:
// applied to fit (a copy), it must replace exactly then, end at least as
// likely as best, and leave any other fit as it was.  Counts both sides;
// false when the statistic is too near lrt to tell.
template <class rule>
bool expectrule(const problem& p, const mlefit& fit, const double* best, double lrt, rule apply, int k,
                int& replaced, int& kept, mlefit& out)
{
    const double stat = 2.0 * (fit.lnl - p.loglik(best));
    if (std::fabs(stat - lrt) < 1e-6) return false;
    out = fit;
    const bool below = stat < lrt;
    EXPECT_EQ(apply(out), below) << k << " statistic " << stat;
    if (!below) {
        ++kept;
        for (int s = 1; s <= 9; ++s) EXPECT_EQ(out.d[s], fit.d[s]) << k;
        return true;
    }
    ++replaced;
    double sum = 0.0;
    for (int s = 1; s <= 9; ++s) sum += out.d[s];
    EXPECT_NEAR(sum, 1.0, 1e-12);
    const double l = p.loglik(out.d), lb = p.loglik(best);
    EXPECT_GE(l, lb - 1e-9 * std::fabs(lb)) << k;
    return true;
}

// A pair called unrelated takes the best point without kinship exactly
// when its fit beats that point by less than kinshiplrt; a pair called
// related, or beyond the threshold, keeps its maximum.
TEST(estimation_mle, pairsNotRelatedBeyondChanceTakeTheBestPointWithoutKinship)
{
    esttest::freshstate(1);
    esttest::rng r{31};
    int replaced = 0, kept = 0;
    for (int k = 0; k < 120; ++k) {
        const problem p = k % 2 ? adjustedproblem(r) : randomproblem(r, k % 4 == 0);
        const uint32_t states = k % 3 == 0 ? outbredstates : k % 3 == 1 ? allstates & ~secondautozygous : allstates;
        vars.inbreed = 1;
        const termentries te = entriesof(p.list, p.w9, p.adjusted);
        mlefit fit;
        mlesolve(te, fit, states);
        fit.call = 1;
        mlefit asis = fit;
        EXPECT_FALSE(unrelatedfit(te, asis, states));
        fit.call = nrelations;
        double none[10];
        p.slowmax(states & nokinshipstates, none, 20000);
        mlefit out;
        const int before = replaced;
        if (!expectrule(p, fit, none, kinshiplrt, [&](mlefit& f) { return unrelatedfit(te, f, states); }, k, replaced,
                        kept, out) || replaced == before)
            continue;
        for (int s = 1; s <= 9; ++s) {
            if (!(states & nokinshipstates & (1u << s))) {
                EXPECT_EQ(out.d[s], 0.0) << k << " state " << s;
            }
        }
    }
    EXPECT_GT(replaced, 10);
    EXPECT_GT(kept, 10);
}

// A pair of members not autozygous called a relationship without Delta7
// takes the best point with Delta7 = 0 exactly when its fit beats that
// point by less than unilineallrt; a pair called full-sib or unrelated, or
// with a member that may be autozygous, or of multi-allelic data, keeps its
// maximum.
TEST(estimation_mle, unilinealRelativesWithoutDelta7BeyondChanceTakeTheBestPointWithoutIt)
{
    esttest::freshstate(1);
    vars.dataform = 2;
    esttest::rng r{47};
    constexpr uint32_t delta7 = 1u << 7;
    int replaced = 0, kept = 0;
    for (int k = 0; k < 240; ++k) {
        const problem p = k % 2 ? adjustedproblem(r) : randomproblem(r, k % 4 == 0);
        const int kind = k % 3;  // both outbred, Inbreed 0, the first may be autozygous
        vars.inbreed = kind == 1 ? 0 : 1;
        const uint32_t states = kind == 0 ? outbredstates : kind == 1 ? allstates : allstates & ~secondautozygous;
        const termentries te = entriesof(p.list, p.w9, p.adjusted);
        mlefit fit;
        mlesolve(te, fit, states);
        for (int call : {3, nrelations}) {
            mlefit asis = fit;
            asis.call = call;
            EXPECT_FALSE(unilinealfit(te, asis, states)) << k;
        }
        const int unilineal[3] = {parentoffspring, 4, 5};  // second- and third-degree
        fit.call = unilineal[k / 3 % 3];
        mlefit asis = fit;
        if (kind == 2 || !(fit.d[7] > 0.0)) {
            EXPECT_FALSE(unilinealfit(te, asis, states)) << k;
            continue;
        }
        vars.dataform = 0;
        EXPECT_FALSE(unilinealfit(te, asis, states)) << k;
        vars.dataform = 2;
        double without[10];
        p.slowmax(outbredstates & ~delta7, without, 20000);
        mlefit out;
        const int before = replaced;
        if (expectrule(p, fit, without, unilineallrt, [&](mlefit& f) { return unilinealfit(te, f, states); }, k,
                       replaced, kept, out) &&
            replaced > before) {
            EXPECT_EQ(out.d[7], 0.0) << k;
        }
    }
    EXPECT_GT(replaced, 10);
    EXPECT_GT(kept, 10);
}

TEST(estimation_mle, boundaryCases)
{
    esttest::freshstate(1);
    mlefit fit;
    // every locus in mode 9: Delta9 = 1 exactly, unrelated
    mlesolve(entriesof({}, 25.0), fit);
    EXPECT_EQ(fit.d[9], 1.0);
    EXPECT_TRUE(fit.conv);
    EXPECT_EQ(fit.call, nrelations);
    EXPECT_EQ(fit.lrt, 0.0);
    // opposite homozygotes that an unrelated pair explains best: the
    // unrelated point is the maximum, known after its one gradient pass
    mlesolve(entriesof({{2, 10.0, {0.5, 0.5, 4.0}}}, 30.0), fit);
    EXPECT_EQ(fit.d[9], 1.0);
    EXPECT_EQ(fit.iter, 1);
    EXPECT_TRUE(fit.conv);
    // one locus, both heterozygous with the same alleles and rare alleles:
    // all weight on Delta7
    mlesolve(entriesof({{7, 1.0, {0.05, 0.01, 0}}}, 0.0), fit);
    EXPECT_EQ(fit.d[7], 1.0);
    EXPECT_TRUE(fit.conv);
    EXPECT_EQ(fit.call, 1);  // duplicate
    EXPECT_GT(fit.lrt, 0.0);
    // Inbreed 0: Delta1..Delta6 exactly 0, also where inbred states fit best
    vars.inbreed = 0;
    mlesolve(entriesof({{1, 50.0, {9.0, 0.3, 0.1}}, {4, 20.0, {0.2, 0, 0}}}, 0.0), fit);
    for (int s = 1; s <= 6; ++s) EXPECT_EQ(fit.d[s], 0.0);
    EXPECT_TRUE(fit.conv);
}

TEST(estimation_mle, flatDirectionOfTwoAlleleDataEndsAtTheLeastAutozygousPoint)
{
    // An inbred pair: along Delta2 + 2 Delta8 - Delta4 - Delta6 - Delta7 the
    // likelihood does not change; the maximiser goes to where Delta4,
    // Delta6 or Delta7 is 0, so no point of the segment has less
    // Delta1 + ... + Delta6.
    esttest::freshstate(1);
    esttest::rng r{5};
    int flat = 0;
    for (int k = 0; k < 30; ++k) {
        const problem p = randomproblem(r, true);
        const termentries te = entriesof(p.list, 0.0);
        mlefit fit;
        mlesolve(te, fit);
        ASSERT_TRUE(fit.conv);
        EXPECT_EQ(std::min(fit.d[4], std::min(fit.d[6], fit.d[7])), 0.0);
        double moved[10];
        for (int s = 0; s <= 9; ++s) moved[s] = fit.d[s];
        const double t = 0.5 * std::min(fit.d[2], 0.5 * fit.d[8]);
        if (t <= 0.0) continue;
        ++flat;
        moved[2] -= t;
        moved[8] -= 2 * t;
        moved[4] += t;
        moved[6] += t;
        moved[7] += t;
        EXPECT_NEAR(p.loglik(moved), p.loglik(fit.d), 1e-9 * std::fabs(fit.lnl));
    }
    EXPECT_GT(flat, 0);
}

// L at the relationships from products of four entries' sums is L from
// a logarithm per entry, with unit weights and others mixed in.
TEST(estimation_mle, relationshipLikelihoodsByProductsAreThePerEntryOnes)
{
    esttest::freshstate(1);
    esttest::rng r(29);
    problem p;
    p.adjusted = true;
    for (int k = 0; k < 12; ++k) {
        const problem part = adjustedproblem(r);
        p.list.insert(p.list.end(), part.list.begin(), part.list.end());
        p.w9 += part.w9;
    }
    for (std::size_t e = 0; e < p.list.size(); ++e) p.list[e].w = e % 7 == 3 ? 2.0 : 1.0;
    const termentries te = entriesof(p.list, p.w9, true);
    double d[nrelations][10], byentry[nrelations], byproduct[nrelations];
    relationpoints(d);
    mlelogliks(te, d, nrelations - 1, byentry);
    mlerelationprods(te, d, nrelations - 1, byproduct);
    for (int q = 0; q < nrelations - 1; ++q)
        EXPECT_NEAR(byproduct[q], byentry[q], 1e-12 * std::fabs(byentry[q]) + 1e-12) << "relationship " << q + 1;
}

TEST(estimation_mle, programLogarithmMatchesTheLibrary)
{
    // the side table's log-likelihoods come from the program's own
    // logarithm, which must be as good as the library's
    esttest::freshstate(1);
    std::vector<entry> list;
    double want = 0.0;
    for (int k = 0; k < 1000; ++k) {
        const double x = std::exp(-20.0 + 40.0 * k / 999.0);
        list.push_back({8, 1.0, {x, 0, 0}});
        want += std::log(x);
    }
    double d[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_NEAR(mleloglik(entriesof(list, 0.0), d), want, 1e-12 * 1000);
}

TEST(estimation_mle, pooledClassCountsEqualALocusByLocusCount)
{
    // 150 loci (not a multiple of 32 or 64), missing genotypes, loci that
    // stand for several, most classes of one locus
    esttest::freshstate(1);
    esttest::rng r{9};
    const int32_t n = 12, u = 150;
    std::vector<std::vector<int>> g(static_cast<std::size_t>(n), std::vector<int>(static_cast<std::size_t>(u)));
    std::vector<int32_t> weights(static_cast<std::size_t>(u));
    for (int32_t l = 0; l < u; ++l) {
        const double p = 0.05 + 0.9 * r.uniform();
        weights[std::size_t(l)] = l % 7 == 3 ? 3 : 1;
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < 0.1 ? esttest::missing : (r.uniform() < p) + (r.uniform() < p);
        g[0][std::size_t(l)] = 0;  // every locus polymorphic
        g[1][std::size_t(l)] = 2;
    }
    esttest::snpdata(g, weights);
    tallygtypes();
    mleclassing c;
    planclasses(c);
    ASSERT_GT(c.nclass, 20);
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            std::vector<int32_t> want(9 * std::size_t(c.nclass), 0);
            int32_t wantiis[9] = {};
            for (int32_t l = 1; l <= u; ++l) {
                const int ci = snpcodeof(i, l), cj = snpcodeof(j, l);
                if (ci == 0 || cj == 0) continue;
                const int v = wayof(ci, cj);
                want[9 * std::size_t(c.classof[std::size_t(l)]) + std::size_t(v)] += vars.markercnt[std::size_t(l)];
                wantiis[twovariant[v].mode - 1] += vars.markercnt[std::size_t(l)];
            }
            int32_t iis[9];
            classentries(c, i, j, iis);
            ASSERT_EQ(c.counts, want) << i << "-" << j;
            for (int m = 0; m < 9; ++m) ASSERT_EQ(iis[m], wantiis[m]) << i << "-" << j << " mode " << m + 1;
            double rows = 0.0;
            for (int m = 1; m <= 8; ++m)
                for (int32_t k = 0; k < c.rows.made[m]; ++k) rows += c.rows.ew[std::size_t(c.rows.first[m] + k)];
            int32_t total = 0;
            for (int m = 0; m < 9; ++m) total += wantiis[m];
            EXPECT_EQ(rows, double(total));
        }
}

TEST(estimation_mle, kingRobustKinshipFromThePlanesIsThatOfTheCounts)
{
    // 9000 loci: more than 31 steps of four words (the AVX2 loops sum their
    // byte counters every 31) and a tail of words; 13 first individuals,
    // so that the four-row kernel meets a remainder.  Run again with
    // KINEX_SIMD=avx2 and =base (tests/CMakeLists.txt).
    esttest::freshstate(1);
    esttest::rng r{12};
    const int32_t n = 14, u = 9000;
    std::vector<std::vector<int>> g(static_cast<std::size_t>(n), std::vector<int>(static_cast<std::size_t>(u)));
    for (int32_t l = 0; l < u; ++l) {
        const double p = 0.05 + 0.9 * r.uniform();
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < 0.05 ? esttest::missing : (r.uniform() < p) + (r.uniform() < p);
        g[3][std::size_t(l)] = g[2][std::size_t(l)];  // a pair of twins, kinship 1/2
        g[0][std::size_t(l)] = 0;
        g[1][std::size_t(l)] = 2;
    }
    esttest::snpdata(g, std::vector<int32_t>(std::size_t(u), 1));
    tallygtypes();
    // the planes of the classes (each class from a new word) and those of
    // every locus in one class
    mleclassing c, one;
    planclasses(c);
    kingplanes(one);
    std::vector<double> rows(static_cast<std::size_t>(n));
    for (const mleclassing* planes : {&c, &one})
        for (int32_t j = 2; j <= n; ++j) {
            classkingrows(*planes, 1, j - 1, j, rows.data());
            for (int32_t i = 1; i < j; ++i) {
                int32_t iis[9];
                classentries(c, i, j, iis);
                const double want = kingofmodes(iis);
                ASSERT_EQ(classking(*planes, i, j), want) << i << "-" << j;
                ASSERT_EQ(rows[std::size_t(i - 1)], want) << i << "-" << j;
            }
        }
    classkingrows(one, 1, 3, 4, rows.data());
    EXPECT_NEAR(rows[2], 0.5, 1e-12);
}

TEST(estimation_mle, errorRateSeenInParentsAndChildrenIsTheSimulatedOne)
{
    // 40 parents and their children at 10000 loci, half of the children
    // inbred (F = 1/2: their second gene the parent's other one half of
    // the time), every genotype read as each other one with probability
    // e/2; at e = 0.1 the rate without its second-order term would be 7%
    // low, and one from the sample's allele frequencies several per cent high
    for (const double e : {0.0, 0.1}) {
        esttest::freshstate(1);
        esttest::rng r{31};
        const int32_t pairs = 40, u = 10000;
        std::vector<std::vector<int>> g(2 * std::size_t(pairs), std::vector<int>(std::size_t(u)));
        const auto misread = [&](int x) { return r.uniform() < e ? (x + 1 + (r.uniform() < 0.5)) % 3 : x; };
        for (int32_t l = 0; l < u; ++l) {
            const double p = 0.05 + 0.45 * r.uniform();
            for (int32_t k = 0; k < pairs; ++k) {
                const int a = r.uniform() < p, b = r.uniform() < p;
                const bool first = r.uniform() < 0.5;
                const int other = k % 2 == 1 && r.uniform() < 0.5 ? (first ? b : a) : r.uniform() < p;
                g[2 * std::size_t(k)][std::size_t(l)] = misread(a + b);
                g[2 * std::size_t(k) + 1][std::size_t(l)] = misread((first ? a : b) + other);
            }
        }
        esttest::snpdata(g, std::vector<int32_t>(std::size_t(u), 1));
        tallygtypes();
        vars.generr = 0.01;
        vars.mle = 1;
        ASSERT_TRUE(errorsmeasured());
        errortally t;
        std::vector<int8_t> bi, bj;
        gtypebuffer(bi, "test");
        gtypebuffer(bj, "test");
        for (int32_t k = 0; k < pairs; ++k) tallyerrors(t, fetchgtype(2 * k + 1, bi), fetchgtype(2 * k + 2, bj));
        EXPECT_EQ(t.pairs, pairs);
        const double seen = errorrate(t.opposite, t.typed, t.homs);
        if (e == 0.0) EXPECT_EQ(seen, 0.0);
        else EXPECT_NEAR(seen, e, 0.025 * e);
    }
}
