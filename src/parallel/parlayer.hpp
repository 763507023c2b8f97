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

// The texts of all processes, joined in rank order, into `all` on the
// master (the others get nothing): streamed results gathered in order.
void pargather(const std::string& mine, std::string& all);

// All processes wait here until every one has arrived.
void parbarrier();
