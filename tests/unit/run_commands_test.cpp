// Command-line arguments: keys, faulty values, repeats, help.
#include <gtest/gtest.h>

#include "run/commands.hpp"
#include "testutil.hpp"

namespace {

std::string run(std::vector<std::string> args)
{
    freshstate();
    args.insert(args.begin(), "kinex");
    programargs = args;
    return screenof([] { getcommands(); });
}

}  // namespace

TEST(commands, keysSetTheirFieldsAndRecordTheCommandLine)
{
    std::string screen = run({"IND:50", "GEN:  geno.txt  ", "OUT:res.txt", "INP:my.par", "LOC:7", "RAN:-5", "UPP:1",
                              "OMP:4"});
    EXPECT_EQ(screen, "");
    EXPECT_EQ(vars.numindiv, 50);
    EXPECT_EQ(vars.gtypefile, "geno.txt");
    EXPECT_EQ(vars.outfile, "res.txt");
    EXPECT_EQ(vars.parfile, "my.par");
    EXPECT_EQ(vars.numloci, 7);
    EXPECT_EQ(vars.idum, -5);
    EXPECT_EQ(vars.updatep, 1);
    EXPECT_EQ(vars.ompthd, 4);
    EXPECT_EQ(vars.commandline, "kinex IND:50 GEN:  geno.txt OUT:res.txt INP:my.par LOC:7 RAN:-5 UPP:1 OMP:4");
}

TEST(commands, startValuesMarkAbsentSettings)
{
    run({});
    EXPECT_EQ(vars.parfile, "VARN.par");
    EXPECT_EQ(vars.numindiv, -2147483647);
    EXPECT_EQ(vars.numloci, -2147483647);
    EXPECT_EQ(vars.idum, 0);
    EXPECT_EQ(vars.updatep, -1);
    EXPECT_EQ(vars.ompthd, 1);
    EXPECT_EQ(vars.commandline, "kinex");
}

TEST(commands, lowerCaseKeyIsUnrecognised)
{
    std::string screen = run({"ind:50"});
    EXPECT_EQ(screen, "\nRun option ind:50 unrecognized: ignored!\n\n");
    EXPECT_EQ(vars.numindiv, -2147483647);
    EXPECT_EQ(vars.commandline, "kinex ind:50");
}

TEST(commands, integerFieldRules)
{
    run({"IND:"});
    EXPECT_EQ(vars.numindiv, 0);  // an empty field reads as 0
    run({"RAN:"});
    EXPECT_EQ(vars.idum, 0);
    run({"IND: 1 2"});
    EXPECT_EQ(vars.numindiv, 12);  // blanks inside the field are ignored
    run({"IND:-2147483647"});
    EXPECT_EQ(vars.numindiv, -2147483647);
    run({"IND:1234567890123"});  // only 12 characters are read; they overflow
    EXPECT_EQ(vars.numindiv, -2147483647);
    run({"IND:12345678901  x"});  // the x lies beyond the 12-character field
    EXPECT_EQ(vars.numindiv, -2147483647);
}

TEST(commands, faultyIntegerIsReportedAndIgnored)
{
    std::string screen = run({"IND:  12a "});
    EXPECT_EQ(screen,
              "\nError in reading parameters from keyboard! Original input: IND:12a. The command is ignored!\n\n");
    EXPECT_EQ(vars.numindiv, -2147483647);
}

TEST(commands, repeatedKeyIsIgnoredEvenAfterAFaultyFirst)
{
    std::string screen = run({"GEN:a.txt", "GEN:b.txt", "IND:x", "IND:5"});
    EXPECT_EQ(vars.gtypefile, "a.txt");
    EXPECT_EQ(vars.numindiv, -2147483647);
    EXPECT_EQ(screen,
              "Repeated parameter values from keyboard! Original input: GEN:b.txt. The command is ignored!\n"
              "\nError in reading parameters from keyboard! Original input: IND:x. The command is ignored!\n\n"
              "Repeated parameter values from keyboard! Original input: IND:5. The command is ignored!\n");
}

