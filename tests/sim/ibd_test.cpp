// Realized identity by descent from gene dropping against known values.
#include <gtest/gtest.h>
#include <string>
#include "drop.h"
#include "families.h"
#include "truth.h"

namespace {

truth simulate(const std::string& fams, long long n, long long loci, sample& s, bool multi = false)
{
    std::vector<int> types;
    std::string err;
    EXPECT_TRUE(parse_families(fams, types, err)) << err;
    build_sample(n, types, s);
    truth t;
    truth_init(t, s);
    rng r;
    rng_seed(r, 12345);
    std::vector<uint32_t> lab(2 * s.fa.size());
    std::vector<uint8_t> al(2 * s.fa.size());
    locus loc;
    for (long long l = 0; l < loci; l++) {
        if (multi)
            draw_multi(r, loc);
        else
            draw_snp(r, loc);
        drop_genes(s.fa, s.mo, loc, r, lab.data(), al.data());
        truth_add(t, s, lab.data());
    }
    return t;
}

} // namespace

TEST(ibd, parent_offspring_is_always_state_8)
{
    sample s;
    truth t = simulate("po", 30, 500, s);
    int po = 0;
    for (size_t p = 0; p < s.pairs.size(); p++) {
        double d[9];
        truth_deltas(t, p, d);
        if (std::string(s.pairs[p].rel) == "PO") {
            EXPECT_EQ(d[7], 1.0);
            po++;
        } else {
            EXPECT_EQ(d[8], 1.0);   // the two mates
        }
    }
    EXPECT_EQ(po, 20);
}

TEST(ibd, full_sibs_share_a_quarter_half_quarter)
{
    sample s;
    truth t = simulate("fs", 10, 20000, s);
    ASSERT_EQ(s.pairs.size(), 5u);
    for (size_t p = 0; p < s.pairs.size(); p++) {
        double d[9];
        truth_deltas(t, p, d);
        EXPECT_NEAR(d[6], 0.25, 0.02);
        EXPECT_NEAR(d[7], 0.50, 0.02);
        EXPECT_NEAR(d[8], 0.25, 0.02);
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(d[i], 0.0);
    }
}

TEST(ibd, child_of_full_sibs_is_inbred_a_quarter)
{
    sample s;
    truth t = simulate("fsm", 30, 5000, s);
    int children = 0;
    for (size_t k = 0; k < s.who.size(); k++) {
        if (s.role[k] == "ch") {
            EXPECT_NEAR(truth_f(t, k), 0.25, 0.03);
            children++;
        } else {
            EXPECT_EQ(truth_f(t, k), 0.0);
        }
    }
    EXPECT_EQ(children, 10);
}

TEST(ibd, outbred_relations_match_their_delta8)
{
    sample s;
    truth t = simulate("hs,fc,av", 60, 4000, s);
    for (size_t p = 0; p < s.pairs.size(); p++) {
        double d[9];
        truth_deltas(t, p, d);
        std::string rel = s.pairs[p].rel;
        double want = rel == "FC" ? 0.25 : 0.5;
        EXPECT_NEAR(d[7], want, 0.04) << rel;
        EXPECT_NEAR(d[8], 1 - want, 0.04) << rel;
    }
}

TEST(ibd, parent_and_child_of_sibs)
{
    // The child is autozygous for the parent's gene (state 5) a quarter of
    // the time and carries both parental genes (state 7) a quarter of it.
    sample s;
    truth t = simulate("fsm", 30, 8000, s);
    for (size_t p = 0; p < s.pairs.size(); p++) {
        if (std::string(s.pairs[p].rel) != "PO_FSM")
            continue;
        double d[9];
        truth_deltas(t, p, d);
        EXPECT_NEAR(d[4], 0.25, 0.03);
        EXPECT_NEAR(d[6], 0.25, 0.03);
        EXPECT_NEAR(d[7], 0.50, 0.03);
    }
}

TEST(ibd, realized_kinship_tracks_the_pedigree_on_average)
{
    sample s;
    truth t = simulate("all", 400, 2000, s, true);
    std::vector<double> sum(4, 0);
    std::vector<int> hit(9, 0);
    for (size_t p = 0; p < s.pairs.size(); p++) {
        double d[9];
        truth_deltas(t, p, d);
        double k = d[0] + (d[2] + d[4] + d[6]) / 2 + d[7] / 4;
        EXPECT_NEAR(k, s.pairs[p].kexp, 0.06) << s.pairs[p].rel;
        for (int i = 0; i < 9; i++)
            hit[i] += d[i] > 0;
    }
    // Inbred families make every one of the nine states occur.
    for (int i = 0; i < 9; i++)
        EXPECT_GT(hit[i], 0) << "state " << i + 1;
    for (size_t k = 0; k < s.who.size(); k++)
        EXPECT_NEAR(truth_f(t, k), s.fexp[k], 0.05) << s.id[k];
}

TEST(ibd, founder_alleles_follow_the_locus_frequencies)
{
    rng r;
    rng_seed(r, 7);
    locus loc;
    draw_snp(r, loc);
    double p = loc.cum[0];
    EXPECT_GE(p, 0.05);
    EXPECT_LE(p, 0.5);
    int ones = 0, draws = 40000;
    for (int i = 0; i < draws; i++)
        ones += draw_allele(r, loc) == 0;
    EXPECT_NEAR(double(ones) / draws, p, 0.01);

    for (int rep = 0; rep < 200; rep++) {
        draw_multi(r, loc);
        ASSERT_GE(loc.n, 2);
        ASSERT_LE(loc.n, max_alleles);
        EXPECT_DOUBLE_EQ(loc.cum[loc.n - 1], 1.0);
        for (int k = 0; k < loc.n; k++) {
            EXPECT_GE(loc.id[k], 1);
            EXPECT_LE(loc.id[k], 999);
            for (int j = 0; j < k; j++)
                EXPECT_NE(loc.id[j], loc.id[k]);
            if (k) {
                EXPECT_GE(loc.cum[k], loc.cum[k - 1]);
            }
        }
        for (int i = 0; i < 50; i++)
            EXPECT_LT(draw_allele(r, loc), loc.n);
    }
}
