// Gene dropping through the pedigree at one unlinked locus.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "markers.hpp"
#include "rng.hpp"

// Founder member m carries labels 2m and 2m+1, each with an allele drawn
// from the locus's frequencies; a child takes one random gene (label and
// allele) from each parent.  lab gets the two labels of every member
// (paternal first), al the allele index of every label; both hold 2*members.
void dropgenes(const std::vector<int>& fa, const std::vector<int>& mo, const locus& loc,
                rng& r, uint32_t* lab, uint8_t* al);
