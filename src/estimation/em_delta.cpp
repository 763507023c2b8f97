// EM for Delta with the allele frequencies fixed at their sample values.
// Dyads are divided among processes by serial number: dyad k belongs to the
// process whose rank is k mod the number of processes; the others hold
// zeros for it until the sums after the dyad loop.
#include <algorithm>
#include <ctime>

#include "estimation/emlanes.hpp"
#include "estimation/emwork.hpp"
#include "estimation/emcounters.hpp"
#include "estimation/emsteps.hpp"
#include "estimation/estimation.hpp"
#include "estimation/mle.hpp"
#include "estimation/workshare.hpp"
#include "genotypes/genotypes.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/variables.hpp"

emcounters emcount;
emclock emtime;

double stageseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

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

// The dyads in the lanes and the progress lines still to be written.
// Lanes take the dyads in order, but a dyad may stop before one that
// started earlier; progress lines are written in the order of the dyads,
// each once the dyads before it are done.  A lane takes at most one dyad
// per iteration and a dyad stops after at most 100 iterations, so fewer
// than 1024 lines can wait at a time.
struct emrunner {
    emlanes z;
    double tol = 0.0;
    int64_t entries[nlanes] = {};
    struct waiting {
        int64_t count;
        int32_t i, j;
        bool done;
    };
    waiting ring[1024];
    int32_t front = 0, size = 0;
    int32_t slot[nlanes] = {};  // the lane's waiting line, or -1
};

void writewaiting(emrunner& r)
{
    while (r.size > 0 && r.ring[r.front].done) {
        const emrunner::waiting& x = r.ring[r.front];
        emprogress(x.count, x.i, x.j);
        r.front = (r.front + 1) % 1024;
        --r.size;
    }
}

// One iteration of the lanes; every dyad that stops is stored and its lane
// freed.  False when no lane held a dyad.
bool finishlanes(emrunner& r)
{
    bool any = false;
    for (int l = 0; l < nlanes; ++l) any = any || r.z.busy[l];
    if (!any) return false;
    for (int m = 1; m <= 8; ++m) emcount.steps += r.z.mode[m].most;
    const uint32_t done = lanesiterate(r.z, r.tol);
    for (int l = 0; l < nlanes; ++l) {
        if (!(done >> l & 1u)) continue;
        double d[10];
        lanedeltas(r.z, l, d);
        float stored[9];
        for (int s = 1; s <= 9; ++s) stored[s - 1] = float(d[s]);
        setcolumn(r.z.j[l], r.z.i[l], stored);
        ++emcount.emdyads;
        emcount.iterations += r.z.iter[l];
        const int32_t* iis = vars.iisdyad.data() + iisat(1, r.z.serial[l]);
        for (int m = 0; m < 9; ++m) emcount.loci += iis[m];
        emcount.entries += r.entries[l];
        if (r.slot[l] >= 0) r.ring[r.slot[l]].done = true;
        lanefree(r.z, l);
    }
    writewaiting(r);
    return true;
}

