// The run record: parameters, run times and the convergence figures, and
// the opening of the results file.
#include "output_fixture.hpp"

#include <cmath>
#include <regex>

#include "output/output.hpp"

using namespace outtest;

namespace {

std::string recordtext(const std::filesystem::path& dir)
{
    std::filesystem::path file = dir / "record.txt";
    std::filesystem::remove(file);
    {
        textout out;
        textopen(out, file.string(), false, "Output");
        writerunrecord(out);
        textclose(out);
    }
    return slurp(file);
}

// The whole results file of output(), screen output captured and dropped.
std::string outputtext()
{
    testing::internal::CaptureStdout();
    output();
    testing::internal::GetCapturedStdout();
    return slurp(vars.outfile);
}

}  // namespace

TEST(outputrecord, parameterBlock)
{
    std::filesystem::path dir = scratch();
    smallrun(4, dir);
    vars.commandline = "kinex IND:4 RAN:-7";
    vars.numloci = 10;
    vars.numloci2 = 3;
    vars.markercnt = {0, 2, 1, 4};  // merged loci count once each
    vars.maxnumallele = 12;
    vars.iseed = -7;
    vars.numthreads = 3;
    vars.gtypefile = "geno.txt";
    vars.outfile = "out.txt";
    vars.rnddelta0 = 1;
    vars.updatep = 0;
    std::string t = recordtext(dir);
    std::string sep(30, '-');
    std::string expect = "\n" + sep + "\nRunning parameters and options\n" + sep +
                         "\n\nCommand line arguments:\n  kinex IND:4 RAN:-7\n"
                         "\nRun parameters and basic data statistics:\n"
                         "  Number of individuals = 4\n"
                         "  Number of loci = 10\n"
                         "  Number of monomorphic loci = 3\n"
                         "  Number of polymorphic loci = 7\n"
                         "  Number of unique polymorphic loci = 3\n"
                         "  Max number of allele/locus = 12\n"
                         "  Random number seed = -7\n"
                         "  Number of MPI parallel threads = 3\n"
                         "  Parameter file = VARN.par\n"
                         "  Genotype file = geno.txt\n"
                         "  Output file = out.txt\n"
                         "  Random start Delta = 1\n"
                         "  Update allele frequency = 0\n"
                         "\n\n" +
                         std::string(36, '-') + "\nRunning time, Tolerance and Iterates\n" + std::string(36, '-') + "\n";
    EXPECT_EQ(t.substr(0, expect.size()), expect);
}

TEST(outputrecord, timeLines)
{
    std::filesystem::path dir = scratch();
    smallrun(2, dir);
    vars.date1 = {"20261206", "20261207"};
    vars.time1 = {"140509.123", "163007.999"};
    EXPECT_EQ(timeline(0), "Run started  date = 06/12/2026, Time = 09/05/14");
    EXPECT_EQ(timeline(1), "Run finished date = 07/12/2026, Time = 07/30/16");
    EXPECT_EQ(timeline(0).size(), 47u);
    EXPECT_EQ(timeline(1).size(), 47u);

    // the record takes the end of the run now
    std::string t = recordtext(dir);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(t, m,
                                  std::regex("\nRun started  date = 06/12/2026, Time = 09/05/14\n"
                                             "(Run finished date = \\d\\d/\\d\\d/\\d{4}, Time = \\d\\d/\\d\\d/\\d\\d)\n")));
    EXPECT_EQ(m[1].length(), 47);
    EXPECT_EQ(vars.date1[1].size(), 8u);
    EXPECT_EQ(timeline(1), m[1].str());
}

TEST(outputrecord, noJointEstimationGivesIterZeroAndTwoEmptyLines)
{
    smallrun(2, scratch());
    vars.updatep = 0;
    vars.iter2 = 57;  // not shown without the joint estimation
    std::string t = outputtext();
    EXPECT_NE(t.find("\n\nTol = 0.000000E+00\nIter = 0\n\n\n" + std::string(25, '-') + "\nIBD coefficient"),
              std::string::npos);
    EXPECT_EQ(t.find("Tol(1-"), std::string::npos);
}

TEST(outputrecord, toleranceListOfTwentyValues)
{
    smallrun(2, scratch());
    vars.updatep = 1;
    vars.iter2 = 20;
    vars.tol2 = 1.234567e-5;
    vars.toliter.assign(401, 0.0);
    for (int i = 1; i <= 20; ++i) vars.toliter[std::size_t(i)] = std::ldexp(1.0, -i);
    std::string t = outputtext();
    std::string expect = "\nTol = 1.234567E-05\nIter = 20\n\nTol(1-20):\n"
                         " 5.000000E-01 2.500000E-01 1.250000E-01 6.250000E-02 3.125000E-02"
                         " 1.562500E-02 7.812500E-03 3.906250E-03 1.953125E-03 9.765625E-04\n"
                         " 4.882813E-04 2.441406E-04 1.220703E-04 6.103516E-05 3.051758E-05"
                         " 1.525879E-05 7.629395E-06 3.814697E-06 1.907349E-06 9.536743E-07\n"
                         "\n" +
                         std::string(25, '-') + "\nIBD coefficient";
    EXPECT_NE(t.find(expect), std::string::npos) << t;
}

TEST(outputrecord, toleranceListOfTwentyThreeValues)
{
    smallrun(2, scratch());
    vars.updatep = 1;
    vars.iter2 = 23;
    vars.toliter.assign(401, -2.5e-123);  // widest field: all 13 characters
    std::string t = outputtext();
    std::size_t p = t.find("Tol(1-23):\n");
    ASSERT_NE(p, std::string::npos);
    std::size_t q = t.find(std::string(25, '-'), p);
    std::vector<std::string> l = lines(t.substr(p, q - p));
    ASSERT_EQ(l.size(), 5u);
    std::string field = "-2.500000-123";
    EXPECT_EQ(l[1].size(), 130u);
    EXPECT_EQ(l[1].substr(0, 13), field);
    EXPECT_EQ(l[2].size(), 130u);
    EXPECT_EQ(l[3], field + field + field);
    EXPECT_EQ(l[4], "");
}

TEST(outputrecord, resultsFileInAMissingFolderStops)
{
    smallrun(2, scratch());
    vars.outfile = (std::filesystem::path(vars.outfile).parent_path() / "nofolder" / "res.txt").string();
    testing::internal::CaptureStdout();
    EXPECT_THROW(output(), runend);
    std::string screen = testing::internal::GetCapturedStdout();
    EXPECT_NE(screen.find(vars.outfile), std::string::npos) << screen;
    EXPECT_NE(screen.find("\nProgram stopped in subroutine Output\n"), std::string::npos) << screen;
}

TEST(outputrecord, screenLines)
{
    smallrun(3, scratch());
    vars.numloci = 12;
    vars.outallelefre = 0;
    testing::internal::CaptureStdout();
    output();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nWriting results...\n  Delta(X, Y), 3 individuals, 9 dyads (lines) ...\n"
              "  Inbreeding coefficients, 3 individuals (lines) ...\n  Writing to file, " +
                  vars.outfile + ", completed.\n");
    // the file ends with the inbreeding table
    std::string t = slurp(vars.outfile);
    std::string last = "\nA3 0 0 0 0 0.0000 0.0000\n";
    ASSERT_GE(t.size(), last.size());
    EXPECT_EQ(t.substr(t.size() - last.size()), last);
}
