// The passes over a dyad's term entries for its maximum-likelihood Deltas:
// gradient and Hessian, the slope along a direction, and the
// log-likelihood.  Each mode's entries have at most four distinct
// coefficients, each standing for a group of states (below); the passes
// work on the group sums of the Deltas and spread their results back over
// the states.
#include <algorithm>
#include <cmath>

#include "estimation/mle/mle.hpp"

#define KX_KERNEL "estimation/mle/mlekernel.hpp"
#include "estimation/simd/simdversions.hpp"

namespace {

// Coefficient j of a mode's entries: the entry's term et[term] (-1: the
// constant 1 of the base states), standing for the states listed.
struct coordinate {
    int term;
    int nstates;
    int state[4];
};
struct modecoords {
    int k;
    coordinate c[4];
};
const modecoords coords[9] = {
    {0, {}},
    {4, {{0, 1, {1}}, {-1, 4, {2, 3, 5, 7}}, {1, 3, {4, 6, 8}}, {2, 1, {9}}}},  // AA, AA
    {4, {{-1, 1, {2}}, {0, 1, {4}}, {1, 1, {6}}, {2, 1, {9}}}},                 // AA, BB
    {4, {{-1, 1, {3}}, {0, 1, {4}}, {1, 1, {8}}, {2, 1, {9}}}},                 // AA, AB
    {2, {{-1, 1, {4}}, {0, 1, {9}}}},                                           // AA, BC
    {4, {{-1, 1, {5}}, {0, 1, {6}}, {1, 1, {8}}, {2, 1, {9}}}},                 // AB, AA
    {2, {{-1, 1, {6}}, {0, 1, {9}}}},                                           // AB, CC
    {3, {{-1, 1, {7}}, {0, 1, {8}}, {1, 1, {9}}}},                              // AB, AB
    {2, {{-1, 1, {8}}, {0, 1, {9}}}},                                           // AB, AC
};

// The group sums of d for mode m.
void groupsums(int m, const double* d, double* u)
{
    const modecoords& mc = coords[m];
    for (int j = 0; j < mc.k; ++j) {
        double s = 0.0;
        for (int q = 0; q < mc.c[j].nstates; ++q) s += d[mc.c[j].state[q]];
        u[j] = s;
    }
}

// Mode m's entries as the passes take them: count, weights, coefficient
// arrays (null for the constant 1) and the coordinates.
struct modeentries {
    int32_t n;
    const double* w;
    const double* coef[4];
    const modecoords* mc;
};

modeentries entriesofmode(const termentries& te, int m)
{
    const std::size_t f = std::size_t(te.first[m]);
    modeentries x{te.made[m], te.ew.data() + f, {}, &coords[m]};
    for (int j = 0; j < x.mc->k; ++j) x.coef[j] = x.mc->c[j].term < 0 ? nullptr : te.et[x.mc->c[j].term].data() + f;
    return x;
}

}  // namespace

void mlegradient(const termentries& te, const double* d, double* g, double (*m)[10])
{
    for (int s = 0; s <= 9; ++s) {
        g[s] = 0.0;
        for (int t = 0; t <= 9; ++t) m[s][t] = 0.0;
    }
    for (int md = 1; md <= 8; ++md) {
        const modeentries x = entriesofmode(te, md);
        if (x.n == 0) continue;
        const modecoords& mc = *x.mc;
        double u[4], G[4], H[10];
        groupsums(md, d, u);
        if (mc.k == 2) SIMDCALL(gradpass2, x.w, x.coef, x.n, u, G, H);
        else if (mc.k == 3) SIMDCALL(gradpass3, x.w, x.coef, x.n, u, G, H);
        else SIMDCALL(gradpass4, x.w, x.coef, x.n, u, G, H);
        int q = 0;
        for (int j = 0; j < mc.k; ++j) {
            for (int a = 0; a < mc.c[j].nstates; ++a) g[mc.c[j].state[a]] += G[j];
            for (int l = j; l < mc.k; ++l, ++q)
                for (int a = 0; a < mc.c[j].nstates; ++a)
                    for (int b = 0; b < mc.c[l].nstates; ++b) {
                        const int s = mc.c[j].state[a], t = mc.c[l].state[b];
                        m[s][t] += H[q];
                        if (l != j) m[t][s] += H[q];
                    }
        }
    }
    if (te.w9 > 0.0) {
        g[9] += te.w9 / d[9];
        m[9][9] += (te.w9 / d[9]) / d[9];
    }
}

void mleslope(const termentries& te, const double* d, const double* dir, double alpha, double& slope,
              double& curv, bool& bad)
{
    slope = 0.0;
    curv = 0.0;
    bad = false;
    for (int md = 1; md <= 8; ++md) {
        const modeentries x = entriesofmode(te, md);
        if (x.n == 0) continue;
        double u[4], ud[4], s = 0.0, c = 0.0;
        bool b = false;
        groupsums(md, d, u);
        groupsums(md, dir, ud);
        if (x.mc->k == 2) SIMDCALL(slopepass2, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        else if (x.mc->k == 3) SIMDCALL(slopepass3, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        else SIMDCALL(slopepass4, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        slope += s;
        curv += c;
        bad = bad || b;
    }
    if (te.w9 > 0.0) {
        const double den = d[9] + alpha * dir[9];
        if (!(den > 0.0)) bad = true;
        const double q = dir[9] / den;
        slope += te.w9 * q;
        curv -= (te.w9 * q) * q;
    }
}

void mlelogliks(const termentries& te, const double (*d)[10], int nd, double* l)
{
    for (int v = 0; v < nd; ++v) l[v] = 0.0;
    for (int md = 1; md <= 8; ++md) {
        const modeentries x = entriesofmode(te, md);
        if (x.n == 0) continue;
        double u[8][4], part[8];
        for (int v = 0; v < nd; ++v) groupsums(md, d[v], u[v]);
        if (x.mc->k == 2) SIMDCALL(logpass2, x.w, x.coef, x.n, u, nd, part);
        else if (x.mc->k == 3) SIMDCALL(logpass3, x.w, x.coef, x.n, u, nd, part);
        else SIMDCALL(logpass4, x.w, x.coef, x.n, u, nd, part);
        for (int v = 0; v < nd; ++v) l[v] += part[v];
    }
    if (te.w9 > 0.0) {
        // the same logarithm as the entries' (mode-9 loci add w9 log D9)
        double x[8], lg[8];
        for (int v = 0; v < 8; ++v) x[v] = v < nd ? d[v][9] : 1.0;
        SIMDCALL(logof8, x, lg);
        for (int v = 0; v < nd; ++v) l[v] += te.w9 * lg[v];
    }
}

double mleloglik(const termentries& te, const double* d)
{
    double one[1][10], l;
    std::copy(d, d + 10, one[0]);
    mlelogliks(te, one, 1, &l);
    return l;
}
