// Whole runs: options, reproducibility, missing genotypes, layouts agreeing.
#include <gtest/gtest.h>
#include "simopts.hpp"
#include "simrun.hpp"
#include "simtest.hpp"

namespace {

bool parses(std::vector<std::string> args, opts& o)
{
    std::vector<const char*> argv = {"kinex-sim"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::string err;
    return parseopts(int(argv.size()), argv.data(), o, err);
}

// Runs kinex-sim with ARGS into a fresh directory; returns the prefix.
std::string run(std::vector<std::string> args, const std::string& name = "s")
{
    opts o;
    EXPECT_TRUE(parses(args, o));
    o.out = tmpprefix(name);
    std::string err;
    EXPECT_TRUE(runsim(o, err)) << err;
    return o.out;
}

// Identifiers and per-individual rows of a layout 2 file.
void layout2(const std::string& text, size_t n, size_t loci, std::vector<std::string>& ids,
             std::vector<std::string>& rows)
{
    size_t body = n * (loci + 1);
    ASSERT_GT(text.size(), body);
    std::stringstream head(text.substr(0, text.size() - body));
    for (std::string id; head >> id;)
        ids.push_back(id);
    rows = linesof(text.substr(text.size() - body));
    ASSERT_EQ(ids.size(), n);
    ASSERT_EQ(rows.size(), n);
}

// FNV-1a digest of a file's bytes.
uint64_t digest(const std::string& path)
{
    uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : slurp(path))
        h = (h ^ c) * 0x100000001b3ULL;
    return h;
}

} // namespace

TEST(run, Options)
{
    opts o;
    ASSERT_TRUE(parses({"--markers", "multi", "--out=a", "--individuals", "50"}, o));
    EXPECT_TRUE(o.multi);
    EXPECT_EQ(o.layout, 0);
    EXPECT_EQ(o.n, 50);
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--layout", "3"}, {"--layout", "1", "--markers", "multi"},
          {"--plink", "--markers", "multi"}, {"--missing", "1"}, {"--missing", "nan"},
          {"--individuals", "0"}, {"--loci", "12x"}, {"--loci"}, {"--seed", "-1"},
          {"--inbreed", "2"}, {"--families", "fs,xx"}, {"--out", "a\"b"}, {"--colour", "red"},
          {"stray"}, {"--subpops", "0"}, {"--subpops", "2", "--fst", "0"},
          {"--subpops", "2", "--fst", "1"}, {"--fst", "0.1"}, {"--admixed", "0.5"},
          {"--subpops", "2", "--admixed", "1.5"}, {"--error", "1"}, {"--error", "-0.1"}, {"--error", "0.1x"},
          {"--bed", "--markers", "multi"}, {"--bed=1"}}) {
        opts fresh;
        EXPECT_FALSE(parses(bad, fresh)) << bad[0] << " " << bad.back();
    }
}

TEST(run, SameSeedSameFilesOtherSeedOtherGenotypes)
{
    std::vector<std::string> args = {"--individuals", "40", "--loci", "300", "--missing", "0.1",
                                     "--plink"};
    std::string a = run(args, "a"), b = run(args, "b");
    args.insert(args.end(), {"--seed", "2"});
    std::string c = run(args, "c");
    for (const char* ext : {".gen", ".truth.pairs.tsv", ".truth.indiv.tsv", ".ped", ".map"}) {
        EXPECT_FALSE(slurp(a + ext).empty()) << ext;
        EXPECT_EQ(slurp(a + ext), slurp(b + ext)) << ext;
    }
    // The parameter files differ only in the names of the files.
    std::string par = slurp(b + ".par");
    for (size_t at; (at = par.find(b + ".")) != std::string::npos;)
        par.replace(at, b.size(), a);
    EXPECT_EQ(slurp(a + ".par"), par);
    EXPECT_NE(slurp(a + ".gen"), slurp(c + ".gen"));
    EXPECT_NE(slurp(a + ".truth.pairs.tsv"), slurp(c + ".truth.pairs.tsv"));
}

TEST(run, TheThreeLayoutsHoldTheSameGenotypesAndMissingRate)
{
    const size_t n = 23, L = 300;
    std::vector<std::string> args = {"--individuals", "23", "--loci", "300", "--missing", "0.05"};
    std::string text[3];
    for (int layout = 0; layout < 3; layout++) {
        std::vector<std::string> a = args;
        a.insert(a.end(), {"--layout", std::to_string(layout)});
        text[layout] = slurp(run(a, "l" + std::to_string(layout)) + ".gen");
    }
    std::vector<std::string> ids, rows, lines0 = linesof(text[0]), lines1 = linesof(text[1]);
    layout2(text[2], n, L, ids, rows);
    ASSERT_EQ(lines0.size(), n);
    ASSERT_EQ(lines1.size(), 3 + L);
    EXPECT_EQ(text[1].substr(0, text[1].size() - L * (n + 1)),
              text[2].substr(0, text[2].size() - n * (L + 1)));
    const char* pairof[] = {" 2 2", " 1 2", " 1 1"};
    int miss = 0;
    for (size_t k = 0; k < n; k++) {
        std::string want0 = ids[k];
        for (size_t l = 0; l < L; l++) {
            char ch = rows[k][l];
            ASSERT_EQ(lines1[3 + l][k], ch);
            ASSERT_NE(std::string("012-").find(ch), std::string::npos);
            miss += ch == '-';
            want0 += ch == '-' ? " 0 0" : pairof[ch - '0'];
        }
        ASSERT_EQ(lines0[k], want0);
    }
    EXPECT_NEAR(miss / double(n * L), 0.05, 0.01);
}

