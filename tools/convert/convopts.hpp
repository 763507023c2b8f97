// Command line of kinex-convert.
#pragma once
#include <string>

// Fills the options of cv from the arguments; stops on a bad one.
void readopts(int argc, const char* const* argv);

std::string helptext();
