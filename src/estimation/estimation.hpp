// The estimation: Deltas of every dyad, inbreeding, and (UpdateP 1) allele
// frequencies, as the run sequence calls them.  The files of the
// subsystem share further internal headers: modes.hpp (IIS modes and
// terms), emwork.hpp and emsteps.hpp (the EM for Delta), emlanes.hpp (eight
// dyads at a time), joint.hpp (the joint EM), workshare.hpp (who does
// what), simd.hpp (vector versions).
#pragma once

#include <cstdint>

// The whole estimation: the replicates, and the mean of Delta over five
// replicates when the first one needed every iteration (replicates.cpp).
void replicateloop();

// One replicate of the estimation (replicate numbers 1, 2, ...).
void em_delta_p(int32_t& replicate);

// Deltas of every dyad with the allele frequencies fixed at their sample
// values; also the tallies, the IIS counts, allelecnt, inb and fsd.  Runs
// once per run, in replicate 1.
void em_delta();

// inb and fsd of every individual from the dyads it belongs to, and the
// diagonal columns delta(., i, i).
void computef();
