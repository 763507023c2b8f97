// PLINK binary filesets to layout 2: exact text, blocked transposition,
// and every way a fileset can be broken.
#include <random>
#include "convtest.hpp"

namespace {

matrix randomrows(int n, int m, unsigned seed)
{
    std::mt19937 g(seed);
    const char* pick = "2100-";
    matrix rows(size_t(n), std::string(size_t(m), '0'));
    for (auto& r : rows)
        for (auto& c : r)
            c = pick[g() % 5];
    return rows;
}

std::vector<std::string> names(int n)
{
    std::vector<std::string> v;
    for (int i = 1; i <= n; i++)
        v.push_back("ind" + std::to_string(i));
    return v;
}

class bed : public convdir {
protected:
    void fileset(const std::string& p, const std::vector<std::string>& ids, const matrix& rows)
    {
        std::string fam, bim;
        for (auto& id : ids)
            fam += "fam " + id + " 0 0 1 -9\n";
        for (size_t l = 1; l <= rows[0].size(); l++)
            bim += "1\tsnp" + std::to_string(l) + "\t0\t" + std::to_string(l) + "\tA\tG\n";
        put(p + ".fam", fam);
        put(p + ".bim", bim);
        put(p + ".bed", bedbytes(rows));
    }
    static std::string gentext(const std::vector<std::string>& ids, const matrix& rows)
    {
        std::string s;
        for (size_t k = 0; k < ids.size(); k++)
            s += ids[k] + ((k % 10 == 9 || k + 1 == ids.size()) ? "\n" : " ");
        for (auto& r : rows)
            s += r + "\n";
        return s;
    }
};

} // namespace

TEST_F(bed, WritesLayout2WithCopiesOfA1)
{
    matrix rows = randomrows(7, 37, 1);
    fileset("x", names(7), rows);
    ASSERT_EQ(run({"--bfile", at("x")}), "");
    EXPECT_EQ(get("x.gen"), gentext(names(7), rows));
    std::string par = get("x.par");
    EXPECT_EQ(par.substr(0, par.find("DataForm")),
              "7 number of individuals\n37 number of loci\n2 ");
    EXPECT_NE(par.find("PLINK's A1 (.bim column 5)"), std::string::npos);
    // names with a folder are quoted, or KINEX would cut them at the slash
    EXPECT_NE(par.find("\n\"" + at("x.gen") + "\" genotype file\n"), std::string::npos);
    EXPECT_NE(par.find("\n\"" + at("x.out") + "\" results file\n"), std::string::npos);
    EXPECT_NE(par.find("\n1 Inbreed\n"), std::string::npos);
    EXPECT_EQ(par.substr(par.find(" results file\n") + 14),
              "1 random seed\n0 RndDelta0\n0 UpdateP\n0 OutAlleleFre\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"x.bed", "x.bim", "x.fam", "x.gen", "x.par"}));
}

TEST_F(bed, GroupsOfIndividualsGiveTheSameFile)
{
    // 4, 16 and all individuals at a time, sizes that leave part bytes
    for (int n : {2, 5, 9, 23}) {
        matrix rows = randomrows(n, 41, unsigned(n));
        fileset("g", names(n), rows);
        for (int64_t gb : {1, 700, 0}) {
            ASSERT_EQ(run({"--bfile", at("g"), "--out", at("o")}, gb), "");
            EXPECT_EQ(get("o.gen"), gentext(names(n), rows)) << n << " individuals, " << gb;
        }
    }
}

TEST_F(bed, OptionsReachTheParameterFile)
{
    fileset("x", names(3), randomrows(3, 2, 3));
    ASSERT_EQ(run({"--bfile", at("x"), "--out", at("y"), "--results=r.txt", "--inbreed", "0",
                   "--seed", "-7", "--rnd-delta0", "1", "--update-p=1", "--out-allele-fre", "1"}),
              "");
    std::string par = get("y.par");
    EXPECT_NE(par.find("\n0 Inbreed\n"), std::string::npos);
    EXPECT_NE(par.find("\nr.txt results file\n-7 random seed\n1 RndDelta0\n1 UpdateP\n"
                       "1 OutAlleleFre\n"),
              std::string::npos);
}

TEST_F(bed, BrokenFilesetsStopAndLeaveNothing)
{
    matrix rows = randomrows(6, 10, 4);
    fileset("x", names(6), rows);
    put("x.gen", "old");
    std::string good = get("x.bed");

    put("x.bed", good.substr(0, good.size() - 1));
    std::string m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("x.bed is too short (truncated: it ends inside SNP 10) for its .bim and .fam"),
              std::string::npos)
        << m;

    put("x.bed", good + good.substr(3, 2));   // one SNP too many
    m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("does not agree with its .bim and .fam"), std::string::npos) << m;
    EXPECT_NE(m.find("(6 individuals)"), std::string::npos) << m;
    EXPECT_NE(m.find("(10 SNPs)"), std::string::npos) << m;

    // (a .fam one or two longer would need the same bytes per SNP: only
    // counts that change the bytes per SNP can be caught)
    put("x.bed", good);
    put("x.fam", get("x.fam") + "fam ind7 0 0 1 -9\nfam ind8 0 0 1 -9\nfam ind9 0 0 1 -9\n");
    m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("x.bed is too short (truncated: it ends inside SNP 7)"), std::string::npos)
        << m;
    EXPECT_NE(m.find("(9 individuals)"), std::string::npos) << m;

    fileset("x", names(6), rows);
    put("x.bim", get("x.bim") + "1\tsnp11\t0\t11\tA\tG\n");
    m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("x.bed is too short for its .bim and .fam: it holds 20 bytes of genotypes, "
                     "but"),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("(11 SNPs) need 22 bytes of genotypes (2 per SNP)"), std::string::npos) << m;

    fileset("x", names(6), rows);
    put("x.bed", "\x6C\x1B\x00" + good.substr(3));
    EXPECT_NE(run({"--bfile", at("x")}).find("individual-major"), std::string::npos);
    put("x.bed", "#" + good);
    EXPECT_NE(run({"--bfile", at("x")}).find("not a PLINK 1 binary genotype file"),
              std::string::npos);
    put("x.bed", "");
    EXPECT_NE(run({"--bfile", at("x")}).find("not a PLINK 1 binary genotype file"),
              std::string::npos);

    fileset("x", names(6), rows);
    put("x.bim", "1 snp1 0 1 A\n");
    EXPECT_NE(run({"--bfile", at("x")}).find("x.bim line 1 has 5 fields"), std::string::npos);
    put("x.bim", "");
    EXPECT_NE(run({"--bfile", at("x")}).find("lists no SNPs"), std::string::npos);
    put("x.fam", "fam ind1 0 0 1 -9\n");
    EXPECT_NE(run({"--bfile", at("x")}).find("KINEX needs at least 2"), std::string::npos);
    std::remove(at("x.fam").c_str());
    EXPECT_NE(run({"--bfile", at("x")}).find("cannot read " + at("x.fam")), std::string::npos);

    // every failure above left the old output alone and no temporary file
    EXPECT_EQ(get("x.gen"), "old");
    EXPECT_EQ(files(), (std::vector<std::string>{"x.bed", "x.bim", "x.gen"}));
}

