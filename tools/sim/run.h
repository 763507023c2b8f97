// One simulation: pedigree, gene dropping locus by locus, and all files.
#pragma once
#include <string>
#include "opts.h"

bool run_sim(const opts& o, std::string& err);
