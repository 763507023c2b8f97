// The filters: their options, the samples and sites they keep (the
// genotype file as it must read), the account in OUT.log, and every way
// they stop without leaving a file.  tests/convert/plink2filters.sh holds
// them against PLINK 2 itself.
#include "convtest.hpp"

namespace {

bool has(const std::string& s, const std::string& part)
{
    return s.find(part) != std::string::npos;
}

std::string account()
{
    std::string s;
    for (const logline& l : cv.loglines)
        s += l.full + "\n";
    return s;
}

class filters : public convdir {
protected:
    // A fileset of the rows (one per individual: "fid iid") and the .bim
    // lines "chrom pos" (alleles A and G).
    void fileset(const std::string& p, const std::vector<std::string>& ids, const matrix& rows,
                 const std::vector<std::string>& sites)
    {
        std::string fam, bim;
        for (auto& id : ids)
            fam += id + " 0 0 1 -9\n";
        for (size_t l = 0; l < sites.size(); l++) {
            std::string chrom = sites[l].substr(0, sites[l].find(' '));
            bim += chrom + "\tsnp" + std::to_string(l + 1) + "\t0\t" +
                   sites[l].substr(sites[l].find(' ') + 1) + "\tA\tG\n";
        }
        put(p + ".fam", fam);
        put(p + ".bim", bim);
        put(p + ".bed", bedbytes(rows));
    }
};

} // namespace

TEST(convertfilters, OptionsTakePlinkValues)
{
    ASSERT_EQ(optfail({"--bfile", "d/a", "--maf", "--geno", "--mind=0.2", "--snps-only",
                       "just-acgt", "--max-alleles", "2", "--bp-space", "100", "--chr",
                       "1,3,5-7"}),
              "");
    EXPECT_EQ(cv.maf, 0.01);
    EXPECT_EQ(cv.geno, 0.1);
    EXPECT_EQ(cv.mind, 0.2);
    EXPECT_EQ(cv.snpsonly, 2);
    EXPECT_EQ(cv.maxalleles, 2);
    EXPECT_EQ(cv.bpspace, 100);
    EXPECT_EQ(cv.chrs, 0xEAu);   // 1, 3, 5, 6, 7
    EXPECT_EQ(cv.logname, "d/a.log");
    ASSERT_EQ(optfail({"--bfile", "a", "--snps-only", "--maf", "0.05"}), "");
    EXPECT_EQ(cv.snpsonly, 1);
    EXPECT_EQ(cv.maf, 0.05);
    ASSERT_EQ(optfail({"--bfile", "a"}), "");
    EXPECT_FALSE(cv.filtering);
    EXPECT_EQ(cv.logname, "");

    for (auto [arg, v, msg] : std::vector<std::array<std::string, 3>>{
             {"--maf", "1.5", "--maf needs a number from 0 to 1, not '1.5'"},
             {"--geno", "-0.1", "--geno needs a number from 0 to 1"},
             {"--mind", "nan", "--mind needs a number from 0 to 1"},
             {"--max-alleles", "0", "--max-alleles needs a whole number from 1"},
             {"--bp-space", "0", "--bp-space needs a whole number from 1"},
             {"--snps-only", "acgt", "--snps-only takes no value or just-acgt, not 'acgt'"},
             {"--keep", "", "--keep needs a non-empty name"},
             {"--chr", "X", "chromosome X is not an autosome; KINEX's model is autosomal"},
             {"--chr", "20-23", "chromosome 23 is not an autosome"},
             {"--chr", "chrMT", "chromosome chrMT is not an autosome"},
             {"--chr", "1,foo", "'foo' is not a chromosome"},
             {"--chr", "3-1", "the range 3-1 runs backwards"}}) {
        std::string m = optfail({"--bfile", "a", arg, v});
        EXPECT_TRUE(has(m, msg)) << arg << " " << v << ": " << m;
    }
    EXPECT_TRUE(has(optfail({"--bfile", "a", "--maf", "0.1", "--geno", "--maf=0.2"}),
                    "repeated option: '--maf=0.2' after '--maf 0.1'"));
}