// An empty argument is reported and passed over: the arguments after it
// still count (it once ended the list, and a results file named after it
// was never used).
TEST(commands, emptyArgumentIsReportedAndPassedOver)
{
    std::string screen = run({"IND:5", "   ", "", "LOC:9"});
    EXPECT_EQ(vars.numindiv, 5);
    EXPECT_EQ(vars.numloci, 9);
    EXPECT_EQ(vars.commandline, "kinex IND:5 \"\" \"\" LOC:9");
    EXPECT_EQ(screen, "\nEmpty run option: ignored!\n\n\nEmpty run option: ignored!\n\n");
}

TEST(commands, argumentsPastThe999thAreReported)
{
    std::vector<std::string> args(999, "RAN:1");
    args[0] = "IND:5";
    args.push_back("LOC:9");
    args.push_back("LOC:8");
    std::string screen = run(args);
    EXPECT_EQ(vars.numindiv, 5);
    EXPECT_EQ(vars.numloci, -2147483647);
    EXPECT_NE(screen.find("\nToo many run options: the 2 after the 999th are ignored!\n\n"), std::string::npos);
}

TEST(commands, dashHelpAndVersion)
{
    for (const char* word : {"-h", "--help", "--version"}) {
        freshstate();
        programargs = {"kinex", word, "LOC:3"};
        testing::internal::CaptureStdout();
        int status = -1;
        try {
            getcommands();
        } catch (const runend& e) {
            status = e.status;
        }
        std::string screen = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 0) << word;
        EXPECT_EQ(screen.substr(0, 5), std::string(word) == "--version" ? "KINEX" : "VARN ") << word;
        EXPECT_EQ(vars.numloci, -2147483647);
    }
}

TEST(commands, helpInAnyCaseEndsTheRun)
{
    for (const char* word : {"help", "HeLp", "HELP"}) {
        freshstate();
        programargs = {"kinex", "IND:5", word, "LOC:3"};
        testing::internal::CaptureStdout();
        int status = -1;
        try {
            getcommands();
        } catch (const runend& e) {
            status = e.status;
        }
        std::string screen = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 0);
        EXPECT_EQ(screen,
                  "VARN command line Arguments:\n  IND:[Number of individuals]\n  LOC:[Number of loci]\n"
                  "  RAN:[Random number seed]\n  INP:[Input parameter file name]\n  OUT:[Output file name]\n"
                  "  GEN:[Genotype file name]\n  UPP:[Update allele frequency 1/0]\n  OMP:[Number of openMP threads]\n"
                  "  MLE:[Maximum likelihood Deltas 0/1/2]\n"
                  "  PCS:[Ancestry components 0..20, with MLE:1/2]\n"
                  "  POP:[Population labels file, with MLE:1/2]\n"
                  "  ERR:[Genotyping error rate 0..0.2, with MLE:1/2]\n"
                  "  KIN:[Least kinship of the pairs written, -1 all; with MLE:1/2]\n");
        EXPECT_EQ(vars.numloci, -2147483647);
    }
}

TEST(commands, hyphenHelpIsUnrecognised)
{
    std::string screen = run({"-help"});
    EXPECT_EQ(screen, "\nRun option -help unrecognized: ignored!\n\n");
}

TEST(commands, helpOnOtherProcessesIsSilent)
{
    freshstate();
    vars.thd0q = false;
    programargs = {"kinex", "help"};
    testing::internal::CaptureStdout();
    EXPECT_THROW(getcommands(), runend);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// Kept whole, so that the parameter file's check refuses a name that does
// not fit instead of the run using a cut one.
TEST(commands, longArgumentsAreKeptWhole)
{
    std::string name(600, 'a');
    run({"GEN:" + name});
    EXPECT_EQ(vars.gtypefile.size(), 600u);
}
