// The one way a run ends early: stoponerror for failures, endrun for the
// help text.  Both unwind to the program entry, which returns the status.
#pragma once

#include <string>

// Thrown by stoponerror and endrun; caught only by the program entry.
struct runend {
    int status;  // exit status: 1 after a failure, 0 after the help text
};

// Prints an empty line, the message, an empty line and
// "Program stopped in subroutine <routine>", waits, and ends the run with
// exit status 1.  Printed by every process that calls it.
[[noreturn]] void stoponerror(const std::string& message, const std::string& routine);

// Ends the run at once with the given status (nothing is printed).
[[noreturn]] void endrun(int status);

// Seconds stoponerror waits so that its message stays readable; tests set 0,
// which also skips the short wait after faulty command-line arguments.
extern int stopwaitseconds;
