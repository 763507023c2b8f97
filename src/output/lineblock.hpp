// Line blocks: the lines of a results table are gathered, up to a fixed
// number of slots, and written with one write.  The lines of a full block
// are joined by CR LF and the block ends with LF; a full block goes out only
// when a further line arrives, so the table's last 1..slots lines are
// written one by one, each ending with LF.  Trailing blanks never reach the
// file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "run/textfile.hpp"

struct lineblock {
    textout* out = nullptr;
    int slots = 0;                  // lines per full block
    int count = 0;                  // lines stored
    std::string buf;                // stored lines, joined by CR LF
    std::vector<std::size_t> ends;  // ends[c]: where stored line c ends in buf
    std::size_t mark = 0;           // start of the line being built
};

// An empty block of `slots` lines of about `width` characters writing to out.
void blockopen(lineblock& lb, textout& out, int slots, std::size_t width);

// Starts a new line (writing the block first when it is full) and returns
// the text to which the line is appended; blockend finishes it.
std::string& blockline(lineblock& lb);
void blockend(lineblock& lb);

// Stores one whole line.
void blockadd(lineblock& lb, const std::string& line);

// Writes the stored lines one by one, each ending with LF.
void blockflush(lineblock& lb);
