// One replicate of the joint EM: iterations over all dyads, each followed
// by new allele counts from the expected independent genes, until the
// tolerance rule stops it (at most 400 iterations).
#include <algorithm>
#include <cmath>

#include "estimation/common/common.hpp"
#include "estimation/estimation.hpp"
#include "estimation/joint/joint.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/clock.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta_P";

void creatework(jointwork& wk, jointgenes& gs)
{
    const int32_t n = vars.numindiv;
    const int64_t dyads = int64_t(n) * (n - 1) / 2;
    allocarray(gs.allelesum, std::size_t(vars.numallallele) + 1, 0.0, vars.memerr, routine);
    allocarray(wk.locustotal, std::size_t(vars.numloci2) + 1, 0.0, vars.memerr, routine);
    allocarray(gs.locusdyads, std::size_t(vars.numloci2) + 1, 0, vars.memerr, routine);
    allocarray(wk.dyadhist, 18 * std::size_t(dyads), 0.0f, vars.memerr, routine);
    wk.allelewt = 1000.0 * double(n);
    wk.deltaprior[0] = double(vars.inbreed) * 0.1 / 9.0;
    wk.deltaprior[1] = double(vars.inbreed) * std::log10(0.25 * double(vars.numloci) + 1.0) / 9.0;
    wk.tolfloor = std::exp(-30.0 / double(n)) * 1e-5;
    wk.oscill = 0;
}

void printheader()
{
    say("");
    say(fmtright("Repl", 5) + fmtright("Iterate", 8) + fmtright("Tolerance", 14) + fmtright("Time_in_EM", 14));
}

void printline(int32_t replicate, int32_t t, int32_t elapsed)
{
    say(fmtint(replicate, 5) + fmtint(t, 8) + fmtsci(vars.tol2, 14, 6) + fmtint(elapsed, 14));
}

// inbmin and inbshare from the current Deltas (0 with Inbreed 0).
void inbreedingstate(jointwork& wk)
{
    wk.inbmin = 0.0;
    wk.inbshare = 0.0;
    if (vars.inbreed != 1) return;
    const int32_t n = vars.numindiv;
    double lowest = 1.0, share = 0.0;
    for (int32_t y = 1; y <= n; ++y) {
        double auto_ = 0.0, shared = 0.0;
        for (int32_t x = 1; x <= n; ++x) {
            if (x == y) continue;
            const float* d = vars.delta.data() + deltaat(1, x, y);
            auto_ += double(d[0]) + double(d[1]) + double(d[2]) + double(d[3]);
            shared += double(d[0]) + double(d[2]);
        }
        lowest = std::min(lowest, auto_ / double(n - 1));
        share += shared / double(n - 1);
    }
    wk.inbmin = lowest;
    wk.inbshare = share / double(n);
}

// Smallest and largest kinship over all dyads.
void kinshiprange(double& lo, double& hi)
{
    const int32_t n = vars.numindiv;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            double th = kinship(vars.delta.data() + deltaat(1, i, j));
            lo = std::min(lo, th);
            hi = std::max(hi, th);
        }
}

void adaptallelewt(jointwork& wk)
{
    double v = wk.kinmin;
    if (vars.inbreed == 1) {
        if (std::isnan(v)) v = wk.inbmin;
        else if (!std::isnan(wk.inbmin)) v = std::min(v, wk.inbmin);
    }
    if (std::isnan(v)) return;
    if (v < 1e-4) wk.allelewt = std::min(1.05263 * wk.allelewt, 1e10);
    else if (v > 0.01) wk.allelewt = std::max(0.95 * wk.allelewt, 1.0);
}

void startsums(jointwork& wk, jointgenes& gs, int32_t t)
{
    const double share = wk.allelewt / double(vars.numthreads);
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        double total = 0.0;
        for (int32_t a = vars.locusloc[std::size_t(l - 1)] + 1; a <= vars.locusloc[std::size_t(l)]; ++a) {
            total += vars.allelecnt[std::size_t(a)];
            gs.allelesum[std::size_t(a)] = share;
        }
        wk.locustotal[std::size_t(l)] = total;
    }
    vars.tol2 = 0.0;
    if (t == 1) std::fill(gs.locusdyads.begin(), gs.locusdyads.end(), 0);
}

void dyadloop(jointwork& wk, jointgenes& gs, int32_t t)
{
    if (snpjoint()) {
        snpdyadloop(wk, gs, t);
        return;
    }
    static std::vector<int8_t> buf1, buf2;
    gtypebuffer(buf1, routine);
    gtypebuffer(buf2, routine);
    const int32_t n = vars.numindiv;
    for (int32_t j = 1; j < n; ++j) {
        const int8_t* g1 = nullptr;
        for (int32_t i = j + 1; i <= n; ++i) {
            const int64_t k = dyadnum(j, i, n);
            if (!dyadtoupdate(wk, j, i, k)) continue;
            if (!g1) g1 = fetchgtype(j, buf1);
            const int8_t* g2 = fetchgtype(i, buf2);
            dyadupdate(wk, gs, j, i, k, g1, g2, t);
        }
    }
}

