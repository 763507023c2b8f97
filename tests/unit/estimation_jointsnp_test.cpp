// The joint E-step of two-allele data, eight dyads at a time, must give
// every dyad the sums of its scalar E-step (estepblock) to the bit, and
// leave the same expected genes and locus counts, for any division of the
// loci among threads.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "estimation/common/common.hpp"
#include "estimation/estimation.hpp"
#include "estimation/joint/joint.hpp"
#include "estimation_setup.hpp"
#include "parallel/workshare.hpp"

using esttest::missing;

namespace {

struct setup {
    jointwork wk;
    jointgenes gs;
    std::vector<int32_t> dyadj, dyadi;
};

// SNP data with missing genotypes; individual n shares only the last locus
// with individual n - 1 (everything else missing in one of them).
void makedata(setup& z, int32_t n, int32_t u, uint64_t seed, int inbreed, int32_t t)
{
    esttest::freshstate(inbreed);
    esttest::rng r{seed};
    std::vector<std::vector<int>> g(std::size_t(n), std::vector<int>(std::size_t(u), 0));
    for (int32_t l = 0; l < u; ++l) {
        double p = 0.05 + 0.45 * r.uniform();
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < 0.1 ? missing : (r.uniform() < p) + (r.uniform() < p);
        g[0][std::size_t(l)] = 1;
    }
    for (int32_t l = 0; l + 1 < u; ++l) g[std::size_t(n - 1)][std::size_t(l)] = missing;
    g[std::size_t(n - 2)][std::size_t(u - 1)] = 2;
    g[std::size_t(n - 1)][std::size_t(u - 1)] = 2;
    esttest::snpdata(g);
    vars.maxnumallele = 2;

    // allele counts as an iteration leaves them: not integers
    vars.allelecnt.assign(std::size_t(vars.numallallele) + 1, 0.0);
    for (int32_t a = 1; a <= vars.numallallele; ++a) vars.allelecnt[std::size_t(a)] = 3.0 + 40.0 * r.uniform();
    jointwork& wk = z.wk;
    jointgenes& gs = z.gs;
    gs.allelesum.assign(std::size_t(vars.numallallele) + 1, 0.0);
    for (double& s : gs.allelesum) s = 7.25;
    wk.locustotal.assign(std::size_t(u) + 1, 0.0);
    for (int32_t l = 1; l <= u; ++l)
        wk.locustotal[std::size_t(l)] = vars.allelecnt[std::size_t(2 * l - 1)] + vars.allelecnt[std::size_t(2 * l)];
    gs.locusdyads.assign(std::size_t(u) + 1, 0);
    wk.kinmin = 0.00003;
    wk.kinmax = 0.3;
    wk.inbmin = 0.0002;  // below 0.001: h1 takes the kinship term
    wk.inbshare = 0.5;
    wk.deltaprior[0] = 0.01;
    wk.deltaprior[1] = 0.02;

    // random Deltas; every other dyad kin enough (with Inbreed 1) to lift
    // h1 to 1, the others nearly unrelated
    vars.delta.assign(9 * std::size_t(n) * std::size_t(n), 0.0f);
    bool kin = false;
    for (int32_t j = 1; j < n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            float* d = vars.delta.data() + deltaat(1, i, j);
            float sum = 0.0f;
            kin = !kin;
            for (int s = 0; s < 9; ++s) {
                d[s] = (inbreed == 0 && s < 6) ? 0.0f : float(r.uniform());
                if (!kin) d[s] = s == 8 ? 500.0f * d[s] : d[s] * 0.1f;
                sum += d[s];
            }
            for (int s = 0; s < 9; ++s) d[s] /= sum;
            z.dyadj.push_back(j);
            z.dyadi.push_back(i);
        }
    (void)t;
}

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Both ways with the loci divided into `threads` blocks.
void compare(int inbreed, int32_t t, int32_t threads, uint64_t seed)
{
    setup z;
    const int32_t n = 19, u = 157;
    makedata(z, n, u, seed, inbreed, t);
    jointwork& wk = z.wk;
    jointgenes& gs = z.gs;
    const std::size_t dyads = z.dyadj.size();
    const std::vector<double> startsum = gs.allelesum;

    // scalar: every dyad in order, each thread block on its own
    std::vector<estepdyad> want(dyads);
    std::vector<dyadsums> wantsums(dyads);
    std::vector<int8_t> b1, b2;
    gtypebuffer(b1, "test");
    gtypebuffer(b2, "test");
    for (std::size_t x = 0; x < dyads; ++x) {
        estepdyad& rec = want[x];
        dyadrecord(wk, z.dyadj[x], z.dyadi[x], t, rec, wantsums[x]);
        rec.g1 = fetchgtype(z.dyadj[x], b1);
        rec.g2 = fetchgtype(z.dyadi[x], b2);
        for (int32_t k = 0; k < threads; ++k) {
            int32_t first, last;
            lociblock(u, threads, k, first, last);
            dyadsums part;
            estepblock(rec, wk, first, last, part, gs);
            for (int s = 0; s < 9; ++s) wantsums[x].a[s] += part.a[s];
            wantsums[x].w += part.w;
        }
    }
    const std::vector<double> wantsum = gs.allelesum;
    const std::vector<int32_t> wantdyads = gs.locusdyads;

    // batches of eight of one individual 1
    gs.allelesum = startsum;
    std::fill(gs.locusdyads.begin(), gs.locusdyads.end(), 0);
    snpsweep s;
    s.work = &wk;
    s.genes = &gs;
    s.t = t;
    double h2, h3;
    delta9factors(2, 1, t, wk, s.h1, h2, h3);
    delta9factors(2, u, t, wk, s.h1last, h2, h3);
    s.selfterm = 1.0 + 2.0 / (double(n) * double(n));
    std::vector<estepdyad> got(dyads);
    std::vector<dyadsums> gotsums(dyads);
    std::vector<std::pair<int32_t, int>> place(dyads);  // batch and lane of each dyad
    std::size_t lifted = 0;
    for (std::size_t x = 0; x < dyads; ++x) {
        dyadrecord(wk, z.dyadj[x], z.dyadi[x], t, got[x], gotsums[x]);
        if (s.batch.empty() || s.batch.back().j != z.dyadj[x] || s.batch.back().used == nlanes) {
            s.batch.emplace_back();
            s.batch.back().j = z.dyadj[x];
        }
        snpbatch& b = s.batch.back();
        const int q = b.used++;
        b.i[q] = z.dyadi[x];
        b.col2[q] = int64_t(snpcol(z.dyadi[x]));
        for (int st = 0; st < 9; ++st) b.d[st].x[q] = got[x].d[st];
        b.h1.x[q] = got[x].h1one ? 1.0 : s.h1;
        b.h1last.x[q] = got[x].h1one ? 1.0 : s.h1last;
        place[x] = {int32_t(s.batch.size()) - 1, q};
    }
    s.nbatch = int32_t(s.batch.size());
    s.threads = threads;
    s.sums.assign(std::size_t(threads) * s.batch.size(), snpsums{});
    s.tables.assign(std::size_t(threads) * 27 * std::size_t(snpblockloci), lanerow{});
    for (int32_t k = threads - 1; k >= 0; --k) {  // blocks touch disjoint loci: any order
        int32_t first, last;
        lociblock(u, threads, k, first, last);
        snpsweepblock(s, k, first, last);
    }
    for (std::size_t x = 0; x < dyads; ++x) {
        for (int32_t k = 0; k < threads; ++k) {
            const snpsums& part = s.sums[std::size_t(k) * s.batch.size() + std::size_t(place[x].first)];
            for (int st = 0; st < 9; ++st) gotsums[x].a[st] += part.a[st].x[place[x].second];
            gotsums[x].w += part.w.x[place[x].second];
        }
        for (int st = 0; st < 9; ++st)
            ASSERT_TRUE(same(gotsums[x].a[st], wantsums[x].a[st]))
                << "dyad " << z.dyadj[x] << "-" << z.dyadi[x] << " state " << st + 1 << ": " << gotsums[x].a[st]
                << " vs " << wantsums[x].a[st];
        ASSERT_TRUE(same(gotsums[x].w, wantsums[x].w));
        lifted += got[x].h1one ? 1 : 0;
    }
    if (inbreed == 1) {
        EXPECT_GT(lifted, 0u);
        EXPECT_LT(lifted, dyads);
    }
    for (std::size_t a = 0; a < wantsum.size(); ++a) ASSERT_TRUE(same(gs.allelesum[a], wantsum[a])) << "allele " << a;
    if (t == 1) {
        EXPECT_EQ(gs.locusdyads, wantdyads);
    }
}

}  // namespace

