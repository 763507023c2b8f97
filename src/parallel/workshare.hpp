// Who does what: the division of a run's work among the processes and,
// within a process, among the threads of a dyad's E-step.  No other file
// decides who does which share; the rest of the program asks here.
//
// Processes:
// - individuals in contiguous blocks by rank (indivl1..indivl2), for
//   reading multi-allelic genotypes, locus keys and tallies;
// - dyads by serial number: dyad k belongs to the process whose rank is
//   k mod the number of processes, so consecutive dyads go to consecutive
//   ranks;
// - the pairs of the four-distinct-allele count by a per-locus counter, in
//   the same turn.
// Threads (the joint EM): the unique loci of one E-step in static blocks,
// one per thread.  kinex links the serial team (one thread), kinex-par the
// OpenMP one; the estimation says what a thread does with its block
// (teamblock), the team only who takes which block.
#pragma once

#include <cstdint>

#include "run/variables.hpp"

// ---- processes ----

// This process's block of individuals into indivl1..indivl2: the first
// numindiv mod P ranks take one individual more; an empty block has
// indivl2 = indivl1 - 1 (workshare.cpp).
void indivshare();

// True when individual i is in this process's block.
inline bool myindiv(int32_t i) { return i >= vars.indivl1 && i <= vars.indivl2; }

// The rank that owns dyad k, and whether it is this process.
inline int32_t dyadowner(int64_t k) { return int32_t(k % vars.numthreads); }
inline bool owndyad(int64_t k) { return dyadowner(k) == vars.threadid; }

// The owner of the dyad that follows one owned by `owner`.
// p is vars.numthreads, read once by the caller: a loop that stores
// through pointers would otherwise load it again for every dyad.
inline int32_t nextowner(int32_t owner, int32_t p) { return owner + 1 == p ? 0 : owner + 1; }

// The four-distinct count: a locus's pairs are counted from 1 in the order
// (1,2), (1,3), ..., and pair number c belongs to rank c mod P.
inline bool ownpair(int64_t c) { return c % vars.numthreads == vars.threadid; }

// ---- threads ----

// Threads for a dyad's E-step: ompthd when it is at least 2 and every
// thread gets more than 10 loci on average, else 1 (workshare.cpp).
int32_t teamsize();

// Loci first..last (1-based, first > last when empty) of thread k of
// nthreads over n loci: threads below n mod nthreads take one locus more
// (workshare.cpp).
void lociblock(int32_t n, int32_t nthreads, int32_t k, int32_t& first, int32_t& last);

// The work of one team, and what thread `thread` does with its block of
// loci first..last: both belong to the estimation (jointteam.cpp).
struct teamjob;
void teamblock(teamjob& job, int32_t thread, int32_t first, int32_t last);

// Runs teamblock on nthreads threads over the unique loci 1..numloci2,
// each thread its own block (lociblock); returns the number of threads
// that took part, which is 1 in kinex (workshare_serial.cpp,
// workshare_omp.cpp).
int32_t runteam(teamjob& job, int32_t nthreads);
