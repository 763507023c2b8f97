// Work state of one call of em_delta: the loci in visiting order, the term
// entries of the dyad at hand and the caches that merge entries with equal
// terms.  Everything here is sized once per call; the dyad loop allocates
// nothing.
#pragma once

#include <cstdint>
#include <vector>

// One term entry: a locus, or several loci of one dyad whose terms are
// equal, in one IIS mode.  t holds the terms of the mode's non-base states
// (the base states have the term 1):
//   mode 1: t0 Delta1, t1 Delta4 = Delta6 = Delta8, t2 Delta9
//   mode 2: t0 Delta4, t1 Delta6, t2 Delta9
//   mode 3: t0 Delta4, t1 Delta8, t2 Delta9
//   mode 5: t0 Delta6, t1 Delta8, t2 Delta9
//   mode 7: t0 Delta8, t1 Delta9
//   modes 4, 6, 8: t0 Delta9
struct termentry {
    double w;     // summed markercnt of its loci
    double t[3];  // terms of the non-base states
};

// A merge cache: allele count (or pair of counts) to entry.  A key is
// valid only while its stamp equals the current stamp, so clearing the
// caches is one increment.
struct keycache {
    std::vector<uint32_t> stamp;
    std::vector<int32_t> entry;
};

// What the dyad loop needs of a locus, kept in visiting order so that the
// loop reads it front to back.
struct locusinfo {
    int32_t locus;    // the unique locus at this position
    int32_t n;        // its sample size
    int32_t weight;   // markercnt
    int32_t base;     // locusloc(locus - 1): its alleles are base + 1, ...
    int32_t count[2]; // numa of alleles 1 and 2 (two-allele loci)
    int8_t two;       // 1 where the locus has two alleles
    int8_t merge;     // 1 where merging applies to the locus
};

struct emwork {
    // genotype buffers of the dyad's two individuals (SNP layouts)
    std::vector<int8_t> buf1, buf2;

    std::vector<int32_t> locusn;    // sample size n(l) of locus l = 1..numloci2
    bool alltwo = false;            // no locus has more than two alleles
    // the loci in visiting order, positions 1..numloci2: store order, or
    // ascending n when merging is prepared
    std::vector<locusinfo> info;
    int32_t modeloci[10] = {};      // the dyad's compared loci per mode (countmodes)

    // merging
    bool merging = false;           // merging prepared for this call
    int32_t cmax = 0;               // largest allele count
    int32_t pmax = 0;               // pair keys are cached below this count
    keycache single[10];            // modes 1..8: one allele count
    keycache pair2, pair7;          // modes 2 and 7 at loci of more alleles
    uint32_t stamp = 0;

    // the dyad's term entries: mode m owns entries first[m] ..
    // first[m] + made[m] - 1, in the order made
    std::vector<termentry> entries;
    int32_t first[10] = {};
    int32_t made[10] = {};
    double w9 = 0.0;                // summed weight of the mode-9 loci

    // entries while they are made, of all modes in one sequence
    std::vector<termentry> staged;
    std::vector<int8_t> stagedmode;
    std::vector<int64_t> stagedweight;
    int32_t nstaged = 0;
};

// Sample sizes, the visiting order, the merge decision and caches, the
// entry buffers (mergeplan.cpp).
void planmerge(emwork& w);

// The nine weighted mode counts of the dyad (first individual's genotypes
// gi, second's gj) into iis[0..8] (modes 1..9); the unweighted ones into
// w.modeloci (modes.cpp).
void countmodes(emwork& w, const int8_t* gi, const int8_t* gj, int32_t* iis);

// Terms of a locus in mode m (1..8) with sample size n and the counts x1,
// x2 of the alleles that the mode names (see termalleles) into t.
void locusterms(int m, int32_t n, int32_t x1, int32_t x2, double* t);

// The alleles whose counts the terms of mode m use: a1 and, for modes 2
// and 7, a2 (else a2 = a1).
void termalleles(int m, const int8_t* x, const int8_t* y, int& a1, int& a2);

// One pass over the loci: the weighted mode counts as countmodes gives
// them, and the dyad's term entries, merged where the plan allows; w.w9
// the mode-9 weight (entries.cpp).
void dyadentries(emwork& w, const int8_t* gi, const int8_t* gj, int32_t* iis);

// Starting Deltas d[1..9] for d9.
void emstart(double d9, double* d);

// Expected counts e[1..9] of one E-step from the Deltas d[1..9].
void estep(const emwork& w, const double* d, double* e);

// True when the mean change of an iteration stops the EM: strictly below
// the tolerance.
inline bool emconverged(double tol, double change) { return tol > change; }

// EM of one dyad from d[1..9] to its estimate; returns the iterations used.
int emiterate(const emwork& w, double* d, double tol);

// Progress line of the count-th dyad of this process (from 0), (i, j), as
// stored in delta; the header every 20 lines.
void emprogress(int64_t count, int32_t i, int32_t j);
