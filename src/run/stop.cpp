#include "run/stop.hpp"

#include <cstdio>

#include "run/clock.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"

int stopwaitseconds = 2;

void stoponerror(const std::string& message, const std::string& routine)
{
    sayall("");
    sayall(trimright(message));
    sayall("");
    sayall("Program stopped in subroutine " + trimright(routine));
    screenflush();
    // A screen that can no longer be written (a pipe whose reader went
    // away): the message goes to standard error instead.
    if (std::ferror(stdout)) {
        std::string text = "\n" + trimright(message) + "\n\nProgram stopped in subroutine " + trimright(routine) + "\n";
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
    if (stopwaitseconds > 0) sleeping(stopwaitseconds);
    throw runend{1};
}

void endrun(int status)
{
    screenflush();
    throw runend{status};
}
