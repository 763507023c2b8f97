// The raw-allele side file as the results writer reads it back.  A small
// layout 0 run (one of two data sets, chosen by the first byte) is read and
// estimated once; for every input its run state is restored, the side file
// is replaced by the rest of the input and the results file is written.
#include <filesystem>
#include <string>

#include "estimation/estimation.hpp"
#include "fuzzrun.hpp"
#include "genotypes/genotypes.hpp"
#include "output/output.hpp"
#include "run/banner.hpp"
#include "run/parfile.hpp"
#include "run/variables.hpp"

namespace {

// Twenty individuals at three loci: forty alleles at locus 1, two at
// locus 2, one at locus 3.
std::string twentybythree()
{
    std::string t;
    for (int i = 1; i <= 20; ++i)
        t += "i" + std::to_string(i) + " " + std::to_string(2 * i - 1) + " " + std::to_string(2 * i) + " " +
             (i % 3 ? "1 2" : "2 2") + " 9 9\n";
    return t;
}

// The run state after reading and estimating one data set, made once and
// copied back for every input.
const variables& prepared(bool big)
{
    static variables state[2];
    static bool made[2] = {false, false};
    if (!made[big]) {
        fuzzlayout0(big ? twentybythree() : std::string(sixbyeight), big ? 20 : 6, big ? 3 : 8);
        vars.inbreed = 1;
        vars.updatep = 0;
        vars.outallelefre = 1;
        vars.parfile = "VARN.par";
        bool ok = fuzzstages([] {
            initialpara();
            readgtype();
            int32_t rep = 1;
            em_delta_p(rep);
        });
        fuzzcheck(ok, "the fixed data set did not prepare");
        state[big] = vars;
        made[big] = true;
    }
    return state[big];
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const variables& state = prepared(data[0] & 1);
    fuzzreset();
    vars = state;
    fuzzwrite("out.txt.RawAllele", data + 1, size - 1);
    bool written = fuzzstages([] {
        showversion(10);
        output();
    });
    std::error_code ec;
    if (written) fuzzcheck(!std::filesystem::exists("out.txt.RawAllele", ec), "side file left behind");
    std::filesystem::remove("out.txt.RawAllele", ec);
    return 0;
}
