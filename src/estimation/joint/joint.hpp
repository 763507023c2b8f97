// The joint EM of Deltas and allele counts, one replicate at a time.
//
// Within a dyad, individual 1 is the one with the smaller number (j) and
// individual 2 the other (i); its Deltas live in delta(., i, j) and the
// mirrored copy, with Delta3/Delta5 and Delta4/Delta6 exchanged, in
// delta(., j, i).
#pragma once

#include <cstdint>
#include <vector>

#include "estimation/simd/simd.hpp"

// What the E-steps of an iteration write besides each dyad's sums: the
// expected independent genes of every allele and, in the first iteration,
// the dyads compared at every locus.  Every locus belongs to one thread,
// every allele to one locus.
struct jointgenes {
    std::vector<double> allelesum;    // 1..A: expected independent genes
    std::vector<int32_t> locusdyads;  // 1..U: dyads genotyped at the locus
};

// The state of a replicate; the E-steps only read it.
struct jointwork {
    std::vector<double> locustotal;   // 1..U: sum of allelecnt at the locus
    std::vector<int32_t> distinctcnt; // 1..A: four-distinct-allele counts
    std::vector<int8_t> dyadflag;     // 1..D: 1 when the dyad has a compared locus
    std::vector<float> dyadhist;      // 18 x D: older then newer Deltas
    double allelewt = 0.0;            // pseudo-count of every allele
    double deltaprior[2] = {0.0, 0.0};
    double tolfloor = 0.0;
    int32_t oscill = 0;               // direction changes of the tolerance
    double kinmin = 0.0, kinmax = 0.0;
    double inbmin = 0.0, inbshare = 0.0;
    int32_t printstep = 1;
    int32_t lastprinted = 0;
    int32_t emstart = 0;              // wall clock at the start of the EM
};

// What the E-step of one dyad reads.
struct estepdyad {
    const int8_t* g1 = nullptr;  // allele pairs of individual 1 per locus
    const int8_t* g2 = nullptr;  // allele pairs of individual 2 per locus
    int32_t t = 0;               // iteration number
    double d[9] = {};            // current Deltas
    bool h1one = false;          // the dyad's own kinship lifts h1 to 1
};

// What it sums: the accumulators (they start at the prior) and the weight
// of the compared loci.
struct dyadsums {
    double a[9] = {};
    double w = 0.0;
};

// One replicate of the joint estimation (after em_delta in replicate 1).
void jointreplicate(int32_t replicate);

// ---- steps of an iteration (jointreplicate.cpp) ----

// New allele counts from allelesum: scaled by 1/sqrt(2 locusdyads), none
// below 3; a locus no dyad compares keeps its counts.
void newallelecounts(const jointgenes& gs);

// True when iteration t ends the replicate (tol2 already divided).
bool jointstop(const jointwork& wk, int32_t t);

// ---- start of a replicate (jointstart.cpp) ----
void randomstart();
void shiftdeltas();
void setdyadflags(jointwork& wk);
void fourdistinct(jointwork& wk);

// ---- one dyad (jointdyad.cpp, jointlocus.cpp) ----

// E-step (divided among threads), M-step, acceleration and storage of dyad
// (j, i), j < i, with serial number k and allele pairs g1, g2; adds its
// change to tol2.
void dyadupdate(jointwork& wk, jointgenes& gs, int32_t j, int32_t i, int64_t k, const int8_t* g1, const int8_t* g2,
                int32_t t);

// The prior of iteration t, and the parts of the dyad update around the
// E-step: what the E-step reads (Deltas, h1 lifted by the dyad's own
// kinship) and its sums at the prior; after the E-step its M-step,
// acceleration (the history in wk), change and storage.
double dyadprior(const jointwork& wk, int32_t t);
void dyadrecord(const jointwork& wk, int32_t j, int32_t i, int32_t t, estepdyad& rec, dyadsums& sums);
void dyadfinish(jointwork& wk, int32_t j, int32_t i, int64_t k, int32_t t, const estepdyad& rec, const dyadsums& sums);

// True when this process updates dyad (j, i) with serial number k in this
// iteration; the dyads of other processes are zeroed for the sum.
bool dyadtoupdate(const jointwork& wk, int32_t j, int32_t i, int64_t k);

