// The loops of the EM of eight dyads side by side (emlanes.cpp includes
// this file once per instruction set, inside a namespace of its own and
// under a target pragma, so that everything here is compiled for that
// set).  The E-step and M-step repeat, lane by lane, the scalar steps of
// emdyad.cpp: the same products, the same sums in the same order, one
// quotient per entry, entries skipped where their sum is at most 1e-300.
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

    // M-step and the mean change, as emiterate does them
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


// ---- term entries: the terms of eight entries at a time ----

// max(v, 1e-8) as std::max gives it (v itself when v is not below).
KX_INLINE lanevec floored(lanevec v)
{
    const lanevec f = splat(termfloor);
    return pick(v < f, f, v);
}

// locusterms of mode m for the eight keys n[k], x1[k], x2[k], into
// t0[k], t1[k], t2[k] (as many terms as the mode has).
KX_INLINE void terms8(int m, const int32_t* n, const int32_t* x1, const int32_t* x2, double* t0, double* t1,
                      double* t2)
{
    const lanevec c = splat(cterm), c2 = splat(c2term), c3 = splat(c3term);
    const lanevec dn = todoubles(n), a = todoubles(x1), b = todoubles(x2);
    switch (m) {
    case 1: {
        const lanevec v = (a - c2) / (dn - c2);
        store(t0, (dn - c) / (a - c));
        store(t1, v);
        store(t2, ((a - c3) * v) / (dn - c3));
        break;
    }
    case 2: {
        const lanevec u = floored((a - c) / (dn - c2));
        store(t0, floored((b - c) / (dn - c2)));
        store(t1, u);
        store(t2, floored(((b - c) * u) / (dn - c3)));
        break;
    }
    case 3:
    case 5: {
        const lanevec q = floored((a - c) / (dn - c2));
        const lanevec q2 = splat(2.0) * q;
        store(t0, q2);
        store(t1, q);
        store(t2, floored(((a - c2) * q2) / (dn - c3)));
        break;
    }
    case 4:
    case 6:
        store(t0, floored((a - c) / (dn - c3)));
        break;
    case 7:
        store(t0, floored((((a + b) - c2) * splat(0.5)) / (dn - c2)));
        store(t1, floored(((splat(2.0) * (a - c)) * (b - c)) / ((dn - c3) * (dn - c2))));
        break;
    case 8:
        store(t0, floored((splat(4.0) * (a - c)) / (dn - c3)));
        break;
    default:
        break;
    }
}

void terms(termentries& w, int m)
{
    const std::size_t f = std::size_t(w.first[m]);
    const int32_t made = w.made[m];
    const int32_t *n = w.en.data() + f, *x1 = w.ex1.data() + f, *x2 = w.ex2.data() + f;
    double *t0 = w.et[0].data() + f, *t1 = w.et[1].data() + f, *t2 = w.et[2].data() + f;
    int32_t k = 0;
    for (; k + nlanes <= made; k += nlanes) terms8(m, n + k, x1 + k, x2 + k, t0 + k, t1 + k, t2 + k);
    if (k == made) return;
    // the last few through a full vector of copies
    int32_t kn[nlanes], ka[nlanes], kb[nlanes];
    double r0[nlanes], r1[nlanes], r2[nlanes];
    for (int q = 0; q < nlanes; ++q) {
        const int32_t from = k + q < made ? k + q : k;
        kn[q] = n[from];
        ka[q] = x1[from];
        kb[q] = x2[from];
    }
    terms8(m, kn, ka, kb, r0, r1, r2);
    for (int q = 0; k + q < made; ++q) {
        t0[k + q] = r0[q];
        t1[k + q] = r1[q];
        t2[k + q] = r2[q];
    }
}

#undef KX_ENTRIES
#undef KX_INLINE