// Puts the dyad whose entries w holds into a free lane, iterating the
// lanes until one is free.
void startdyad(emrunner& r, const termentries& w, double d9, int32_t i, int32_t j, int64_t k, int64_t count)
{
    int lane = -1;
    for (;;) {
        for (int l = 0; l < nlanes && lane < 0; ++l)
            if (!r.z.busy[l]) lane = l;
        if (lane >= 0) break;
        finishlanes(r);
    }
    laneload(r.z, lane, w, d9);
    r.z.i[lane] = i;
    r.z.j[lane] = j;
    r.z.serial[lane] = k;
    r.z.count[lane] = count;
    r.entries[lane] = 0;
    for (int m = 1; m <= 8; ++m) r.entries[lane] += w.made[m];
    r.slot[lane] = -1;
    if (vars.thd0q && count % std::max<int64_t>(1, 10000000 / vars.numloci2) == 0) {
        const int32_t at = (r.front + r.size) % 1024;
        r.ring[at] = {count, i, j, false};
        ++r.size;
        r.slot[lane] = at;
    }
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
    emtime = emclock{emtime.entrytimes};
    const int32_t n = vars.numindiv;
    makeresults();

    // 1. tallies; 2. sample sizes and the merging plan
    double clock = stageseconds();
    tallygtypes();
    emtime.tallies = stageseconds() - clock;
    clock = stageseconds();
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
    if (vars.mle != 0) {
        say("Maximum likelihood Deltas");
        mlestart(dyads);
    } else {
        say(vars.rnddelta0 != 1 ? "Performming EM for Delta" : "Finding IIS across loci ");
    }

    // 4. the dyads: eight EMs at a time, one per lane
    const double tol = vars.updatep == 0 ? 1e-6 : 1e-4;
    const float zeros[9] = {}, none[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
    emrunner run;
    run.tol = tol;
    // With MLE not 0 every dyad gets its entries and its fit, also when the
    // joint EM then starts from random Deltas.
    const bool mle = vars.mle != 0;
    const bool entries = vars.rnddelta0 != 1 || mle;
    if (vars.rnddelta0 != 1 && !mle) lanesetup(run.z, 64);
    // MLE:2 (SNP data): the rows of a dyad come from pooled classes of loci
    const bool pooled = vars.mle == 2;
    mleclassing classes;
    if (pooled) planclasses(classes);
    int64_t mine = 0;
    // The SNP layouts count modes or make the term entries straight from
    // the packed store; layout 0 fetches the dyad's two individuals as
    // allele pairs.
    const bool snpcount = !entries && vars.dataform != 0;
    const bool pairs = vars.dataform == 0;
    if (snpcount) snpmodecounts();
    for (int32_t i = 1; i <= n; ++i) {
        const int8_t* gi = pairs ? fetchgtype(i, w.buf1) : nullptr;
        if (!pairs && !snpcount && !pooled) snprow(w.plan, w.scratch, i);
        for (int32_t j = i + 1; j <= n; ++j) {
            const int64_t k = dyadnum(i, j, n);
            if (!owndyad(k)) {
                setcolumn(j, i, zeros);
                setcolumn(i, j, zeros);
                continue;
            }
            const int64_t count = mine++;
            const int8_t* gj = pairs ? fetchgtype(j, w.buf2) : nullptr;
            int32_t* iis = vars.iisdyad.data() + iisat(1, k);
            if (!entries) {
                if (!snpcount) countmodes(w.plan, gi, gj, iis);
            } else {
                const double made = emtime.entrytimes ? stageseconds() : 0.0;
                if (pooled) classentries(classes, i, j, iis);
                else if (pairs) dyadentries(w.plan, w.scratch, w.entries, gi, gj, iis);
                else snpentries(w.plan, w.scratch, w.entries, j, iis);
                if (emtime.entrytimes) emtime.entries += stageseconds() - made;
            }
            if (nocommon(iis)) {
                setcolumn(j, i, none);
                setcolumn(i, j, none);
                continue;
            }
            if (mle) {
                mlefit fit;
                mlesolve(pooled ? classes.rows : w.entries, fit);
                float stored[9];
                for (int s = 1; s <= 9; ++s) stored[s - 1] = float(fit.d[s]);
                setcolumn(j, i, stored);
                mlestore(k, fit);
                mleprogress(mine);
                continue;
            }
            if (vars.rnddelta0 == 1) continue;
            startdyad(run, w.entries, d9, i, j, k, count);
        }
    }
    if (mle) mlefinish(mine);
    while (finishlanes(run)) {
    }
    emcount.dyads = mine;
    (vars.rnddelta0 == 1 ? emtime.modes : emtime.em) = stageseconds() - clock;

    // 5. every process gets every dyad
    if (vars.numthreads > 1) sumdyadresults(routine);
    if (mle) mlesummary();

    // 6.-8. allele counts, the second orientation, inbreeding
    allocarray(vars.allelecnt, std::size_t(vars.numallallele) + 1, 0.0, vars.memerr, routine);
    for (int32_t a = 1; a <= vars.numallallele; ++a) vars.allelecnt[a] = double(vars.numa[a]);
    mirrordelta();
    computef();

    if (vars.rnddelta0 == 0) {
        say("");
        say(mle ? "Maximum likelihood Deltas finished!" : "EM for Delta ONLY finished!");
    }
}
