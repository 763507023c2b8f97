// The command line: keys IND: LOC: RAN: INP: OUT: GEN: UPP: OMP: and HELP.
#pragma once

#include <string>
#include <vector>

// The process's arguments, argument 0 first; set by the program entry.
extern std::vector<std::string> programargs;

// Sets the command-line settings to their start values, then reads the
// arguments.  Faulty, repeated and unknown arguments are reported and
// ignored; HELP shows the help text and ends the run.
void getcommands();
