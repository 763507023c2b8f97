// The loops of the EM of eight dyads side by side (emlanes.cpp includes
// this file once per instruction set, inside a namespace of its own and
// under a target pragma, so that everything here is compiled for that
// set).  The E-step and M-step are those of the EM of one dyad, done lane
// by lane: each lane forms the same products and the same sums in the
// same order as a dyad's EM on its own would, one quotient per entry,
// entries skipped where their sum is at most 1e-300.
// A skipped entry, or a lane's entry past its count, adds +0.0, which
// leaves every sum as it was (the sums start at +0.0 and only grow).
//
// No include guard: included several times on purpose.

#define KX_INLINE inline __attribute__((always_inline))

// A lane's entries k < count are in use.
KX_INLINE lanemask inuse(int32_t k, const lanemask& count) { return splatmask(k) < count; }

KX_INLINE lanemask countsof(const lanemode& m)
{
    int64_t c[nlanes];
    for (int l = 0; l < nlanes; ++l) c[l] = m.count[l];
    return loadmask(c);
}

// The quotient w / dsum of every lane where the entry counts, else 0.
KX_INLINE lanevec quotient(lanevec w, lanevec dsum, lanemask valid)
{
    return keep(w / dsum, valid & (dsum > splat(1e-300)));
}

// Entries 0..least-1 are in use in every lane; only the entries after
// them need the mask of the lanes that have them.
#define KX_ENTRIES(step)                                                       \
    {                                                                          \
        const lanemask count = countsof(m), all = splatmask(-1);               \
        int32_t k = 0;                                                         \
        for (; k < m.least; ++k, x += step) KX_ENTRY(all);                     \
        for (; k < m.most; ++k, x += step) KX_ENTRY(inuse(k, count));          \
    }

// A mode with one base state b and NT further states s[] (Inbreed 1).
template <int NT>
KX_INLINE void onebase(const lanemode& m, int b, const int (&s)[NT], const lanevec* d, lanevec* e)
{
    lanevec v[NT], sumr = splat(0.0);
    for (int q = 0; q < NT; ++q) v[q] = splat(0.0);
    const lanevec db = d[b];
    const lanevec* x = reinterpret_cast<const lanevec*>(m.block.data());
#define KX_ENTRY(valid)                                  \
    {                                                    \
        lanevec p[NT];                                   \
        lanevec dsum = db;                               \
        for (int q = 0; q < NT; ++q) {                   \
            p[q] = d[s[q]] * x[1 + q];                   \
            dsum += p[q];                                \
        }                                                \
        const lanevec r = quotient(x[0], dsum, valid);   \
        for (int q = 0; q < NT; ++q) v[q] += p[q] * r;   \
        sumr += r;                                       \
    }
    KX_ENTRIES(1 + NT)
#undef KX_ENTRY
    e[b] += db * sumr;
    for (int q = 0; q < NT; ++q) e[s[q]] += v[q];
}

// Mode 1 (AA, AA), Inbreed 1: base states 2, 3, 5, 7; Delta4, 6 and 8
// share the second term.
KX_INLINE void modeone(const lanemode& m, const lanevec* d, lanevec* e)
{
    lanevec v[5], sumr = splat(0.0);
    for (int q = 0; q < 5; ++q) v[q] = splat(0.0);
    const lanevec* x = reinterpret_cast<const lanevec*>(m.block.data());
#define KX_ENTRY(valid)                                                                     \
    {                                                                                       \
        lanevec p[5];                                                                       \
        p[0] = d[1] * x[1];                                                                 \
        p[1] = d[4] * x[2];                                                                 \
        p[2] = d[6] * x[2];                                                                 \
        p[3] = d[8] * x[2];                                                                 \
        p[4] = d[9] * x[3];                                                                 \
        const lanevec dsum = p[0] + d[2] + d[3] + p[1] + d[5] + p[2] + d[7] + p[3] + p[4];  \
        const lanevec r = quotient(x[0], dsum, valid);                                      \
        for (int q = 0; q < 5; ++q) v[q] += p[q] * r;                                       \
        sumr += r;                                                                          \
    }
    KX_ENTRIES(4)
#undef KX_ENTRY
    e[1] += v[0];
    e[2] += d[2] * sumr;
    e[3] += d[3] * sumr;
    e[4] += v[1];
    e[5] += d[5] * sumr;
    e[6] += v[2];
    e[7] += d[7] * sumr;
    e[8] += v[3];
    e[9] += v[4];
}

