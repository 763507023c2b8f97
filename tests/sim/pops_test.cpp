// Subpopulations: the gamma sampler, Balding-Nichols frequencies, admixed
// founders, and a whole run's population files.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include "drop.hpp"
#include "families.hpp"
#include "gamma.hpp"
#include "pops.hpp"
#include "simopts.hpp"
#include "simrun.hpp"
#include "simtest.hpp"

namespace {

locus snpat(double p)
{
    locus x;
    x.cum[0] = p;
    x.cum[1] = 1;
    x.id[0] = 1;
    x.id[1] = 2;
    x.thr = rngthreshold(p);
    return x;
}

} // namespace

TEST(pops, GammaHasMeanAndVarianceA)
{
    rng r;
    rngseed(r, 3);
    for (double a : {0.02, 0.3, 1.0, 4.5, 250.0}) {
        const int n = 200000;
        double s = 0, ss = 0;
        for (int i = 0; i < n; i++) {
            double x = std::exp(rnglgamma(r, a));
            s += x;
            ss += x * x;
        }
        double mean = s / n, var = ss / n - mean * mean;
        // Standard errors: sqrt(a/n) for the mean, about sqrt((6a + 2a^2)/n) for the variance.
        EXPECT_NEAR(mean, a, 5 * std::sqrt(a / n)) << a;
        EXPECT_NEAR(var, a, 5 * std::sqrt((6 * a + 2 * a * a) / n)) << a;
    }
    EXPECT_EQ(rnglgamma(r, 0), -INFINITY);
    // A tiny shape gives a very small value, not 0 or NaN.
    double tiny = rnglgamma(r, 1e-6);
    EXPECT_TRUE(std::isfinite(tiny));
}

TEST(pops, BaldingNicholsVarianceIsFpq)
{
    rng r;
    rngseed(r, 11);
    std::vector<locus> sub;
    for (double fst : {0.01, 0.1, 0.4}) {
        // SNPs: E(p_k) = p and Var(p_k) = F p (1-p), for a fixed and for
        // random ancestral frequencies.
        for (double p0 : {0.05, 0.3, -1.0}) {
            double dev = 0, ratio = 0;
            int draws = 0;
            for (int l = 0; l < 20000; l++) {
                locus anc = snpat(p0);
                if (p0 < 0)
                    drawsnp(r, anc);
                double p = anc.cum[0];
                drawsubfreqs(r, anc, fst, 4, sub);
                ASSERT_EQ(sub.size(), 4u);
                for (const locus& x : sub) {
                    ASSERT_TRUE(x.cum[0] >= 0 && x.cum[0] <= 1 && x.snp);
                    EXPECT_EQ(x.thr, rngthreshold(x.cum[0]));
                    dev += x.cum[0] - p;
                    ratio += (x.cum[0] - p) * (x.cum[0] - p) / (p * (1 - p));
                    draws++;
                }
            }
            EXPECT_NEAR(dev / draws, 0, 0.01) << fst << " " << p0;
            EXPECT_NEAR(ratio / draws / fst, 1, 0.05) << fst << " " << p0;
        }
        // Multi-allelic: every allele j has Var(p_kj) = F p_j (1-p_j).
        double ratio = 0;
        long long terms = 0;
        for (int l = 0; l < 5000; l++) {
            locus anc;
            drawmulti(r, anc);
            drawsubfreqs(r, anc, fst, 3, sub);
            for (const locus& x : sub) {
                ASSERT_EQ(x.n, anc.n);
                ASSERT_EQ(x.cum[x.n - 1], 1);
                ASSERT_EQ(std::memcmp(x.id, anc.id, sizeof x.id), 0);
                double prev = 0, aprev = 0;
                for (int j = 0; j < x.n; j++) {
                    double pj = x.cum[j] - prev, aj = anc.cum[j] - aprev;
                    ASSERT_GE(pj, -1e-12);
                    prev = x.cum[j];
                    aprev = anc.cum[j];
                    if (aj > 1e-9) {
                        ratio += (pj - aj) * (pj - aj) / (aj * (1 - aj));
                        terms++;
                    }
                }
            }
        }
        EXPECT_NEAR(ratio / double(terms) / fst, 1, 0.05) << fst;
    }
}

