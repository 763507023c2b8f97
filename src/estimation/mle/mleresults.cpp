// The maximum-likelihood side values of all dyads: kept per dyad, summed
// over processes (a process holds zeros for the dyads of the others), and
// the progress and summary lines on the screen.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "estimation/mle/mle.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

struct progressstate {
    std::chrono::steady_clock::time_point start, last;
    int64_t total = 0;  // this process's dyads
};
progressstate progress;

std::string progressline(int64_t done, double seconds)
{
    char text[160];
    const double rate = seconds > 0.0 ? double(done) / seconds : 0.0;
    const double left = rate > 0.0 ? double(progress.total - done) / rate : 0.0;
    std::snprintf(text, sizeof text, "\r  Dyads %lld of %lld, %.0f per second, %.0f s left      ", (long long)done,
                  (long long)progress.total, rate, left);
    return text;
}

// Sums one per-dyad array over processes, a slice at a time.
template <class T>
void sumover(std::vector<T>& v, void (*sum)(const T*, T*, std::size_t))
{
    const std::size_t slice = std::size_t(1) << 20;
    std::vector<T> send;
    allocarray(send, std::min(slice, v.size()), T(0), allocfailmessage("the sums of the fits"), routine);
    for (std::size_t at = 0; at < v.size(); at += slice) {
        const std::size_t n = std::min(slice, v.size() - at);
        std::copy(v.begin() + std::ptrdiff_t(at), v.begin() + std::ptrdiff_t(at + n), send.begin());
        sum(send.data(), v.data() + at, n);
    }
}

}  // namespace

void mlestart(int64_t dyads)
{
    const std::string message = allocfailmessage("the maximum-likelihood values");
    const std::size_t n = std::size_t(dyads) + 1;
    allocarray(vars.mlelnl, n, 0.0, message, routine);
    allocarray(vars.mlelrt, n, 0.0, message, routine);
    allocarray(vars.mlegap, n, 0.0, message, routine);
    allocarray(vars.mlecall, n, 0, message, routine);
    allocarray(vars.mleiter, n, 0, message, routine);
    vars.mleunrelated = 0;
    vars.mleunilineal = 0;
    progress.start = progress.last = std::chrono::steady_clock::now();
    // dyad k is this process's when k mod P is its rank
    const int64_t p = vars.numthreads, r = vars.threadid;
    progress.total = dyads / p + (r != 0 && r <= dyads % p ? 1 : 0);
}

void mlestore(int64_t k, const mlefit& fit)
{
    const std::size_t x = std::size_t(k);
    vars.mlelnl[x] = fit.lnl;
    vars.mlelrt[x] = fit.lrt;
    vars.mlegap[x] = fit.gap;
    vars.mlecall[x] = fit.call;
    vars.mleiter[x] = fit.conv ? fit.iter : -fit.iter;
}

void mleprogress(int64_t done)
{
    if (!vars.thd0q || (done & 255) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress.last < std::chrono::seconds(1)) return;
    progress.last = now;
    sayopen(progressline(done, std::chrono::duration<double>(now - progress.start).count()));
}

void mlefinish(int64_t done)
{
    if (!vars.thd0q || progress.last == progress.start) return;
    const auto now = std::chrono::steady_clock::now();
    sayopen(progressline(done, std::chrono::duration<double>(now - progress.start).count()));
    say("");
}

void mlesummary()
{
    if (vars.numthreads > 1) {
        sumover(vars.mlelnl, parsumdouble);
        sumover(vars.mlelrt, parsumdouble);
        sumover(vars.mlegap, parsumdouble);
        sumover(vars.mlecall, parsumint);
        sumover(vars.mleiter, parsumint);
        int64_t mine[2] = {vars.mleunrelated, vars.mleunilineal}, all[2];
        parsumlong(mine, all, 2);
        vars.mleunrelated = all[0];
        vars.mleunilineal = all[1];
    }
    vars.mlemost = 0;
    vars.mlenotconv = 0;
    vars.mlefitted = 0;
    for (std::size_t k = 1; k < vars.mleiter.size(); ++k) {
        const int32_t it = vars.mleiter[k];
        vars.mlefitted += it != 0;
        vars.mlemost = std::max(vars.mlemost, it < 0 ? -it : it);
        if (it < 0) ++vars.mlenotconv;
    }
    say("  Maximum likelihood Deltas: most iterations " + itod(vars.mlemost) + ", dyads not converged " +
        itod(vars.mlenotconv));
    say("  " + unrelatedtext());
    say("  " + unilinealtext());
}
