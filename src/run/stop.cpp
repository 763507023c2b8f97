#include "run/stop.hpp"

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
    if (stopwaitseconds > 0) sleeping(stopwaitseconds);
    throw runend{1};
}

void endrun(int status)
{
    screenflush();
    throw runend{status};
}
