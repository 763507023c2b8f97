// The weighted counts of the nine ways two genotypes of a two-allele locus
// meet, per class of loci, from the class bit-planes of two individuals
// (mleclasses.cpp includes this file once per instruction set, see
// simdversions.hpp: with AVX-512 the popcounts go eight words at a time;
// with AVX2 the KING-robust counts go four words at a time, each byte's
// bits counted from a table).
//
// No include guard: included several times on purpose.

// a, b: the two individuals' planes, word w at 2w (low bits of the codes)
// and 2w + 1 (high bits); class c covers words first[c]..first[c+1]-1.
// counts[9c + v] for way v (as twovariant numbers them).
void countways(const uint64_t* a, const uint64_t* b, const int32_t* first, int32_t nclass, int32_t* counts)
{
    // Two runs over a class's words (in the cache after the first), five
    // ways and then four: nine counters at once do not fit the registers,
    // and counters on the stack chain every word's adds through memory.
    for (int32_t c = 0; c < nclass; ++c) {
        int64_t v0 = 0, v1 = 0, v2 = 0, v3 = 0, v4 = 0, v5 = 0, v6 = 0, v7 = 0, v8 = 0;
        const int32_t w1 = first[c], w2 = first[c + 1];
        for (int32_t w = w1; w < w2; ++w) {
            const uint64_t alo = a[2 * w], ahi = a[2 * w + 1], blo = b[2 * w], bhi = b[2 * w + 1];
            const uint64_t a1 = alo & ~ahi, a2 = ahi & ~alo;
            const uint64_t b1 = blo & ~bhi, b2 = bhi & ~blo, bh = blo & bhi;
            v0 += std::popcount(a1 & b1);
            v1 += std::popcount(a2 & b2);
            v2 += std::popcount(a1 & b2);
            v3 += std::popcount(a2 & b1);
            v4 += std::popcount(a1 & bh);
        }
        for (int32_t w = w1; w < w2; ++w) {
            const uint64_t alo = a[2 * w], ahi = a[2 * w + 1], blo = b[2 * w], bhi = b[2 * w + 1];
            const uint64_t a2 = ahi & ~alo, ah = alo & ahi;
            const uint64_t b1 = blo & ~bhi, b2 = bhi & ~blo, bh = blo & bhi;
            v5 += std::popcount(a2 & bh);
            v6 += std::popcount(ah & b1);
            v7 += std::popcount(ah & b2);
            v8 += std::popcount(ah & bh);
        }
        int32_t* out = counts + 9 * std::size_t(c);
        out[0] = int32_t(v0);
        out[1] = int32_t(v1);
        out[2] = int32_t(v2);
        out[3] = int32_t(v3);
        out[4] = int32_t(v4);
        out[5] = int32_t(v5);
        out[6] = int32_t(v6);
        out[7] = int32_t(v7);
        out[8] = int32_t(v8);
    }
}

#if defined(KX_HALVES)
// AVX2 has no vector popcount: the bits of each byte of x counted with a
// table of the sixteen nibbles.
inline __m256i bytecounts(__m256i x)
{
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2, 1, 2, 2, 3, 1,
                                           2, 2, 3, 2, 3, 3, 4);
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i lo = _mm256_and_si256(x, nibble), hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble);
    return _mm256_add_epi8(_mm256_shuffle_epi8(table, lo), _mm256_shuffle_epi8(table, hi));
}

inline int64_t lanetotal(__m256i v)
{
    return _mm256_extract_epi64(v, 0) + _mm256_extract_epi64(v, 1) + _mm256_extract_epi64(v, 2) +
           _mm256_extract_epi64(v, 3);
}

