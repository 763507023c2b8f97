// kinex-report: tidy tables and a relationship plot from a KINEX results file.
#include <cstdio>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>
#include "outfiles.hpp"
#include "repopts.hpp"
#include "reprun.hpp"
#include "repstate.hpp"
#include "samefiles.hpp"

namespace {

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& v)
{
    std::string s;
    for (size_t k = 0; k < v.size(); k++)
        s += (k == 0 ? "" : k + 1 == v.size() ? " and " : ", ") + v[k];
    return s;
}

} // namespace

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
    std::vector<std::string> wrote{rep.kinname};
    if (rep.haspairs)
        wrote.insert(wrote.begin(), rep.pairsname);
    if (rep.related)
        wrote.push_back(rep.relname);
    wrote.push_back(rep.indivname);
    wrote.push_back(rep.svgname);
    if (rep.haspcs)
        wrote.push_back(rep.pcssvgname);
    std::fprintf(say, "kinex-report: %lld individuals, %lld pairs: wrote %s\n",
                 (long long)rep.numindiv, (long long)rep.numpairs, listed(wrote).c_str());
    if (!rep.haspairs)
        std::fprintf(say, "kinex-report: no pair table %s: %s\n", rep.pairsname.c_str(),
                     nopairs().c_str());
    std::vector<std::string> merged;
    for (auto [has, name] : {std::pair{rep.hasmle, &rep.mlename}, {rep.hasinb, &rep.inbname},
                             {rep.haspcs, &rep.pcsname}, {rep.haspop, &rep.popname},
                             {rep.hasmap, &rep.idsname}})
        if (has)
            merged.push_back(*name);
    if (!merged.empty())
        std::fprintf(say, "kinex-report: merged %s\n", listed(merged).c_str());
    for (auto [stale, name, why] : {std::tuple{rep.mlestale, &rep.mlename, &rep.mlewhy},
                                    {rep.inbstale, &rep.inbname, &rep.inbwhy},
                                    {rep.pcsstale, &rep.pcsname, &rep.pcswhy}}) {
        if (stale && !rep.mlerun)
            std::fprintf(stderr,
                         "kinex-report: ignored %s: %s comes from a run without MLE:1 or MLE:2, so "
                         "the table is an earlier run's\n",
                         name->c_str(), rep.infile.c_str());
        else if (stale)
            std::fprintf(stderr, "kinex-report: ignored %s: %s\n", name->c_str(), why->c_str());
    }
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
    for (const stalefile& x : rep.stale)
        std::fprintf(say, "kinex-report: removed %s, %s of an earlier report (this one writes none: %s)\n",
                     x.name.c_str(), x.what.c_str(), x.why.c_str());
    if (rep.numnapairs > 0 || rep.numnoindiv > 0)
        std::fprintf(say, "kinex-report: NA for %lld pairs without a common locus and %lld "
                    "individuals without a genotype\n",
                    (long long)rep.numnapairs, (long long)rep.numnoindiv);
    std::fflush(stdout);
    return 0;
}
