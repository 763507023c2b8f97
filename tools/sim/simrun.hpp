// One simulation: pedigree, gene dropping locus by locus, and all files.
#pragma once
#include <string>
#include "simopts.hpp"

bool runsim(const opts& o, std::string& err);
