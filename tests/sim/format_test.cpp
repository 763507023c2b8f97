// Exact text of the files, from small hand-made genotypes.
#include <gtest/gtest.h>
#include <sstream>
#include "families.hpp"
#include "genfile.hpp"
#include "markers.hpp"
#include "outfile.hpp"
#include "parfile.hpp"
#include "plinkfile.hpp"
#include "simtest.hpp"

namespace {

// Three individuals at four SNPs; codes count copies of allele 1.
genos threebyfour()
{
    genos g;
    g.n = 3;
    g.loci = 4;
    g.g = {2, 1, 0, snpmissing, 0, 0, 1, 2, 1, snpmissing, 2, 2};
    return g;
}

const std::vector<std::string> ids3 = {"a1", "b22", "c333"};

// Text that the put routines write into a fresh file.
template <class F>
std::string written(F body)
{
    std::string path = tmpprefix("x.gen"), err;
    FILE* f = outopen(path, err);
    EXPECT_TRUE(f) << err;
    if (!f)
        return "";
    body(f);
    EXPECT_TRUE(outclose(f, path, err)) << err;
    EXPECT_TRUE(outcommit(err)) << err;
    return slurp(path);
}

} // namespace

TEST(format, Layout0)
{
    EXPECT_EQ(written([](FILE* f) { putlayout0(f, ids3, threebyfour()); }),
              "a1 1 1 1 2 2 2 0 0\nb22 2 2 2 2 1 2 1 1\nc333 1 2 0 0 1 1 1 1\n");
    genos g;   // multi-allelic: allele indices map to each locus's raw IDs
    g.n = 2;
    g.loci = 2;
    g.w = 2;
    g.ids.assign(2 * maxalleles, 0);
    g.ids[0] = 17;
    g.ids[1] = 999;
    g.ids[2] = 3;
    g.ids[maxalleles] = 250;
    g.ids[maxalleles + 1] = 1;
    g.g = {0, 1, 1, 0, 2, 2, allelemissing, allelemissing};
    EXPECT_EQ(written([&](FILE* f) { putlayout0(f, {"p", "q"}, g); }),
              "p 17 999 1 250\nq 3 3 0 0\n");
}

TEST(format, Layout1FromLocusMajorCodes)
{
    genos g = threebyfour();
    std::vector<uint8_t> bylocus;
    for (int l = 0; l < 4; l++)
        for (int k = 0; k < 3; k++)
            bylocus.push_back(g.g[k * 4 + l]);
    EXPECT_EQ(written([&](FILE* f) {
                  putidblock(f, ids3);
                  putlocuslines(f, bylocus.data(), 2, 3);
                  putlocuslines(f, bylocus.data() + 6, 2, 3);
              }),
              "a1 b22 c333\n201\n10-\n012\n-22\n");
}

TEST(format, Layout2AndTenIdsToALine)
{
    EXPECT_EQ(written([](FILE* f) { putlayout2(f, ids3, threebyfour()); }),
              "a1 b22 c333\n210-\n0012\n1-22\n");
    std::vector<std::string> ids;
    for (int i = 0; i < 21; i++)
        ids.push_back("i" + std::to_string(i));
    EXPECT_EQ(written([&](FILE* f) { putidblock(f, ids); }),
              "i0 i1 i2 i3 i4 i5 i6 i7 i8 i9\ni10 i11 i12 i13 i14 i15 i16 i17 i18 i19\ni20\n");
    ids.resize(10);
    EXPECT_EQ(written([&](FILE* f) { putidblock(f, ids); }), "i0 i1 i2 i3 i4 i5 i6 i7 i8 i9\n");
}

TEST(format, ParameterFile)
{
    parvals p;
    p.n = 12;
    p.loci = 3400;
    p.layout = 1;
    p.inbreed = 0;
    p.gen = "run/a.gen";
    p.results = "a.out";
    p.seed = 99;
    p.rnddelta0 = 1;
    p.outallelefre = 1;
    EXPECT_EQ(partext(p),
              "12 number of individuals\n3400 number of loci\n1 DataForm (genotype layout)\n"
              "0 Inbreed\n\"run/a.gen\" genotype file\na.out results file\n99 random seed\n"
              "1 RndDelta0\n0 UpdateP\n1 OutAlleleFre\n");
    for (const char* s : {"/tmp/a", "my run", "a,b", "a;b", "a\tb"})
        EXPECT_EQ(parname(s), "\"" + std::string(s) + "\"");
}

