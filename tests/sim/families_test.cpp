#include <gtest/gtest.h>
#include <set>
#include <string>
#include "families.h"

namespace {

sample one_family(const std::string& name)
{
    std::vector<int> t;
    std::string err;
    EXPECT_TRUE(parse_families(name, t, err)) << err;
    sample s;
    build_sample(family_size(t[0]), t, s);
    return s;
}

} // namespace

TEST(families, pedigree_kinship_and_inbreeding_by_hand)
{
    struct want {
        const char *fam, *rel;
        double kin;
    } w[] = {{"po", "UN", 0},       {"po", "PO", 0.25},         {"fs", "FS", 0.25},
             {"hs", "HS", 0.125},   {"fc", "FC", 0.0625},       {"av", "AV", 0.125},
             {"fsm", "FS", 0.25},   {"fsm", "PO_FSM", 0.375},   {"hsm", "HS", 0.125},
             {"hsm", "PO_HSM", 0.3125}, {"ifs", "FS_FSM", 0.375}};
    for (const want& x : w) {
        int seen = 0;
        for (const relpair& p : one_family(x.fam).pairs) {
            if (std::string(p.rel) != x.rel)
                continue;
            EXPECT_DOUBLE_EQ(p.kexp, x.kin) << x.fam << " " << x.rel;
            seen++;
        }
        EXPECT_GT(seen, 0) << x.fam << " " << x.rel;
    }
    EXPECT_DOUBLE_EQ(one_family("fsm").fexp.back(), 0.25);
    EXPECT_DOUBLE_EQ(one_family("hsm").fexp.back(), 0.125);
    EXPECT_DOUBLE_EQ(one_family("ifs").fexp.back(), 0.25);
    EXPECT_DOUBLE_EQ(one_family("hsm").fexp.front(), 0);
}

TEST(families, every_sampled_pair_is_labelled_and_parents_come_first)
{
    for (int t = 0; t < family_types(); t++) {
        sample s;
        build_sample(family_size(t), {t}, s);
        int k = family_size(t);
        ASSERT_EQ(s.pairs.size(), size_t(k * (k - 1) / 2)) << family_name(t);
        for (const relpair& p : s.pairs)
            EXPECT_NE(std::string(p.rel), "?") << family_name(t);
        for (size_t m = 0; m < s.fa.size(); m++) {
            EXPECT_LT(s.fa[m], int(m));
            EXPECT_LT(s.mo[m], int(m));
        }
    }
}

TEST(families, sample_is_filled_with_whole_families_and_clean_ids)
{
    std::vector<int> types;
    std::string err;
    ASSERT_TRUE(parse_families("all", types, err));
    for (long long n : {1LL, 19LL, 21LL, 1001LL}) {
        sample s;
        build_sample(n, types, s);
        ASSERT_EQ(s.id.size(), size_t(n));
        EXPECT_EQ(std::set<std::string>(s.id.begin(), s.id.end()).size(), size_t(n));
        for (const std::string& id : s.id)
            EXPECT_TRUE(id.size() <= 20 && id.find_first_of(" \t,/;\"'") == std::string::npos);
    }
    ASSERT_TRUE(parse_families("po,fs", types, err));
    sample s;
    build_sample(7, types, s);   // po(3), fs(2), then po does not fit: fs(2)
    EXPECT_EQ(s.id[5], "f0003_fs_c1");
    build_sample(3, {types[1]}, s);
    EXPECT_EQ(s.id[2], "f0002_un_i");
    EXPECT_FALSE(parse_families("fs,cousins", types, err));
    EXPECT_FALSE(parse_families("fs,", types, err));
}
