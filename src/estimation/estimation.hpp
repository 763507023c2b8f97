// Estimation of Deltas, inbreeding and allele frequencies.
//
// The pieces shared by the EM with fixed allele frequencies (em_delta) and
// the joint EM of em_delta_p: the IIS modes of a pair of genotypes, the
// genotype fetch, the allele and genotype tallies, the estimation constants
// and inbreeding from Deltas.
#pragma once

#include <cstdint>
#include <vector>

// One replicate of the estimation (replicate numbers 1, 2, ...).
void em_delta_p(int32_t& replicate);

// Deltas of every dyad with the allele frequencies fixed at their sample
// values; also the tallies, the IIS counts, allelecnt, inb and fsd.  Runs
// once per run, in replicate 1.
void em_delta();

// SNP layouts: adds the IIS counts of every dyad this process owns to
// iisdyad, from the packed store (snpmodes.cpp).
void snpmodecounts();

// ---- genotype fetch (gtypefetch.cpp) ----

// Gives buf room for one individual's allele pairs (2 x numloci2 bytes) in
// the SNP layouts; layout 0 needs no buffer.  Stops with the memory message
// from `routine` on failure.
void gtypebuffer(std::vector<int8_t>& buf, const char* routine);

// Allele pairs of individual i at unique loci 1..numloci2 (locus l at
// offsets 2(l-1) and 2(l-1)+1; 0 0 when missing): for layout 0 the
// individual's slice of indivgtype, for the SNP layouts unpacked into buf.
const int8_t* fetchgtype(int32_t i, std::vector<int8_t>& buf);

// ---- tallies (tallies.cpp) ----

// numa, nummisg and indvar over this process's share of the individuals
// (created on first use), summed over processes in that order.
void tallygtypes();

// Sample size of every unique locus: twice the number of genotyped
// individuals, n[1..numloci2] from numa.
void locussizes(std::vector<int32_t>& n);

// ---- inbreeding from Deltas (computef.cpp) ----

// inb and fsd of every individual from the dyads it belongs to, and the
// diagonal columns delta(., i, i).
void computef();

// ---- the dyad results after the dyad loop (dyadshare.cpp) ----

// Sums the delta slabs and the iisdyad chunks over processes, so that every
// process holds every dyad (non-owners contributed zeros).
void sumdyadresults(const char* routine);

// Column (., i, j) of every pair j > i from column (., j, i), with Delta3
// and Delta5, Delta4 and Delta6 exchanged.
void mirrordelta();

// ---- counters of the last em_delta, for benchmarks ----
// Mean term entries per dyad: entries / emdyads; mean EM iterations per
// dyad: iterations / emdyads.  Nothing prints them.
struct emcounters {
    int64_t dyads = 0;       // dyads of this process
    int64_t emdyads = 0;     // of those, dyads that went through the EM
    int64_t loci = 0;        // compared loci of the EM dyads, by markercnt
    int64_t entries = 0;     // term entries of the EM dyads
    int64_t iterations = 0;  // EM iterations of the EM dyads
    int64_t steps = 0;       // vector steps of the lanes (eight entries each)
};
extern emcounters emcount;

// CPU seconds of this thread spent in the steps of the last em_delta, for
// benchmarks: the tallies, the mode counting of all dyads, and the EM with
// its term entries; the entries alone only when `entrytimes` is set (two
// clock readings per dyad).  Nothing prints them.
struct emclock {
    bool entrytimes = false;
    double tallies = 0.0;
    double modes = 0.0;
    double em = 0.0;
    double entries = 0.0;  // of em: making the dyads' term entries
};
extern emclock emtime;

// CPU seconds of the calling thread, for emclock.
double stageseconds();
