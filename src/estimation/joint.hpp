// The joint EM of Deltas and allele counts, one replicate at a time.
//
// Within a dyad, individual 1 is the one with the smaller number (j) and
// individual 2 the other (i); its Deltas live in delta(., i, j) and the
// mirrored copy, with Delta3/Delta5 and Delta4/Delta6 exchanged, in
// delta(., j, i).
#pragma once

#include <cstdint>
#include <vector>

// Working data of one replicate; created at its start, gone at its end.
struct jointwork {
    std::vector<double> allelesum;    // 1..A: expected independent genes
    std::vector<double> locustotal;   // 1..U: sum of allelecnt at the locus
    std::vector<int32_t> locusdyads;  // 1..U: dyads genotyped at the locus
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

// Everything the threads of one dyad's E-step read and write.
struct estepdyad {
    const int8_t* g1 = nullptr;  // allele pairs of individual 1 per locus
    const int8_t* g2 = nullptr;  // allele pairs of individual 2 per locus
    int32_t t = 0;               // iteration number
    double d[9] = {};            // current Deltas
    bool h1one = false;          // the dyad's own kinship lifts h1 to 1
    jointwork* work = nullptr;
    double a[9] = {};            // accumulators, start at the prior
    double w = 0.0;              // weight sum of the compared loci
};

// One replicate of the joint estimation (after em_delta in replicate 1).
void jointreplicate(int32_t replicate);

// ---- steps of an iteration (jointreplicate.cpp) ----

// New allele counts from allelesum: scaled by 1/sqrt(2 locusdyads), none
// below 3; a locus no dyad compares keeps its counts.
void newallelecounts(const jointwork& wk);

// True when iteration t ends the replicate (tol2 already divided).
bool jointstop(const jointwork& wk, int32_t t);

// ---- start of a replicate (jointstart.cpp) ----
void randomstart();
void shiftdeltas();
void setdyadflags(jointwork& wk);
void fourdistinct(jointwork& wk);

// ---- one dyad (jointdyad.cpp, jointlocus.cpp) ----

// E-step, M-step, acceleration and storage of dyad (j, i), j < i, with
// serial number k; adds its change to tol2.
void dyadupdate(jointwork& wk, int32_t j, int32_t i, int64_t k, const int8_t* g1, const int8_t* g2, int32_t t);

// The E-step over unique loci first..last (1-based) of one dyad, with
// private accumulators a and w; writes allelesum and locusdyads of its own
// loci only.
void estepblock(const estepdyad& rec, int32_t first, int32_t last, double* a, double& w);

// ---- after the iterations (background.cpp) ----
void backgroundkinship();
void backgroundinbreeding();

// Kinship of a Delta vector: D1 + (D3 + D5 + D7)/2 + D8/4.
inline double kinship(const float* d)
{
    return double(d[0]) + (double(d[2]) + double(d[4]) + double(d[6])) / 2.0 + double(d[7]) / 4.0;
}
