// Screen output.  Only the master process writes, except for the fatal
// stop.  A line may be left open (progress counters, "Reading parameter
// file: ..."); the next text continues it, an empty line ends it.
#pragma once

#include <string>

// Writes text and ends the line (master only).
void say(const std::string& text);

// Writes text and leaves the line open (master only).
void sayopen(const std::string& text);

// Writes text and ends the line on any process.
void sayall(const std::string& text);

// Pushes everything written so far to the terminal (say, sayopen and
// sayall already push each piece they write).
void screenflush();
