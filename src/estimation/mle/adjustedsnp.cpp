// A dyad's term entries at each individual's own allele frequencies on SNP
// data without genotyping errors (MLE:1 with PCS: or POP:): the loci are
// read from the bit-planes, sorted by the way the two genotypes meet, and
// each way's terms made in one loop from the reciprocals of the two
// individuals' frequencies (snpwayterms), with no division per entry.
// Within a mode the entries stand way by way, each way in locus order.
#include <algorithm>
#include <bit>
#include <utility>

#include "ancestry/ancestry.hpp"
#include "estimation/common/modes.hpp"
#include "estimation/mle/mle.hpp"
#include "estimation/mle/stateprobs.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

#define KX_KERNEL "estimation/mle/adjsnpkernel.hpp"
#include "estimation/simd/simdversions.hpp"

namespace {

const char* routine = "EM_Delta";

// Individual i's allele-1 frequencies (in its related pair with j when
// related) into f and the reciprocals of both alleles' into r[0], r[1].
void freqsof(int32_t i, int32_t j, bool related, std::vector<double>& f, std::vector<double>* r)
{
    if (related) relativefreqs(i, j, f.data());
    else indivfreqs(i, f.data());
    SIMDCALL(freqreciprocals, f.data(), vars.numloci2, r[0].data(), r[1].data());
}

// The terms of way v's loci order[e0 .. e1 - 1] into entries e0 .. e1 - 1,
// their weight into the IIS count of its mode.
template <int v>
void wayterms(adjwork& a, int32_t e0, int32_t e1, int32_t* iis)
{
    constexpr int nterms[8] = {0, 8, 3, 3, 0, 3, 0, 2};
    constexpr int n = nterms[twovariant[v].mode];
    const int32_t* weight = vars.markercnt.data();
    const int32_t* order = a.order.data();
    const double *fi = a.fi.data(), *fj = a.fj.data();
    const double *ri0 = a.ri[0].data(), *ri1 = a.ri[1].data(), *rj0 = a.rj[0].data(), *rj1 = a.rj[1].data();
    double* ew = a.te.ew.data();
    double* et[n];
    for (int q = 0; q < n; ++q) et[q] = a.te.et[q].data();
    int32_t sum = 0;
    for (int32_t e = e0; e < e1; ++e) {
        const int32_t u = order[e];
        const double ra[2] = {ri0[u], ri1[u]}, rb[2] = {rj0[u], rj1[u]};
        double t[8];
        snpwayterms(v, fi[u], fj[u], ra, rb, t);
        sum += weight[u];
        ew[e] = double(weight[u]);
        for (int q = 0; q < n; ++q) et[q][e] = t[q];
    }
    iis[twovariant[v].mode - 1] += sum;
}

template <int... v>
void allwayterms(adjwork& a, const int32_t* from, int32_t* iis, std::integer_sequence<int, v...>)
{
    (wayterms<v>(a, from[v], from[v + 1], iis), ...);
}

}  // namespace

void snpadjustedsetup(adjwork& a)
{
    const std::size_t u = std::size_t(vars.numloci2) + 1;
    const std::string message = allocfailmessage("the adjusted entries");
    for (int k = 0; k < 2; ++k) {
        allocarray(a.ri[k], u, 0.0, message, routine);
        allocarray(a.rj[k], u, 0.0, message, routine);
    }
    allocarray(a.order, u, int32_t(0), message, routine);
}

void snpadjustedentries(adjwork& a, int32_t i, int32_t j, int32_t* iis)
{
    const int32_t nu = vars.numloci2;
    // a related dyad's frequencies are its own: row i's made again after it
    if (a.related || a.rowi != i) {
        freqsof(i, j, a.related, a.fi, a.ri);
        a.rowi = a.related ? 0 : i;
    }
    freqsof(j, i, a.related, a.fj, a.rj);
    int32_t from[10];
    SIMDCALL(wayorder, snpcolumn(i), snpcolumn(j), nu, a.mode.data(), a.order.data(), from);
    termentries& te = a.te;
    for (int m = 0; m < 9; ++m) iis[m] = 0;
    for (int m = 1; m <= 8; ++m) te.made[m] = 0;
    for (int v = 0; v < 9; ++v) te.made[twovariant[v].mode] += from[v + 1] - from[v];
    for (int m = 1, first = 0; m <= 8; ++m) {
        te.first[m] = first;
        first += te.made[m];
    }
    te.w9 = 0.0;
    allwayterms(a, from, iis, std::make_integer_sequence<int, 9>{});
}
