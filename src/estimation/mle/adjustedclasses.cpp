// MLE:2 at each individual's own frequencies (PCS:, POP:, SNP data): a
// pair's loci are pooled by the way the two genotypes meet and by the two
// individuals' allele-1 frequencies, each on a grid of 64 cells of the
// logit scale; a pooled row has the terms of the mean frequencies of its
// loci.  Every individual's frequencies are kept once as one-byte codes
// (256 steps of the logit scale), so a pair costs one pass over its loci;
// when few pairs of each individual are fitted (KIN: screened) they are
// made for each pair instead.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "ancestry/ancestry.hpp"
#include "estimation/common/modes.hpp"
#include "estimation/mle/errorprobs.hpp"
#include "estimation/mle/mle.hpp"
#include "estimation/mle/stateprobs.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

constexpr int ncodes = 256, cellshift = 2, ncells = ncodes >> cellshift;
constexpr int nkeys = ncells * ncells * 9;

// The states whose terms mode m's adjusted entries hold (as adjusted.cpp).
constexpr int8_t adjstates[9][8] = {{},        {1, 2, 3, 4, 5, 6, 7, 8}, {2, 4, 6}, {3, 4, 8}, {4},
                                    {5, 6, 8}, {6},                      {7, 8},    {8}};
constexpr int adjterms[9] = {0, 8, 3, 3, 1, 3, 1, 2, 1};


double logit(double p) { return std::log(p / (1.0 - p)); }

// The frequency of a row whose loci's codes sum to `sum` over weight n.
double meanfreq(const adjclassing& c, int32_t sum, double n)
{
    return 1.0 / (1.0 + std::exp(-(c.lo + c.step * double(sum) / n)));
}

// Frequencies f[1..U] as codes q[0..U-1].
void freqcodes(const adjclassing& c, const double* f, uint8_t* q)
{
    for (int32_t u = 1; u <= vars.numloci2; ++u) {
        const long code = std::lround((logit(f[std::size_t(u)]) - c.lo) / c.step);
        q[u - 1] = uint8_t(std::min<long>(std::max<long>(code, 0), ncodes - 1));
    }
}

// The codes of individual i in its dyad with j: those of its relativefreqs
// into rel (c.qi or c.qj) when the dyad was found related, else its row of
// c.codes or, on demand, its own frequencies' codes in own (c.oi or c.oj,
// made again only when own holds another individual's, of).
const uint8_t* dyadcodes(adjclassing& c, int32_t i, int32_t j, std::vector<uint8_t>& rel,
                         std::vector<uint8_t>& own, int32_t& of)
{
    const int32_t nu = vars.numloci2;
    if (!c.related && !c.ondemand) return c.codes.data() + std::size_t(i - 1) * std::size_t(nu);
    if (!c.related && of == i) return own.data();
    static thread_local std::vector<double> f;
    if (f.size() != std::size_t(nu) + 1) allocarray(f, std::size_t(nu) + 1, 0.0, vars.memerr, routine);
    if (c.related) {
        relativefreqs(i, j, f.data());
        freqcodes(c, f.data(), rel.data());
        return rel.data();
    }
    indivfreqs(i, f.data());
    freqcodes(c, f.data(), own.data());
    of = i;
    return own.data();
}

}  // namespace

void adjclasssetup(adjclassing& c, bool ondemand)
{
    const int32_t n = vars.numindiv, nu = vars.numloci2;
    const std::string message = allocfailmessage("the frequency codes of the individuals");
    c.lo = logit(freqedge);
    c.step = (logit(1.0 - freqedge) - c.lo) / double(ncodes - 1);
    c.freqofcode.resize(ncodes);
    for (int q = 0; q < ncodes; ++q) c.freqofcode[std::size_t(q)] = meanfreq(c, q, 1.0);
    c.ondemand = ondemand;
    if (!ondemand) {
        allocarray(c.codes, std::size_t(n) * std::size_t(nu), uint8_t(0), message, routine);
        std::vector<double> f;
        allocarray(f, std::size_t(nu) + 1, 0.0, message, routine);
        for (int32_t i = 1; i <= n; ++i) {
            indivfreqs(i, f.data());
            freqcodes(c, f.data(), c.codes.data() + std::size_t(i - 1) * std::size_t(nu));
        }
    }
    allocarray(c.qi, std::size_t(nu), uint8_t(0), message, routine);
    allocarray(c.qj, std::size_t(nu), uint8_t(0), message, routine);
    if (ondemand) {
        allocarray(c.oi, std::size_t(nu), uint8_t(0), message, routine);
        allocarray(c.oj, std::size_t(nu), uint8_t(0), message, routine);
    }
    // one more key, the spare one of the loci not compared
    allocarray(c.sums, std::size_t(nkeys) + 1, adjclassing::keysums{0, 0, 0}, message, routine);
    allocarray(c.touched, std::size_t(nkeys) + 1, 0, message, routine);
    const std::size_t rows = std::size_t(std::min<int64_t>(nkeys, nu));
    allocarray(c.te.ew, rows, 0.0, message, routine);
    for (std::vector<double>& t : c.te.et) allocarray(t, rows, 0.0, message, routine);
    c.te.adjusted = true;
    c.te.allstates = vars.generr > 0.0;
}