TEST_F(bed, IdentifiersKinexCannotReadAreListedBeforeWriting)
{
    matrix rows = randomrows(6, 3, 5);
    fileset("x", {"a,b", "c/d", "e;f", "g\"h", "i'j", "abcdefghijklmnopqrstu"}, rows);
    std::string m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("6 identifiers cannot be used"), std::string::npos) << m;
    for (const char* s : {"'a,b' (individual 1): holds a comma",
                          "'c/d' (individual 2): holds a slash",
                          "'e;f' (individual 3): holds a semicolon",
                          "'g\"h' (individual 4): holds a quote",
                          "'i'j' (individual 5): holds a quote",
                          "'abcdefghijklmnopqrstu' (individual 6): longer than 20 bytes"})
        EXPECT_NE(m.find(s), std::string::npos) << s;
    EXPECT_NE(m.find("Nothing was written."), std::string::npos);

    fileset("x", {"abcdefghijklmnopqrstuv", "p", "abcdefghijklmnopqrstuw", "p", "q", "r"}, rows);
    m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("'p' (individual 4): repeats individual 2"), std::string::npos) << m;
    EXPECT_NE(m.find("collides with 'abcdefghijklmnopqrstuv' (individual 1)"),
              std::string::npos)
        << m;
    EXPECT_EQ(files(), (std::vector<std::string>{"x.bed", "x.bim", "x.fam"}));

    // twenty problems are listed, the rest counted
    std::vector<std::string> ids;
    for (int i = 0; i < 25; i++)
        ids.push_back("x," + std::to_string(i));
    fileset("x", ids, randomrows(25, 3, 6));
    m = run({"--bfile", at("x")});
    EXPECT_NE(m.find("... and 5 more"), std::string::npos) << m;
    EXPECT_EQ(m.find("'x,20'"), std::string::npos);
}

TEST_F(bed, TwentyCharacterIdentifiersAndManyOfThemPass)
{
    std::vector<std::string> ids = names(23);
    ids[0] = "abcdefghijklmnopqrst";
    matrix rows = randomrows(23, 5, 7);
    fileset("x", ids, rows);
    ASSERT_EQ(run({"--bfile", at("x")}), "");
    EXPECT_EQ(get("x.gen"), gentext(ids, rows));
}
