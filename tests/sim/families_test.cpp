#include <gtest/gtest.h>
#include <set>
#include <string>
#include "families.hpp"

namespace {

sample onefamily(const std::string& name)
{
    std::vector<int> t;
    std::string err;
    EXPECT_TRUE(parsefamilies(name, t, err)) << err;
    sample s;
    buildsample(familysize(t[0]), t, s);
    return s;
}

} // namespace

TEST(families, PedigreeKinshipAndInbreedingByHand)
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
        for (const relpair& p : onefamily(x.fam).pairs) {
            if (std::string(p.rel) != x.rel)
                continue;
            EXPECT_DOUBLE_EQ(p.kexp, x.kin) << x.fam << " " << x.rel;
            seen++;
        }
        EXPECT_GT(seen, 0) << x.fam << " " << x.rel;
    }
    EXPECT_DOUBLE_EQ(onefamily("fsm").fexp.back(), 0.25);
    EXPECT_DOUBLE_EQ(onefamily("hsm").fexp.back(), 0.125);
    EXPECT_DOUBLE_EQ(onefamily("ifs").fexp.back(), 0.25);
    EXPECT_DOUBLE_EQ(onefamily("hsm").fexp.front(), 0);
}

TEST(families, EverySampledPairIsLabelledAndParentsComeFirst)
{
    for (int t = 0; t < familytypes(); t++) {
        sample s;
        buildsample(familysize(t), {t}, s);
        int k = familysize(t);
        ASSERT_EQ(s.pairs.size(), size_t(k * (k - 1) / 2)) << familyname(t);
        for (const relpair& p : s.pairs)
            EXPECT_NE(std::string(p.rel), "?") << familyname(t);
        for (size_t m = 0; m < s.fa.size(); m++) {
            EXPECT_LT(s.fa[m], int(m));
            EXPECT_LT(s.mo[m], int(m));
        }
    }
}

TEST(families, SampleIsFilledWithWholeFamiliesAndCleanIds)
{
    std::vector<int> types;
    std::string err;
    ASSERT_TRUE(parsefamilies("all", types, err));
    for (long long n : {1LL, 19LL, 21LL, 1001LL}) {
        sample s;
        buildsample(n, types, s);
        ASSERT_EQ(s.id.size(), size_t(n));
        EXPECT_EQ(std::set<std::string>(s.id.begin(), s.id.end()).size(), size_t(n));
        for (const std::string& id : s.id)
            EXPECT_TRUE(id.size() <= 20 && id.find_first_of(" \t,/;\"'") == std::string::npos);
    }
    ASSERT_TRUE(parsefamilies("po,fs", types, err));
    sample s;
    buildsample(7, types, s);   // po(3), fs(2), then po does not fit: fs(2)
    EXPECT_EQ(s.id[5], "f0003_fs_c1");
    buildsample(3, {types[1]}, s);
    EXPECT_EQ(s.id[2], "f0002_un_i");
    EXPECT_FALSE(parsefamilies("fs,cousins", types, err));
    EXPECT_FALSE(parsefamilies("fs,", types, err));
}
