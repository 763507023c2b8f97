// The EM for Delta with the allele frequencies fixed at their sample
// values: at most 100 iterations per dyad from a common starting point,
// eight dyads side by side (emlanes.hpp).
#pragma once

#include <cstdint>

#include "estimation/entries/entries.hpp"

// The Deltas of every dyad this process owns, into delta(., j, i) (i < j),
// and their IIS counts; with RndDelta0 1 only the IIS counts.  d9 is the
// starting Delta9 of every dyad.  Returns the number of dyads of this
// process (fixeddyads.cpp).
int64_t fixeddyads(emwork& w, double d9);

// Starting Deltas d[1..9] for d9 (emlanes.cpp).
void emstart(double d9, double* d);

// True when the mean change of an iteration stops the EM: strictly below
// the tolerance.
inline bool emconverged(double tol, double change) { return tol > change; }

// Progress line of the count-th dyad of this process (from 0), (i, j), as
// stored in delta; the header every 20 lines (emprogress.cpp).
void emprogress(int64_t count, int32_t i, int32_t j);
