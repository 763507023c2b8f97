// The estimator against known relationships, simulated by gene dropping
// over 2000 SNPs.
#include <gtest/gtest.h>

#include "estimation/estimation.hpp"
#include "estimation_setup.hpp"

namespace {

using esttest::genome;

struct sample {
    std::vector<genome> people;
    std::vector<std::pair<int32_t, int32_t>> parentchild, fullsibs, unrelated;
    // inbred configurations: (first, second) and the state they are in
    std::vector<std::pair<int32_t, int32_t>> state1, state2, state3, state4;
};

int32_t add(sample& s, const genome& g)
{
    s.people.push_back(g);
    return int32_t(s.people.size());
}

sample simulate(int families, int inbred, int32_t loci, uint64_t seed)
{
    esttest::rng r{seed};
    std::vector<double> p(static_cast<std::size_t>(loci), 0.0);
    for (double& x : p) x = 0.15 + 0.7 * r.uniform();
    sample s;
    for (int f = 0; f < families; ++f) {
        genome dad = esttest::founder(r, p), mum = esttest::founder(r, p);
        int32_t d = add(s, dad), m = add(s, mum);
        int32_t c1 = add(s, esttest::child(r, dad, mum)), c2 = add(s, esttest::child(r, dad, mum));
        s.parentchild.push_back({d, c1});
        s.parentchild.push_back({m, c2});
        s.fullsibs.push_back({c1, c2});
        s.unrelated.push_back({d, m});
    }
    for (int f = 0; f < inbred; ++f) {
        // X fully autozygous; X2 its copy; Y a child of X; Z, W unrelated to X,
        // W autozygous too
        genome x = esttest::doubled(r, esttest::founder(r, p));
        int32_t xi = add(s, x), x2 = add(s, x);
        int32_t yi = add(s, esttest::child(r, x, esttest::founder(r, p)));
        int32_t zi = add(s, esttest::founder(r, p));
        int32_t wi = add(s, esttest::doubled(r, esttest::founder(r, p)));
        s.state1.push_back({xi, x2});
        s.state3.push_back({xi, yi});
        s.state4.push_back({xi, zi});
        s.state2.push_back({xi, wi});
    }
    std::vector<std::vector<int>> copies;
    for (const genome& g : s.people) copies.push_back(esttest::copiesof(g));
    for (int32_t l = 0; l < loci; ++l) copies[0][std::size_t(l)] = 1;  // keep every locus polymorphic
    esttest::snpdata(copies);
    return s;
}

double meandelta(const std::vector<std::pair<int32_t, int32_t>>& pairs, int k)
{
    double sum = 0;
    for (auto [i, j] : pairs) sum += double(esttest::deltaof(k, i, j));
    return sum / double(pairs.size());
}

void estimate()
{
    int32_t replicate = 1;
    em_delta_p(replicate);
}

}  // namespace

TEST(estimation_truth, parentsOffspringAndSibsWithoutInbreeding)
{
    esttest::freshstate(0);
    sample s = simulate(20, 0, 2000, 101);
    estimate();
    EXPECT_GT(meandelta(s.parentchild, 8), 0.93);
    EXPECT_LT(meandelta(s.parentchild, 7), 0.04);
    EXPECT_NEAR(meandelta(s.fullsibs, 7), 0.25, 0.07);
    EXPECT_NEAR(meandelta(s.fullsibs, 8), 0.50, 0.08);
    EXPECT_NEAR(meandelta(s.fullsibs, 9), 0.25, 0.07);
    EXPECT_GT(meandelta(s.unrelated, 9), 0.93);
}

TEST(estimation_truth, autozygousPairsFindTheirStates)
{
    esttest::freshstate(1);
    sample s = simulate(8, 8, 2000, 202);
    estimate();
    EXPECT_GT(meandelta(s.state1, 1), 0.9);  // X with its copy
    EXPECT_GT(meandelta(s.state3, 3), 0.85);  // X with its child
    EXPECT_GT(meandelta(s.state4, 4), 0.85);  // X with an outbred stranger
    EXPECT_GT(meandelta(s.state2, 2), 0.85);  // X with an autozygous stranger
    // the other orientation exchanges the roles
    double childfirst = 0;
    for (auto [x, y] : s.state3) childfirst += double(esttest::deltaof(5, y, x));
    EXPECT_GT(childfirst / double(s.state3.size()), 0.85);
    // nine free states and at most 100 iterations leave some weight behind
    EXPECT_GT(meandelta(s.parentchild, 8), 0.8);
    for (auto [x, x2] : s.state1) EXPECT_GT(vars.inb[std::size_t(x)], 0.3);
}
