// A whole results file: two individuals, three SNP loci (the third
// monomorphic), joint estimation over three iterations, allele frequencies.
// The expected text follows the file layout line by line; only the time of
// the run's end is masked.
#include "output_fixture.hpp"

#include <regex>

#include "output/output.hpp"
#include "run/banner.hpp"

using namespace outtest;

namespace {

void tinyrun(const std::filesystem::path& dir)
{
    smallrun(2, dir);
    vars.individ[1] = "Ann";
    vars.individ[2] = "Bob";
    vars.commandline = "kinex UPP:1";
    vars.numloci = 3;
    vars.numloci2 = 2;
    vars.dataform = 1;
    vars.markeridx = {0, 1, 2, 0};
    vars.markercnt = {0, 1, 1};
    vars.locusloc = {0, 2, 4};
    vars.numallallele = 4;
    vars.maxnumallele = 2;
    vars.maxrawallele = 2;
    vars.iseed = 12345;
    vars.gtypefile = "g.txt";
    vars.updatep = 1;
    vars.outallelefre = 1;
    vars.date1[0] = "20261206";
    vars.time1[0] = "140509.250";
    vars.tol2 = 2.5e-7;
    vars.iter2 = 3;
    vars.toliter.assign(401, 0.0);
    vars.toliter[1] = 1e-2;
    vars.toliter[2] = 1e-4;
    vars.toliter[3] = 2.5e-7;

    // the one pair: modes 1 and 5 once each; seen from Ann Delta3 = 1/8
    vars.iisdyad = {1, 0, 0, 0, 1, 0, 0, 0, 0};
    const float seen1[9] = {0, 0, 0.125f, 0, 0, 0, 0.25f, 0.375f, 0.25f};
    const float seen2[9] = {0, 0, 0, 0, 0.125f, 0, 0.25f, 0.375f, 0.25f};
    for (int m = 1; m <= 9; ++m) {
        vars.delta[deltaat(m, 2, 1)] = seen1[m - 1];
        vars.delta[deltaat(m, 1, 2)] = seen2[m - 1];
    }
    vars.inb = {0.0, 0.125, 0.0};
    vars.delta[deltaat(1, 1, 1)] = 0.125f;
    vars.delta[deltaat(7, 1, 1)] = 0.875f;
    vars.delta[deltaat(7, 2, 2)] = 1.0f;
    vars.indvar = {0, 1, 1, 0, 2, 0};

    vars.numa = {0, 3, 1, 2, 2};
    vars.allelecnt = {0.0, 2.5, 1.5, 2.0, 2.0};
    vars.nummisg = {0, 0, 0};
}

}  // namespace

TEST(outputwhole, tinyRunInFull)
{
    tinyrun(scratch());
    showversion(10);
    testing::internal::CaptureStdout();
    output();
    std::string screen = testing::internal::GetCapturedStdout();

    std::string t = slurp(vars.outfile);
    std::regex finish("Run finished date = \\d\\d/\\d\\d/\\d{4}, Time = \\d\\d/\\d\\d/\\d\\d\n");
    ASSERT_TRUE(std::regex_search(t, finish));
    t = std::regex_replace(t, finish, "Run finished date = DD/MM/YYYY, Time = SS/MM/HH\n");

    const std::string h65(65, '-'), h30(30, '-'), h36(36, '-'), h25(25, '-'), h48(48, '-'), h51(51, '-');
    std::string expect =
        h65 + "\n  KINEX, Version 1.0.0.0, Build 20211115\n" + h65 + "\n\n" +
        "\n" + h30 + "\nRunning parameters and options\n" + h30 + "\n" +
        "\nCommand line arguments:\n  kinex UPP:1\n" +
        "\nRun parameters and basic data statistics:\n"
        "  Number of individuals = 2\n"
        "  Number of loci = 3\n"
        "  Number of monomorphic loci = 1\n"
        "  Number of polymorphic loci = 2\n"
        "  Number of unique polymorphic loci = 2\n"
        "  Max number of allele/locus = 2\n"
        "  Random number seed = 12345\n"
        "  Number of MPI parallel threads = 1\n"
        "  Parameter file = VARN.par\n"
        "  Genotype file = g.txt\n"
        "  Output file = " + vars.outfile + "\n"
        "  Random start Delta = 0\n"
        "  Update allele frequency = 1\n" +
        "\n\n" + h36 + "\nRunning time, Tolerance and Iterates\n" + h36 + "\n" +
        "Run started  date = 06/12/2026, Time = 09/05/14\n"
        "Run finished date = DD/MM/YYYY, Time = SS/MM/HH\n"
        "\nTol = 2.500000E-07\nIter = 3\n"
        "\nTol(1-3):\n"
        " 1.000000E-02 1.000000E-04 2.500000E-07\n" +
        "\n" + h25 + "\nIBD coefficient estimates\n" + h25 + "\n" + ibdcolumns + "\n" +
        // r(1,2) of the pair: (0.125 + 0.25) / 2 + 0.375 / 4 = 0.28125; of Ann with herself 1.125 / 2
        "1 Ann Ann 1 0 0 0 0 0 1 0 0 0.1250 0.0000 0.0000 0.0000 0.0000 0.0000 0.8750 0.0000 0.0000 0.5625\n"
        "2 Ann Bob 1 0 0 0 1 0 0 0 0 0.0000 0.0000 0.1250 0.0000 0.0000 0.0000 0.2500 0.3750 0.2500 0.2813\n"
        "3 Bob Ann 1 0 1 0 0 0 0 0 0 0.0000 0.0000 0.0000 0.0000 0.1250 0.0000 0.2500 0.3750 0.2500 0.2813\n"
        "4 Bob Bob 2 0 0 0 0 0 0 0 0 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 1.0000 0.0000 0.0000 0.5000\n" +
        "\n\n" + h48 + "\nIndiv genotypes at polymorphic loci & inbreeding\n" + h48 + "\n" + inbcolumns + "\n" +
        "Ann 0 2 1 1 0.1250 0.0000\n"
        "Bob 0 2 2 0 0.0000 0.0000\n" +
        "\n\n" + h51 + "\nAllele frequency estimates\n(Columns 1-3 = allele ID, initial & updated frequency)\n" +
        h51 + "\n" +
        "Locus 1: 2 alleles, 0 missing genotypes\r\n1 0.750 0.625\r\n2 0.250 0.375\r\n\n"
        "Locus 2: 2 alleles, 0 missing genotypes\r\n1 0.500 0.500\r\n2 0.500 0.500\r\n\n"
        "Locus 3: 1 alleles, 0 missing genotypes\r\n1 1.000 1.000\r\n\n";
    EXPECT_EQ(t, expect);

    EXPECT_EQ(screen, "\nWriting results...\n"
                      "  Delta(X, Y), 2 individuals, 4 dyads (lines) ...\n"
                      "  Inbreeding coefficients, 2 individuals (lines) ...\n"
                      "  Allele frequencies, Locus 1~3\n"
                      "  Writing to file, " + vars.outfile + ", completed.\n");
}
