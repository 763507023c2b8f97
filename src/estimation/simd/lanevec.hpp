// Vectors of eight doubles (lanevec) and eight 64-bit masks (lanemask) for
// the loops that run eight dyads side by side, and the few helpers the
// loops use beyond plain arithmetic.  Included inside each instruction
// set's namespace (simdversions.hpp), so that each gets its own types and
// this file holds all that differs between the sets:
// - AVX-512 and the plain baseline: GCC's generic vectors of 64 bytes.
// - AVX2 (KX_HALVES defined): two halves of four.  GCC keeps a generic
//   vector wider than the machine's registers in memory and goes through
//   the stack for every operation; a pair of 32-byte vectors stays in
//   registers.  Each operation is done half by half, the same IEEE
//   operation on every lane, so the results do not change.
//
// No include guard: included several times on purpose.

#define KX_INLINE inline __attribute__((always_inline))

#if defined(KX_HALVES)

typedef double halfvec __attribute__((vector_size(32)));
typedef int64_t halfmask __attribute__((vector_size(32)));

struct lanemask {
    halfmask lo, hi;
    int64_t operator[](int q) const { return q < 4 ? lo[q] : hi[q - 4]; }
};

struct lanevec {
    halfvec lo, hi;
    double operator[](int q) const { return q < 4 ? lo[q] : hi[q - 4]; }
};

#define KX_VECOP(op)                                                                                  \
    KX_INLINE lanevec operator op(lanevec a, lanevec b) { return lanevec{a.lo op b.lo, a.hi op b.hi}; } \
    KX_INLINE lanevec& operator op##=(lanevec& a, lanevec b) { return a = a op b; }
KX_VECOP(+)
KX_VECOP(-)
KX_VECOP(*)
KX_VECOP(/)
#undef KX_VECOP

#define KX_VECCMP(op)                                                                         \
    KX_INLINE lanemask operator op(lanevec a, lanevec b)                                        \
    {                                                                                           \
        return lanemask{(halfmask)(a.lo op b.lo), (halfmask)(a.hi op b.hi)};                    \
    }
KX_VECCMP(<)
KX_VECCMP(>)
KX_VECCMP(==)
KX_VECCMP(!=)
#undef KX_VECCMP

#define KX_MASKOP(op)                                                                                     \
    KX_INLINE lanemask operator op(lanemask a, lanemask b) { return lanemask{a.lo op b.lo, a.hi op b.hi}; } \
    KX_INLINE lanemask operator op(lanemask a, int64_t b) { return lanemask{a.lo op b, a.hi op b}; }        \
    KX_INLINE lanemask& operator op##=(lanemask& a, lanemask b) { return a = a op b; }
KX_MASKOP(&)
KX_MASKOP(|)
KX_MASKOP(+)
#undef KX_MASKOP

#define KX_MASKCMP(op)                                                                        \
    KX_INLINE lanemask operator op(lanemask a, lanemask b)                                      \
    {                                                                                           \
        return lanemask{(halfmask)(a.lo op b.lo), (halfmask)(a.hi op b.hi)};                    \
    }                                                                                           \
    KX_INLINE lanemask operator op(lanemask a, int64_t b)                                       \
    {                                                                                           \
        return lanemask{(halfmask)(a.lo op b), (halfmask)(a.hi op b)};                          \
    }
KX_MASKCMP(<)
KX_MASKCMP(==)
KX_MASKCMP(!=)
#undef KX_MASKCMP

KX_INLINE lanemask operator~(lanemask a) { return lanemask{~a.lo, ~a.hi}; }
KX_INLINE lanemask operator<<(lanemask a, int n) { return lanemask{a.lo << n, a.hi << n}; }
KX_INLINE lanemask operator>>(lanemask a, int n) { return lanemask{a.lo >> n, a.hi >> n}; }

KX_INLINE lanevec splat(double x)
{
    const halfvec h = {x, x, x, x};
    return lanevec{h, h};
}
KX_INLINE lanemask splatmask(int64_t x)
{
    const halfmask h = {x, x, x, x};
    return lanemask{h, h};
}
KX_INLINE lanemask bits(lanevec v) { return lanemask{(halfmask)v.lo, (halfmask)v.hi}; }
KX_INLINE lanevec frombits(lanemask m) { return lanevec{(halfvec)m.lo, (halfvec)m.hi}; }

