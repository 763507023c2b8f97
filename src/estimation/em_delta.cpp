// EM for Delta with the allele frequencies fixed at their sample values.
// Dyads are divided among processes by serial number: dyad k belongs to the
// process whose rank is k mod the number of processes; the others hold
// zeros for it until the sums after the dyad loop.
#include <algorithm>

#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "genotypes/genotypes.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/variables.hpp"

emcounters emcount;

namespace {

const char* routine = "EM_Delta";

void setcolumn(int32_t j, int32_t i, const float* d)
{
    std::copy(d, d + 9, vars.delta.begin() + std::ptrdiff_t(deltaat(1, j, i)));
}

// True when no locus is genotyped in both individuals.
bool nocommon(const int32_t* iis)
{
    for (int m = 0; m < 9; ++m)
        if (iis[m] != 0) return false;
    return true;
}

// The estimates need somewhere to go even when em_delta runs on its own.
void makeresults()
{
    const std::size_t n = std::size_t(vars.numindiv);
    if (vars.delta.size() != 9 * n * n) allocarray(vars.delta, 9 * n * n, 0.0f, vars.memerr, routine);
    if (vars.inb.size() != n + 1) allocarray(vars.inb, n + 1, 0.0, vars.memerr, routine);
    if (vars.fsd.size() != n + 1) allocarray(vars.fsd, n + 1, 0.0, vars.memerr, routine);
}

}  // namespace

void em_delta()
{
    emcount = emcounters{};
    const int32_t n = vars.numindiv;
    makeresults();

    // 1. tallies; 2. sample sizes and the merging plan
    tallygtypes();
    emwork w;
    planmerge(w);
    gtypebuffer(w.buf1, routine);
    gtypebuffer(w.buf2, routine);

    // 3. the common starting point, the IIS counts, the start message
    const double u = ran1();
    const double d9 = 0.75 + 0.25 * u;
    const int64_t dyads = int64_t(n) * (n - 1) / 2;
    allocarray(vars.iisdyad, 9 * std::size_t(dyads), 0, allocfailmessage("the IIS counts"), routine);
    say("");
    say(vars.rnddelta0 != 1 ? "Performming EM for Delta" : "Finding IIS across loci ");

    // 4. the dyads
    const double tol = vars.updatep == 0 ? 1e-6 : 1e-4;
    const float zeros[9] = {}, none[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
    int64_t mine = 0;
    for (int32_t i = 1; i <= n; ++i) {
        const int8_t* gi = fetchgtype(i, w.buf1);
        for (int32_t j = i + 1; j <= n; ++j) {
            const int64_t k = dyadnum(i, j, n);
            if (k % vars.numthreads != vars.threadid) {
                setcolumn(j, i, zeros);
                setcolumn(i, j, zeros);
                continue;
            }
            const int64_t count = mine++;
            const int8_t* gj = fetchgtype(j, w.buf2);
            int32_t* iis = vars.iisdyad.data() + iisat(1, k);
            if (vars.rnddelta0 == 1) countmodes(w, gi, gj, iis);
            else dyadentries(w, gi, gj, iis);
            if (nocommon(iis)) {
                setcolumn(j, i, none);
                setcolumn(i, j, none);
                continue;
            }
            if (vars.rnddelta0 == 1) continue;
            double d[10];
            emstart(d9, d);
            const int iters = emiterate(w, d, tol);
            float stored[9];
            for (int s = 1; s <= 9; ++s) stored[s - 1] = float(d[s]);
            setcolumn(j, i, stored);

            ++emcount.emdyads;
            emcount.iterations += iters;
            for (int m = 0; m < 9; ++m) emcount.loci += iis[m];
            for (int m = 1; m <= 8; ++m) emcount.entries += w.made[m];
            emprogress(count, i, j);
        }
    }
    emcount.dyads = mine;

    // 5. every process gets every dyad
    if (vars.numthreads > 1) sumdyadresults(routine);

    // 6.-8. allele counts, the second orientation, inbreeding
    allocarray(vars.allelecnt, std::size_t(vars.numallallele) + 1, 0.0, vars.memerr, routine);
    for (int32_t a = 1; a <= vars.numallallele; ++a) vars.allelecnt[a] = double(vars.numa[a]);
    mirrordelta();
    computef();

    if (vars.rnddelta0 == 0) {
        say("");
        say("EM for Delta ONLY finished!");
    }
}
