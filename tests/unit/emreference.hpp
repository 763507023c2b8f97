// The scalar EM for Delta with fixed allele frequencies and the scalar
// probability terms: references that the tests hold the program's
// eight-lane loops to (emreference.cpp).
#pragma once

#include <cstdint>

#include "estimation/entries/entries.hpp"

// Terms of a locus in mode m (1..8) with sample size n and the counts x1,
// x2 of the alleles that the mode names (see termalleles) into t.
void locusterms(int m, int32_t n, int32_t x1, int32_t x2, double* t);

// Expected counts e[1..9] of one E-step from the Deltas d[1..9].
void estep(const termentries& w, const double* d, double* e);

// EM of one dyad from d[1..9] to its estimate; returns the iterations used.
int emiterate(const termentries& w, double* d, double tol);
