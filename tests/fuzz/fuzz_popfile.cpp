// Population labels (POP: file) and the frequencies of every population.
// A small layout 0 run (sixbyeight of fuzzrun.hpp) is read and
// tallied once; for every input its run state is restored, the input
// becomes the labels file, and the labels and the populations' allele
// frequencies are made from it.
#include <cmath>
#include <string>

#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "fuzzrun.hpp"
#include "genotypes/genotypes.hpp"
#include "run/parfile.hpp"
#include "run/variables.hpp"

namespace {

const variables& prepared()
{
    static variables state;
    static bool made = false;
    if (!made) {
        fuzzlayout0(sixbyeight, 6, 8);
        fuzzcheck(fuzzstages([] {
                      initialpara();
                      readgtype();
                      tallygtypes();
                  }),
                  "the fixed data set did not prepare");
        state = vars;
        made = true;
    }
    return state;
}

// What a read labels file promises: every individual in one of numpops
// populations, each population named and with a member, and frequencies
// that are probabilities summing to 1 at every locus.
void checklabels()
{
    const int32_t n = vars.numindiv, k = vars.numpops;
    fuzzcheck(k >= 1 && k <= n, "number of populations");
    fuzzcheck(vars.popname.size() == std::size_t(k) + 1, "population names");
    std::vector<int32_t> members(std::size_t(k) + 1, 0);
    for (int32_t i = 1; i <= n; ++i) {
        const int32_t p = vars.popof[std::size_t(i)];
        fuzzcheck(p >= 1 && p <= k, "an individual without a population");
        ++members[std::size_t(p)];
    }
    for (int32_t p = 1; p <= k; ++p) fuzzcheck(members[std::size_t(p)] > 0, "a population without members");
    for (int32_t l = 1; l <= vars.numloci2; ++l)
        for (int32_t p = 1; p <= k; ++p) {
            double sum = 0.0;
            for (int32_t a = vars.locusloc[std::size_t(l - 1)] + 1; a <= vars.locusloc[std::size_t(l)]; ++a) {
                const double f = vars.popfreq[popfreqat(a, p)];
                fuzzcheck(std::isfinite(f) && f >= -1e-12 && f <= 1.0 + 1e-12, "a frequency out of 0..1");
                sum += f;
            }
            fuzzcheck(std::fabs(sum - 1.0) < 1e-9, "frequencies of a locus do not sum to 1");
        }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const variables& state = prepared();
    fuzzreset();
    vars = state;
    vars.popfile = "pop.txt";
    fuzzwrite(vars.popfile, data, size);
    if (fuzzstages([] {
            readpopfile();
            popfrequencies();
        }))
        checklabels();
    return 0;
}
