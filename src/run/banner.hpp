// The program's banner, on the screen and as the first lines of the
// results file.
#pragma once

#include <string>

// "KINEX, Version ..., Build ...": the banner's second line without its
// indent, and the answer to --version.
std::string versiontext();

// unit 6 writes to the screen; any other unit (re)creates the results file
// named by outfile and writes the banner as its first lines.
void showversion(int unit);
