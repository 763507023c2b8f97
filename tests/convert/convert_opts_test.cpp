// The command line of kinex-convert and the parameter file's names.
#include "convtest.hpp"
#include "parwrite.hpp"

TEST(convertopts, NeedsExactlyOneInput)
{
    EXPECT_NE(optfail({}).find("give one input"), std::string::npos);
    EXPECT_NE(optfail({"--bfile", "a", "--vcf", "b.vcf"}).find("give one input"),
              std::string::npos);
    EXPECT_EQ(optfail({"--help"}), "");
    EXPECT_TRUE(cv.help);
}

TEST(convertopts, RefusesBadValues)
{
    EXPECT_NE(optfail({"--bfile", "a", "--inbreed", "2"}).find("--inbreed needs a whole number"),
              std::string::npos);
    EXPECT_NE(optfail({"--bfile", "a", "--seed", "2147483648"}).find("--seed"),
              std::string::npos);
    EXPECT_NE(optfail({"--bfile", "a", "--seed", "1x"}).find("not '1x'"), std::string::npos);
    EXPECT_NE(optfail({"--bfile"}).find("--bfile needs a value"), std::string::npos);
    EXPECT_NE(optfail({"--bfile", "a", "--out", "x\"y"}).find("without double quotes"),
              std::string::npos);
    EXPECT_NE(optfail({"--bfile", "a", "--layout", "0"}).find("unknown option --layout"),
              std::string::npos);
    EXPECT_NE(optfail({"a.bed"}).find("unexpected argument 'a.bed'"), std::string::npos);
}

TEST(convertopts, OutputNamesFollowTheInput)
{
    ASSERT_EQ(optfail({"--bfile", "dir/data"}), "");
    EXPECT_EQ(cv.out, "dir/data");
    EXPECT_EQ(cv.results, "dir/data.out");
    for (const char* v : {"s.vcf", "s.vcf.gz", "s.vcf.bgz", "s.bcf"}) {
        ASSERT_EQ(optfail({"--vcf", v}), "");
        EXPECT_EQ(cv.out, "s") << v;
    }
    ASSERT_EQ(optfail({"--vcf", "s.txt", "--out", "o", "--results", "r"}), "");
    EXPECT_EQ(cv.out, "o");
    EXPECT_EQ(cv.results, "r");
}

TEST(convertopts, FileNamesAreQuotedWhenKinexWouldCutThem)
{
    EXPECT_EQ(parname("a.gen"), "a.gen");
    for (const char* n : {"d/a.gen", "a b", "a,b", "a;b", "a\tb"})
        EXPECT_EQ(parname(n), "\"" + std::string(n) + "\"");
}

class convertout : public convdir {};

TEST_F(convertout, NeverOverwritesItsInput)
{
    put("x.bed", "");
    std::string m = run({"--bfile", at("x"), "--results", at("x.bim")});
    EXPECT_NE(m.find("would overwrite the input"), std::string::npos) << m;
}

TEST(convertopts, NextCommandsCarryMleAndTheMap)
{
    ASSERT_EQ(optfail({"--bfile", "d/x", "--mle", "2"}), "");
    EXPECT_EQ(nexttext(), "next: kinex INP:d/x.par MLE:2\nthen: kinex-report d/x.out\n");
    ASSERT_EQ(optfail({"--bfile", "x", "--out", "my run", "--results", "r.txt", "--short-ids"}),
              "");
    EXPECT_EQ(cv.mapname, "my run.ids.tsv");
    EXPECT_EQ(nexttext(), "next: kinex 'INP:my run.par'\n"
                          "then: kinex-report r.txt --ids 'my run.ids.tsv'\n");
    EXPECT_NE(optfail({"--bfile", "x", "--mle", "3"}).find("--mle needs a whole number from 0 to 2"),
              std::string::npos);
    EXPECT_NE(optfail({"--bfile", "x", "--id", "FID"}).find("--id needs IID or FID_IID"),
              std::string::npos);
    EXPECT_NE(optfail({"--vcf", "x.vcf", "--id", "FID_IID"}).find("needs PLINK input"),
              std::string::npos);
    EXPECT_NE(optfail({"--bfile", "x", "--results", std::string(500, 'r')}).find("longer than"),
              std::string::npos);
}

TEST_F(convertout, ShortIdentifiersAndTheirMap)
{
    // IIDs that repeat across families, one too long
    put("x.fam", "f1 a 0 0 1 -9\nf2 a 0 0 2 -9\nf3 abcdefghijklmnopqrstu 0 0 1 -9\n");
    put("x.bim", "1 s1 0 1 A G\n");
    put("x.bed", std::string("\x6C\x1B\x01\x38", 4));
    std::string m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("--short-ids numbers the individuals"), std::string::npos) << m;
    ASSERT_EQ(run({"--bfile", at("x"), "--short-ids"}), "");
    EXPECT_EQ(get("x.gen"), "I1 I2 I3\n2\n1\n0\n");
    EXPECT_EQ(get("x.ids.tsv"), "ID\tFID\tIID\nI1\tf1\ta\nI2\tf2\ta\nI3\tf3\tabcdefghijklmnopqrstu\n");
    m = run({"--bfile", at("x"), "--id", "FID_IID", "--out", at("y")});
    EXPECT_NE(m.find("1 identifier cannot"), std::string::npos) << m;
    EXPECT_NE(m.find("'f3_abcdefghijklmnopqrstu' (individual 3): longer than 20"),
              std::string::npos)
        << m;
}
