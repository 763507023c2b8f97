// The parameter file that runs KINEX on the converted genotypes.
#pragma once
#include <string>

// A file name as a parameter value: in double quotes when it holds a
// blank, tab, comma, slash or semicolon, any of which would end it.
std::string parname(const std::string& name);

// The ten lines: each value, a blank and what it is.
std::string partext(const std::string& genname);
