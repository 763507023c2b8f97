// Gene dropping through the pedigree at one unlinked locus.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "families.hpp"
#include "markers.hpp"
#include "pops.hpp"
#include "rng.hpp"

// Founder member m carries labels 2m and 2m+1, each with an allele drawn
// from the locus's frequencies; a child takes one random gene (label and
// allele) from each parent.  lab gets the two labels of every member
// (paternal first), al the allele index of every label; both hold 2*members.
void dropgenes(const std::vector<int>& fa, const std::vector<int>& mo, const locus& loc,
               rng& r, uint32_t* lab, uint8_t* al);

// The same with founders drawn from subpopulations: a founder of family f
// takes its alleles from sub[p.own[f]]; in an admixed family each of its
// genes comes from there with probability q (p.qthr), else from
// sub[p.other[f]].  org gets, per label, 1 for a gene from the family's own
// subpopulation, 0 for one from the other.
void dropsubpop(const sample& s, const popset& p, const std::vector<locus>& sub, rng& r,
                uint32_t* lab, uint8_t* al, uint8_t* org);