// Inbreed 0: Delta1..Delta6 are 0, and only an optional base state among 7
// and 8 (HasBase, value d[B]), Delta8 (term I8 when I8 >= 0) and Delta9
// (term I9) take part, as in the scalar code.
template <bool HasBase, int B, int I8, int I9>
KX_INLINE void outbred(const lanemode& m, const lanevec* d, lanevec* e)
{
    lanevec v8 = splat(0.0), v9 = splat(0.0), sumr = splat(0.0);
    const lanevec db = HasBase ? d[B] : splat(0.0);
    const int step = 1 + m.nt;
    const lanevec* x = reinterpret_cast<const lanevec*>(m.block.data());
#define KX_ENTRY(valid)                                           \
    {                                                             \
        const lanevec p9 = d[9] * x[1 + I9];                      \
        lanevec p8 = splat(0.0), dsum;                            \
        if constexpr (I8 >= 0) p8 = d[8] * x[1 + I8];             \
        if constexpr (HasBase && I8 >= 0) dsum = db + p8 + p9;    \
        else if constexpr (HasBase) dsum = db + p9;               \
        else if constexpr (I8 >= 0) dsum = p8 + p9;               \
        else dsum = p9;                                           \
        const lanevec r = quotient(x[0], dsum, valid);            \
        if constexpr (I8 >= 0) v8 += p8 * r;                      \
        v9 += p9 * r;                                             \
        if constexpr (HasBase) sumr += r;                         \
    }
    KX_ENTRIES(step)
#undef KX_ENTRY
    if constexpr (HasBase) e[B] += db * sumr;
    if constexpr (I8 >= 0) e[8] += v8;
    e[9] += v9;
}

constexpr int mode2[3] = {4, 6, 9};
constexpr int mode3[3] = {4, 8, 9};
constexpr int mode5[3] = {6, 8, 9};
constexpr int mode7[2] = {8, 9};
constexpr int only9[1] = {9};

uint32_t iterate(emlanes& z, double tol)
{
    lanevec e[10], d[10];
    for (int s = 0; s <= 9; ++s) {
        e[s] = splat(0.0);
        d[s] = load(z.d[s]);
    }
    if (vars.inbreed != 1) {
        outbred<true, 7, 1, 2>(z.mode[1], d, e);
        outbred<false, 0, -1, 2>(z.mode[2], d, e);
        outbred<false, 0, 1, 2>(z.mode[3], d, e);
        outbred<false, 0, -1, 0>(z.mode[4], d, e);
        outbred<false, 0, 1, 2>(z.mode[5], d, e);
        outbred<false, 0, -1, 0>(z.mode[6], d, e);
        outbred<true, 7, 0, 1>(z.mode[7], d, e);
        outbred<true, 8, -1, 0>(z.mode[8], d, e);
    } else {
        modeone(z.mode[1], d, e);
        onebase(z.mode[2], 2, mode2, d, e);
        onebase(z.mode[3], 3, mode3, d, e);
        onebase(z.mode[4], 4, only9, d, e);
        onebase(z.mode[5], 5, mode5, d, e);
        onebase(z.mode[6], 6, only9, d, e);
        onebase(z.mode[7], 7, mode7, d, e);
        onebase(z.mode[8], 8, only9, d, e);
    }
    e[9] += load(z.w9);

    // M-step: the expected counts over their sum (plus 1e-300), and the
    // mean absolute change of the nine Deltas
    lanevec sum = splat(0.0);
    for (int s = 1; s <= 9; ++s) sum += e[s];
    const lanevec g = splat(1.0) / (sum + splat(1e-300));
    const lanemask nosign = splatmask(INT64_MAX);
    lanevec change = splat(0.0);
    for (int s = 1; s <= 9; ++s) {
        const lanevec next = e[s] * g;
        change += keep(next - d[s], nosign);  // |next - d|, as fabs gives it
        save(z.d[s], next);
    }
    change /= splat(9.0);

    uint32_t done = 0;
    for (int l = 0; l < nlanes; ++l) {
        if (!z.busy[l]) continue;
        ++z.iter[l];
        if (emconverged(tol, change[l]) || z.iter[l] >= 100) done |= 1u << l;
    }
    return done;
}

#undef KX_ENTRIES
#undef KX_INLINE