TEST_F(filters, SitesOfManyAllelesAreCountedAndLeftOut)
{
    put("v.vcf", "##fileformat=VCFv4.2\n##contig=<ID=1>\n##contig=<ID=2>\n##contig=<ID=X>\n"
                 "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                 "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\n"
                 "1\t10\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/1\n"
                 "1\t20\t.\tA\tG,T\t.\t.\t.\tGT\t0/2\t1/1\t0/0\n"
                 "1\t30\t.\tA\tAT\t.\t.\t.\tGT\t0/1\t0/0\t./.\n"
                 "1\t40\t.\tA\t*\t.\t.\t.\tGT\t0/0\t0/1\t0/0\n"
                 "2\t50\t.\tA\tC,G,T\t.\t.\t.\tGT\t0/3\t0/0\t1/2\n"
                 "X\t60\t.\tA\tG\t.\t.\t.\tGT\t1\t0/1\t1/1\n");
    // a haploid X call stops the run, and the message names the way past it
    std::string m = run({"--vcf", at("v.vcf")});
    EXPECT_TRUE(has(m, "haploid call at X:60")) << m;
    EXPECT_TRUE(has(m, "--chr 1-22 leaves out X, Y, XY and MT")) << m;

    // two sites of 3 and 4 alleles make the file DataForm 0, and the
    // account says so and how to keep DataForm 2
    ASSERT_EQ(run({"--vcf", at("v.vcf"), "--chr", "1-22"}), "");
    EXPECT_TRUE(has(get("v.par"), "\n5 number of loci\n0 DataForm"));
    EXPECT_TRUE(has(account(), "note: 2 of the 5 sites have 3 or more alleles, so the whole "
                               "genotype file is DataForm 0"));
    EXPECT_TRUE(has(account(), "--max-alleles 2 leaves them out"));

    ASSERT_EQ(run({"--vcf", at("v.vcf"), "--chr", "1-22", "--max-alleles", "2", "--out",
                   at("m")}),
              "");
    EXPECT_EQ(get("m.gen"), "s1 s2 s3\n010\n101\n2-0\n");
    EXPECT_EQ(get("m.log"),
              "kinex-convert log\n"
              "kinex-convert --vcf " + at("v.vcf") + " --chr 1-22 --max-alleles 2 --out " +
                  at("m") + "\n" +
              at("v.vcf") + ": 3 samples\n" +
              at("v.vcf") + ": 6 sites\n"
              "--chr 1-22: 5 of 6 sites kept (1 on other chromosomes)\n"
              "--max-alleles 2: 3 of 5 sites kept (2 with more than 2 alleles)\n"
              "wrote " + at("m.gen") + " (3 individuals, 3 loci, DataForm 2) and " + at("m.par") +
              "; this account to " + at("m.log") + "\n");

    // --snps-only leaves out the indel; just-acgt the '*' allele too
    ASSERT_EQ(run({"--vcf", at("v.vcf"), "--chr", "1-22", "--snps-only", "--out", at("s")}), "");
    EXPECT_TRUE(has(get("s.par"), "\n4 number of loci\n0 DataForm"));
    ASSERT_EQ(run({"--vcf", at("v.vcf"), "--chr=1,2", "--snps-only", "just-acgt", "--max-alleles",
                   "2", "--out", at("s")}),
              "");
    EXPECT_EQ(get("s.gen"), "s1 s2 s3\n0\n1\n2\n");
    EXPECT_TRUE(has(account(), "--snps-only just-acgt: 3 of 5 sites kept (2 with an allele "
                               "other than A, C, G or T)"));
}

TEST_F(filters, SampleListsThenMissingnessThenFrequency)
{
    // 9 individuals (3 bytes a site), IID a in two families, b not a
    // KINEX identifier; c missing at 3 of 6 sites
    std::vector<std::string> ids = {"f1 a", "f1 b,x", "f2 c", "f2 d", "f3 e",
                                    "f3 f", "f4 g", "f4 h", "f5 a"};
    matrix rows = {"2102-0", "1-1100", "0--0-1", "210110", "221100",
                   "11-210", "000010", "2-1101", "012102"};
    fileset("x", ids, rows, {"1 1", "1 2", "1 3", "1 4", "1 5", "1 6"});
    // an IID alone stands for it in every family; a FID and IID for one
    put("keep.txt", "a\nf2 c\n\nf3 e\r\nf4 g\nf4 h\nf9 zz\n");
    put("remove.txt", "#IID\nh\n");
    ASSERT_EQ(run({"--bfile", at("x"), "--keep", at("keep.txt"), "--id", "FID_IID", "--out",
                   at("k")}),
              "");
    EXPECT_EQ(get("k.gen"), "f1_a f2_c f3_e f4_g f4_h f5_a\n"
                            "2102-0\n0--0-1\n221100\n000010\n2-1101\n012102\n");
    EXPECT_TRUE(has(account(), "--keep " + at("keep.txt") + ": 6 of 9 samples kept (3 not "
                               "listed; the list names 6, 1 of them not in the input)\n"));

    // c goes by --mind; site 5 by --geno 0 (a missing); site 6 by --maf 0.3
    // (2 copies of 8); the rest are numbered after the filters
    ASSERT_EQ(run({"--bfile", at("x"), "--keep", at("keep.txt"), "--remove", at("remove.txt"),
                   "--mind", "0.4", "--geno", "0", "--maf", "0.3", "--short-ids"}),
              "");
    EXPECT_EQ(get("x.gen"), "I1 I2 I3 I4\n2102\n2211\n0000\n0121\n");
    EXPECT_EQ(get("x.ids.tsv"), "ID\tFID\tIID\nI1\tf1\ta\nI2\tf3\te\nI3\tf4\tg\nI4\tf5\ta\n");
    std::string log = get("x.log");
    for (const std::string& line : std::vector<std::string>{
             "--remove " + at("remove.txt") + ": 5 of 6 samples kept (1 listed; the list names 1)\n",
          "--mind 0.4: 4 of 5 samples kept (1 typed at fewer than 60% of the 6 sites): c\n",
          "--geno 0: 5 of 6 sites kept (1 typed in fewer than 100% of the 4 samples)\n",
          "--maf 0.3: 4 of 5 sites kept (1 with a minor allele frequency below 0.3)\n",
          std::string("(4 individuals, 4 loci, DataForm 2)")})
        EXPECT_TRUE(has(log, line)) << line << "\n" << log;
}

