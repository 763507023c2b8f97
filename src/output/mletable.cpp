// The maximum-likelihood side table beside the results file (MLE not 0):
// tab-separated, a header line, then one line per dyad i < j in dyad
// order, so that pandas, R or a spreadsheet read it as it stands.
#include <cstdio>
#include <string>

#include "estimation/estimation.hpp"
#include "output/safefile.hpp"
#include "output/tables.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

std::string mletablefile() { return vars.outfile + ".mle.tsv"; }

namespace {

void putreal(std::string& s, double v)
{
    char text[48];
    std::snprintf(text, sizeof text, "\t%.4f", v);
    s += text;
}

}  // namespace

void writemletable()
{
    textout out;
    safeopen(out, vars.mleslot, mletablefile(), false, "Output");
    std::string s = "ID1\tID2\tNLOCI\tLNL\tLRT\tCALL\tGAP\tITER\tCONV\n";
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i < n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            const int64_t k = dyadnum(i, j, n);
            const std::size_t x = std::size_t(k);
            int64_t loci = 0;
            for (int m = 1; m <= 9; ++m) loci += vars.iisdyad[iisat(m, k)];
            s += trimright(vars.individ[std::size_t(i)]) + "\t" + trimright(vars.individ[std::size_t(j)]) + "\t" +
                 std::to_string(loci);
            const int32_t call = vars.mlecall[x];
            if (loci == 0 || call < 1 || call > nrelations) {
                s += "\tNA\tNA\tNA\tNA\t0\t1\n";
            } else {
                const int32_t it = vars.mleiter[x];
                putreal(s, vars.mlelnl[x]);
                putreal(s, vars.mlelrt[x]);
                s += std::string("\t") + relations[call].name;
                putreal(s, vars.mlegap[x]);
                s += "\t" + std::to_string(it < 0 ? -it : it) + (it < 0 ? "\t0\n" : "\t1\n");
            }
            if (s.size() > (std::size_t(1) << 20)) {
                textwrite(out, s);
                s.clear();
            }
        }
    textwrite(out, s);
    textclose(out);
    safecommit(vars.mleslot, "Output");
    vars.mleslot = -1;
}
