// The joint E-step of two-allele data, eight dyads of one individual 1 at a
// time (jointsnp.cpp includes this file once per instruction set, inside a
// namespace of its own and under a target pragma).  Every lane does, for
// its dyad, exactly the arithmetic of estepblock (jointlocus.cpp): the
// same terms (made once per locus, see blockterms), the same products,
// sums, quotients and expected genes, in the same order.  A lane that does
// not count at a locus adds +0.0, which leaves every sum as it was.
//
// No include guard: included several times on purpose.

#define KX_INLINE inline __attribute__((always_inline))

#include "estimation/joint/jointterms.hpp"

// The nine state terms of each way two genotypes of a two-allele locus
// meet, in state order (jointterms.hpp gives the non-zero ones).
KX_INLINE void waysofhomhom(const termshomhom& r, double* t)
{
    const double v[9] = {r.q0, r.q1, r.q1, r.q2, r.q1, r.q2, r.q1, r.q2, r.q3};
    for (int s = 0; s < 9; ++s) t[s] = v[s];
}
KX_INLINE void waysofhomother(const termshomother& r, double* t)
{
    const double v[9] = {0, r.x1, 0, r.x4, 0, r.x2, 0, 0, r.x3};
    for (int s = 0; s < 9; ++s) t[s] = v[s];
}
// first = 2: AA / AB (states 3, 4); first = 4: AB / AA (states 5, 6).
KX_INLINE void waysofhomhet(const termshomhet& r, int first, double* t)
{
    for (int s = 0; s < 9; ++s) t[s] = 0.0;
    t[first] = r.x1;
    t[first + 1] = 2.0 * r.x2;
    t[7] = r.x2;
    t[8] = r.x3;
}
KX_INLINE void waysofhethet(const termshethet& r, double* t)
{
    const double v[9] = {0, 0, 0, 0, 0, 0, 2.0 * r.xx, r.y8, r.y9};
    for (int s = 0; s < 9; ++s) t[s] = v[s];
}

// Table of a locus: for individual 1's code c1 (1 = 1/1, 2 = 2/2, 3 =
// 1/2) and state s, the term for individual 2's code c2 at element c2
// (element 0, a missing genotype, is 0).  27 rows per locus.
KX_INLINE void locustable(int32_t l, const jointwork& wk, lanerow* tab)
{
    const int32_t base = vars.locusloc[std::size_t(l - 1)];
    const double n = wk.locustotal[std::size_t(l)];
    const double c1 = vars.allelecnt[std::size_t(base + 1)], c2 = vars.allelecnt[std::size_t(base + 2)];
    double way[3][4][9] = {};
    waysofhomhom(homhom(n, c1), way[0][1]);
    waysofhomother(homother(n, c1, c2), way[0][2]);
    waysofhomhet(homhet(n, c1, c2), 2, way[0][3]);
    waysofhomother(homother(n, c2, c1), way[1][1]);
    waysofhomhom(homhom(n, c2), way[1][2]);
    waysofhomhet(homhet(n, c2, c1), 2, way[1][3]);
    waysofhomhet(homhet(n, c1, c2), 4, way[2][1]);
    waysofhomhet(homhet(n, c2, c1), 4, way[2][2]);
    waysofhethet(hethet(n, c1, c2), way[2][3]);
    for (int a = 0; a < 3; ++a)
        for (int s = 0; s < 9; ++s) {
            lanerow& r = tab[9 * a + s];
            for (int b = 0; b < 4; ++b) r.x[b] = r.x[b + 4] = way[a][b][s];
        }
}