// Sums the iteration's results over processes; the send buffers are
// copies, never the arrays being completed.
void sumiteration(jointgenes& gs, int32_t t)
{
    if (vars.numthreads < 2) return;
    std::vector<double> sendd(gs.allelesum);
    parsumdouble(sendd.data(), gs.allelesum.data(), gs.allelesum.size());
    if (t == 1) {
        std::vector<int32_t> sendi(gs.locusdyads);
        parsumint(sendi.data(), gs.locusdyads.data(), gs.locusdyads.size());
    }
    double tol = vars.tol2;
    parsumdouble(&tol, &vars.tol2, 1);
    const std::size_t slab = 9 * std::size_t(vars.numindiv);
    std::vector<float> sendf;
    allocarray(sendf, slab, 0.0f, allocfailmessage("the sum of Deltas"), routine);
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        float* d = vars.delta.data() + deltaat(1, 1, i);
        std::copy(d, d + slab, sendf.begin());
        parsumreal(sendf.data(), d, slab);
    }
}

}  // namespace

// New allele counts, scaled by the number of dyads compared at the locus,
// none below 3.  A locus no dyad compares keeps its counts.
void newallelecounts(const jointgenes& gs)
{
    int32_t previous = -1;
    double scale = 0.0;
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const int32_t ld = gs.locusdyads[std::size_t(l)];
        if (ld == 0) continue;
        if (ld != previous) {
            scale = 1.0 / std::sqrt(2.0 * double(ld));
            previous = ld;
        }
        const int32_t a0 = vars.locusloc[std::size_t(l - 1)] + 1, a1 = vars.locusloc[std::size_t(l)];
        double mn = 0.0;
        for (int32_t a = a0; a <= a1; ++a) {
            double v = gs.allelesum[std::size_t(a)] * scale;
            vars.allelecnt[std::size_t(a)] = v;
            mn = a == a0 ? v : std::min(mn, v);
        }
        if (mn <= 3.0)
            for (int32_t a = a0; a <= a1; ++a) vars.allelecnt[std::size_t(a)] += 3.0 - mn;
    }
}

bool jointstop(const jointwork& wk, int32_t t)
{
    double spread = 0.0, selfmax = 0.0;
    if (t >= 51) {
        double lo = 2.0, hi = -2.0;
        kinshiprange(lo, hi);
        spread = hi - lo;
        if (vars.inbreed == 1)
            for (int32_t k = 1; k <= vars.numindiv; ++k)
                selfmax = std::max(selfmax, kinship(vars.delta.data() + deltaat(1, k, k)));
    }
    const double tol = vars.tol2;
    if (tol < wk.tolfloor && t > 10) return true;
    if (t == 400) return true;
    const double selflimit = double(0.51f), spreadlimit = double(0.05f);
    return selfmax < selflimit && spread > spreadlimit &&
           ((tol < 5e-5 && t > 50) || (tol < 1e-4 && t > 100) || (t > 200 && tol < 5e-4));
}

void jointreplicate(int32_t replicate)
{
    jointwork wk;
    jointgenes gs;
    creatework(wk, gs);

    if (replicate == 1 && vars.rnddelta0 == 1) randomstart();
    else if (vars.inbreed == 1) shiftdeltas();
    setdyadflags(wk);
    fourdistinct(wk);

    say("");
    say("Performming EM for Delta and P: Replicate=" + itod(replicate));
    const int32_t n = vars.numindiv;
    wk.printstep = 0.5 * double(vars.numloci2) * double(n) * double(n - 1) < 1e6 ? 10 : 1;
    wk.emstart = walltime();
    wk.lastprinted = 0;

    int32_t t = 1;
    for (;; ++t) {
        if (t == 1 || t % wk.printstep == 0) {
            if (t == 1 || t % (10 * wk.printstep) == 0) printheader();
            if (t % wk.printstep == 0) {
                int32_t elapsed = walltime() - wk.emstart;
                if (elapsed < 2) wk.printstep *= 2;
                printline(replicate, t, elapsed);
                wk.lastprinted = t;
            }
        }
        inbreedingstate(wk);
        double lo = 1.0, hi = -1.0;
        kinshiprange(lo, hi);
        wk.kinmin = lo;
        wk.kinmax = hi;
        adaptallelewt(wk);
        startsums(wk, gs, t);
        dyadloop(wk, gs, t);
        if (!wk.distinctcnt.empty())
            for (std::size_t a = 1; a < gs.allelesum.size(); ++a) gs.allelesum[a] += double(wk.distinctcnt[a]);
        sumiteration(gs, t);
        computef();
        newallelecounts(gs);
        vars.tol2 = vars.tol2 / (9.0 * double(n) * double(n));
        vars.toliter[std::size_t(t)] = vars.tol2;
        if (t >= 4 && (vars.tol2 > vars.toliter[std::size_t(t - 1)]) !=
                          (vars.toliter[std::size_t(t - 1)] > vars.toliter[std::size_t(t - 2)]))
            ++wk.oscill;
        if (jointstop(wk, t)) break;
    }

    if (wk.lastprinted != t) printline(replicate, t, walltime() - wk.emstart);
    vars.iter2 = t;
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        if (gs.locusdyads[std::size_t(l)] == 0) continue;
        for (int32_t a = vars.locusloc[std::size_t(l - 1)] + 1; a <= vars.locusloc[std::size_t(l)]; ++a)
            vars.allelecnt[std::size_t(a)] = gs.allelesum[std::size_t(a)] - wk.allelewt;
    }
    backgroundkinship();
    if (vars.inbreed == 1) backgroundinbreeding();
    say("");
    say("  EM for Delta and P completed for replicate " + itod(replicate));
}
