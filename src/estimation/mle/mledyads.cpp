// Maximum-likelihood Deltas of this process's dyads (MLE:1 from each
// dyad's term entries, MLE:2 from pooled classes of SNP loci), with the
// side values of every dyad and the progress line.  Dyads are divided
// among processes by serial number, as for the EM.
#include "estimation/common/common.hpp"
#include "estimation/mle/mle.hpp"
#include "run/variables.hpp"

int64_t mledyads(emwork& w, int64_t dyads)
{
    mlestart(dyads);
    const bool pooled = vars.mle == 2;
    mleclassing classes;
    if (pooled) planclasses(classes);
    dyadwalk d = startwalk(!pooled);
    while (nextdyad(d, w)) {
        int32_t* iis = vars.iisdyad.data() + iisat(1, d.k);
        if (pooled) classentries(classes, d.i, d.j, iis);
        else walkentries(w, d, iis);
        if (nocommon(d, iis)) continue;
        mlefit fit;
        mlesolve(pooled ? classes.rows : w.entries, fit);
        float stored[9];
        for (int s = 1; s <= 9; ++s) stored[s - 1] = float(fit.d[s]);
        setdeltas(d.j, d.i, stored);
        mlestore(d.k, fit);
        mleprogress(d.count + 1);
    }
    mlefinish(d.count + 1);
    return d.count + 1;
}
