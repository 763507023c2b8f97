// The program entry's body: one fixed sequence of stages.
#pragma once

// Runs the whole program with the process's arguments; returns the exit
// status (0 after a normal end or the help text, 1 after a failure).
int runkinex(int argc, char** argv);

// The stop for a failed allocation that no stage caught (a text or buffer
// grown from the input): prints the out-of-memory message as stoponerror
// does and returns the exit status 1.
int memorystop();