TEST(pops, AdmixedFoundersTakeEachGeneFromTheirOwnSubpopulationWithProbabilityQ)
{
    // Lone founders in two subpopulations, every family admixed.  Allele 1
    // is fixed in p1 and lost in p2, so every allele tells its gene's origin.
    sample s;
    buildsample(200, {0}, s);
    ASSERT_EQ(s.nfam, 200);
    rng r;
    rngseed(r, 5);
    popset p;
    assignpops(s, 2, 1.0, r, p);
    std::vector<locus> sub = {snpat(1), snpat(0)};
    std::vector<uint32_t> lab(400);
    std::vector<uint8_t> al(400), org(400);
    std::vector<int> own(200, 0);
    const int loci = 2000;
    for (int l = 0; l < loci; l++) {
        dropsubpop(s, p, sub, r, lab.data(), al.data(), org.data());
        for (int m = 0; m < 200; m++)
            for (int i = 2 * m; i < 2 * m + 2; i++) {
                ASSERT_EQ(lab[i], uint32_t(i));
                // p1's families (even) are admixed with p2, p2's with p1.
                ASSERT_EQ(al[i] == 0, (m % 2 == 0) == (org[i] == 1)) << m;
                own[m] += org[i];
            }
    }
    double qsum = 0;
    for (int m = 0; m < 200; m++) {
        ASSERT_EQ(p.other[m], 1 - p.own[m]);
        double q = p.qexp[m];
        qsum += q;
        EXPECT_NEAR(own[m] / (2.0 * loci), q, 5 * std::sqrt(q * (1 - q) / (2 * loci)) + 1e-3);
    }
    EXPECT_NEAR(qsum / 200, 0.5, 0.07);   // q uniform in 0..1

    // With no admixed family every gene comes from the own subpopulation.
    assignpops(s, 2, 0, r, p);
    dropsubpop(s, p, sub, r, lab.data(), al.data(), org.data());
    for (int i = 0; i < 400; i++)
        ASSERT_EQ(int(al[i]), i / 2 % 2);
}

TEST(pops, AssignmentInTurnAndTheAdmixedShare)
{
    std::vector<int> types;
    std::string err;
    ASSERT_TRUE(parsefamilies("all", types, err));
    sample s;
    buildsample(1000, types, s);
    rng r;
    rngseed(r, 9);
    popset p;
    assignpops(s, 3, 0.25, r, p);
    int mixed = 0;
    for (long long f = 0; f < s.nfam; f++) {
        EXPECT_EQ(p.own[f], f % 3);
        if (p.other[f] >= 0) {
            mixed++;
            EXPECT_EQ(p.other[f], (f + 1) % 3);
        }
    }
    EXPECT_EQ(mixed, std::llround(0.25 * double(s.nfam)));
    // Children's expected q is their parents' mean.
    for (size_t m = 0; m < s.fa.size(); m++) {
        if (s.fa[m] >= 0) {
            EXPECT_DOUBLE_EQ(p.qexp[m], (p.qexp[s.fa[m]] + p.qexp[s.mo[m]]) / 2);
        }
    }
    p.other[2] = 0;
    EXPECT_EQ(popname(p, 2), "p3+p1");
    EXPECT_EQ(popname(p, 4), p.other[4] < 0 ? "p2" : "p2+p3");
}

TEST(pops, WholeRunWritesPopulationsAndGenotypesDiffer)
{
    opts o;
    std::vector<const char*> argv = {"kinex-sim", "--individuals", "800", "--loci", "2000",
                                     "--families", "un", "--subpops", "2", "--fst", "0.1",
                                     "--admixed", "0.2"};
    std::string err;
    ASSERT_TRUE(parseopts(int(argv.size()), argv.data(), o, err)) << err;
    o.out = tmpprefix("p");
    ASSERT_TRUE(runsim(o, err)) << err;
    std::vector<std::string> pop = linesof(slurp(o.out + ".pop"));
    std::vector<std::string> ind = linesof(slurp(o.out + ".truth.indiv.tsv"));
    ASSERT_EQ(pop.size(), 800u);
    ASSERT_EQ(ind.size(), 801u);
    EXPECT_EQ(ind[0], "id\tfamily\trole\tF\tF_exp\tpop\tq\tq_exp");
    std::string text = slurp(o.out + ".gen");
    std::vector<std::string> rows = linesof(text);
    rows.erase(rows.begin(), rows.begin() + 80);   // the identifiers, ten to a line
    ASSERT_EQ(rows.size(), 800u);
    std::map<std::string, int> count;
    // Allele 1 counts of the pure members of p1 and p2.
    std::vector<double> c1(2000), c2(2000);
    int n1 = 0, n2 = 0;
    for (size_t k = 0; k < 800; k++) {
        std::string id, label, f[7];
        std::stringstream(pop[k]) >> id >> label;
        std::stringstream(ind[k + 1]) >> f[0] >> f[1] >> f[2] >> f[3] >> f[4] >> f[5] >> f[6];
        EXPECT_EQ(id, f[0]);
        EXPECT_EQ(label, f[5]);
        count[label]++;
        if (label == "p1" || label == "p2") {
            EXPECT_EQ(f[6], "1.000000");
            std::vector<double>& c = label == "p1" ? c1 : c2;
            (label == "p1" ? n1 : n2)++;
            for (int l = 0; l < 2000; l++)
                c[l] += rows[k][l] - '0';
        }
    }
    EXPECT_EQ(count.size(), 4u);
    EXPECT_EQ(count["p1+p2"] + count["p2+p1"], 160);
    // Hudson's F_ST of the two pure groups estimates the F of the model.
    double num = 0, den = 0;
    for (int l = 0; l < 2000; l++) {
        double a = c1[l] / (2 * n1), b = c2[l] / (2 * n2);
        num += (a - b) * (a - b) - a * (1 - a) / (2 * n1 - 1) - b * (1 - b) / (2 * n2 - 1);
        den += a * (1 - b) + b * (1 - a);
    }
    EXPECT_NEAR(num / den, 0.1, 0.015);
}
