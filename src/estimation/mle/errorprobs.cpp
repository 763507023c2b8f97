// Genotyping errors in the pair likelihood (errorprobs.hpp).
#include "estimation/mle/errorprobs.hpp"

#include <utility>

#include "estimation/common/modes.hpp"
#include "estimation/mle/stateprobs.hpp"

namespace {

// The probability of drawing the genes g[0..m-1] one after the other.
double draws(const int8_t* g, int m, const double* count, double n)
{
    double p = 1.0;
    for (int k = 0; k < m; ++k) {
        int same = 0;
        for (int j = 0; j < k; ++j) same += g[j] == g[k];
        p *= (count[g[k]] - cterm * same) / (n - cterm * k);
    }
    return p > 0.0 ? p : 0.0;
}

// The other allele of genotype g when allele a is one of its two.
int8_t otherof(const int8_t* g, int8_t a) { return g[0] == a ? g[1] : g[0]; }

// Ways in which one gene of t, read as another allele, gives o.
int misreads(const int8_t* t, const int8_t* o)
{
    int ways = 0;
    for (int s = 0; s < 2; ++s) {
        const int8_t kept = t[1 - s];
        // slot s read as the other allele of o than `kept`, when kept is in o
        if (kept != o[0] && kept != o[1]) continue;
        const int8_t read = otherof(o, kept);
        ways += read != t[s];
    }
    return ways;
}

}  // namespace

int truesources(const int8_t* o, int k, double e, truegenotype* t)
{
    int n = 0;
    t[n++] = {{o[0], o[1]}, 1.0 - e};
    if (e <= 0.0) return n;
    if (k == 2) {
        // SNPs: each of the two other genotypes alike
        const int8_t all[3][2] = {{1, 1}, {1, 2}, {2, 2}};
        for (const auto& g : all)
            if (!((g[0] == o[0] && g[1] == o[1]) || (g[0] == o[1] && g[1] == o[0]))) t[n++] = {{g[0], g[1]}, 0.5 * e};
        return n;
    }
    for (int s = 0; s < 2; ++s)
        for (int8_t a = 1; a <= k; ++a) {
            if (a == o[s]) continue;
            int8_t g[2] = {a, o[1 - s]};
            if (g[0] > g[1]) std::swap(g[0], g[1]);
            bool seen = false;
            for (int q = 1; q < n && !seen; ++q) seen = t[q].g[0] == g[0] && t[q].g[1] == g[1];
            if (seen || (g[0] == o[0] && g[1] == o[1]) || (g[0] == o[1] && g[1] == o[0])) continue;
            t[n++] = {{g[0], g[1]}, e * double(misreads(g, o)) / (2.0 * double(k - 1))};
        }
    return n;
}

void drawprobs(const int8_t* x, const int8_t* y, const double* count, double n, double* p)
{
    const bool hom1 = x[0] == x[1], hom2 = y[0] == y[1];
    const double m1 = hom1 ? 1.0 : 2.0, m2 = hom2 ? 1.0 : 2.0;
    const int8_t all[4] = {x[0], x[1], y[0], y[1]};
    p[9] = m1 * m2 * draws(all, 4, count, n);
    const int8_t s4[3] = {x[0], y[0], y[1]}, s6[3] = {y[0], x[0], x[1]}, s2[2] = {x[0], y[0]};
    p[4] = hom1 ? m2 * draws(s4, 3, count, n) : 0.0;
    p[6] = hom2 ? m1 * draws(s6, 3, count, n) : 0.0;
    p[2] = hom1 && hom2 ? draws(s2, 2, count, n) : 0.0;
    p[1] = hom1 && hom2 && x[0] == y[0] ? draws(x, 1, count, n) : 0.0;
    p[3] = 0.0;
    if (hom1 && (y[0] == x[0] || y[1] == x[0])) {
        const int8_t s3[2] = {x[0], otherof(y, x[0])};
        p[3] = draws(s3, 2, count, n);
    }
    p[5] = 0.0;
    if (hom2 && (x[0] == y[0] || x[1] == y[0])) {
        const int8_t s5[2] = {y[0], otherof(x, y[0])};
        p[5] = draws(s5, 2, count, n);
    }
    p[7] = 0.0;
    if ((x[0] == y[0] && x[1] == y[1]) || (x[0] == y[1] && x[1] == y[0])) p[7] = m1 * draws(x, 2, count, n);
    p[8] = 0.0;
    for (int k = 0; k < (hom1 ? 1 : 2); ++k) {
        const int8_t w = x[k];
        if (y[0] != w && y[1] != w) continue;
        const int8_t s8[3] = {w, x[1 - k], otherof(y, w)};
        p[8] += draws(s8, 3, count, n);
    }
}

void errorprobs(const int8_t* x, const int8_t* y, int k, double e, const double* count, double n, const double* fa,
                const double* fb, double* p)
{
    truegenotype tx[256], ty[256];
    const int nx = truesources(x, k, e, tx), ny = truesources(y, k, e, ty);
    for (int s = 1; s <= 9; ++s) p[s] = 0.0;
    for (int a = 0; a < nx; ++a)
        for (int b = 0; b < ny; ++b) {
            double q[10];
            if (count != nullptr) {
                drawprobs(tx[a].g, ty[b].g, count, n, q);
            } else {
                const double f1[4] = {fa[tx[a].g[0]], fa[tx[a].g[1]], fa[ty[b].g[0]], fa[ty[b].g[1]]};
                const double f2[4] = {fb[tx[a].g[0]], fb[tx[a].g[1]], fb[ty[b].g[0]], fb[ty[b].g[1]]};
                stateprobs(tx[a].g, ty[b].g, f1, f2, q);
            }
            const double w = tx[a].w * ty[b].w;
            for (int s = 1; s <= 9; ++s) p[s] += w * q[s];
        }
}