TEST(format, PlinkPedAndMap)
{
    sample s;
    buildsample(3, {1}, s);    // father, mother, child
    ASSERT_EQ(s.id[2], "f0001_po_ch");
    std::string pre = tmpprefix("x"), err;
    ASSERT_TRUE(writeped(pre + ".ped", s, threebyfour(), err)) << err;
    ASSERT_TRUE(outcommit(err)) << err;
    EXPECT_EQ(slurp(pre + ".ped"),
              "f0001_po f0001_po_fa 0 0 1 -9 A A A G G G 0 0\n"
              "f0001_po f0001_po_mo 0 0 2 -9 G G G G A G A A\n"
              "f0001_po f0001_po_ch f0001_po_fa f0001_po_mo 1 -9 A G 0 0 A A A A\n");
    // One SNP sits in the middle of the genome: chromosome 8 starts at
    // 1,392,795,691 of the 2,881,033,286 bp of chromosomes 1..22 laid end to end.
    ASSERT_TRUE(writemap(pre + ".map", 1, err)) << err;
    ASSERT_TRUE(outcommit(err)) << err;
    EXPECT_EQ(slurp(pre + ".map"), "8 snp1 0 47720954\n");
}

TEST(format, MapSpreadsSnpsOverTheAutosomes)
{
    const long long len[22] = {249250621, 243199373, 198022430, 191154276, 180915260, 171115067,
                               159138663, 146364022, 141213431, 135534747, 135006516, 133851895,
                               115169878, 107349540, 102531392, 90354753,  81195210,  78077248,
                               59128983,  63025520,  48129895,  51304566};
    std::string pre = tmpprefix("x"), err;
    for (long long L : {100000LL, 22LL, 7LL}) {
        ASSERT_TRUE(writemap(pre + ".map", L, err)) << err;
        ASSERT_TRUE(outcommit(err)) << err;
        std::vector<std::string> lines = linesof(slurp(pre + ".map"));
        ASSERT_EQ(lines.size(), size_t(L));
        std::vector<long long> count(23, 0);
        int lastchr = 1;
        long long lastpos = 0;
        for (long long l = 0; l < L; l++) {
            std::stringstream ss(lines[l]);
            int chr;
            std::string name, cm;
            long long pos;
            ss >> chr >> name >> cm >> pos;
            ASSERT_EQ(name, "snp" + std::to_string(l + 1));
            ASSERT_EQ(cm, "0");
            ASSERT_TRUE(chr >= lastchr && chr <= 22) << lines[l];
            ASSERT_TRUE(pos >= 1 && pos <= len[chr - 1]) << lines[l];
            if (chr == lastchr && l > 0) {
                ASSERT_GT(pos, lastpos) << lines[l];
            }
            lastchr = chr;
            lastpos = pos;
            count[chr]++;
        }
        // Each chromosome holds its share of the SNPs, give or take one.
        for (int c = 1; c <= 22; c++)
            EXPECT_NEAR(double(count[c]), double(L) * double(len[c - 1]) / 2881033286.0, 1.0)
                << L << " chromosome " << c;
    }
    // 100,000 SNPs: evenly spaced, 28,810 bp apart.
    ASSERT_TRUE(writemap(pre + ".map", 100000, err)) << err;
    ASSERT_TRUE(outcommit(err)) << err;
    std::vector<std::string> lines = linesof(slurp(pre + ".map"));
    EXPECT_EQ(lines[1].substr(0, 14), "1 snp2 0 43216");
    EXPECT_EQ(lines[0].substr(0, 14), "1 snp1 0 14406");
}

TEST(format, WriteErrorsAreReported)
{
    std::string err;
    EXPECT_FALSE(outopen("/nonexistent-dir/x.gen", err));
    EXPECT_NE(err.find("/nonexistent-dir/x.gen"), std::string::npos);
    FILE* f = outopen("/dev/full", err);
    if (f) {
        putlayout2(f, ids3, threebyfour());
        EXPECT_FALSE(outclose(f, "/dev/full", err));
    }
}
