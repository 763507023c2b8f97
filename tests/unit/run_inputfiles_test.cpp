// Input files that are not plain files: a named pipe with no writer, a
// folder, a device.  None may block the run or feed it endless data; each
// failure names the file.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "genotypes/genotypes.hpp"
#include "run/commands.hpp"
#include "run/freeform.hpp"
#include "run/parfile.hpp"
#include "testutil.hpp"

namespace {

// A test that would block is ended by the alarm rather than hanging the
// suite.
struct watchdog {
    watchdog() { alarm(30); }
    ~watchdog() { alarm(0); }
};

std::string fifo(const tempdir& dir, const std::string& name)
{
    std::string path = dir.file(name);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

std::string stoptext(const std::string& message, const std::string& routine)
{
    return "\n" + message + "\n\nProgram stopped in subroutine " + routine + "\n";
}

}  // namespace

TEST(inputfiles, onlyRegularFilesAreOpened)
{
    watchdog w;
    tempdir dir;
    ffreader r;
    EXPECT_FALSE(ffopen(r, fifo(dir, "pipe")));
    EXPECT_EQ(fferrtext(r), "not a regular file");
    EXPECT_FALSE(ffopen(r, dir.path.string()));
    EXPECT_EQ(fferrtext(r), "Is a directory");
    EXPECT_FALSE(ffopen(r, "/dev/zero"));
    EXPECT_EQ(fferrtext(r), "not a regular file");
    EXPECT_FALSE(ffopen(r, dir.file("none")));
    EXPECT_EQ(fferrtext(r), "No such file or directory");

    // A regular file, also through a symbolic link, reads as usual.
    writefile(dir.file("plain"), "one\r\ntwo\n");
    ASSERT_EQ(symlink(dir.file("plain").c_str(), dir.file("link").c_str()), 0);
    ASSERT_TRUE(ffopen(r, dir.file("link")));
    EXPECT_FALSE(fferror(r));
    std::string v;
    EXPECT_TRUE(ffvalue(r, v, true));
    EXPECT_EQ(v, "one");
    EXPECT_TRUE(ffvalue(r, v, true));
    EXPECT_EQ(v, "two");
    EXPECT_FALSE(ffvalue(r, v, true));
    EXPECT_FALSE(fferror(r));
    EXPECT_EQ(fferrtext(r), "");
}

TEST(inputfiles, parameterFileThatIsAPipe)
{
    watchdog w;
    tempdir dir;
    freshstate();
    programargs = {"kinex", "INP:" + fifo(dir, "run.par")};
    getcommands();
    std::string screen = stoppedwith([] { readparfile(); });
    EXPECT_EQ(screen, "Reading parameter file: " + vars.parfile +
                          stoptext("Parameter file " + vars.parfile + " cannot be read (not a regular file)!",
                                   "ReadParFile"));
    programargs.clear();
}

TEST(inputfiles, genotypeFileThatIsAPipeOrADevice)
{
    watchdog w;
    tempdir dir;
    for (std::string name : {fifo(dir, "geno"), std::string("/dev/zero")}) {
        for (int form = 0; form <= 2; ++form) {
            freshstate();
            vars.dataform = form;
            vars.numindiv = 2;
            vars.numloci = 3;
            vars.gtypefile = name;
            vars.outfile = dir.file("out.txt");
            initialpara();
            std::string screen = stoppedwith([] { readgtype(); });
            EXPECT_NE(screen.find(stoptext("Cannot open genotype file " + name + " (not a regular file)!",
                                           "ReadGType")),
                      std::string::npos)
                << screen;
        }
    }
}