TEST(run, TriosAreMendelianAndCodesCountTheMinorAllele)
{
    // Sibs first, so that unwritten parents sit between written people.
    std::vector<std::string> ids, rows;
    layout2(slurp(run({"--families", "fs,po", "--individuals", "300", "--loci", "400"}) + ".gen"),
            300, 400, ids, rows);
    long long copies = 0, trios = 0;
    for (size_t t = 0; t + 2 < 300; t++) {
        if (ids[t].find("_po_fa") == std::string::npos)
            continue;
        trios++;
        for (size_t l = 0; l < 400; l++) {
            // The child has one allele 1 from each parent at most, and one
            // for sure from a parent homozygous for it.
            int f = rows[t][l] - '0', m = rows[t + 1][l] - '0', c = rows[t + 2][l] - '0';
            ASSERT_GE(c, (f == 2) + (m == 2)) << ids[t] << " locus " << l;
            ASSERT_LE(c, (f > 0) + (m > 0)) << ids[t] << " locus " << l;
            copies += f + m + c;
        }
    }
    EXPECT_EQ(trios, 60);
    // Minor allele frequencies are uniform in 0.05..0.5: 0.275 on average.
    EXPECT_NEAR(copies / (2.0 * 3 * trios * 400), 0.275, 0.02);
}

TEST(run, ParameterAndTruthFiles)
{
    std::string pre = run({"--individuals", "20", "--loci", "100", "--markers", "multi"});
    std::vector<std::string> par = linesof(slurp(pre + ".par"));
    ASSERT_EQ(par.size(), 10u);
    EXPECT_EQ(par[4], "\"" + pre + ".gen\" genotype file");
    std::vector<std::string> pairs = linesof(slurp(pre + ".truth.pairs.tsv"));
    ASSERT_EQ(pairs.size(), 2u + 14u);   // one cycle of all family types
    EXPECT_EQ(pairs[0][0], '#');
    EXPECT_EQ(pairs[1], "id1\tid2\trelation\td1\td2\td3\td4\td5\td6\td7\td8\td9\tkinship\t"
                        "kinship_exp");
    EXPECT_EQ(pairs[2].substr(0, 28), "f0002_po_fa\tf0002_po_mo\tUN\t0");
    EXPECT_EQ(pairs[2].substr(pairs[2].size() - 27), "\t1.000000\t0.000000\t0.000000");
    std::vector<std::string> ind = linesof(slurp(pre + ".truth.indiv.tsv"));
    ASSERT_EQ(ind.size(), 21u);
    EXPECT_EQ(ind[0], "id\tfamily\trole\tF\tF_exp");
    EXPECT_EQ(ind[1], "f0001_un_i\tf0001_un\ti\t0.000000\t0.000000");
    // Multi-allelic layout 0: the ID and two allele IDs in 1..999 per locus.
    for (const std::string& line : linesof(slurp(pre + ".gen"))) {
        std::stringstream ss(line.substr(line.find(' ')));
        int l = 0;
        for (int x; ss >> x; l++)
            ASSERT_TRUE(x >= 1 && x <= 999) << x;
        EXPECT_EQ(l, 200);
    }
}

// The files of runs without the newer options (subpopulations, errors) are
// the bytes that kinex-sim wrote before those options existed, and stay so
// when the options are given their neutral values.
TEST(run, RunsWithoutTheNewerOptionsKeepTheirBytes)
{
    struct want {
        const char* ext;
        uint64_t h;
    };
    const std::vector<want> snp = {{".gen", 0x99094ded5d584f57ULL},
                                   {".truth.pairs.tsv", 0xb7ba9892e6f0559fULL},
                                   {".truth.indiv.tsv", 0x128f2c45f3066036ULL},
                                   {".ped", 0x0a8b930a178ab9edULL}};
    const std::vector<want> multi = {{".gen", 0xf50327734bcbe11bULL},
                                     {".truth.pairs.tsv", 0xcafebf50a4dbe0a3ULL},
                                     {".truth.indiv.tsv", 0x9b4034a9a0ee49dfULL}};
    std::vector<std::string> a = {"--individuals", "60", "--loci", "500", "--missing", "0.05",
                                  "--plink"};
    std::vector<std::string> b = {"--markers", "multi", "--individuals", "45", "--loci", "300",
                                  "--missing", "0.1", "--seed", "9"};
    const std::vector<std::string> neutral = {"--subpops", "1", "--admixed", "0", "--error", "0"};
    for (int rep = 0; rep < 2; rep++) {
        std::string pa = run(a, "a" + std::to_string(rep)), pb = run(b, "b" + std::to_string(rep));
        for (const want& x : snp)
            EXPECT_EQ(digest(pa + x.ext), x.h) << x.ext << " " << rep;
        for (const want& x : multi)
            EXPECT_EQ(digest(pb + x.ext), x.h) << x.ext << " " << rep;
        EXPECT_FALSE(std::filesystem::exists(pa + ".pop"));
        a.insert(a.end(), neutral.begin(), neutral.end());
        b.insert(b.end(), neutral.begin(), neutral.end());
    }
}
