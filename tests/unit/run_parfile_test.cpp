// The parameter file: free-form values, checks, precedence of the command
// line, and the derived shares of individuals.
#include <gtest/gtest.h>

#include <filesystem>

#include "run/parfile.hpp"
#include "testutil.hpp"

namespace {

struct parcase {
    tempdir dir;
    std::string par, geno;
    parcase()
    {
        freshstate();
        par = dir.file("VARN.par");
        geno = dir.file("geno.txt");
        writefile(geno, "x\n");
        vars.parfile = par;
    }
    // The ten items with descriptions; item 5 and 6 quoted (they hold slashes).
    std::string items(const std::string& n = "50", const std::string& seed = "12345", const std::string& upd = "1",
                      const std::string& rnd = "1")
    {
        return n + "  number of individuals\n100 loci\n0\n1\n\"" + geno + "\"\n'" + dir.file("out.txt") + "'\n" +
               seed + "\n" + rnd + "\n" + upd + "\n0\n";
    }
};

std::string message(const std::string& text) { return "\n" + text + "\n\nProgram stopped in subroutine ReadParFile\n"; }

}  // namespace

TEST(parfile, readsAllItemsWithDescriptions)
{
    parcase c;
    writefile(c.par, c.items());
    std::string screen = screenof([] { readparfile(); });
    EXPECT_EQ(screen, "Reading parameter file: " + c.par + ". Done.\n");
    EXPECT_EQ(vars.numindiv, 50);
    EXPECT_EQ(vars.numloci, 100);
    EXPECT_EQ(vars.dataform, 0);
    EXPECT_EQ(vars.inbreed, 1);
    EXPECT_EQ(vars.gtypefile, c.geno);
    EXPECT_EQ(vars.outfile, c.dir.file("out.txt"));
    EXPECT_EQ(vars.iseed, 12345);
    EXPECT_EQ(vars.idum, -12345);
    EXPECT_EQ(vars.rnddelta0, 1);
    EXPECT_EQ(vars.updatep, 1);
    EXPECT_EQ(vars.outallelefre, 0);
    EXPECT_EQ(vars.date1[0].size(), 8u);
    EXPECT_EQ(vars.time1[0].size(), 10u);
}

TEST(parfile, blankLinesSeparatorsAndCrLf)
{
    parcase c;
    writefile(c.par, "\n  7,8 first line\r\n\r\n\t3;\n2\n0\n\"" + c.geno + "\"\nres.out/x\n-7\n0\n0\n1\n");
    screenof([] { readparfile(); });
    EXPECT_EQ(vars.numindiv, 7);
    EXPECT_EQ(vars.numloci, 3);
    EXPECT_EQ(vars.dataform, 2);
    EXPECT_EQ(vars.outfile, "res.out");  // cut at the slash
    EXPECT_EQ(vars.iseed, -7);
    EXPECT_EQ(vars.idum, -7);
    EXPECT_EQ(vars.outallelefre, 1);
}

TEST(parfile, seedZeroStaysZero)
{
    parcase c;
    writefile(c.par, c.items("50", "0"));
    screenof([] { readparfile(); });
    EXPECT_EQ(vars.iseed, 0);
    EXPECT_EQ(vars.idum, 0);
}

TEST(parfile, commandLineSeedWins)
{
    parcase c;
    vars.idum = 99;
    writefile(c.par, c.items("50", "12345"));
    screenof([] { readparfile(); });
    EXPECT_EQ(vars.iseed, 99);
    EXPECT_EQ(vars.idum, -99);
}

TEST(parfile, updatePZeroSwitchesRandomStartOff)
{
    parcase c;
    writefile(c.par, c.items("50", "1", "0", "1"));
    screenof([] { readparfile(); });
    EXPECT_EQ(vars.updatep, 0);
    EXPECT_EQ(vars.rnddelta0, 0);
}

TEST(parfile, commandLineValuesTakePrecedenceAndAreChecked)
{
    parcase c;
    writefile(c.par, c.items("1"));
    std::string screen = stoppedwith([] { readparfile(); });
    EXPECT_EQ(screen, "Reading parameter file: " + c.par +
                          message("#individuals = 1, smaller than the minimum value 2!"));

    vars.numindiv = 5;  // as given by IND:5
    screenof([] { readparfile(); });
    EXPECT_EQ(vars.numindiv, 5);

    parcase d;
    writefile(d.par, d.items("50"));
    vars.numindiv = 1;
    stoppedwith([] { readparfile(); });

    parcase e;
    writefile(e.par, e.items("50", "1", "1"));
    vars.updatep = 3;
    EXPECT_NE(stoppedwith([] { readparfile(); }).find("UpdateP must be 1/0!"), std::string::npos);
}

TEST(parfile, largeSamplesAreRefused)
{
    parcase c;
    writefile(c.par, c.items("46341"));
    std::string screen = stoppedwith([] { readparfile(); });
    EXPECT_NE(screen.find("#individuals = 46341, larger than the maximum value 46340!"), std::string::npos);
}

