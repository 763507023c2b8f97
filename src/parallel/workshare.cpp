// The shares of the processes and the size and blocks of a thread team.
#include "parallel/workshare.hpp"

void indivshare()
{
    const int32_t n = vars.numindiv, p = vars.numthreads;
    const int32_t q = n / p, r = n % p;
    int32_t below = 0;
    for (int32_t rank = 0; rank < vars.threadid; ++rank) below += rank < r ? q + 1 : q;
    const int32_t mine = vars.threadid < r ? q + 1 : q;
    vars.indivl1 = below + 1;
    vars.indivl2 = below + mine;
}

int32_t teamsize()
{
    int32_t t = vars.ompthd;
    if (t >= 2 && int64_t(vars.numloci2) > 10 * int64_t(t)) return t;
    return 1;
}

void lociblock(int32_t n, int32_t nthreads, int32_t k, int32_t& first, int32_t& last)
{
    int32_t q = n / nthreads, r = n % nthreads;
    int32_t start = k < r ? k * (q + 1) : r + k * q;
    int32_t count = k < r ? q + 1 : q;
    first = start + 1;
    last = start + count;
}