// One batch over loci first..last, whose tables start at tab (27 rows a
// locus).  Inb: Inbreed 1 (all nine states), else states 7, 8 and 9 only.
template <bool Inb>
void batchloci(snpsweep& s, const snpbatch& b, snpsums& sum, int32_t first, int32_t last, const lanerow* tab)
{
    const int32_t nloc = vars.numloci2;
    const uint32_t* snp = vars.snp.data();
    const uint32_t* col1 = snpcolumn(b.j);
    const int32_t* loc = vars.locusloc.data();
    const int32_t* cnt = vars.markercnt.data();
    const double* allelecnt = vars.allelecnt.data();
    double* asum = s.genes->allelesum.data();
    int32_t* ldyads = s.genes->locusdyads.data();
    const bool first_it = s.t == 1;

    int64_t used[nlanes];
    for (int q = 0; q < nlanes; ++q) used[q] = q < b.used ? -1 : 0;
    const lanemask inuse = loadmask(used);
    lanevec d[9], a[9];
    for (int q = 0; q < 9; ++q) {
        d[q] = load(b.d[q]);
        a[q] = load(sum.a[q]);
    }
    lanevec w = load(sum.w);
    lanemask seen = load(sum.seen) != splat(0.0);
    const lanevec h1 = load(b.h1), h1last = load(b.h1last);
    const lanevec one = splat(1.0), zero = splat(0.0);
    const lanevec self = splat(s.selfterm);

    lanemask words = {};
    int32_t wordat = -1;
    for (int32_t l = first; l <= last; ++l, tab += 27) {
        const int32_t word = snpwordof(l), shift = snpshiftof(l);
        const int c1 = snpfield(col1[word], shift);
        if (c1 == 0) continue;
        if (word != wordat) {
            int64_t w2[nlanes];
            for (int q = 0; q < nlanes; ++q) w2[q] = q < b.used ? int64_t(snp[b.col2[q] + word]) : 0;
            words = loadmask(w2);
            wordat = word;
        }
        const lanemask c2 = (words >> shift) & 3;  // snpfield of every lane
        const lanemask valid = (c2 != 0) & inuse;
        if (first_it) {
            int32_t counted = 0;
            for (int q = 0; q < nlanes; ++q) counted += valid[q] != 0;
            ldyads[l] += counted;
        }
        // h1 comes from the dyad's first counted locus: h1last if that is
        // the last locus
        lanevec h1sel = h1;
        if (l == nloc) h1sel = pick(seen, h1, h1last);
        seen |= valid;

        const lanerow* row = tab + 9 * (c1 - 1);
        lanevec wt[9];
        constexpr int from = Inb ? 0 : 6;
        for (int q = from; q < 9; ++q) wt[q] = d[q] * pickof4(row[q], c2);
        // Delta9's factor: h1 for AA/AA, AA/AB and AB/AA patterns; Delta7's:
        // the self term for AB/AB
        lanemask withh1, withself = {};
        if (c1 == 3) {
            withh1 = c2 != 3;
            withself = c2 == 3;
            wt[6] = wt[6] * pick(withself, self, one);
        } else {
            withh1 = c2 != (c1 == 1 ? 2 : 1);  // not for AA/BB
        }
        wt[8] = wt[8] * pick(withh1, h1sel, one);

        lanevec total = wt[from];
        for (int q = from + 1; q < 9; ++q) total += wt[q];
        const lanemask ok = valid & (total != zero);
        lanevec p[9];
        for (int q = 0; q < from; ++q) p[q] = zero;
        for (int q = from; q < 9; ++q) p[q] = keep(wt[q] / total, ok);
        const lanevec weight = splat(double(cnt[l]));
        for (int q = from; q < 9; ++q) a[q] += weight * p[q];
        w += keep(weight, ok);

        // expected independent genes of alleles 1 and 2
        lanevec g1, g2;
        const lanevec two = splat(2.0);
        if (c1 == 3) {
            const int32_t base = loc[l - 1];
            const double ca = allelecnt[base + 1], cb = allelecnt[base + 2], cab = ca + cb;
            const lanevec x5 = geneshomhet(p, 4, two);
            const lanevec x7a = geneshethet(p, one, splat(ca), splat(cab));
            const lanevec x7b = geneshethet(p, one, splat(cb), splat(cab));
            g1 = pick(c2 == 1, x5, pick(c2 == 2, one, x7a));
            g2 = pick(c2 == 1, one, pick(c2 == 2, x5, x7b));
        } else {
            const lanevec x1 = geneshomhom(p, two);
            const lanevec x2a = geneshomother(p, 5, one), x2b = geneshomother(p, 3, one);
            const lanevec x3 = geneshomhet(p, 2, two);
            if (c1 == 1) {
                g1 = pick(c2 == 1, x1, pick(c2 == 2, x2a, x3));
                g2 = pick(c2 == 1, zero, pick(c2 == 2, x2b, one));
            } else {
                g1 = pick(c2 == 1, x2b, pick(c2 == 2, zero, one));
                g2 = pick(c2 == 1, x2a, pick(c2 == 2, x1, x3));
            }
        }
        g1 = keep(g1, ok);
        g2 = keep(g2, ok);
        const int32_t base = loc[l - 1];
        double s1 = asum[base + 1], s2 = asum[base + 2];
        for (int q = 0; q < b.used; ++q) {
            s1 += g1[q];
            s2 += g2[q];
        }
        asum[base + 1] = s1;
        asum[base + 2] = s2;
    }
    for (int q = 0; q < 9; ++q) save(sum.a[q], a[q]);
    save(sum.w, w);
    save(sum.seen, keep(one, seen));
}

void sweep(snpsweep& s, int32_t thread, int32_t first, int32_t last)
{
    lanerow* tab = s.tables.data() + std::size_t(thread) * 27 * snpblockloci;
    snpsums* sums = s.sums.data() + std::size_t(thread) * std::size_t(s.nbatch);
    for (int32_t b = 0; b < s.nbatch; ++b) sums[b] = snpsums{};
    for (int32_t lo = first; lo <= last; lo += snpblockloci) {
        const int32_t hi = lo + snpblockloci - 1 < last ? lo + snpblockloci - 1 : last;
        for (int32_t l = lo; l <= hi; ++l) locustable(l, *s.work, tab + 27 * (l - lo));
        for (int32_t b = 0; b < s.nbatch; ++b) {
            if (vars.inbreed == 1) batchloci<true>(s, s.batch[std::size_t(b)], sums[b], lo, hi, tab);
            else batchloci<false>(s, s.batch[std::size_t(b)], sums[b], lo, hi, tab);
        }
    }
}

#undef KX_INLINE
