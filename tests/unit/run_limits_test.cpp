// Counts too large for the program's 32-bit arithmetic are refused when the
// parameters are read, from the file or from the command line, before any
// array is made from them.
#include <gtest/gtest.h>

#include "run/commands.hpp"
#include "run/parfile.hpp"
#include "testutil.hpp"

namespace {

std::string limitstop(const std::string& text)
{
    return "\n" + text + "\n\nProgram stopped in subroutine ReadParFile\n";
}

// Reads a parameter file with the given loci count, after the arguments.
std::string readwith(const tempdir& dir, const std::string& loci, std::vector<std::string> args)
{
    freshstate();
    writefile(dir.file("geno.txt"), "x\n");
    writefile(dir.file("VARN.par"), "4\n" + loci + "\n2\n0\ngeno.txt\nout.txt\n1\n0\n0\n0\n");
    args.insert(args.begin(), "kinex");
    args.push_back("INP:" + dir.file("VARN.par"));
    programargs = args;
    getcommands();
    vars.gtypefile = dir.file("geno.txt");
    testing::internal::CaptureStdout();
    try {
        readparfile();
    } catch (const runend&) {
    }
    programargs.clear();
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(limits, lociBeyondTheLargestCountAreRefused)
{
    tempdir dir;
    EXPECT_NE(readwith(dir, "1073741823", {}).find(". Done."), std::string::npos);
    EXPECT_EQ(vars.numloci, maxnumloci);
    for (std::string loci : {"1073741824", "2147483647"}) {
        std::string screen = readwith(dir, loci, {});
        EXPECT_NE(screen.find(limitstop("#loci = " + loci + ", larger than the maximum value 1073741823!")),
                  std::string::npos)
            << screen;
    }
    // The command line's value is checked too, and it wins over the file.
    std::string screen = readwith(dir, "10", {"LOC:2000000000"});
    EXPECT_NE(screen.find(limitstop("#loci = 2000000000, larger than the maximum value 1073741823!")),
              std::string::npos);
    EXPECT_NE(readwith(dir, "2000000000", {"LOC:10"}).find(". Done."), std::string::npos);
    // Beyond 32 bits the value is no integer at all.
    EXPECT_NE(readwith(dir, "4294967297", {}).find(limitstop("Error reading #Loci!")), std::string::npos);
}
