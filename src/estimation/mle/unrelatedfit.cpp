// Pairs not related beyond chance: a pair called unrelated whose maximum
// beats the best point without kinship by a likelihood-ratio statistic
// below kinshiplrt takes that point's Deltas.
#include "estimation/mle/mle.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

bool unrelatedfit(const termentries& te, mlefit& fit, uint32_t states)
{
    if (fit.call != nrelations) return false;
    uint32_t without = states & nokinshipstates;
    if (vars.inbreed != 1) without &= outbredstates;
    if (without == (1u << 9)) {
        // the best point without kinship is Delta9 = 1, where the
        // statistic is fit.lrt
        if (!(fit.lrt < kinshiplrt)) return false;
        for (int s = 1; s <= 9; ++s) fit.d[s] = s == 9 ? 1.0 : 0.0;
        return true;
    }
    // a maximum without kinship is that point itself
    bool kin = false;
    for (int s : {1, 3, 5, 7, 8}) kin = kin || fit.d[s] > 0.0;
    if (!kin) return true;
    mlefit none;
    mlesolve(te, none, without, false);
    if (!(2.0 * (fit.lnl - none.lnl) < kinshiplrt)) return false;
    for (int s = 1; s <= 9; ++s) fit.d[s] = none.d[s];
    return true;
}

std::string unrelatedtext()
{
    return "Pairs called unrelated and not related beyond chance (likelihood-ratio statistic below " +
           gtod(kinshiplrt) + " against no kinship): " + std::to_string(vars.mleunrelated) + " of " +
           std::to_string(vars.mlefitted) + " pairs fitted; their Deltas are those of the best point without kinship";
}
