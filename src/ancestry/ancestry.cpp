// The ancestry step of a maximum-likelihood run: each individual's own
// allele frequencies from population labels (POP:) or components (PCS:),
// or, without either, a check of the data for structure that the
// unadjusted likelihood would take for relatedness.
#include <string>

#include "ancestry/ancestry.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

// "70 65 65": the size of every population (inset: its members in the
// unrelated set).
std::string popsizes(bool inset)
{
    std::vector<int32_t> size(std::size_t(vars.numpops) + 1, 0);
    for (int32_t i = 1; i <= vars.numindiv; ++i)
        if (!inset || vars.unrelset[std::size_t(i)]) ++size[std::size_t(vars.popof[std::size_t(i)])];
    std::string s;
    for (int32_t k = 1; k <= vars.numpops; ++k) s += (k > 1 ? " " : "") + itod(size[std::size_t(k)]);
    return s;
}

}  // namespace

std::string popscaletext()
{
    std::string s;
    for (int32_t k = 1; k <= vars.numpops; ++k) s += " " + rtoc(vars.popshrink[std::size_t(k)], rlayout::fix74);
    return s;
}

void findancestry()
{
    if (!vars.popfile.empty()) {
        readpopfile();
        popfrequencies();
        say("Ancestry from population labels: " + itod(vars.numpops) + " populations in " + vars.popfile +
            " (individuals " + popsizes(false) +
            (vars.numunrel > 0 ? "; counted over the unrelated set, " + popsizes(true) : std::string()) +
            "), their deviations from the sample scaled for the noise of the counts by" + popscaletext());
    } else if (vars.pcs > 0) {
        findcomponents();
        // no component above the noise: the sample frequencies, as without PCS:
        if (vars.pcsused == 0) {
            say("  No structure: the sample allele frequencies are used, as without PCS:");
            return;
        }
    } else {
        vars.structure = vars.dataform != 0 && structureshows();
        if (vars.structure)
            say("Warning: the leading components of the genotypes show structure (subpopulations or admixture); "
                "unrelated pairs may be called related. PCS:10 (or POP: with population labels) adjusts for it.");
        return;
    }
    freqedges();
    vars.ownfreq = true;
}
