// The sums over one mode's term entries that the maximum-likelihood
// Deltas need, eight entries at a time (mlepasses.cpp includes this file
// once per instruction set, see simdversions.hpp).  A mode's entries have
// K coefficients each (K = 2..4): c[j] the entry's term, or 1 where coef[j]
// is null, and the Deltas enter as K sums u[j] (mlepasses.cpp); K = 9 is
// mode 1 with each individual's own frequencies (every state its own
// coefficient).  Entries
// past the mode's count are taken with weight 0, which adds +0.0.  The
// sums of the eight lanes are added lane by lane in order at the end, so
// the result depends only on the entries.  Every mode has one coefficient
// that is the constant 1; the passes are compiled for its place N (-1: any
// place), and skip its products, which are exact: the same bits.
//
// No include guard: included several times on purpose.

#define KX_INLINE inline __attribute__((always_inline))

// Eight entries from k on: weights and coefficients.
template <int K>
KX_INLINE void entryblock(const double* w, const double* const* coef, int32_t k, lanevec& wv, lanevec* c)
{
    wv = load(w + k);
    for (int j = 0; j < K; ++j) c[j] = coef[j] ? load(coef[j] + k) : splat(1.0);
}

// The last count - k (< 8) entries from k on, padded with weight 0 and
// coefficients 1, into the local rows wl and cl.
template <int K>
KX_INLINE void tailblock(const double* w, const double* const* coef, int32_t k, int32_t count, lanevec& wv,
                         lanevec* c)
{
    double wl[nlanes], cl[nlanes];
    for (int q = 0; q < nlanes; ++q) wl[q] = k + q < count ? w[k + q] : 0.0;
    wv = load(wl);
    for (int j = 0; j < K; ++j) {
        for (int q = 0; q < nlanes; ++q) cl[q] = (coef[j] && k + q < count) ? coef[j][k + q] : 1.0;
        c[j] = load(cl);
    }
}

// The eight entries from k on, whole or padded.
template <int K>
KX_INLINE void loadblock(const double* w, const double* const* coef, int32_t k, int32_t count, lanevec& wv,
                         lanevec* c)
{
    if (k + nlanes <= count) entryblock<K>(w, coef, k, wv, c);
    else tailblock<K>(w, coef, k, count, wv, c);
}

// c[j] x, or x itself when j is the constant coefficient N.
template <int N>
KX_INLINE lanevec times(const lanevec* c, int j, lanevec x)
{
    return j == N ? x : c[j] * x;
}

KX_INLINE double lanesum(lanevec v)
{
    double s = 0.0;
    for (int q = 0; q < nlanes; ++q) s += v[q];
    return s;
}

// r = w / dot and s = w / dot^2 (0 in the lanes where w is 0), with one
// division.
KX_INLINE void ratios(lanevec wv, lanevec dot, lanevec& r, lanevec& s)
{
    const lanemask valid = wv != splat(0.0);
    const lanevec inv = splat(1.0) / dot;
    r = keep(wv * inv, valid);
    s = keep(r * inv, valid);
}

// Gradient sums G[j] = sum of w c_j / (c.u) and negative Hessian sums
// H[jl] = sum of w c_j c_l / (c.u)^2 for j <= l (row by row); c.u, and
// the Hessian, over the NL live coordinates, the gradient over all NL + ND
// (the others' states at 0).
template <int NL, int ND, int N>
KX_INLINE void gradstep(lanevec wv, const lanevec* c, const lanevec* uu, lanevec* g, lanevec* h)
{
    lanevec dot = times<N>(c, 0, uu[0]);
    for (int j = 1; j < NL; ++j) dot += times<N>(c, j, uu[j]);
    lanevec r, s;
    ratios(wv, dot, r, s);
    for (int j = 0; j < NL + ND; ++j) g[j] += times<N>(c, j, r);
    int q = 0;
    for (int j = 0; j < NL; ++j) {
        const lanevec sc = times<N>(c, j, s);
        for (int l = j; l < NL; ++l) h[q++] += times<N>(c, l, sc);
    }
}

