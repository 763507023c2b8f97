// The parallel layer: the only place that talks to MPI.  kinex links the
// serial version (one process, nothing to combine), kinex-par the MPI one.
//
// Every sum is element-wise over all processes and leaves the result on
// every process; the send buffer is never the receive buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Starts the parallel runtime and sets threadid, numthreads and thd0q.
void initializethreads();

// Shuts the parallel runtime down at the end of a run (if it was started).
void finishthreads();

void parsumint(const int32_t* send, int32_t* recv, std::size_t n);
void parsumreal(const float* send, float* recv, std::size_t n);
void parsumdouble(const double* send, double* recv, std::size_t n);
void parsumlong(const int64_t* send, int64_t* recv, std::size_t n);

// Work handed out by the master as the others ask for it (streamed pairs):
// the master sends a worker the number of its next piece (-1: no more) and
// the worker, having made it, sends its text back, which also asks for the
// next.  parrecvtext gives the rank of the worker whose text it took into
// `text`, or -1 when none had come (wait: it waits for one).
void parsendwork(int32_t to, int64_t piece);
int64_t parrecvwork();
void parsendtext(const std::string& text);
int32_t parrecvtext(std::string& text, bool wait);

// Rows of `bytes` bytes, one an individual: every process's block of
// individuals (lociblock over numindiv) copied to all processes, in place.
void parshareindiv(void* rows, std::size_t bytes);

// All processes wait here until every one has arrived.
void parbarrier();
