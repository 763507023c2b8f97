// Inbreeding of every individual by maximum likelihood at its own allele
// frequencies (the sample's, or with PCS:/POP: its own): at a locus where
// it is homozygous for an allele of frequency p the likelihood is
// p (p + F (1 - p)), heterozygous (1 - F) 2 p q, so
//   L(F) = sum over homozygous loci of w log(p + F (1 - p))
//        + (weight of heterozygous loci) log(1 - F) + constant,
// concave in F on [0, 1].  Each process does its share of the
// individuals; the sums over processes give everyone all.
#include <algorithm>
#include <cmath>
#include <string>

#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "estimation/mle/errorprobs.hpp"
#include "estimation/mle/mle.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

// The loci's r and weights, and the heterozygous weight, of one
// individual: L(F) = sum of w log(1 + F r) + het log(1 - F).  Without
// errors a homozygous locus has r = (1 - p) / p; with errors (ERR:) every
// typed locus has r = B / A of its likelihood A + F B, summed over the
// true genotypes the observed one can come from.
struct inbdata {
    std::vector<double> r, w;  // per homozygous locus: (1 - p) / p, weight
    int32_t nhom = 0;
    double het = 0.0;
};

// The first and second derivatives of L at F (no logarithms: Newton's
// steps need only these).
void inbslope(const inbdata& x, double f, double& g, double& h)
{
    g = h = 0.0;
    for (int32_t k = 0; k < x.nhom; ++k) {
        const double q = x.r[std::size_t(k)] / (1.0 + f * x.r[std::size_t(k)]);
        g += x.w[std::size_t(k)] * q;
        h -= x.w[std::size_t(k)] * q * q;
    }
    if (x.het > 0.0) {
        g -= x.het / (1.0 - f);
        h -= x.het / ((1.0 - f) * (1.0 - f));
    }
}

// L(F) - L(0).
double inblik(const inbdata& x, double f)
{
    double l = 0.0;
    for (int32_t k = 0; k < x.nhom; ++k) l += x.w[std::size_t(k)] * std::log(1.0 + f * x.r[std::size_t(k)]);
    if (x.het > 0.0) l += x.het * std::log1p(-f);
    return l;
}

// The maximising F in [0, 1] (Newton's method kept inside a bracket), and
// 2 (L(F) - L(0)), and its standard error from the curvature there.
void inbfit(const inbdata& x, double& f, double& lrt, double& se)
{
    double g, h;
    inbslope(x, 0.0, g, h);
    se = h < 0.0 ? 1.0 / std::sqrt(-h) : 0.0;
    if (x.nhom == 0 || !(g > 0.0)) {  // L falls from F = 0 on
        f = 0.0;
        lrt = 0.0;
        return;
    }
    if (x.het == 0.0 && vars.generr <= 0.0) {  // L rises up to F = 1
        f = 1.0;
        lrt = 2.0 * inblik(x, 1.0);
        se = 0.0;
        return;
    }
    // from Newton's step at 0 (most individuals' F lies near 0), at most 1/2
    double lo = 0.0, hi = 1.0;
    f = h < 0.0 ? std::min(0.5, -g / h) : 0.5;
    for (int it = 0; it < 200; ++it) {
        inbslope(x, f, g, h);
        if (g > 0.0) lo = f;
        else hi = f;
        double next = h < 0.0 ? f - g / h : 0.5 * (lo + hi);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::fabs(next - f) <= 1e-12 || hi - lo <= 1e-12) {
            f = next;
            break;
        }
        f = next;
    }
    inbslope(x, f, g, h);
    lrt = std::max(0.0, 2.0 * inblik(x, f));
    se = h < 0.0 ? 1.0 / std::sqrt(-h) : 0.0;
}

// With errors: r = B / A of locus u, whose observed genotype is g, at the
// individual's allele-1 frequency p1 (SNP data with its own frequencies),
// its population's, or the sample's.
double errorratio(int32_t i, int32_t u, const int8_t* g, double p1, bool adjusted, const std::vector<int32_t>& size)
{
    const int32_t base = vars.locusloc[std::size_t(u - 1)];
    const int k = vars.locusloc[std::size_t(u)] - base;
    double p[128];
    for (int c = 1; c <= k; ++c) {
        if (p1 >= 0.0) p[c] = c == 1 ? p1 : 1.0 - p1;
        else if (adjusted) p[c] = popallelefreq(i, base + c);
        else p[c] = double(vars.numa[std::size_t(base + c)]) / double(size[std::size_t(u)]);
    }
    truegenotype t[256];
    const int nt = truesources(g, k, vars.generr, t);
    double a = 0.0, b = 0.0;
    for (int q = 0; q < nt; ++q) {
        const double pa = p[t[q].g[0]], pb = p[t[q].g[1]];
        const bool hom = t[q].g[0] == t[q].g[1];
        const double hwe = hom ? pa * pa : 2.0 * pa * pb;
        a += t[q].w * hwe;
        b += t[q].w * ((hom ? pa : 0.0) - hwe);
    }
    return b / a;
}

// The loci of one individual (allele pairs g) at the sample's frequencies
// without errors, r of every allele in ratio: each typed locus is written
// at the next place, which moves on only past a homozygous one, and the
// heterozygous weight, a sum of whole numbers and so exact in any order,
// is counted in an integer (no branch on the genotypes, no chain of
// floating-point additions).
void plainloci(const int8_t* g, const std::vector<double>& ratio, inbdata& x)
{
    const int32_t* cnt = vars.markercnt.data();
    const int32_t* loc = vars.locusloc.data();
    double* r = x.r.data();
    double* w = x.w.data();
    int32_t nhom = 0;
    int64_t het = 0;
    for (int32_t u = 1; u <= vars.numloci2; ++u, g += 2) {
        if (g[0] == 0) continue;
        const int32_t hom = g[0] == g[1];
        r[nhom] = ratio[std::size_t(loc[u - 1] + g[0])];
        w[nhom] = double(cnt[u]);
        nhom += hom;
        het += (1 - hom) * cnt[u];
    }
    x.nhom = nhom;
    x.het = double(het);
}

