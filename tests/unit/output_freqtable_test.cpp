// The allele frequency table: one entry per locus of the file, raw allele
// IDs from the side file (layout 0) or 1 and 2 (SNPs).
#include "output_fixture.hpp"

#include "output/output.hpp"

using namespace outtest;

namespace {

const std::string freqcolumns = "(Columns 1-3 = allele ID, initial & updated frequency)\n" + std::string(51, '-');

std::string freqbody()
{
    return body(tabletext([](textout& o, lookup& lk) { writefreq(o, lk); }), freqcolumns);
}

// Three SNP loci; the second is monomorphic.
void snpcase()
{
    smallrun(2, scratch());
    vars.dataform = 2;
    vars.outallelefre = 1;
    vars.numloci = 3;
    vars.numloci2 = 2;
    vars.markeridx = {0, 1, 0, 2};
    vars.locusloc = {0, 2, 4};
    vars.numallallele = 4;
    vars.maxnumallele = 2;
    vars.maxrawallele = 2;
    vars.numa = {0, 3, 5, 6, 2};
    vars.allelecnt = {0.0, 3.0, 5.0, 5.5, 2.5};
    vars.nummisg = {0, 1, 0};
}

// Layout 0: locus 1 with raw IDs 105, 7, 999; locus 2 monomorphic (12);
// locus 3 never genotyped; locus 4 merged with locus 1 (20, 21, 22).
void rawcase(const std::filesystem::path& dir)
{
    smallrun(2, dir);
    vars.dataform = 0;
    vars.outallelefre = 1;
    vars.numloci = 4;
    vars.numloci2 = 1;
    vars.markeridx = {0, 1, 0, 0, 1};
    vars.markercnt = {0, 2};
    vars.locusloc = {0, 3};
    vars.numallallele = 3;
    vars.maxnumallele = 3;
    vars.maxrawallele = 999;
    vars.numa = {0, 4, 2, 2};
    vars.allelecnt = {0.0, 3.0, 3.0, 2.0};
    vars.nummisg = {0, 2};
}

const std::string rawentries = "Locus 1: 3 alleles, 2 missing genotypes\r\n105 0.500 0.375\r\n7 0.250 0.375\r\n"
                               "999 0.250 0.250\r\n\n"
                               "Locus 2: 1 alleles, 0 missing genotypes\r\n12 1.000 1.000\r\n\n"
                               "Locus 3: 1 alleles, 0 missing genotypes\r\n0 1.000 1.000\r\n\n"
                               "Locus 4: 3 alleles, 2 missing genotypes\r\n20 0.500 0.375\r\n21 0.250 0.375\r\n"
                               "22 0.250 0.250\r\n\n";

std::string sidefile() { return vars.outfile + ".RawAllele"; }

}  // namespace

TEST(outputfreq, headingAndSnpEntries)
{
    snpcase();
    std::string sep(51, '-');
    std::string t = tabletext([](textout& o, lookup& lk) { writefreq(o, lk); });
    EXPECT_EQ(t, "\n\n" + sep + "\nAllele frequency estimates\n" + freqcolumns +
                     "\n"
                     "Locus 1: 2 alleles, 1 missing genotypes\r\n1 0.375 0.375\r\n2 0.625 0.625\r\n\n"
                     "Locus 2: 1 alleles, 0 missing genotypes\r\n1 1.000 1.000\r\n\n"
                     // 5.5 / 8 = 0.6875 and 2.5 / 8 = 0.3125 are ties
                     "Locus 3: 2 alleles, 0 missing genotypes\r\n1 0.750 0.688\r\n2 0.250 0.313\r\n\n");
    ASSERT_EQ(vars.ca3.size(), 3u);
    EXPECT_EQ(vars.ca3[0], "0  ");
    EXPECT_EQ(vars.ca3[2], "2  ");
}

TEST(outputfreq, eightEntriesMakeABlock)
{
    smallrun(2, scratch());
    vars.dataform = 1;
    vars.numloci = 9;
    vars.numloci2 = 0;
    vars.markeridx.assign(10, 0);
    vars.locusloc = {0};
    vars.maxnumallele = 2;
    vars.maxrawallele = 2;
    std::string b = freqbody();
    auto entry = [](int l) {
        return "Locus " + std::to_string(l) + ": 1 alleles, 0 missing genotypes\r\n1 1.000 1.000\r\n";
    };
    std::string expect;
    for (int l = 1; l <= 8; ++l) expect += entry(l) + (l < 8 ? "\r\n" : "\n");
    expect += entry(9) + "\n";
    EXPECT_EQ(b, expect);
}

TEST(outputfreq, rawIdsReadBackAndSideFileDeleted)
{
    std::filesystem::path dir = scratch();
    rawcase(dir);
    std::filesystem::copy_file(std::filesystem::path(KINEX_TEST_DATA) / "output" / "fourloci.RawAllele", sidefile());
    testing::internal::CaptureStdout();
    output();
    std::string screen = testing::internal::GetCapturedStdout();
    std::string t = slurp(vars.outfile);
    ASSERT_GE(t.size(), rawentries.size());
    EXPECT_EQ(t.substr(t.size() - rawentries.size()), rawentries);
    EXPECT_FALSE(std::filesystem::exists(sidefile()));
    EXPECT_NE(screen.find("\n  Allele frequencies, Locus 1~4\n  Writing to file, "), std::string::npos) << screen;
    EXPECT_EQ(vars.ca3.size(), 1000u);
    EXPECT_EQ(vars.ca3[999], "999");
    EXPECT_EQ(vars.ca3[7], "7  ");
}

TEST(outputfreq, eachRecordStartsOnANewLine)
{
    std::filesystem::path dir = scratch();
    rawcase(dir);
    // commas as separators and surplus values at the end of a record's line
    spit(sidefile(), "3,105,7\r\n999 5 5\r\n1 12 13\r\n\r\n1 0\r\n3 20 21 22 23\r\n");
    EXPECT_EQ(freqbody(), rawentries);
}

TEST(outputfreq, snpSideFileIsNeitherReadNorDeleted)
{
    snpcase();
    spit(sidefile(), "x");
    testing::internal::CaptureStdout();
    output();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::filesystem::exists(sidefile()));
}

TEST(outputfreq, missingSideFileStops)
{
    std::filesystem::path dir = scratch();
    rawcase(dir);
    testing::internal::CaptureStdout();
    EXPECT_THROW(output(), runend);
    std::string screen = testing::internal::GetCapturedStdout();
    EXPECT_NE(screen.find(sidefile()), std::string::npos) << screen;
    EXPECT_NE(screen.find("Program stopped in subroutine Output"), std::string::npos);
}

TEST(outputfreq, shortSideFileStops)
{
    std::filesystem::path dir = scratch();
    rawcase(dir);
    for (const char* text : {"   3 105   7\n 999\n   1  12\n   1   0\n",  // no record for locus 4
                             "   3 105   7\n 999\n   1  12\n   1   0\n   3  20  21\n",  // record ends early
                             "   2 105   7\n   1  12\n   1   0\n   3  20  21  22\n",  // fewer IDs than alleles
                             "   3 105   x 999\n"}) {
        spit(sidefile(), text);
        testing::internal::CaptureStdout();
        EXPECT_THROW(output(), runend) << text;
        std::string screen = testing::internal::GetCapturedStdout();
        EXPECT_NE(screen.find(sidefile()), std::string::npos) << screen;
    }
}
