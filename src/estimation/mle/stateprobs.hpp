// The probabilities of a dyad's two genotypes at a locus under Jacquard's
// nine states when each individual has its own allele frequencies.  A gene
// found in one individual only has that individual's frequency; a gene
// identical by descent between the two has the mean of their two
// frequencies (with equal frequencies, the common one, so that the terms
// are those of one population).  Genes identical by descent within one
// individual only (states 2, 4 and 6, and that individual's autozygous
// gene in states 3 and 5 when not shared) have that individual's
// frequency; genes not identical by descent are independent.
#pragma once

#include <cstdint>

#include "estimation/common/modes.hpp"

// Genotypes x = (x0, x1) of the first individual and y = (y0, y1) of the
// second (allele codes); fa[k] and fb[k] are the first's and the second's
// frequency of allele x0, x1, y0, y1 for k = 0..3.  p[1..9] receives the
// probabilities (p[0] unused).
inline void stateprobs(const int8_t* x, const int8_t* y, const double* fa, const double* fb, double* p)
{
    // frequencies of the first's and second's alleles to each individual,
    // and the mean for a shared gene
    const double ax0 = fa[0], ax1 = fa[1], ay0 = fa[2];
    const double bx0 = fb[0], bx1 = fb[1], by0 = fb[2], by1 = fb[3];
    const bool hom1 = x[0] == x[1], hom2 = y[0] == y[1];
    const double hwe1 = hom1 ? ax0 * ax0 : 2.0 * ax0 * ax1;
    const double hwe2 = hom2 ? by0 * by0 : 2.0 * by0 * by1;
    p[9] = hwe1 * hwe2;
    p[4] = hom1 ? ax0 * hwe2 : 0.0;
    p[6] = hom2 ? by0 * hwe1 : 0.0;
    p[2] = hom1 && hom2 ? ax0 * by0 : 0.0;
    p[1] = hom1 && hom2 && x[0] == y[0] ? 0.5 * (ax0 + bx0) : 0.0;
    // state 3: the first's autozygous gene is one of the second's genes
    p[3] = 0.0;
    if (hom1 && (y[0] == x[0] || y[1] == x[0])) p[3] = 0.5 * (ax0 + bx0) * (y[0] == x[0] ? by1 : by0);
    // state 5: the second's autozygous gene is one of the first's
    p[5] = 0.0;
    if (hom2 && (x[0] == y[0] || x[1] == y[0])) p[5] = 0.5 * (ay0 + by0) * (x[0] == y[0] ? ax1 : ax0);
    // state 7: both genes shared
    p[7] = 0.0;
    if ((x[0] == y[0] && x[1] == y[1]) || (x[0] == y[1] && x[1] == y[0])) {
        const double m0 = 0.5 * (ax0 + bx0), m1 = 0.5 * (ax1 + bx1);
        p[7] = hom1 ? m0 * m0 : 2.0 * m0 * m1;
    }
    // state 8: one gene shared, w, the others independent; w is x0 or (if
    // the first is heterozygous) x1, and must be one of the second's
    p[8] = 0.0;
    for (int k = 0; k < (hom1 ? 1 : 2); ++k) {
        const int8_t w = x[k];
        const double m = k == 0 ? 0.5 * (ax0 + bx0) : 0.5 * (ax1 + bx1);
        const double other1 = k == 0 ? ax1 : ax0;
        if (y[0] == w) p[8] += m * other1 * by1;
        else if (y[1] == w) p[8] += m * other1 * by0;
    }
}

// The same terms relative to Delta9's, p[s] / p[9], at a two-allele locus
// in closed form, for the dyad's way v (modes.hpp) and the two
// individuals' frequencies a1 (first) and b1 (second) of allele 1, with
// the reciprocals ra[k], rb[k] of both alleles' frequencies (k = 0 allele
// 1, 1 allele 2).  t[] receives the terms of the states adjusted.cpp keeps
// for the way's mode, in its order; no division.
inline void snpwayterms(int v, double a1, double b1, const double* ra, const double* rb, double* t)
{
    const int k = twovariant[v].sel, l = 1 - k;
    // K, the allele the way keys: the first's homozygous allele in modes 1
    // to 3, the second's in mode 5; m its mean frequency
    const double m = 0.5 * (k == 0 ? a1 + b1 : (1.0 - a1) + (1.0 - b1));
    switch (twovariant[v].mode) {
    case 1: {  // states 1..8
        const double r = ra[k] * rb[k], t8 = m * r;
        t[0] = t8 * r;
        t[1] = r;
        t[2] = t8 * ra[k];
        t[3] = ra[k];
        t[4] = t8 * rb[k];
        t[5] = rb[k];
        t[6] = m * t[0];
        t[7] = t8;
        return;
    }
    case 2:  // states 2, 4, 6: the second is homozygous for the other allele
        t[0] = ra[k] * rb[l];
        t[1] = ra[k];
        t[2] = rb[l];
        return;
    case 3:    // states 3, 4, 8: the first homozygous
    case 5: {  // states 5, 6, 8: the second homozygous; r its reciprocal
        const double t8 = 0.5 * m * ra[k] * rb[k], r = twovariant[v].mode == 3 ? ra[k] : rb[k];
        t[0] = t8 * r;
        t[1] = r;
        t[2] = t8;
        return;
    }
    default: {  // mode 7, states 7 and 8
        const double m1 = 0.5 * (a1 + b1), m2 = 0.5 * ((1.0 - a1) + (1.0 - b1));
        t[0] = 0.5 * m1 * m2 * ra[0] * ra[1] * rb[0] * rb[1];
        t[1] = 0.25 * (m1 * ra[0] * rb[0] + m2 * ra[1] * rb[1]);
        return;
    }
    }
}
