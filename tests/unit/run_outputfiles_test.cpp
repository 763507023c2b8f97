// Results files that cannot be written: a named pipe that nobody reads, a
// full device, a missing folder.  None may block the run; each failure
// names the file.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "run/textfile.hpp"
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

TEST(outputfiles, pipeWithoutReaderFailsAtOnce)
{
    watchdog w;
    tempdir dir;
    freshstate();
    std::string name = fifo(dir, "out.txt");
    for (bool append : {false, true}) {
        textout out;
        std::string screen = stoppedwith([&] { textopen(out, name, append, "Output"); });
        EXPECT_EQ(screen, stoptext("Cannot open file " + name + " for writing (a named pipe that nobody reads)!",
                                   "Output"));
    }
}

TEST(outputfiles, writeFailuresNameTheFile)
{
    freshstate();
    tempdir dir;
    // A full device takes the bytes into the buffer; the failure shows when
    // they are pushed out, at the latest when the file is closed.
    {
        textout out;
        textopen(out, "/dev/full", false, "ShowVersion");
        std::string screen = stoppedwith([&] {
            textwrite(out, "banner\n");
            textclose(out);
        });
        EXPECT_EQ(screen, stoptext("Error writing file /dev/full (No space left on device)!", "ShowVersion"));
    }
    // A folder that does not exist, and a path through a plain file.
    writefile(dir.file("plain"), "x");
    for (std::string name : {dir.file("nodir/out.txt"), dir.file("plain/out.txt")}) {
        textout out;
        std::string screen = stoppedwith([&] { textopen(out, name, false, "Output"); });
        EXPECT_NE(screen.find("Cannot open file " + name + " for writing ("), std::string::npos) << screen;
    }
    // Truncating and appending as before.
    std::string name = dir.file("out.txt");
    writefile(name, "old content\n");
    {
        textout out;
        textopen(out, name, false, "Output");
        textwrite(out, "a\n");
        textclose(out);
    }
    {
        textout out;
        textopen(out, name, true, "Output");
        textwrite(out, "b\n");
        textclose(out);
    }
    EXPECT_EQ(readfile(name), "a\nb\n");
}
