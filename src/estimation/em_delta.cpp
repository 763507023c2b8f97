// The Deltas of every dyad at the sample allele frequencies: the tallies,
// the plan of the loci, then one estimator over this process's dyads (the
// EM, or with MLE not 0 the maximum likelihood), the sums over processes,
// the second orientation of every pair and the inbreeding.
#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "estimation/common/emcounters.hpp"
#include "estimation/estimation.hpp"
#include "estimation/fixed/fixed.hpp"
#include "estimation/mle/mle.hpp"
#include "genotypes/genotypes.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

// The estimates need somewhere to go even when em_delta runs on its own.
void makeresults()
{
    const std::size_t n = std::size_t(vars.numindiv);
    // KIN: streams the pairs and keeps no N x N array
    if (vars.delta.size() != 9 * n * n && !vars.kin) allocarray(vars.delta, 9 * n * n, 0.0f, vars.memerr, routine);
    if (vars.inb.size() != n + 1) allocarray(vars.inb, n + 1, 0.0, vars.memerr, routine);
    if (vars.fsd.size() != n + 1) allocarray(vars.fsd, n + 1, 0.0, vars.memerr, routine);
}

// KIN: the pairs streamed, the inbreeding of every individual by maximum
// likelihood (F_Mean) with its standard error (F_SD), as no N x N array
// gives F_Mean over all pairs.
void kinestimation(emwork& w)
{
    say("");
    findancestry();
    if (vars.generr > 0.0) say("Genotyping errors in the likelihood: rate " + gtod(vars.generr));
    say("Maximum likelihood Deltas, streamed (KIN:" + gtod(vars.kinmin) + ")");
    inbreedingml();
    decideautozygous();
    emcount.dyads = kindyads(w);
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        vars.inb[std::size_t(i)] = vars.inbml[std::size_t(i)];
        vars.fsd[std::size_t(i)] = vars.inbse[std::size_t(i)];
    }
    allocarray(vars.allelecnt, std::size_t(vars.numallallele) + 1, 0.0, vars.memerr, routine);
    for (int32_t a = 1; a <= vars.numallallele; ++a) vars.allelecnt[a] = double(vars.numa[a]);
    say("");
    say("Maximum likelihood Deltas finished!");
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
    if (vars.kin) {
        kinestimation(w);
        return;
    }
    allocarray(vars.iisdyad, 9 * std::size_t(dyads), 0, allocfailmessage("the IIS counts"), routine);
    say("");
    const bool mle = vars.mle != 0;
    if (mle) findancestry();
    if (mle && vars.generr > 0.0) say("Genotyping errors in the likelihood: rate " + gtod(vars.generr));
    if (mle) {
        say("Maximum likelihood Deltas");
        // the pairs' fits take each individual's inbreeding (autozygous.cpp)
        inbreedingml();
        decideautozygous();
    } else {
        say(vars.rnddelta0 != 1 ? "Performming EM for Delta" : "Finding IIS across loci ");
    }

    // 4. the dyads; with MLE not 0 every dyad gets its fit, also when the
    // joint EM then starts from random Deltas
    emcount.dyads = mle ? mledyads(w, dyads) : fixeddyads(w, d9);
    (vars.rnddelta0 == 1 ? emtime.modes : emtime.em) = stageseconds() - clock;

    // 5. every process gets every dyad
    if (vars.numthreads > 1) sumdyadresults(routine);
    if (mle) mlesummary();
    if (mle) dyaderrors();

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