TEST(parfile, everyItemHasItsReadMessage)
{
    const char* labels[] = {"#individuals!", "#Loci!",  "DataForm!",  "Inbreed!", "GtypeFile!",
                            "Outfile!",      "seed!",   "RndDelta0!", "UpdateP!", "OutAlleleFre!"};
    for (int k = 0; k < 10; ++k) {
        parcase c;
        std::string text = c.items();
        // keep the first k lines, then a value of the wrong kind (or nothing)
        std::size_t pos = 0;
        for (int line = 0; line < k; ++line) pos = text.find('\n', pos) + 1;
        std::string head = text.substr(0, pos);
        writefile(c.par, head + (k == 4 || k == 5 ? "\"unterminated\n" : "x12\n"));
        std::string screen = stoppedwith([] { readparfile(); });
        EXPECT_NE(screen.find(std::string("\nError reading ") + labels[k] + "\n"), std::string::npos) << screen;
        writefile(c.par, head);
        screen = stoppedwith([] { readparfile(); });
        EXPECT_NE(screen.find(std::string("\nError reading ") + labels[k] + "\n"), std::string::npos) << screen;
    }
}

TEST(parfile, rangeChecks)
{
    struct {
        int line;
        const char* value;
        const char* message;
    } cases[] = {
        {2, "0", "#loci = 0, smaller than the minimum value 1!"},
        {3, "-1", "DataForm should be (0/1/2)!"},
        {3, "3", "DataForm should be (0/1/2)!"},
        {4, "2", "Inbreed should be Boolean (1/0=T/F)!"},
        {8, "2", "RndDelta0 must be 1/0!"},
        {9, "-1", "UpdateP must be 1/0!"},
        {10, "5", "OutAlleleFre must be 1/0!"},
    };
    for (const auto& t : cases) {
        parcase c;
        std::string text = c.items();
        std::size_t start = 0;
        for (int line = 1; line < t.line; ++line) start = text.find('\n', start) + 1;
        std::size_t end = text.find('\n', start);
        text.replace(start, end - start, t.value);
        writefile(c.par, text);
        std::string screen = stoppedwith([] { readparfile(); });
        EXPECT_EQ(screen, "Reading parameter file: " + c.par + message(t.message));
    }
}

TEST(parfile, missingFiles)
{
    parcase c;
    vars.parfile = c.dir.file("none.par");
    EXPECT_EQ(stoppedwith([] { readparfile(); }), message("Parameter file " + vars.parfile + " does not exist!"));

    parcase d;
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(d.dir.path);
    writefile(d.par, "5\n5\n0\n0\ndata/geno.txt\nout\n1\n0\n0\n0\n");
    std::string screen = stoppedwith([] { readparfile(); });
    std::filesystem::current_path(old);
    EXPECT_NE(screen.find("\nGenotype file, data, does not exist!\n"), std::string::npos) << screen;
}

TEST(parfile, resultsFileMustNotBeAnInput)
{
    parcase c;
    std::string text = c.items();
    std::string out = "'" + c.dir.file("out.txt") + "'";
    text.replace(text.find(out), out.size(), "\"" + c.dir.path.string() + "/./geno.txt\"");
    writefile(c.par, text);
    std::string screen = stoppedwith([] { readparfile(); });
    EXPECT_NE(screen.find("is the same file as the genotype file"), std::string::npos) << screen;

    parcase d;
    writefile(d.par, d.items());
    vars.outfile = d.par;  // OUT: naming the parameter file
    screen = stoppedwith([] { readparfile(); });
    EXPECT_NE(screen.find("is the same file as the parameter file"), std::string::npos) << screen;
}

TEST(parfile, sharesOfIndividuals)
{
    freshstate();
    vars.numindiv = 10;
    int expect[4][2] = {{1, 3}, {4, 6}, {7, 8}, {9, 10}};
    for (int rank = 0; rank < 4; ++rank) {
        vars.numthreads = 4;
        vars.threadid = rank;
        initialpara();
        EXPECT_EQ(vars.indivl1, expect[rank][0]);
        EXPECT_EQ(vars.indivl2, expect[rank][1]);
    }
    vars.numindiv = 2;
    vars.numthreads = 3;
    vars.threadid = 2;
    initialpara();
    EXPECT_EQ(vars.indivl2, vars.indivl1 - 1);  // an empty share
    EXPECT_EQ(vars.snpgtype[snpgtypeat(1, 3)], 1);
    EXPECT_EQ(vars.snpgtype[snpgtypeat(2, 3)], 2);
    EXPECT_EQ(vars.snpgtype[snpgtypeat(2, 2)], 2);
    EXPECT_EQ(vars.memerr, "Too many individuals and/or loci. Out of memory!");
}
