// Each individual's own allele frequencies: from its component scores
// (PCS:) or its population (POP:), kept away from 0 and 1.
#include <algorithm>

#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "genotypes/snpstore.hpp"
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

namespace {

// Individual i's frequencies before they are kept away from 0 and 1; with
// d, d[u] receives the part of the fit the scaling took away (the fit
// without scaling is f[u] + d[u]).
void rawfreqs(int32_t i, double* f, double* d)
{
    const int32_t nu = vars.numloci2;
    if (vars.pcs > 0) {
        // only the components used have coefficients other than 0; every
        // locus takes intercept + b1 z1 + b2 z2 + ... in that order
        const int32_t k = vars.pcsused;
        const double* z = vars.pcscore.data() + pcat(1, i);
        const double* b = vars.pcbeta.data() + betaat(0, 1);
        for (int32_t u = 1; u <= nu; ++u) f[u] = b[u - 1];
        if (d != nullptr)
            for (int32_t u = 1; u <= nu; ++u) d[u] = 0.0;
        for (int32_t c = 1; c <= k; ++c) {
            const double* bc = vars.pcbeta.data() + betaat(c, 1);
            const double s = vars.pcshrink[std::size_t(c)], zc = s * z[c - 1], dc = (1.0 - s) * z[c - 1];
            for (int32_t u = 1; u <= nu; ++u) f[u] += bc[u - 1] * zc;
            if (d != nullptr)
                for (int32_t u = 1; u <= nu; ++u) d[u] += bc[u - 1] * dc;
        }
    } else {
        const int32_t p = vars.popof[std::size_t(i)];
        for (int32_t u = 1; u <= nu; ++u) f[u] = vars.popfreq[popfreqat(vars.locusloc[std::size_t(u - 1)] + 1, p)];
    }
}

void keepinside(double* f)
{
    const double* low = vars.freqlow.data();
    for (int32_t u = 1; u <= vars.numloci2; ++u) f[u] = std::min(std::max(f[u], low[u]), 1.0 - low[u]);
}

// Individual i of the unrelated set (POP: on SNP data): a share of its own
// gene copies out of its population's counts; half in its own inbreeding
// and in every pair at first, as the set's members of the components have
// half of their row out of the fit (see below), all of them in a pair
// found related.
void popselfout(int32_t i, double share, double* f)
{
    const int32_t p = vars.popof[std::size_t(i)], nu = vars.numloci2;
    const uint32_t* column = snpcolumn(i);
    for (int32_t u = 1; u <= nu; ++u) {
        const uint32_t code = (column[(u - 1) / 16] >> (2 * ((u - 1) % 16))) & 3u;
        if (code == 0) continue;
        const std::size_t at = popselfat(u, p);
        f[u] -= share * (vars.popselfw[at] * snphalfdosage[code] - vars.popselfv[at]);
    }
}

// Whether the labels are counted over the unrelated set (POP: on SNP
// data), and whether individual i counts in its label's frequencies.
bool setcounts() { return vars.pcs == 0 && !vars.popselfw.empty(); }
bool selfcounted(int32_t i) { return setcounts() && vars.unrelset[std::size_t(i)]; }

// The counted members whose genes leave individual i's frequencies in its
// related pair with j, once each, into out.
void relativesout(int32_t i, int32_t j, std::vector<int32_t>& out)
{
    out.clear();
    if (selfcounted(i)) out.push_back(i);
    const int32_t p = vars.popof[std::size_t(i)];
    for (const int32_t x : {i, j}) {
        const int32_t* k = vars.setkin.data();
        for (int32_t q = vars.setkinfirst[std::size_t(x)]; q < vars.setkinfirst[std::size_t(x) + 1]; ++q) {
            const int32_t r = k[q];
            if (r != i && r != j && vars.popof[std::size_t(r)] == p && std::find(out.begin(), out.end(), r) == out.end())
                out.push_back(r);
        }
    }
}

}  // namespace

bool relativesdiffer(int32_t i, int32_t j)
{
    if (!setcounts() || vars.popof[std::size_t(i)] != vars.popof[std::size_t(j)]) return false;
    // i's list holds the relatives of both; j's differs from it by j itself
    static thread_local std::vector<int32_t> out;
    relativesout(i, j, out);
    return !out.empty() || selfcounted(j);
}

void relativefreqs(int32_t i, int32_t j, double* f)
{
    static thread_local std::vector<int32_t> out;
    out.clear();
    if (setcounts()) relativesout(i, j, out);
    if (out.empty()) {
        indivfreqs(i, f);
        return;
    }
    // each member leaves the counts as if it alone were out (to first order)
    rawfreqs(i, f, nullptr);
    for (const int32_t r : out) popselfout(r, 1.0, f);
    keepinside(f);
}

void indivfreqs(int32_t i, double* f)
{
    if (selfcounted(i)) {
        rawfreqs(i, f, nullptr);
        popselfout(i, 0.5, f);
        keepinside(f);
        return;
    }
    const bool set = vars.pcs > 0 && !vars.pclever.empty();
    const double h = set ? vars.pclever[std::size_t(i)] : 0.0, hk = set ? vars.pcleverkept[std::size_t(i)] : 0.0;
    if (!(h > 0.0 && h < 1.0)) {
        rawfreqs(i, f, nullptr);
        keepinside(f);
        return;
    }
    // The fitted frequency of an individual of the set errs two ways: its
    // own genotype in the fit (weight h) makes its homozygotes, and the
    // alleles it shares with its relatives, look expected, and the noise of
    // the others' (variance h times the genotype's) makes them look
    // likelier than their frequency says.  To first order the two cancel
    // half way from the fit to the fit without its own row, both scaled:
    // leaving the row out moves the coefficients by -(Z^T Z)^-1 z_i e /
    // (1 - h), with e = y - fit its residual (y the allele-1 dosage / 2 of
    // its genotype), and the scaled frequency by -hk e / (1 - h).  Outside
    // the set the noise and the relatives in the set, whose genes enter its
    // fit, are left as they are (they about cancel on simulated families).
    static thread_local std::vector<double> d;
    if (d.size() != std::size_t(vars.numloci2) + 1)
        allocarray(d, std::size_t(vars.numloci2) + 1, 0.0, vars.memerr, "EM_Delta");
    rawfreqs(i, f, d.data());
    const double s = 0.5 * hk / (1.0 - h);
    const double weight[4] = {0.0, s, s, s};  // a missing genotype moves nothing
    const uint32_t* column = snpcolumn(i);
    const int32_t nu = vars.numloci2;
    for (int32_t w = 0, u0 = 1; u0 <= nu; ++w, u0 += 16) {
        const uint32_t x = column[w];
        const int32_t n = std::min(16, nu - u0 + 1);
        double* fw = f + u0;
        const double* dw = d.data() + u0;
        for (int32_t t = 0; t < n; ++t) {
            const uint32_t code = (x >> (2 * t)) & 3u;
            fw[t] -= weight[code] * (snphalfdosage[code] - fw[t] - dw[t]);
        }
    }
    keepinside(f);
}

double popallelefreq(int32_t i, int32_t a)
{
    // the locus of allele a: locusloc is ascending
    const auto it = std::lower_bound(vars.locusloc.begin(), vars.locusloc.end(), a);
    const double low = vars.freqlow[std::size_t(it - vars.locusloc.begin())];
    return std::min(std::max(vars.popfreq[popfreqat(a, vars.popof[std::size_t(i)])], low), 1.0 - low);
}
