// The loops of a dyad's SNP entries at own frequencies (adjustedsnp.cpp
// includes this file once per instruction set, see simdversions.hpp): the
// reciprocals of an individual's frequencies, eight loci at a time, and
// the dyad's loci sorted by the way its two genotypes meet.  Every version
// gives the same numbers and the same order.
//
// No include guard: included several times on purpose.

#define KX_INLINE inline __attribute__((always_inline))

// r1[u] = 1 / p[u] and r2[u] = 1 / (1 - p[u]) for u = 1..nu, by one
// division for both.
KX_INLINE void reciprocal1(const double* p, double* r1, double* r2, int32_t u)
{
    const double q = 1.0 - p[u], d = 1.0 / (p[u] * q);
    r1[u] = q * d;
    r2[u] = p[u] * d;
}

void freqreciprocals(const double* p, int32_t nu, double* r1, double* r2)
{
    int32_t u = 1;
    for (; u + nlanes - 1 <= nu; u += nlanes) {
        const lanevec x = load(p + u), q = splat(1.0) - x, d = splat(1.0) / (x * q);
        store(r1 + u, q * d);
        store(r2 + u, x * d);
    }
    for (; u <= nu; ++u) reciprocal1(p, r1, r2, u);
}

// The loci of a word (16 two-bit codes, low bit first) whose code is c, at
// the low bit of each field.
KX_INLINE uint32_t codemask(uint32_t x, int c)
{
    const uint32_t lo = x & 0x55555555u, hi = (x >> 1) & 0x55555555u;
    return c == 1 ? lo & ~hi : c == 2 ? hi & ~lo : lo & hi;
}

// The dyad's loci 1..nu compared in each way v (codes waycodes[v] of the
// first, coli, and the second, colj), way after way and each way in locus
// order, into order[from[v] .. from[v + 1] - 1].  pair[1..nu] is room for
// the codes of every locus.
void wayorder(const uint32_t* coli, const uint32_t* colj, int32_t nu, int8_t* pair, int32_t* order, int32_t* from)
{
    const int32_t words = (nu + 15) / 16;
    const int32_t past = 16 * words - nu;  // fields of the last word past the last locus
    const uint32_t last = past > 0 ? 0xFFFFFFFFu >> (2 * past) : 0xFFFFFFFFu;
#if defined(KX_WIDE)
    // the ways' masks of a word, counted by popcount, then each way's loci
    // of the word packed in one instruction
    (void)pair;
    auto masks = [&](int32_t w, uint32_t* m) {
        const uint32_t inside = w == words - 1 ? last : 0xFFFFFFFFu;
        for (int v = 0; v < 9; ++v)
            m[v] = codemask(coli[w], waycodes[v][0]) & codemask(colj[w], waycodes[v][1]) & inside;
    };
    int32_t count[9] = {};
    for (int32_t w = 0; w < words; ++w) {
        uint32_t m[9];
        masks(w, m);
        for (int v = 0; v < 9; ++v) count[v] += std::popcount(m[v]);
    }
    int32_t at[9];
    from[0] = 0;
    for (int v = 0; v < 9; ++v) from[v + 1] = from[v] + count[v];
    for (int v = 0; v < 9; ++v) at[v] = from[v];
    const __m512i iota = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    for (int32_t w = 0; w < words; ++w) {
        uint32_t m[9];
        masks(w, m);
        const __m512i u = _mm512_add_epi32(iota, _mm512_set1_epi32(16 * w));
        for (int v = 0; v < 9; ++v) {
            const __mmask16 k = __mmask16(_pext_u32(m[v], 0x55555555u));
            const int n = std::popcount(unsigned(k));
            _mm512_mask_storeu_epi32(order + at[v], __mmask16((1u << n) - 1u), _mm512_maskz_compress_epi32(k, u));
            at[v] += n;
        }
    }
#else
    // every locus's pair of codes (4 c1 + c2), counted, then the loci placed
    int32_t count[16] = {};
    for (int32_t w = 0; w < words; ++w) {
        const uint32_t xi = coli[w] & (w == words - 1 ? last : 0xFFFFFFFFu), xj = colj[w];
        const int32_t u0 = 16 * w + 1, end = std::min(u0 + 16, nu + 1);
        for (int32_t u = u0; u < end; ++u) {
            const int s = 2 * (u - u0);
            const int c = int((xi >> s) & 3u) << 2 | int((xj >> s) & 3u);
            pair[u] = int8_t(c);
            ++count[c];
        }
    }
    // the loci not compared after the ways
    int32_t at[16];
    int32_t next = 0;
    for (int v = 0; v < 9; ++v) {
        const int c = waycodes[v][0] << 2 | waycodes[v][1];
        from[v] = at[c] = next;
        next += count[c];
    }
    from[9] = next;
    for (int c = 0; c < 16; ++c)
        if ((c & 3) == 0 || (c >> 2) == 0) {
            at[c] = next;
            next += count[c];
        }
    for (int32_t u = 1; u <= nu; ++u) order[at[pair[u]]++] = u;
#endif
}

#undef KX_INLINE
