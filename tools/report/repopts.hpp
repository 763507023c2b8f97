// Command line of kinex-report.
#pragma once
#include <string>

void readopts(int argc, const char* const* argv);
std::string helptext();