namespace {

// The keys dyad (i, j) meets, into c.sums and, in the order met, c.touched:
// returns how many.
int32_t adjclasspass(adjclassing& c, int32_t i, int32_t j)
{
    const int32_t nu = vars.numloci2;
    const uint32_t* coli = snpcolumn(i);
    const uint32_t* colj = snpcolumn(j);
    const uint8_t* qi = dyadcodes(c, i, j, c.qi, c.oi, c.oiof);
    const uint8_t* qj = dyadcodes(c, j, i, c.qj, c.oj, c.ojof);
    const int32_t* weight = vars.markercnt.data();
    // every locus in turn, without a branch: the loci not typed in both
    // fall on the spare key nkeys, dropped below
    static const std::array<int8_t, 16> wayofcodes = [] {
        std::array<int8_t, 16> t{};
        for (int ci = 0; ci < 4; ++ci)
            for (int cj = 0; cj < 4; ++cj) t[std::size_t(4 * ci + cj)] = int8_t(ci == 0 || cj == 0 ? 9 : wayof(ci, cj));
        return t;
    }();
    const int32_t words = (nu + 15) / 16;
    int32_t touched = 0;
    for (int32_t w = 0; w < words; ++w) {
        const uint32_t xi = coli[w], xj = colj[w];
        const int32_t u0 = 16 * w + 1, end = std::min(u0 + 16, nu + 1);
        for (int32_t u = u0; u < end; ++u) {
            const int s = 2 * (u - u0);
            const int v = wayofcodes[std::size_t(((xi >> s) & 3u) << 2 | ((xj >> s) & 3u))];
            const uint8_t a = qi[u - 1], b = qj[u - 1];
            const std::size_t cell = (std::size_t(a >> cellshift) * ncells + std::size_t(b >> cellshift)) * 9;
            const std::size_t key = v == 9 ? std::size_t(nkeys) : cell + std::size_t(v);
            const int32_t wt = weight[u];
            adjclassing::keysums& k = c.sums[key];
            c.touched[std::size_t(touched)] = int32_t(key);
            touched += k.count == 0;
            k.count += wt;
            k.suma += wt * a;
            k.sumb += wt * b;
        }
    }
    // the spare key out of the list, in place
    int32_t kept = 0;
    for (int32_t t = 0; t < touched; ++t)
        if (c.touched[std::size_t(t)] != nkeys) c.touched[std::size_t(kept++)] = c.touched[std::size_t(t)];
    c.sums[std::size_t(nkeys)] = adjclassing::keysums{0, 0, 0};
    return kept;
}

// The rows of the touched keys, mode by mode (with errors all in mode 1's
// group), into c.te and the IIS counts into iis; the keys' sums back to 0.
void adjclassrows(adjclassing& c, int32_t touched, int32_t* iis)
{
    termentries& te = c.te;
    int32_t made[10] = {};
    for (int m = 0; m < 9; ++m) iis[m] = 0;
    for (int32_t t = 0; t < touched; ++t) {
        const int m = twovariant[c.touched[std::size_t(t)] % 9].mode;
        ++made[te.allstates ? 1 : m];
        iis[m - 1] += c.sums[std::size_t(c.touched[std::size_t(t)])].count;
    }
    int32_t at[10] = {};
    for (int m = 1, next = 0; m <= 8; ++m) {
        te.first[m] = at[m] = next;
        te.made[m] = made[m];
        next += made[m];
    }
    te.w9 = 0.0;
    for (int32_t t = 0; t < touched; ++t) {
        const std::size_t key = std::size_t(c.touched[std::size_t(t)]);
        const int v = int(key % 9), m = te.allstates ? 1 : twovariant[v].mode;
        adjclassing::keysums& ks = c.sums[key];
        const double n = double(ks.count);
        // a row of one locus of weight 1 takes its codes' frequencies from
        // the table (the same expression)
        const bool one = ks.count == 1;
        const double pa = one ? c.freqofcode[std::size_t(ks.suma)] : meanfreq(c, ks.suma, n);
        const double pb = one ? c.freqofcode[std::size_t(ks.sumb)] : meanfreq(c, ks.sumb, n);
        const int8_t* x = snppair[waycodes[v][0]];
        const int8_t* y = snppair[waycodes[v][1]];
        double p[10];
        const std::size_t e = std::size_t(at[m]++);
        te.ew[e] = n;
        if (te.allstates) {
            const double fa[3] = {0.0, pa, 1.0 - pa}, fb[3] = {0.0, pb, 1.0 - pb};
            errorprobs(x, y, 2, vars.generr, nullptr, 0.0, fa, fb, p);
            for (int s = 1; s <= 8; ++s) te.et[s - 1][e] = p[s] / p[9];
        } else {
            double fa[4], fb[4];
            const int8_t al[4] = {x[0], x[1], y[0], y[1]};
            for (int k = 0; k < 4; ++k) {
                fa[k] = al[k] == 1 ? pa : 1.0 - pa;
                fb[k] = al[k] == 1 ? pb : 1.0 - pb;
            }
            stateprobs(x, y, fa, fb, p);
            for (int q = 0; q < adjterms[m]; ++q) te.et[q][e] = p[adjstates[m][q]] / p[9];
        }
        ks = adjclassing::keysums{0, 0, 0};
    }
}

}  // namespace

void adjclassentries(adjclassing& c, int32_t i, int32_t j, int32_t* iis)
{
    adjclassrows(c, adjclasspass(c, i, j), iis);
}