#if defined(KX_HALVES)
// The AVX2 loops hold a lane vector as two halves of four, and the
// gradient's K + K (K + 1) / 2 sums would need twice the sixteen registers
// (the accumulators went through the stack at every entry).  So the pass
// runs twice, over lanes 0-3 of every block of eight entries and then over
// lanes 4-7, with the same operations: each lane adds the same entries in
// the same order, and the sums are the same bits.
KX_INLINE halfvec halfload(const double* p)
{
    halfvec v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <int N>
KX_INLINE halfvec halftimes(const halfvec* c, int j, halfvec x)
{
    return j == N ? x : c[j] * x;
}

// The sums of lanes 0-3 (half 0) or 4-7 (half 1): c.u over the NL live
// coordinates, the gradient over all NL + ND, the negative Hessian over
// the live ones; N the place of the constant coefficient (-1: any, a null
// coef).  gradpass has every coordinate live.
template <int NL, int ND, int N, int half>
void gradhalf(const double* w, const double* const* coef, int32_t count, const double* u, halfvec* gout,
              halfvec* hout)
{
    constexpr int K = NL + ND, nh = NL * (NL + 1) / 2;
    const halfvec one = {1.0, 1.0, 1.0, 1.0}, zero = {0.0, 0.0, 0.0, 0.0};
    halfvec uu[NL], g[K], h[nh];
#pragma GCC unroll 9
    for (int j = 0; j < K; ++j) g[j] = zero;
#pragma GCC unroll 9
    for (int j = 0; j < NL; ++j) uu[j] = halfvec{u[j], u[j], u[j], u[j]};
#pragma GCC unroll 45
    for (int q = 0; q < nh; ++q) h[q] = zero;
    for (int32_t k = 0; k < count; k += nlanes) {
        const int32_t at = k + 4 * half;
        halfvec wv, c[K];
        if (k + nlanes <= count) {
            wv = halfload(w + at);
#pragma GCC unroll 9
            for (int j = 0; j < K; ++j)
                c[j] = j == N ? one : (N >= 0 || coef[j]) ? halfload(coef[j] + at) : one;
        } else {
            double wl[4], cl[4];
            for (int q = 0; q < 4; ++q) wl[q] = at + q < count ? w[at + q] : 0.0;
            wv = halfload(wl);
            for (int j = 0; j < K; ++j) {
                for (int q = 0; q < 4; ++q) cl[q] = (coef[j] && at + q < count) ? coef[j][at + q] : 1.0;
                c[j] = halfload(cl);
            }
        }
        halfvec dot = halftimes<N>(c, 0, uu[0]);
#pragma GCC unroll 9
        for (int j = 1; j < NL; ++j) dot += halftimes<N>(c, j, uu[j]);
        const halfmask valid = (halfmask)(wv != zero);
        const halfvec inv = one / dot;
        const halfvec r = (halfvec)((halfmask)(wv * inv) & valid);
        const halfvec sv = (halfvec)((halfmask)(r * inv) & valid);
#pragma GCC unroll 9
        for (int j = 0; j < K; ++j) g[j] += halftimes<N>(c, j, r);
        int q = 0;
#pragma GCC unroll 9
        for (int j = 0; j < NL; ++j) {
            const halfvec sc = halftimes<N>(c, j, sv);
#pragma GCC unroll 9
            for (int l = j; l < NL; ++l) h[q++] += halftimes<N>(c, l, sc);
        }
    }
#pragma GCC unroll 9
    for (int j = 0; j < K; ++j) gout[j] = g[j];
#pragma GCC unroll 45
    for (int q = 0; q < nh; ++q) hout[q] = h[q];
}

// The gradient sums of a mode's entries (gradstep): both halves, and
// their lanes added in order.
template <int NL, int ND, int N>
void gradsums(const double* w, const double* const* coef, int32_t count, const double* u, double* G, double* H)
{
    constexpr int K = NL + ND, nh = NL * (NL + 1) / 2;
    halfvec g0[K], g1[K], h0[nh], h1[nh];
    gradhalf<NL, ND, N, 0>(w, coef, count, u, g0, h0);
    gradhalf<NL, ND, N, 1>(w, coef, count, u, g1, h1);
    for (int j = 0; j < K; ++j) G[j] = lanesum(lanevec{g0[j], g1[j]});
    for (int q = 0; q < nh; ++q) H[q] = lanesum(lanevec{h0[q], h1[q]});
}
#else
// The gradient sums of a mode's entries (gradstep).
template <int NL, int ND, int N>
void gradsums(const double* w, const double* const* coef, int32_t count, const double* u, double* G, double* H)
{
    constexpr int K = NL + ND, nh = NL * (NL + 1) / 2;
    lanevec g[K], h[nh], uu[NL], wv, c[K];
    // the loops unrolled: as loops the arrays were zeroed in memory
#pragma GCC unroll 9
    for (int j = 0; j < K; ++j) g[j] = splat(0.0);
#pragma GCC unroll 9
    for (int j = 0; j < NL; ++j) uu[j] = splat(u[j]);
#pragma GCC unroll 45
    for (int q = 0; q < nh; ++q) h[q] = splat(0.0);
    for (int32_t k = 0; k < count; k += nlanes) {
        loadblock<K>(w, coef, k, count, wv, c);
        gradstep<NL, ND, N>(wv, c, uu, g, h);
    }
    for (int j = 0; j < K; ++j) G[j] = lanesum(g[j]);
    for (int q = 0; q < nh; ++q) H[q] = lanesum(h[q]);
}
#endif

template <int K, int N>
void gradpass(const double* w, const double* const* coef, int32_t count, const double* u, double* G, double* H)
{
    gradsums<K, 0, N>(w, coef, count, u, G, H);
}

// Along a direction with sums ud[j]: slope = sum of w (c.ud) / (c.u +
// alpha c.ud), curv = - sum of w ((c.ud) / (c.u + alpha c.ud))^2; bad when a
// weighed entry's sum c.u + alpha c.ud is not positive.
template <int K, int N>
KX_INLINE void slopestep(lanevec wv, const lanevec* c, const lanevec* uu, const lanevec* dd, lanevec alpha,
                         lanevec& slope, lanevec& curv, lanemask& bad)
{
    lanevec cu = times<N>(c, 0, uu[0]), cd = times<N>(c, 0, dd[0]);
    for (int j = 1; j < K; ++j) {
        cu += times<N>(c, j, uu[j]);
        cd += times<N>(c, j, dd[j]);
    }
    const lanevec den = cu + alpha * cd;
    const lanemask valid = wv != splat(0.0);
    bad |= valid & ~(den > splat(0.0));
    const lanevec q = keep(cd / den, valid);
    slope += wv * q;
    curv -= (wv * q) * q;
}

template <int K, int N>
void slopepass(const double* w, const double* const* coef, int32_t count, const double* u, const double* ud,
               double alpha, double& slope, double& curv, bool& bad)
{
    lanevec uu[K], dd[K], wv, c[K];
    for (int j = 0; j < K; ++j) {
        uu[j] = splat(u[j]);
        dd[j] = splat(ud[j]);
    }
    lanevec sl = splat(0.0), cv = splat(0.0);
    lanemask b = splatmask(0);
    const lanevec a = splat(alpha);
    for (int32_t k = 0; k < count; k += nlanes) {
        loadblock<K>(w, coef, k, count, wv, c);
        slopestep<K, N>(wv, c, uu, dd, a, sl, cv, b);
    }
    slope = lanesum(sl);
    curv = lanesum(cv);
    bool anybad = false;
    for (int q = 0; q < nlanes; ++q) anybad = anybad || b[q] != 0;
    bad = anybad;
}

// The natural logarithm of eight positive normal doubles, to within a few
// units in the last place: x = m 2^e with m in [sqrt(1/2), sqrt(2)), and
// log m = 2 atanh(s), s = (m - 1) / (m + 1), by its series to s^23
// (|s| < 0.1716, so the next term is below 1e-17).  Only IEEE arithmetic and
// bit operations: the same bits on every machine and version.
KX_INLINE lanevec lanelog(lanevec x)
{
    const lanemask b = bits(x);
    // exponent as a double: (2^52 + biased exponent) - 2^52
    const lanemask ebits = ((b >> 52) & 0x7ff) | splatmask(0x4330000000000000LL);
    lanevec e = frombits(ebits) - splat(4503599627370496.0 + 1023.0);
    // mantissa in [1, 2), then halved above sqrt(2)
    lanevec m = frombits((b & splatmask(0x000fffffffffffffLL)) | splatmask(0x3ff0000000000000LL));
    const lanemask high = m > splat(1.4142135623730951);
    m = pick(high, m * splat(0.5), m);
    e = pick(high, e + splat(1.0), e);
    const lanevec s = (m - splat(1.0)) / (m + splat(1.0));
    const lanevec s2 = s * s;
    lanevec p = splat(1.0 / 23.0);
    for (int k = 21; k >= 1; k -= 2) p = p * s2 + splat(1.0 / double(k));
    const lanevec logm = splat(2.0) * s * p;
    const lanevec ln2hi = splat(0.6931471803691238), ln2lo = splat(1.9082149292705877e-10);
    return e * ln2hi + (e * ln2lo + logm);
}

// The entries' sums c.u at one point.
template <int K, int N>
KX_INLINE lanevec pointsum(const lanevec* c, const double* u)
{
    lanevec dot = times<N>(c, 0, splat(u[0]));
    for (int j = 1; j < K; ++j) dot += times<N>(c, j, splat(u[j]));
    return dot;
}

// The log-likelihood sum of w log(c.u) over the entries, for nu sets of
// group sums u[0..nu-1] at once, into l[0..nu-1].
template <int K, int N>
KX_INLINE void logstep(lanevec wv, const lanevec* c, const double (*u)[9], int nu, lanevec* l)
{
    const lanemask valid = wv != splat(0.0);
    for (int v = 0; v < nu; ++v) l[v] += keep(wv * lanelog(pick(valid, pointsum<K, N>(c, u[v]), splat(1.0))), valid);
}

template <int K, int N>
void logpass(const double* w, const double* const* coef, int32_t count, const double (*u)[9], int nu, double* out)
{
    lanevec l[8], wv, c[K];
    for (int v = 0; v < nu; ++v) l[v] = splat(0.0);
    for (int32_t k = 0; k < count; k += nlanes) {
        loadblock<K>(w, coef, k, count, wv, c);
        logstep<K, N>(wv, c, u, nu, l);
    }
    for (int v = 0; v < nu; ++v) out[v] = lanesum(l[v]);
}

// The same sums for points whose sums c.u stay well inside the range of
// doubles at every entry (the relationships' at adjusted terms: between
// their Delta9 and a few times 1e6), with one logarithm per four blocks of
// a lane: the product of four unit-weight entries' sums, then its
// logarithm.  A block with a weight other than 0 or 1 takes its
// logarithms one by one.
template <int K, int N>
void logprodpass(const double* w, const double* const* coef, int32_t count, const double (*u)[9], int nu,
                 double* out)
{
    constexpr int per = 4;
    lanevec l[8], p[8], wv, c[K];
    for (int v = 0; v < nu; ++v) {
        l[v] = splat(0.0);
        p[v] = splat(1.0);
    }
    int held = 0;
    for (int32_t k = 0; k < count; k += nlanes) {
        loadblock<K>(w, coef, k, count, wv, c);
        const lanemask unit = (wv == splat(0.0)) | (wv == splat(1.0));
        bool all = true;
        for (int q = 0; q < nlanes; ++q) all = all && unit[q] != 0;
        if (!all) {
            logstep<K, N>(wv, c, u, nu, l);
            continue;
        }
        const lanemask valid = wv != splat(0.0);
        for (int v = 0; v < nu; ++v) p[v] *= pick(valid, pointsum<K, N>(c, u[v]), splat(1.0));
        if (++held == per) {
            for (int v = 0; v < nu; ++v) {
                l[v] += lanelog(p[v]);
                p[v] = splat(1.0);
            }
            held = 0;
        }
    }
    for (int v = 0; v < nu && held > 0; ++v) l[v] += lanelog(p[v]);
    for (int v = 0; v < nu; ++v) out[v] = lanesum(l[v]);
}

// Adjusted entries (every coordinate one state): only the states in use
// (live, NL of them) enter the sums c.u; the gradient is needed for every
// coordinate (ND more, whose states are at 0), the negative Hessian only
// over the live ones.  lc[0..NL-1] are the live coordinates' coefficient
// arrays, dc[0..ND-1] the others' (null for the constant 1).
template <int NL, int ND>
void gradlive(const double* w, const double* const* lc, const double* const* dc, int32_t count, const double* u,
              double* G, double* H)
{
    const double* coef[NL + ND];
    for (int j = 0; j < NL; ++j) coef[j] = lc[j];
    for (int j = 0; j < ND; ++j) coef[NL + j] = dc[j];
    gradsums<NL, ND, -1>(w, coef, count, u, G, H);
}

// The slope and curvature along a direction over the live coordinates
// only (the Deltas and the direction are 0 on the others).
template <int NL>
void slopelive(const double* w, const double* const* lc, int32_t count, const double* u, const double* ud,
               double alpha, double& slope, double& curv, bool& bad)
{
    slopepass<NL, -1>(w, lc, count, u, ud, alpha, slope, curv, bad);
}

#define KX_LIVE(nl, nd) \
    case 16 * (nl) + (nd): gradlive<nl, nd>(w, lc, dc, count, u, G, H); return;

// NL live and ND other coordinates of a mode with K = NL + ND of 2, 3, 4
// or 9 coordinates.
void gradpasslive(const double* w, const double* const* lc, const double* const* dc, int32_t count, int nl, int nd,
                  const double* u, double* G, double* H)
{
    switch (16 * nl + nd) {
        KX_LIVE(1, 1) KX_LIVE(2, 0)
        KX_LIVE(1, 2) KX_LIVE(2, 1) KX_LIVE(3, 0)
        KX_LIVE(1, 3) KX_LIVE(2, 2) KX_LIVE(3, 1) KX_LIVE(4, 0)
        KX_LIVE(1, 8) KX_LIVE(2, 7) KX_LIVE(3, 6) KX_LIVE(4, 5) KX_LIVE(5, 4) KX_LIVE(6, 3) KX_LIVE(7, 2)
        KX_LIVE(8, 1) KX_LIVE(9, 0)
    default:
        break;
    }
}
#undef KX_LIVE

void slopepasslive(const double* w, const double* const* lc, int32_t count, int nl, const double* u,
                   const double* ud, double alpha, double& slope, double& curv, bool& bad)
{
    switch (nl) {
    case 1: slopelive<1>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 2: slopelive<2>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 3: slopelive<3>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 4: slopelive<4>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 5: slopelive<5>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 6: slopelive<6>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 7: slopelive<7>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    case 8: slopelive<8>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    default: slopelive<9>(w, lc, count, u, ud, alpha, slope, curv, bad); return;
    }
}

// The place of the constant coefficient among coef[0..k-1] (-1: none).
inline int constantplace(const double* const* coef, int k)
{
    for (int j = 0; j < k; ++j)
        if (!coef[j]) return j;
    return -1;
}

// f<K, N>(args) for N the place of coef's constant coefficient: 0, 1 or K
// - 1 compiled for (every mode has its constant at one of them), any other
// place with the general version.
#define KX_BYPLACE(f, K, coef, ...)                                                        \
    do {                                                                                   \
        const int place = constantplace(coef, K);                                          \
        if (place == 0) f<K, 0>(__VA_ARGS__);                                              \
        else if (place == 1) f<K, 1>(__VA_ARGS__);                                         \
        else if (place == (K) - 1) f<K, (K) - 1>(__VA_ARGS__);                             \
        else f<K, -1>(__VA_ARGS__);                                                        \
    } while (false)

// Entry points of each version, one per K of each pass; logof8: lanelog of
// x[0..7].
#define KX_PASSES(K)                                                                                            \
    void logpass##K(const double* w, const double* const* coef, int32_t n, const double(*u)[9], int nu,         \
                    double* out)                                                                                \
    {                                                                                                           \
        KX_BYPLACE(logpass, K, coef, w, coef, n, u, nu, out);                                                   \
    }                                                                                                           \
    void logprodpass##K(const double* w, const double* const* coef, int32_t n, const double(*u)[9], int nu,     \
                        double* out)                                                                            \
    {                                                                                                           \
        KX_BYPLACE(logprodpass, K, coef, w, coef, n, u, nu, out);                                               \
    }                                                                                                           \
    void gradpass##K(const double* w, const double* const* coef, int32_t n, const double* u, double* G, double* H) \
    {                                                                                                           \
        KX_BYPLACE(gradpass, K, coef, w, coef, n, u, G, H);                                                     \
    }                                                                                                           \
    void slopepass##K(const double* w, const double* const* coef, int32_t n, const double* u, const double* ud, \
                      double a, double& s, double& c, bool& b)                                                  \
    {                                                                                                           \
        KX_BYPLACE(slopepass, K, coef, w, coef, n, u, ud, a, s, c, b);                                          \
    }
KX_PASSES(2)
KX_PASSES(3)
KX_PASSES(4)
KX_PASSES(9)
#undef KX_PASSES
#undef KX_BYPLACE
void logof8(const double* x, double* out) { store(out, lanelog(load(x))); }

#undef KX_INLINE
