// Maximum-likelihood Deltas of this process's dyads (MLE:1 from each
// dyad's term entries, MLE:2 from pooled classes of SNP loci), with the
// side values of every dyad and the progress line.  Dyads are divided
// among processes by serial number, as for the EM.
#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "estimation/mle/mle.hpp"
#include "run/variables.hpp"

void fitdyad(const termentries& te, int32_t i, int32_t j, mlefit& fit, int64_t& unrelated, int64_t& unilineal)
{
    const uint32_t states = dyadstates(i, j);
    mlesolve(te, fit, states);
    unrelated += unrelatedfit(te, fit, states);
    unilineal += unilinealfit(te, fit, states);
}

bool refitsrelated(const mlefit& fit, int32_t i, int32_t j)
{
    return vars.ownfreq && fit.call != nrelations && relativesdiffer(i, j);
}

int64_t mledyads(emwork& w, int64_t dyads)
{
    mlestart(dyads);
    const bool pooled = vars.mle == 2;
    // with POP:, or PCS: that found structure, every individual has its own
    // frequencies
    const bool adjusted = vars.ownfreq;
    // with genotyping errors (ERR:): MLE:1 at the sample's counts takes the
    // merged entries of SNPs (errorentries), the per-locus entries of
    // multi-allelic loci
    const bool errors = vars.generr > 0.0;
    const bool perlocus = !pooled && (adjusted || (errors && vars.dataform == 0));
    const bool errormerged = !pooled && !perlocus && errors;
    mleclassing classes;
    adjwork aw;
    adjclassing ac;
    errorcache ec;
    if (pooled && !adjusted) planclasses(classes);
    if (adjusted && pooled) adjclasssetup(ac, false);
    if (perlocus) adjustedsetup(aw);
    if (errormerged) errorsetup(ec, w.plan);
    std::vector<double> relations;
    if (!pooled && !perlocus && !errormerged) entryrelations(w, relations);
    const termentries& te = pooled ? (adjusted ? ac.te : classes.rows)
                                   : (perlocus ? aw.te : errormerged ? ec.te : w.entries);
    dyadwalk d = startwalk(!pooled && !adjusted);
    // per-locus entries read both individuals' allele pairs in every layout,
    // but SNPs at own frequencies without errors read the bit-planes
    if (perlocus) d.pairs = !aw.snp;
    while (nextdyad(d, w)) {
        int32_t* iis = vars.iisdyad.data() + iisat(1, d.k);
        if (adjusted && pooled) adjclassentries(ac, d.i, d.j, iis);
        else if (perlocus) adjustedentries(aw, d.i, d.j, d.gi, d.gj, iis);
        else if (pooled) classentries(classes, d.i, d.j, iis);
        else if (errormerged) {
            walkstaged(w, d, iis);
            errorentries(ec, w.plan, w.scratch);
        } else walkentries(w, d, iis);
        if (nocommon(d, iis)) continue;
        mlefit fit;
        int64_t unrelated = 0, unilineal = 0;
        fitdyad(te, d.i, d.j, fit, unrelated, unilineal);
        if (refitsrelated(fit, d.i, d.j)) {
            aw.related = ac.related = true;
            if (pooled) adjclassentries(ac, d.i, d.j, iis);
            else adjustedentries(aw, d.i, d.j, d.gi, d.gj, iis);
            aw.related = ac.related = false;
            fit = mlefit{};
            unrelated = unilineal = 0;
            fitdyad(te, d.i, d.j, fit, unrelated, unilineal);
        }
        vars.mleunrelated += unrelated;
        vars.mleunilineal += unilineal;
        float stored[9];
        for (int s = 1; s <= 9; ++s) stored[s - 1] = float(fit.d[s]);
        setdeltas(d.j, d.i, stored);
        mlestore(d.k, fit);
        mleprogress(d.count + 1);
    }
    mlefinish(d.count + 1);
    w.entries.reltable = nullptr;  // the table goes with this routine
    return d.count + 1;
}
