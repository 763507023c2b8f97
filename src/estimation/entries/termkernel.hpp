// The probability terms of a dyad's term entries, eight entries at a time
// (entryterms.cpp includes this file once per instruction set, see
// simdversions.hpp).  The terms of an entry follow from its key: the
// sample size n and the counts x1, x2 of the alleles that termalleles
// names (modes.hpp); every term but mode 1's has the floor 1e-8.
//
// No include guard: included several times on purpose.

#define KX_INLINE inline __attribute__((always_inline))

// max(v, 1e-8) as std::max gives it (v itself when v is not below).
KX_INLINE lanevec floored(lanevec v)
{
    const lanevec f = splat(termfloor);
    return pick(v < f, f, v);
}

// The terms of mode m (see modes.hpp) for the eight keys n[k], x1[k], x2[k], into
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

#undef KX_INLINE