// The KING-robust counts (as countking below) of first individuals
// a[0..R-1] against b, four words a step, their low and high planes apart
// (in the order w, w + 2, w + 1, w + 3, the same for all), into
// k[4q..4q+3]; each byte's counts add up to 8 a step, so at most 31 steps
// before they are summed.  Returns the first word not counted.
template <int R>
int32_t kinghalves(const uint64_t* const* a, const uint64_t* b, int32_t words, int64_t* k)
{
    const __m256i zero = _mm256_setzero_si256();
    int64_t total[R][4] = {};
    int32_t w = 0;
    auto planes = [](const uint64_t* x, int32_t w, __m256i& lo, __m256i& hi) {
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + 2 * w));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + 2 * w + 4));
        lo = _mm256_unpacklo_epi64(x0, x1);
        hi = _mm256_unpackhi_epi64(x0, x1);
    };
    while (w + 4 <= words) {
        __m256i c[R][4];
        for (int q = 0; q < R; ++q)
            for (int t = 0; t < 4; ++t) c[q][t] = zero;
        for (const int32_t end = std::min(words - 3, w + 4 * 31); w < end; w += 4) {
            __m256i blo, bhi;
            planes(b, w, blo, bhi);
            const __m256i bh = _mm256_and_si256(blo, bhi), bhom = _mm256_xor_si256(blo, bhi);
            const __m256i btyped = _mm256_or_si256(blo, bhi);
            for (int q = 0; q < R; ++q) {
                __m256i alo, ahi;
                planes(a[q], w, alo, ahi);
                const __m256i ah = _mm256_and_si256(alo, ahi);
                const __m256i homs = _mm256_and_si256(_mm256_xor_si256(alo, ahi), bhom);
                c[q][0] = _mm256_add_epi8(c[q][0], bytecounts(_mm256_and_si256(ah, bh)));
                c[q][1] = _mm256_add_epi8(c[q][1], bytecounts(_mm256_and_si256(homs, _mm256_xor_si256(alo, blo))));
                c[q][2] = _mm256_add_epi8(c[q][2], bytecounts(_mm256_and_si256(ah, btyped)));
                c[q][3] = _mm256_add_epi8(c[q][3], bytecounts(_mm256_and_si256(bh, _mm256_or_si256(alo, ahi))));
            }
        }
        for (int q = 0; q < R; ++q)
            for (int t = 0; t < 4; ++t) total[q][t] += lanetotal(_mm256_sad_epu8(c[q][t], zero));
    }
    for (int q = 0; q < R; ++q)
        for (int t = 0; t < 4; ++t) k[4 * q + t] = total[q][t];
    return w;
}
#endif

// The counts below of first individuals a[0..R-1] against b over words
// from..words-1, added to k[4q..4q+3] for a[q]: b's words read once for
// the R.
template <int R>
void kingwords(const uint64_t* const* a, const uint64_t* b, int32_t from, int32_t words, int64_t* k)
{
    int64_t c[R][4] = {};
    for (int32_t w = from; w < words; ++w) {
        const uint64_t blo = b[2 * w], bhi = b[2 * w + 1];
        const uint64_t bh = blo & bhi, bhom = blo ^ bhi, btyped = blo | bhi;
        for (int q = 0; q < R; ++q) {
            const uint64_t alo = a[q][2 * w], ahi = a[q][2 * w + 1];
            const uint64_t ah = alo & ahi;
            c[q][0] += std::popcount(ah & bh);
            c[q][1] += std::popcount((alo ^ ahi) & bhom & (alo ^ blo));
            c[q][2] += std::popcount(ah & btyped);
            c[q][3] += std::popcount(bh & (alo | ahi));
        }
    }
    for (int q = 0; q < R; ++q)
        for (int t = 0; t < 4; ++t) k[4 * q + t] += c[q][t];
}

// The counts of KING-robust kinship of two individuals over all `words`
// words of their planes: k[0] both heterozygous, k[1] opposite
// homozygotes, k[2] the first heterozygous where the second is typed,
// k[3] the second heterozygous where the first is typed.
void countking(const uint64_t* a, const uint64_t* b, int32_t words, int64_t* k)
{
    int32_t from = 0;
#if defined(KX_HALVES)
    from = kinghalves<1>(&a, b, words, k);
#else
    for (int t = 0; t < 4; ++t) k[t] = 0;
#endif
    kingwords<1>(&a, b, from, words, k);
}

// The same counts of four first individuals a[0..3] against one second b,
// into k[4q..4q+3] for a[q]: b's words are read once for the four (with
// AVX2 once for two, whose counters fill its registers).
void countkingfour(const uint64_t* const* a, const uint64_t* b, int32_t words, int64_t* k)
{
#if defined(KX_HALVES)
    for (int h = 0; h < 4; h += 2) kingwords<2>(a + h, b, kinghalves<2>(a + h, b, words, k + 4 * h), words, k + 4 * h);
#else
    for (int t = 0; t < 16; ++t) k[t] = 0;
    kingwords<4>(a, b, 0, words, k);
#endif
}
