// kinex-report: tidy tables and a relationship plot from a KINEX results file.
#include <cstdio>
#include <new>
#include <string>
#include "outfiles.hpp"
#include "repopts.hpp"
#include "reprun.hpp"
#include "repstate.hpp"

int main(int argc, char** argv)
{
    outsignals();
    try {
        readopts(argc, argv);
        if (rep.help) {
            std::fputs(helptext().c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        report();
    } catch (const repfail& e) {
        outdiscard();
        std::fprintf(stderr, "kinex-report: %s\n", e.msg.c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        outdiscard();
        std::fprintf(stderr, "kinex-report: out of memory\n");
        return 1;
    }
    // the summary goes to standard error when a table went to standard output
    FILE* say = rep.tostdout ? stderr : stdout;
    std::string also = rep.related ? ", " + rep.relname : std::string();
    std::fprintf(say, "kinex-report: %lld individuals, %lld pairs: wrote %s, %s%s, %s and %s\n",
                (long long)rep.numindiv, (long long)rep.numpairs, rep.pairsname.c_str(),
                rep.kinname.c_str(), also.c_str(), rep.indivname.c_str(), rep.svgname.c_str());
    if (rep.hasmle || rep.hasmap)
        std::fprintf(say, "kinex-report: merged %s%s%s\n", rep.hasmle ? rep.mlename.c_str() : "",
                    rep.hasmle && rep.hasmap ? " and " : "",
                    rep.hasmap ? rep.idsname.c_str() : "");
    if (rep.mlestale && !rep.mlerun)
        std::fprintf(stderr,
                     "kinex-report: ignored %s: %s comes from a run without MLE:1 or MLE:2, so the "
                     "table is an earlier run's\n",
                     rep.mlename.c_str(), rep.infile.c_str());
    else if (rep.mlestale)
        std::fprintf(stderr, "kinex-report: ignored %s: %s\n", rep.mlename.c_str(), rep.mlewhy.c_str());
    if (rep.hasmle && rep.numunconv > 0)
        std::fprintf(say,
                     "kinex-report: %lld pairs did not converge (CONV 0): their Deltas are the best "
                     "point found and their calls are marked \"(not converged)\"\n",
                     (long long)rep.numunconv);
    if (rep.hasmle && rep.mlejoint)
        std::fprintf(say,
                     "kinex-report: the calls, LRT and GAP of %s are those of the maximum at the "
                     "sample allele frequencies; the Deltas and kinship are the joint estimate of "
                     "%s (UpdateP 1)\n",
                     rep.mlename.c_str(), rep.infile.c_str());
    for (const std::string& n : rep.stalenames)
        std::fprintf(say,
                     "kinex-report: removed %s, the related-pairs table of an earlier report "
                     "(this one writes none: no maximum-likelihood table was merged and "
                     "--related-kinship was not given)\n",
                     n.c_str());
    if (rep.numnapairs > 0 || rep.numnoindiv > 0)
        std::fprintf(say, "kinex-report: NA for %lld pairs without a common locus and %lld "
                    "individuals without a genotype\n",
                    (long long)rep.numnapairs, (long long)rep.numnoindiv);
    std::fflush(stdout);
    return 0;
}
