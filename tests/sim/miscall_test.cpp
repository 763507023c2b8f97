// Genotyping errors: their rate and kind, and the truth left alone.
#include <gtest/gtest.h>
#include <sstream>
#include "miscall.hpp"
#include "simopts.hpp"
#include "simrun.hpp"
#include "simtest.hpp"

namespace {

std::string runwith(std::vector<std::string> args, const std::string& name)
{
    std::vector<const char*> argv = {"kinex-sim"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    opts o;
    std::string err;
    EXPECT_TRUE(parseopts(int(argv.size()), argv.data(), o, err)) << err;
    o.out = tmpprefix(name);
    EXPECT_TRUE(runsim(o, err)) << err;
    return o.out;
}

} // namespace

TEST(miscall, OneAlleleBecomesAnotherOfTheLocus)
{
    rng r;
    rngseed(r, 4);
    int where[2] = {0, 0}, to[5] = {0, 0, 0, 0, 0};
    const int n = 100000;
    for (int i = 0; i < n; i++) {
        uint8_t a[2] = {1, 3};
        allelemiscall(r, 5, a);
        ASSERT_TRUE((a[0] == 1) != (a[1] == 3)) << int(a[0]) << " " << int(a[1]);
        int k = a[0] != 1 ? 0 : 1;
        where[k]++;
        ASSERT_LT(a[k], 5);
        ASSERT_NE(a[k], k == 0 ? 1 : 3);
        to[a[k]]++;
    }
    EXPECT_NEAR(where[0] / double(n), 0.5, 0.01);
    // Allele 1 becomes 0, 2, 3 or 4, allele 3 becomes 0, 1, 2 or 4: each an eighth.
    for (int v : {0, 2, 4})
        EXPECT_NEAR(to[v] / double(n), 0.25, 0.01) << v;
    EXPECT_NEAR(to[1] / double(n), 0.125, 0.01);
    EXPECT_NEAR(to[3] / double(n), 0.125, 0.01);
    int up = 0;
    for (int i = 0; i < n; i++) {
        uint8_t c = uint8_t(i % 3), d = snpmiscall(r, c);
        ASSERT_NE(d, c);
        ASSERT_LT(d, 3);
        up += d == (c + 1) % 3;
    }
    EXPECT_NEAR(up / double(n), 0.5, 0.01);
}

TEST(miscall, SnpErrorsAtRateEAndTheTruthUnchanged)
{
    std::vector<std::string> args = {"--individuals", "200", "--loci", "1000", "--missing",
                                     "0.05", "--plink"};
    std::string a = runwith(args, "a");
    args.insert(args.end(), {"--error", "0.03"});
    std::string b = runwith(args, "b");
    for (const char* ext : {".truth.pairs.tsv", ".truth.indiv.tsv", ".map"})
        EXPECT_EQ(slurp(a + ext), slurp(b + ext)) << ext;
    std::vector<std::string> x = linesof(slurp(a + ".gen")), y = linesof(slurp(b + ".gen"));
    ASSERT_EQ(x.size(), 220u);
    ASSERT_EQ(y.size(), 220u);
    long long typed = 0, wrong = 0, up = 0;
    for (size_t i = 0; i < 220; i++) {
        if (i < 20) {
            EXPECT_EQ(x[i], y[i]);   // identifiers
            continue;
        }
        ASSERT_EQ(x[i].size(), 1000u);
        for (size_t l = 0; l < 1000; l++) {
            ASSERT_EQ(x[i][l] == '-', y[i][l] == '-');
            if (x[i][l] == '-')
                continue;
            typed++;
            if (x[i][l] != y[i][l]) {
                wrong++;
                up += (y[i][l] - '0') == (x[i][l] - '0' + 1) % 3;
            }
        }
    }
    EXPECT_NEAR(wrong / double(typed), 0.03, 0.003);
    EXPECT_NEAR(up / double(wrong), 0.5, 0.05);
    // The .ped holds the same wrong genotypes.
    std::vector<std::string> ped = linesof(slurp(b + ".ped"));
    std::stringstream first(ped[0]);
    std::string f[6], a1, a2;
    first >> f[0] >> f[1] >> f[2] >> f[3] >> f[4] >> f[5];
    const char* pairs[] = {"GG", "AG", "AA"};
    for (size_t l = 0; l < 1000; l++) {
        first >> a1 >> a2;
        char c = y[20][l];
        ASSERT_EQ(a1 + a2, c == '-' ? "00" : pairs[c - '0']) << l;
    }
}

TEST(miscall, MultiallelicErrorsChangeOneAllele)
{
    std::vector<std::string> args = {"--individuals", "150", "--loci", "400", "--markers",
                                     "multi", "--missing", "0.02", "--subpops", "2"};
    std::string a = runwith(args, "a");
    args.insert(args.end(), {"--error", "0.05"});
    std::string b = runwith(args, "b");
    for (const char* ext : {".truth.pairs.tsv", ".truth.indiv.tsv", ".pop"})
        EXPECT_EQ(slurp(a + ext), slurp(b + ext)) << ext;
    std::vector<std::string> x = linesof(slurp(a + ".gen")), y = linesof(slurp(b + ".gen"));
    ASSERT_EQ(x.size(), 150u);
    long long typed = 0, wrong = 0;
    for (size_t i = 0; i < 150; i++) {
        std::stringstream sx(x[i]), sy(y[i]);
        std::string idx, idy;
        sx >> idx;
        sy >> idy;
        ASSERT_EQ(idx, idy);
        for (int l = 0; l < 400; l++) {
            int p, q, u, v;
            ASSERT_TRUE(sx >> p >> q && sy >> u >> v);
            ASSERT_EQ(p == 0, u == 0);
            if (p == 0)
                continue;
            typed++;
            if ((p == u && q == v) || (p == v && q == u))
                continue;
            wrong++;
            // Exactly one of the two alleles differs.
            ASSERT_TRUE((p == u) + (q == v) == 1) << p << " " << q << " " << u << " " << v;
            ASSERT_TRUE(u >= 1 && u <= 999 && v >= 1 && v <= 999);
        }
    }
    EXPECT_NEAR(wrong / double(typed), 0.05, 0.005);
}
