// The thread layer: the only place that talks to OpenMP.  One team of
// threads per dyad update of the joint EM divides the unique loci into
// static blocks; kinex links the serial version (one thread).
#pragma once

#include <cstdint>

#include "estimation/joint.hpp"

// Threads for a dyad's E-step: ompthd when it is at least 2 and every
// thread gets more than 10 loci on average, else 1.
int32_t teamsize();

// Loci first..last (1-based, first > last when empty) of thread k of
// nthreads over n loci: threads below n mod nthreads take one locus more.
void lociblock(int32_t n, int32_t nthreads, int32_t k, int32_t& first, int32_t& last);

// Runs the E-step of one dyad over all unique loci with nthreads threads;
// each thread accumulates privately, and the private sums are added to
// rec.a and rec.w once per thread, in thread order, after the team ends.
void runestep(estepdyad& rec, int32_t nthreads);

// The two-allele E-step of a sweep of batches (jointsnp.cpp) with nthreads
// threads, each over its block of loci (lociblock); sets s.threads to the
// number of threads that took part.
void runsnpsweep(snpsweep& s, int32_t nthreads);
