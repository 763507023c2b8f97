// A dyad's term entries at each individual's own allele frequencies
// (PCS:, POP:): one entry per compared locus, grouped by mode, every state
// the mode allows with its own term relative to Delta9's (the coordinates
// acoords of mlepasses.cpp), from the probabilities of stateprobs.hpp.
#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "estimation/mle/errorprobs.hpp"
#include "estimation/mle/mle.hpp"
#include "estimation/mle/stateprobs.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

// The states whose terms mode m's adjusted entries hold, in term order.
constexpr int8_t adjstates[9][8] = {{},        {1, 2, 3, 4, 5, 6, 7, 8}, {2, 4, 6}, {3, 4, 8}, {4},
                                    {5, 6, 8}, {6},                      {7, 8},    {8}};
constexpr int adjterms[9] = {0, 8, 3, 3, 1, 3, 1, 2, 1};

// The four alleles' frequencies to each individual at locus u.
void allelefreqs(const adjwork& a, int32_t i, int32_t j, int32_t u, const int8_t* x, const int8_t* y, double* fa,
                 double* fb)
{
    const int8_t al[4] = {x[0], x[1], y[0], y[1]};
    if (a.twoallele) {
        const double pi = a.fi[std::size_t(u)], pj = a.fj[std::size_t(u)];
        for (int k = 0; k < 4; ++k) {
            fa[k] = al[k] == 1 ? pi : 1.0 - pi;
            fb[k] = al[k] == 1 ? pj : 1.0 - pj;
        }
        return;
    }
    const int32_t base = vars.locusloc[std::size_t(u - 1)];
    for (int k = 0; k < 4; ++k) {
        fa[k] = popallelefreq(i, base + al[k]);
        fb[k] = popallelefreq(j, base + al[k]);
    }
}

}  // namespace

void adjustedsetup(adjwork& a)
{
    const std::size_t u = std::size_t(vars.numloci2) + 1;
    const std::string message = allocfailmessage("the adjusted entries");
    a.twoallele = vars.dataform != 0;
    a.te.allstates = vars.generr > 0.0;
    if (a.twoallele && vars.ownfreq) {
        allocarray(a.fi, u, 0.0, message, routine);
        allocarray(a.fj, u, 0.0, message, routine);
    }
    allocarray(a.mode, u, int8_t(0), message, routine);
    allocarray(a.te.ew, u, 0.0, message, routine);
    for (std::vector<double>& t : a.te.et) allocarray(t, u, 0.0, message, routine);
    a.te.adjusted = true;
    a.rowi = 0;
    a.snp = a.twoallele && vars.ownfreq && !a.te.allstates;
    if (a.snp) snpadjustedsetup(a);
}

// Locus u's probabilities p[1..9] of the genotypes x and y with errors at
// the run's rate: each individual's own frequencies, or the sample's counts.
void witherrors(const adjwork& a, int32_t i, int32_t j, int32_t u, const int8_t* x, const int8_t* y, double* p)
{
    const int32_t base = vars.locusloc[std::size_t(u - 1)];
    const int k = vars.locusloc[std::size_t(u)] - base;
    double fa[128], fb[128], count[128], n = 0.0;
    if (!vars.ownfreq) {
        for (int c = 1; c <= k; ++c) n += count[c] = double(vars.numa[std::size_t(base + c)]);
        errorprobs(x, y, k, vars.generr, count, n, nullptr, nullptr, p);
        return;
    }
    if (a.twoallele) {
        fa[1] = a.fi[std::size_t(u)];
        fb[1] = a.fj[std::size_t(u)];
        fa[2] = 1.0 - fa[1];
        fb[2] = 1.0 - fb[1];
    } else {
        for (int c = 1; c <= k; ++c) {
            fa[c] = popallelefreq(i, base + c);
            fb[c] = popallelefreq(j, base + c);
        }
    }
    errorprobs(x, y, k, vars.generr, nullptr, 0.0, fa, fb, p);
}

void adjustedentries(adjwork& a, int32_t i, int32_t j, const int8_t* gi, const int8_t* gj, int32_t* iis)
{
    const int32_t nu = vars.numloci2;
    if (a.snp) {
        snpadjustedentries(a, i, j, iis);
        return;
    }
    const bool own = vars.ownfreq && a.twoallele;
    // a related dyad's frequencies are its own: row i's made again after it
    if (own && (a.related || a.rowi != i)) {
        if (a.related) relativefreqs(i, j, a.fi.data());
        else indivfreqs(i, a.fi.data());
        a.rowi = a.related ? 0 : i;
    }
    if (own && a.related) relativefreqs(j, i, a.fj.data());
    else if (own) indivfreqs(j, a.fj.data());
    termentries& te = a.te;
    // with errors every compared locus is an entry of every state, all in
    // mode 1's group
    const bool errors = te.allstates;
    int32_t count[10] = {};
    for (int m = 0; m < 9; ++m) iis[m] = 0;
    te.w9 = 0.0;
    // the mode of every compared locus, and the entries of each mode
    for (int32_t u = 1; u <= nu; ++u) {
        const int8_t* x = gi + 2 * std::size_t(u - 1);
        const int8_t* y = gj + 2 * std::size_t(u - 1);
        int8_t m = 0;
        if (x[0] != 0 && y[0] != 0) {
            const bool two = vars.locusloc[std::size_t(u)] - vars.locusloc[std::size_t(u - 1)] == 2;
            m = int8_t(two ? twoallelemode(x, y) : findconf(x, y));
            iis[m - 1] += vars.markercnt[std::size_t(u)];
            ++count[errors ? 1 : m];
        }
        a.mode[std::size_t(u)] = m;
    }
    int32_t at[10] = {};
    for (int m = 1, next = 0; m <= 8; ++m) {
        te.first[m] = at[m] = next;
        te.made[m] = count[m];
        next += count[m];
    }
    for (int32_t u = 1; u <= nu; ++u) {
        const int m = a.mode[std::size_t(u)];
        if (m == 0) continue;
        const double w = double(vars.markercnt[std::size_t(u)]);
        const int8_t* x = gi + 2 * std::size_t(u - 1);
        const int8_t* y = gj + 2 * std::size_t(u - 1);
        double p[10];
        if (errors) {
            witherrors(a, i, j, u, x, y, p);
            const std::size_t e = std::size_t(at[1]++);
            te.ew[e] = w;
            for (int s = 1; s <= 8; ++s) te.et[s - 1][e] = p[s] / p[9];
            continue;
        }
        if (m == 9) {
            te.w9 += w;
            continue;
        }
        double fa[4], fb[4];
        allelefreqs(a, i, j, u, x, y, fa, fb);
        stateprobs(x, y, fa, fb, p);
        const std::size_t e = std::size_t(at[m]++);
        te.ew[e] = w;
        for (int q = 0; q < adjterms[m]; ++q) te.et[q][e] = p[adjstates[m][q]] / p[9];
    }
}
