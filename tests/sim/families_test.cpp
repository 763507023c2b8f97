#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include "families.h"

namespace {

int type_of(const std::string& name)
{
    for (int t = 0; t < family_types(); t++)
        if (name == family_name(t))
            return t;
    return -1;
}

sample one_family(const std::string& name)
{
    sample s;
    int t = type_of(name);
    build_sample(family_size(t), {t}, s);
    return s;
}

} // namespace

TEST(families, pedigree_kinship_and_inbreeding_by_hand)
{
    struct want {
        const char* fam;
        const char* rel;
        double kin;
    };
    const want w[] = {
        {"po", "UN", 0},        {"po", "PO", 0.25},      {"fs", "FS", 0.25},
        {"hs", "HS", 0.125},    {"fc", "FC", 0.0625},    {"av", "AV", 0.125},
        {"fsm", "FS", 0.25},    {"fsm", "PO_FSM", 0.375}, {"hsm", "HS", 0.125},
        {"hsm", "PO_HSM", 0.3125}, {"ifs", "FS_FSM", 0.375},
    };
    for (const want& x : w) {
        sample s = one_family(x.fam);
        bool seen = false;
        for (const relpair& p : s.pairs)
            if (std::string(p.rel) == x.rel) {
                EXPECT_DOUBLE_EQ(p.kexp, x.kin) << x.fam << " " << x.rel;
                seen = true;
            }
        EXPECT_TRUE(seen) << x.fam << " " << x.rel;
    }
    std::map<std::string, double> fexp = {{"fsm", 0.25}, {"hsm", 0.125}, {"ifs", 0.25}};
    for (auto& [fam, f] : fexp) {
        sample s = one_family(fam);
        EXPECT_DOUBLE_EQ(s.fexp.back(), f) << fam;
    }
    sample po = one_family("po");
    for (double f : po.fexp)
        EXPECT_EQ(f, 0);
}

TEST(families, every_sampled_pair_is_labelled)
{
    for (int t = 0; t < family_types(); t++) {
        sample s;
        build_sample(family_size(t), {t}, s);
        int k = family_size(t);
        ASSERT_EQ(s.pairs.size(), size_t(k * (k - 1) / 2)) << family_name(t);
        for (const relpair& p : s.pairs) {
            EXPECT_NE(std::string(p.rel), "?") << family_name(t);
            EXPECT_LT(p.a, p.b);
        }
    }
}

TEST(families, parents_come_before_children)
{
    sample s;
    std::vector<int> all;
    std::string err;
    ASSERT_TRUE(parse_families("all", all, err));
    build_sample(200, all, s);
    for (size_t m = 0; m < s.fa.size(); m++) {
        EXPECT_EQ(s.fa[m] < 0, s.mo[m] < 0);
        EXPECT_LT(s.fa[m], int(m));
        EXPECT_LT(s.mo[m], int(m));
    }
}

TEST(families, sample_is_filled_exactly_with_unique_clean_ids)
{
    std::vector<int> all;
    std::string err;
    ASSERT_TRUE(parse_families("all", all, err));
    for (long long n : {1LL, 2LL, 7LL, 19LL, 20LL, 21LL, 1001LL}) {
        sample s;
        build_sample(n, all, s);
        ASSERT_EQ(s.id.size(), size_t(n));
        std::set<std::string> ids(s.id.begin(), s.id.end());
        EXPECT_EQ(ids.size(), size_t(n));
        for (const std::string& id : s.id) {
            EXPECT_LE(id.size(), 20u);
            EXPECT_EQ(id.find_first_of(" \t,/;\"'"), std::string::npos) << id;
        }
    }
}

TEST(families, too_big_family_is_skipped_then_lone_founders_fill)
{
    std::vector<int> types;
    std::string err;
    ASSERT_TRUE(parse_families("po,fs", types, err));
    sample s;
    build_sample(7, types, s);   // po(3), fs(2), then po does not fit: fs(2)
    ASSERT_EQ(s.id.size(), 7u);
    EXPECT_EQ(s.id[0], "f0001_po_fa");
    EXPECT_EQ(s.id[3], "f0002_fs_c1");
    EXPECT_EQ(s.id[5], "f0003_fs_c1");
    build_sample(3, {type_of("fs")}, s);
    EXPECT_EQ(s.id[2], "f0002_un_i");
}

TEST(families, family_lists)
{
    std::vector<int> types;
    std::string err;
    ASSERT_TRUE(parse_families("fs,fs,hs", types, err));
    EXPECT_EQ(types, (std::vector<int>{type_of("fs"), type_of("fs"), type_of("hs")}));
    ASSERT_TRUE(parse_families("inbred", types, err));
    EXPECT_EQ(types, (std::vector<int>{type_of("fsm"), type_of("hsm"), type_of("ifs")}));
    EXPECT_FALSE(parse_families("fs,cousins", types, err));
    EXPECT_NE(err.find("cousins"), std::string::npos);
    EXPECT_FALSE(parse_families("fs,", types, err));
    EXPECT_FALSE(parse_families("", types, err));
}

TEST(families, sampled_parents_are_linked)
{
    sample s = one_family("po");
    ASSERT_EQ(s.id.size(), 3u);
    EXPECT_EQ(s.pat[2], 0);
    EXPECT_EQ(s.mat[2], 1);
    EXPECT_EQ(s.pat[0], -1);
    sample fs = one_family("fs");   // parents exist but are not written
    EXPECT_EQ(fs.pat[0], -1);
    EXPECT_EQ(fs.mat[1], -1);
}
