// The estimation: Deltas of every dyad, inbreeding, and (UpdateP 1) allele
// frequencies, as the run sequence calls them.  This header is the
// estimation's face to the rest of the program; inside, the files live in
// rooms by family:
//   common/   IIS modes and their terms, genotype fetch, tallies, the sums
//             of the dyad results over processes (every estimator reads them)
//   entries/  a dyad's merged term entries, their terms, the walk over
//             this process's dyads (the input of the EM and of MLE:1)
//   fixed/    the EM at sample frequencies, eight dyads per vector
//   joint/    the joint EM of Deltas and allele counts (UpdateP 1)
//   mle/      the maximum-likelihood Deltas (MLE:1, MLE:2), the call and
//             the side values
//   simd/     the one dispatch scheme of the vector loops and their types
// Who does which share of the work is decided in src/parallel/.
#pragma once

#include <cstdint>

// The standard relationships that the maximum-likelihood Deltas are
// called by (MLE not 0), by their expected Delta7, Delta8, Delta9; their
// names are those of the side table and of kinex-report.
// Each is tried mixed with 0.1% of unrelated (Delta9 = 1), so that one
// locus that contradicts it (a genotyping error) does not rule it out.
constexpr int nrelations = 6;
struct relation {
    const char* name;
    double d7, d8, d9;
};
inline constexpr relation relations[nrelations + 1] = {{"NA", 0, 0, 0},
                                                        {"duplicate", 1.0, 0.0, 0.0},
                                                        {"parent-offspring", 0.0, 1.0, 0.0},
                                                        {"full-sib", 0.25, 0.5, 0.25},
                                                        {"second-degree", 0.0, 0.5, 0.5},
                                                        {"third-degree", 0.0, 0.25, 0.75},
                                                        {"unrelated", 0.0, 0.0, 1.0}};
constexpr double relationerror = 0.001;
constexpr int parentoffspring = 2;  // its number among the relationships

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
