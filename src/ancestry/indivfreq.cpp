// Each individual's own allele frequencies: from its component scores
// (PCS:) or its population (POP:), kept away from 0 and 1.
#include <algorithm>

#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void freqedges()
{
    std::vector<int32_t> n;
    locussizes(n);
    allocarray(vars.freqlow, std::size_t(vars.numloci2) + 1, freqedge, vars.memerr, "EM_Delta");
    for (int32_t u = 1; u <= vars.numloci2; ++u)
        if (n[std::size_t(u)] > 0) vars.freqlow[std::size_t(u)] = std::max(freqedge, 0.5 / double(n[std::size_t(u)]));
}

void indivfreqs(int32_t i, double* f)
{
    const int32_t nu = vars.numloci2;
    const double* low = vars.freqlow.data();
    if (vars.pcs > 0) {
        // only the components used have coefficients other than 0; every
        // locus takes intercept + b1 z1 + b2 z2 + ... in that order
        const int32_t k = vars.pcsused;
        const double* z = vars.pcscore.data() + pcat(1, i);
        const double* b = vars.pcbeta.data() + betaat(0, 1);
        for (int32_t u = 1; u <= nu; ++u) f[u] = b[u - 1];
        for (int32_t c = 1; c <= k; ++c) {
            const double* bc = vars.pcbeta.data() + betaat(c, 1);
            const double zc = z[c - 1];
            for (int32_t u = 1; u <= nu; ++u) f[u] += bc[u - 1] * zc;
        }
    } else {
        const int32_t p = vars.popof[std::size_t(i)];
        for (int32_t u = 1; u <= nu; ++u) f[u] = vars.popfreq[popfreqat(vars.locusloc[std::size_t(u - 1)] + 1, p)];
    }
    for (int32_t u = 1; u <= nu; ++u) f[u] = std::min(std::max(f[u], low[u]), 1.0 - low[u]);
}

double popallelefreq(int32_t i, int32_t a)
{
    // the locus of allele a: locusloc is ascending
    const auto it = std::lower_bound(vars.locusloc.begin(), vars.locusloc.end(), a);
    const double low = vars.freqlow[std::size_t(it - vars.locusloc.begin())];
    return std::min(std::max(vars.popfreq[popfreqat(a, vars.popof[std::size_t(i)])], low), 1.0 - low);
}
