// The command line: keys IND: LOC: RAN: INP: OUT: GEN: UPP: OMP: and HELP.
#pragma once

#include <string>
#include <vector>

// The process's arguments, argument 0 first; set by the program entry.
extern std::vector<std::string> programargs;

// Sets the command-line settings to their start values, then reads the
// arguments.  Faulty, repeated and unknown arguments are reported and
// ignored (an empty one too); HELP, -h and --help show the help text and
// end the run, --version shows the version line and ends it.
void getcommands();