TEST(estimation_jointsnp, sameSumsAsTheScalarStepWithInbreeding)
{
    compare(1, 7, 1, 21);
    compare(1, 1, 1, 22);
}

TEST(estimation_jointsnp, sameSumsAsTheScalarStepWithoutInbreeding)
{
    compare(0, 3, 1, 23);
    compare(0, 1, 1, 24);
}

TEST(estimation_jointsnp, sameSumsForEveryDivisionOfTheLoci)
{
    // the factor on Delta9 starts afresh in every thread's block
    for (int32_t threads : {2, 3, 5}) {
        compare(1, 60, threads, 25 + uint64_t(threads));
        compare(0, 2, threads, 30 + uint64_t(threads));
    }
}

TEST(estimation_jointsnp, dyadSharingOnlyTheLastLocusTakesItsFactor)
{
    // Individuals 18 and 19 share only the last locus, where the factor on
    // Delta9 differs from every other locus; checked within compare.
    setup z;
    makedata(z, 19, 157, 40, 1, 9);
    double h1, h1last, h2, h3;
    delta9factors(2, 1, 9, z.wk, h1, h2, h3);
    delta9factors(2, 157, 9, z.wk, h1last, h2, h3);
    EXPECT_NE(h1, h1last);
    compare(1, 9, 1, 40);
}