TEST_F(filters, SitesApartOnEachChromosome)
{
    matrix rows = {"2101212", "1012100"};
    std::vector<std::string> ids = {"f a", "f b"};
    // 100 kept, 150 and 199 closer than 100, 200 kept, 260 not, 1000 kept;
    // chromosome 2 starts again
    fileset("x", ids, rows, {"1 100", "1 150", "1 199", "1 200", "1 260", "1 1000", "2 5"});
    ASSERT_EQ(run({"--bfile", at("x"), "--bp-space", "100"}), "");
    EXPECT_EQ(get("x.gen"), "a b\n2112\n1200\n");

    fileset("x", ids, rows, {"1 100", "1 150", "1 90", "1 200", "1 260", "1 1000", "2 5"});
    std::string m = run({"--bfile", at("x"), "--bp-space", "100"});
    EXPECT_TRUE(has(m, "on chromosome 1, position 90 comes after 150")) << m;
    fileset("x", ids, rows, {"1 100", "1 150", "2 90", "2 200", "1 260", "1 1000", "2 5"});
    m = run({"--bfile", at("x"), "--bp-space", "100"});
    EXPECT_TRUE(has(m, "chromosome 1 comes again at position 260")) << m;
    fileset("x", ids, rows, {"1 100", "1 1e3", "1 90", "1 200", "1 260", "1 1000", "2 5"});
    m = run({"--bfile", at("x"), "--bp-space", "100"});
    EXPECT_TRUE(has(m, "x.bim line 2: the position '1e3' is not a whole number")) << m;
}

TEST_F(filters, FailuresLeaveEverythingAsItWas)
{
    fileset("x", {"f a", "f b", "f c"}, {"2-", "-0", "01"}, {"1 1", "1 2"});
    put("x.gen", "old");
    put("x.log", "PLINK v2.00a3.5\n");
    put("none.txt", "f z\n");
    put("all.txt", "a\nb\nc\n");
    auto fails = [&](std::vector<std::string> opts, const std::string& msg) {
        std::vector<std::string> args{"--bfile", at("x")};
        args.insert(args.end(), opts.begin(), opts.end());
        std::string m = run(args);
        EXPECT_TRUE(has(m, msg)) << opts[0] << ": " << m;
    };
    fails({"--maf", "0.1"}, "cannot write " + at("x.log") + ": it is there and is not a "
                            "kinex-convert log");
    EXPECT_EQ(get("x.log"), "PLINK v2.00a3.5\n");
    std::remove(at("x.log").c_str());
    fails({"--keep", at("nofile")}, "cannot read " + at("nofile"));
    fails({"--keep", at("none.txt")}, "names none of the 3 samples of the input (its first: 'f "
                                      "z')");
    fails({"--remove", at("all.txt")}, "leaves 0 individuals; KINEX needs at least 2");
    fails({"--mind", "0"}, "--mind 0 leaves 1 individual; KINEX needs at least 2");
    fails({"--chr", "2"}, "--chr 2 leaves no site");
    fails({"--maf", "0.9"}, "--maf 0.9 leaves no site");
    fails({"--keep", at("x.gen")}, "the output " + at("x.gen") + " would overwrite the input");
    EXPECT_EQ(get("x.gen"), "old");
    EXPECT_EQ(files(), (std::vector<std::string>{"all.txt", "none.txt", "x.bed", "x.bim",
                                                 "x.fam", "x.gen"}));

    // the log is written with the outputs; a run without filters removes it
    ASSERT_EQ(run({"--bfile", at("x"), "--geno", "0.5"}), "");
    EXPECT_EQ(get("x.log").substr(0, 18), "kinex-convert log\n");
    ASSERT_EQ(run({"--bfile", at("x")}), "");
    EXPECT_EQ(cv.stalenames, std::vector<std::string>{at("x.log")});
    EXPECT_FALSE(fs::exists(at("x.log")));
}
