// Lines of the results file, which ends them with LF or CR LF (the tables
// join up to 32 lines with CR LF): a line ends at LF, a CR before it is
// dropped.
#pragma once
#include <string_view>

void lineopen();

// The next line (valid until the next call); false at the end of the file.
bool nextline(std::string_view& l);

void lineclose();
