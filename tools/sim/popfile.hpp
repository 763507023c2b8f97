// The population file P.pop: per written individual, in file order, its
// identifier and population label (p1, p2, ..., p1+p2 for an admixed one),
// separated by a blank; no header.
#pragma once
#include <string>
#include "families.hpp"
#include "pops.hpp"

bool writepop(const std::string& path, const sample& s, const popset& p, std::string& err);