// What every individual's loci are read with: the sample's ratios, its
// own frequencies, or the cached ratios with errors.
struct inbreading {
    bool adjusted = false;      // PCS: or POP: frequencies
    bool own = false;           // SNP frequencies per individual (f)
    bool cache = false;         // errors at the sample's frequencies (known)
    std::vector<int32_t> size;  // sample size of every locus
    std::vector<double> f;      // the individual's own allele-1 frequencies
    // with errors at the sample's frequencies a two-allele locus's r
    // depends on the genotype only: made once per locus and genotype
    // (1/1, 2/2, 1/2 at 3u, 3u + 1, 3u + 2; NaN until met)
    std::vector<double> known;
    // at the sample's frequencies without errors r = (1 - p) / p of every
    // allele, made once
    std::vector<double> ratio;
};

void startreading(inbreading& s, const std::string& message)
{
    const int32_t nu = vars.numloci2;
    s.adjusted = vars.ownfreq;
    s.own = s.adjusted && vars.dataform != 0;
    s.cache = vars.generr > 0.0 && !s.adjusted;
    locussizes(s.size);
    if (s.own) allocarray(s.f, std::size_t(nu) + 1, 0.0, message, routine);
    if (s.cache) allocarray(s.known, 3 * (std::size_t(nu) + 1), std::nan(""), message, routine);
    if (!s.adjusted && vars.generr <= 0.0) {
        allocarray(s.ratio, std::size_t(vars.numallallele) + 1, 0.0, message, routine);
        for (int32_t u = 1; u <= nu; ++u)
            for (int32_t a = vars.locusloc[std::size_t(u - 1)] + 1; a <= vars.locusloc[std::size_t(u)]; ++a) {
                const double p = double(vars.numa[std::size_t(a)]) / double(s.size[std::size_t(u)]);
                s.ratio[std::size_t(a)] = (1.0 - p) / p;
            }
    }
}

// The loci of individual i (allele pairs g) with errors or at its own or
// its population's frequencies.
void otherloci(int32_t i, const int8_t* g, inbreading& s, inbdata& x)
{
    const double* f = s.f.data();
    x.nhom = 0;
    x.het = 0.0;
    for (int32_t u = 1; u <= vars.numloci2; ++u, g += 2) {
        if (g[0] == 0) continue;
        const double w = double(vars.markercnt[std::size_t(u)]);
        if (vars.generr > 0.0) {
            const bool two = vars.locusloc[std::size_t(u)] - vars.locusloc[std::size_t(u - 1)] == 2;
            double r;
            if (s.cache && two) {
                double& once = s.known[3 * std::size_t(u) + std::size_t(g[0] == g[1] ? g[0] - 1 : 2)];
                if (std::isnan(once)) once = errorratio(i, u, g, -1.0, false, s.size);
                r = once;
            } else {
                r = errorratio(i, u, g, s.own ? f[u] : -1.0, s.adjusted, s.size);
            }
            x.r[std::size_t(x.nhom)] = r;
            x.w[std::size_t(x.nhom++)] = w;
            continue;
        }
        if (g[0] != g[1]) {
            x.het += w;
            continue;
        }
        const int32_t allele = vars.locusloc[std::size_t(u - 1)] + g[0];
        const double p = s.own ? (g[0] == 1 ? f[u] : 1.0 - f[u]) : popallelefreq(i, allele);
        x.r[std::size_t(x.nhom)] = (1.0 - p) / p;
        x.w[std::size_t(x.nhom++)] = w;
    }
}

// v[1..n] becomes its sum over processes (each holds its own individuals,
// 0 elsewhere).
void sumover(std::vector<double>& v, int32_t n)
{
    std::vector<double> send(v);
    parsumdouble(send.data() + 1, v.data() + 1, std::size_t(n));
}

}  // namespace

void inbreedingml()
{
    const int32_t n = vars.numindiv, nu = vars.numloci2;
    const std::string message = allocfailmessage("the inbreeding by maximum likelihood");
    allocarray(vars.inbml, std::size_t(n) + 1, 0.0, message, routine);
    allocarray(vars.inblrt, std::size_t(n) + 1, 0.0, message, routine);
    allocarray(vars.inbse, std::size_t(n) + 1, 0.0, message, routine);
    inbreading s;
    startreading(s, message);
    std::vector<int8_t> buf;
    gtypebuffer(buf, routine);
    inbdata x;
    allocarray(x.r, std::size_t(nu), 0.0, message, routine);
    allocarray(x.w, std::size_t(nu), 0.0, message, routine);
    for (int32_t i = vars.indivl1; i <= vars.indivl2; ++i) {
        const int8_t* g = fetchgtype(i, buf);
        if (s.own) indivfreqs(i, s.f.data());
        if (!s.ratio.empty()) plainloci(g, s.ratio, x);
        else otherloci(i, g, s, x);
        inbfit(x, vars.inbml[std::size_t(i)], vars.inblrt[std::size_t(i)], vars.inbse[std::size_t(i)]);
    }
    if (vars.numthreads > 1) {
        sumover(vars.inbml, n);
        sumover(vars.inblrt, n);
        sumover(vars.inbse, n);
    }
}
