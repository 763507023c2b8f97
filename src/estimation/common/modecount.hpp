// Counting the modes of dyads over a chunk of bit-planes (snpmodes.cpp
// includes this file once per instruction set, see simdversions.hpp): with
// AVX-512 the popcounts of eight words go in one instruction.
//
// No include guard: included several times on purpose.

// Counts modes 1, 2, 3, 5 and 7 of one dyad over the s slots of a chunk.
__attribute__((always_inline)) inline void countloop(const uint64_t* a, const uint64_t* b, int32_t width, int32_t s,
                                                     int32_t* iis)
{
    const uint64_t *a1 = a, *a2 = a + width, *ah = a + 2 * width;
    const uint64_t *b1 = b, *b2 = b + width, *bh = b + 2 * width;
    int32_t m1 = 0, m2 = 0, m3 = 0, m5 = 0, m7 = 0;
    for (int32_t q = 0; q < s; ++q) {
        m1 += int32_t(std::popcount((a1[q] & b1[q]) | (a2[q] & b2[q])));
        m2 += int32_t(std::popcount((a1[q] & b2[q]) | (a2[q] & b1[q])));
        m3 += int32_t(std::popcount((a1[q] | a2[q]) & bh[q]));
        m5 += int32_t(std::popcount(ah[q] & (b1[q] | b2[q])));
        m7 += int32_t(std::popcount(ah[q] & bh[q]));
    }
    iis[0] += m1;
    iis[1] += m2;
    iis[2] += m3;
    iis[4] += m5;
    iis[6] += m7;
}

__attribute__((always_inline)) inline void rowloop(const chunkrow& r)
{
    const uint64_t* a = r.plane + std::size_t(r.i - 1) * r.stride;
    int64_t k = r.k;
    const int32_t me = vars.threadid, p = vars.numthreads;
    int32_t* const iis = vars.iisdyad.data();
    int32_t owner = dyadowner(k);
    for (int32_t j = r.i + 1; j <= r.n; ++j, ++k) {
        if (owner == me)
            countloop(a, r.plane + std::size_t(j - 1) * r.stride, r.width, r.s, iis + iisat(1, k));
        owner = nextowner(owner, p);
    }
}

// The entry point of each version.
void countrow(const chunkrow& r) { rowloop(r); }
