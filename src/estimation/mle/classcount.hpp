// The weighted counts of the nine ways two genotypes of a two-allele locus
// meet, per class of loci, from the class bit-planes of two individuals
// (mleclasses.cpp includes this file once per instruction set, see
// simdversions.hpp: with AVX-512 the popcounts go eight words at a time).
//
// No include guard: included several times on purpose.

// a, b: the two individuals' planes, word w at 2w (low bits of the codes)
// and 2w + 1 (high bits); class c covers words first[c]..first[c+1]-1.
// counts[9c + v] for way v (as twovariant numbers them).
void countways(const uint64_t* a, const uint64_t* b, const int32_t* first, int32_t nclass, int32_t* counts)
{
    for (int32_t c = 0; c < nclass; ++c) {
        int64_t v[9] = {};
        for (int32_t w = first[c]; w < first[c + 1]; ++w) {
            const uint64_t alo = a[2 * w], ahi = a[2 * w + 1], blo = b[2 * w], bhi = b[2 * w + 1];
            const uint64_t a1 = alo & ~ahi, a2 = ahi & ~alo, ah = alo & ahi;
            const uint64_t b1 = blo & ~bhi, b2 = bhi & ~blo, bh = blo & bhi;
            v[0] += std::popcount(a1 & b1);
            v[1] += std::popcount(a2 & b2);
            v[2] += std::popcount(a1 & b2);
            v[3] += std::popcount(a2 & b1);
            v[4] += std::popcount(a1 & bh);
            v[5] += std::popcount(a2 & bh);
            v[6] += std::popcount(ah & b1);
            v[7] += std::popcount(ah & b2);
            v[8] += std::popcount(ah & bh);
        }
        for (int q = 0; q < 9; ++q) counts[9 * c + q] = int32_t(v[q]);
    }
}

// The counts of KING-robust kinship of two individuals over all `words`
// words of their planes: k[0] both heterozygous, k[1] opposite
// homozygotes, k[2] the first heterozygous where the second is typed,
// k[3] the second heterozygous where the first is typed.
void countking(const uint64_t* a, const uint64_t* b, int32_t words, int64_t* k)
{
    int64_t hh = 0, opp = 0, h1 = 0, h2 = 0;
    for (int32_t w = 0; w < words; ++w) {
        const uint64_t alo = a[2 * w], ahi = a[2 * w + 1], blo = b[2 * w], bhi = b[2 * w + 1];
        const uint64_t ah = alo & ahi, bh = blo & bhi;
        hh += std::popcount(ah & bh);
        opp += std::popcount((alo ^ ahi) & (blo ^ bhi) & (alo ^ blo));
        h1 += std::popcount(ah & (blo | bhi));
        h2 += std::popcount(bh & (alo | ahi));
    }
    k[0] = hh;
    k[1] = opp;
    k[2] = h1;
    k[3] = h2;
}