// The factors on Delta9 of a locus with k alleles, the first counted one l
// of a dyad (or after a change of k), in iteration t (jointlocus.cpp).
void delta9factors(int32_t k, int32_t l, int32_t t, const jointwork& wk, double& h1, double& h2, double& h3);

// The E-step over unique loci first..last (1-based) of one dyad into sums;
// writes the genes of its own loci only.
void estepblock(const estepdyad& rec, const jointwork& wk, int32_t first, int32_t last, dyadsums& sums,
                jointgenes& gs);

// ---- the E-step of two-allele data, eight dyads at a time (jointsnp.cpp) ----
//
// With only two alleles per locus every term of a locus depends on its two
// counts alone, so the terms of the nine ways two genotypes can meet are
// made once per block of loci and shared by all dyads.  Dyads of one first
// individual are taken eight at a time, one per vector lane; each lane
// does exactly the scalar arithmetic of estepblock for its dyad.  Loci are
// visited in blocks, every batch of dyads passing through a block before
// the next block, so the terms stay in cache; each dyad's sums still grow
// locus by locus, and each allele's expected genes dyad by dyad, in the
// order of the scalar loop.

// Up to eight dyads (j, i) of one individual 1 = j, one per lane.
struct snpbatch {
    int32_t j = 0;
    int32_t used = 0;             // lanes in use
    int32_t i[nlanes] = {};       // individual 2 of each lane
    int64_t k[nlanes] = {};       // serial numbers
    int64_t col2[nlanes] = {};    // start of individual 2's column in snp
    lanerow d[9] = {};            // current Deltas
    lanerow h1 = {}, h1last = {}; // factors on Delta9 (see snpsweep)
};

// What one thread sums for a batch over its loci.
struct snpsums {
    lanerow a[9];
    lanerow w;
    lanerow seen;  // 1 once the dyad had a locus genotyped in both
};

// One E-step sweep over a run of batches.
struct snpsweep {
    const jointwork* work = nullptr;
    jointgenes* genes = nullptr;
    int32_t t = 0;
    std::vector<snpbatch> batch;
    int32_t nbatch = 0;
    int32_t threads = 1;
    std::vector<snpsums> sums;        // thread-major: sums[thread * nbatch + b]
    std::vector<lanerow> tables;      // per thread: the terms of a block of loci
    // The factor h1 of a dyad is that of its first locus genotyped in both
    // (within its thread's block of loci): for two-allele data the same at
    // every locus but the last, where it is h1last.
    double h1 = 1.0, h1last = 1.0;
    double selfterm = 1.0;
};

// Loci per block.
constexpr int32_t snpblockloci = 32;

// The E-step of every dyad of the sweep's batches over loci first..last as
// thread `thread` (jointsnp.cpp).
void snpsweepblock(snpsweep& s, int32_t thread, int32_t first, int32_t last);

// True when the joint E-step can take the two-allele way.
bool snpjoint();

// The E-step, M-step and storage of every dyad this process updates in
// iteration t, for two-allele data (jointsnp.cpp).
void snpdyadloop(jointwork& wk, jointgenes& gs, int32_t t);

// ---- the thread team's work (jointteam.cpp) ----

// Per thread, the sums of a dyad's E-step over its block of loci, apart so
// that threads do not share cache lines.
struct alignas(64) threadsums {
    dyadsums s;
};

// What a team does: one dyad's scalar E-step, each thread into its own
// part, or a sweep of two-allele batches.
struct teamjob {
    const estepdyad* dyad = nullptr;
    const jointwork* work = nullptr;
    jointgenes* genes = nullptr;
    threadsums* part = nullptr;
    snpsweep* sweep = nullptr;
};

// One dyad's E-step over all loci with the team's threads; the parts are
// added to sums in thread order.
void runestep(const estepdyad& rec, const jointwork& wk, jointgenes& gs, dyadsums& sums);

// A sweep's E-step with the team's threads; sets s.threads.
void runsnpsweep(snpsweep& s);

// ---- after the iterations (background.cpp) ----
void backgroundkinship();
void backgroundinbreeding();

// Kinship of a Delta vector: D1 + (D3 + D5 + D7)/2 + D8/4.
inline double kinship(const float* d)
{
    return double(d[0]) + (double(d[2]) + double(d[4]) + double(d[6])) / 2.0 + double(d[7]) / 4.0;
}