// Eight 32-bit integers as doubles.
KX_INLINE lanevec todoubles(const int32_t* p)
{
    typedef int32_t ints __attribute__((vector_size(16)));
    ints a, b;
    __builtin_memcpy(&a, p, sizeof a);
    __builtin_memcpy(&b, p + 4, sizeof b);
    return lanevec{__builtin_convertvector(a, halfvec), __builtin_convertvector(b, halfvec)};
}

#else

typedef double lanevec __attribute__((vector_size(64)));
typedef int64_t lanemask __attribute__((vector_size(64)));

KX_INLINE lanevec splat(double x) { return lanevec{x, x, x, x, x, x, x, x}; }
KX_INLINE lanemask splatmask(int64_t x) { return lanemask{x, x, x, x, x, x, x, x}; }
KX_INLINE lanemask bits(lanevec v) { return (lanemask)v; }
KX_INLINE lanevec frombits(lanemask m) { return (lanevec)m; }

KX_INLINE lanevec todoubles(const int32_t* p)
{
    typedef int32_t ints __attribute__((vector_size(32)));
    ints v;
    __builtin_memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, lanevec);
}

#endif

static_assert(sizeof(lanevec) == 8 * sizeof(double) && sizeof(lanemask) == 8 * sizeof(int64_t));

// Between vectors and rows of eight in memory (half by half where the
// vector is two halves: one copy of 64 bytes would go through the stack).
template <typename V>
KX_INLINE V loadbytes(const void* p)
{
    V v;
#if defined(KX_HALVES)
    __builtin_memcpy(&v.lo, p, sizeof v.lo);
    __builtin_memcpy(&v.hi, static_cast<const char*>(p) + sizeof v.lo, sizeof v.hi);
#else
    __builtin_memcpy(&v, p, sizeof v);
#endif
    return v;
}
KX_INLINE lanevec load(const double* p) { return loadbytes<lanevec>(p); }
KX_INLINE lanevec load(const lanerow& r) { return load(r.x); }
KX_INLINE lanemask loadmask(const int64_t* p) { return loadbytes<lanemask>(p); }
KX_INLINE void store(double* p, lanevec v)
{
#if defined(KX_HALVES)
    __builtin_memcpy(p, &v.lo, sizeof v.lo);
    __builtin_memcpy(p + 4, &v.hi, sizeof v.hi);
#else
    __builtin_memcpy(p, &v, sizeof v);
#endif
}
KX_INLINE void save(lanerow& r, lanevec v) { store(r.x, v); }

// v where the mask is set, +0.0 elsewhere; a where the mask is set, else b.
KX_INLINE lanevec keep(lanevec v, lanemask m) { return frombits(bits(v) & m); }
KX_INLINE lanevec pick(lanemask m, lanevec a, lanevec b) { return frombits((bits(a) & m) | (bits(b) & ~m)); }

// Element code[q] (0..3) of a row of eight whose two halves hold the same
// four elements, for every lane q.
#if defined(KX_HALVES)
// AVX2: each half picks within itself, element c being the 32-bit words
// 2c and 2c + 1.
KX_INLINE lanevec pickof4(const lanerow& r, lanemask code)
{
    const lanemask two = code << 1;
    const lanemask words = two | ((two + 1) << 32);
    halfvec v;
    __builtin_memcpy(&v, r.x, sizeof v);
    return lanevec{(halfvec)_mm256_permutevar8x32_epi32((__m256i)v, (__m256i)words.lo),
                   (halfvec)_mm256_permutevar8x32_epi32((__m256i)v, (__m256i)words.hi)};
}
#elif defined(__clang__)
// Clang has no variable-index shuffle of generic vectors.
KX_INLINE lanevec pickof4(const lanerow& r, lanemask code)
{
    double out[nlanes];
    for (int q = 0; q < nlanes; ++q) out[q] = r.x[code[q] & 3];
    return load(out);
}
#else
KX_INLINE lanevec pickof4(const lanerow& r, lanemask code) { return __builtin_shuffle(load(r), code); }
#endif

#undef KX_INLINE
