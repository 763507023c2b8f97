// One process: every share is everything and nothing needs combining.
#include <cstring>

#include "parallel/parlayer.hpp"
#include "run/variables.hpp"

void initializethreads()
{
    vars.threadid = 0;
    vars.numthreads = 1;
    vars.thd0q = true;
}

void finishthreads() {}

template <class T>
static void copyover(const T* send, T* recv, std::size_t n)
{
    if (send != recv && n > 0) std::memmove(recv, send, n * sizeof(T));
}

void parsumint(const int32_t* send, int32_t* recv, std::size_t n) { copyover(send, recv, n); }
void parsumreal(const float* send, float* recv, std::size_t n) { copyover(send, recv, n); }
void parsumdouble(const double* send, double* recv, std::size_t n) { copyover(send, recv, n); }

void parsumlong(const int64_t* send, int64_t* recv, std::size_t n) { copyover(send, recv, n); }

// one process's block is every individual
void parshareindiv(void*, std::size_t) {}

// one process hands no work out and gets no texts
void parsendwork(int32_t, int64_t) {}
int64_t parrecvwork() { return -1; }
void parsendtext(const std::string&) {}
int32_t parrecvtext(std::string&, bool) { return -1; }

void parbarrier() {}
