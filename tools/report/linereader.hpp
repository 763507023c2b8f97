// Lines of the inputs.  The results file ends them with LF or CR LF (the
// tables join up to 32 lines with CR LF): a line ends at LF, a CR before
// it is dropped.  Only regular files are read: a folder, a named pipe or a
// device is refused at once instead of blocking the run or feeding it
// endless data.
#pragma once
#include <string>
#include <string_view>
#include "repstate.hpp"

// Opens the results file as rep.res; stops when it cannot be read.
void lineopen();

// Opens a named input; stops when it cannot be read.
void lineopen(textin& t, const std::string& name);

// The next line (valid until the next call); false at the end of the file.
bool nextline(std::string_view& l);
bool nextline(textin& t, std::string_view& l);

void lineclose();
void lineclose(textin& t);

// Longest line taken; a longer one is no line of a KINEX file.
constexpr size_t maxline = size_t(1) << 23;
