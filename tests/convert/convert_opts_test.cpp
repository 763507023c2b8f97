// The command line of kinex-convert and the parameter file's names.
#include "convtest.hpp"
#include "parwrite.hpp"

namespace {

std::string optfail(std::vector<std::string> args)
{
    resetconv();
    std::vector<const char*> argv{"kinex-convert"};
    for (auto& a : args)
        argv.push_back(a.c_str());
    try {
        readopts(int(argv.size()), argv.data());
    } catch (const convfail& e) {
        return e.msg;
    }
    return "";
}

} // namespace

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
