// Relatives through one line of descent: on SNP data a pair of members not
// autozygous called parent-offspring, second- or third-degree whose Delta7
// beats the best point without it by a likelihood-ratio statistic below
// unilineallrt takes that point's Deltas.
#include "estimation/estimation.hpp"
#include "estimation/mle/mle.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

bool unilinealfit(const termentries& te, mlefit& fit, uint32_t states)
{
    // two-allele loci only: multi-allelic ones tell Delta7 apart better,
    // and at a few dozen loci the inbred their inbreeding test misses lost
    // more by the rule than the others gained (docs/VALIDATION.md)
    if (vars.dataform == 0) return false;
    // the relationships without Delta7, unrelated apart (unrelatedfit)
    if (fit.call < 1 || fit.call >= nrelations || relations[fit.call].d7 != 0.0) return false;
    // a member that may be autozygous has a loop in its pedigree, through
    // which its relatives may share both genes
    if (vars.inbreed != 1) states &= outbredstates;
    if ((states & ~outbredstates) != 0) return false;
    constexpr uint32_t delta7 = 1u << 7;
    if (!(fit.d[7] > 0.0) || !(states & delta7)) return false;
    mlefit without;
    mlesolve(te, without, states & ~delta7, false);
    if (!(2.0 * (fit.lnl - without.lnl) < unilineallrt)) return false;
    for (int s = 1; s <= 9; ++s) fit.d[s] = without.d[s];
    return true;
}

std::string unilinealtext()
{
    return "Pairs called parent-offspring, second- or third-degree whose Delta7 is not beyond chance "
           "(likelihood-ratio statistic below " +
           gtod(unilineallrt) + " against Delta7 = 0): " + std::to_string(vars.mleunilineal) + " of " +
           std::to_string(vars.mlefitted) + " pairs fitted; their Deltas are those of the best point with Delta7 = 0";
}
