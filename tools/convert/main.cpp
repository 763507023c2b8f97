// kinex-convert: PLINK binary filesets and VCF/BCF files to a KINEX
// genotype file and a parameter file ready to run.
#include <cstdio>
#include <new>
#include "convlog.hpp"
#include "convopts.hpp"
#include "convrun.hpp"
#include "convstate.hpp"
#include "tmpfiles.hpp"

int main(int argc, char** argv)
{
    tmpsignals();
    try {
        readopts(argc, argv);
        if (cv.help) {
            std::fputs(helptext().c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        convert();
    } catch (const convfail& e) {
        tmpdiscard();
        std::fputs(screentext(true).c_str(), stdout);   // the filters' account so far
        std::fflush(stdout);
        std::fprintf(stderr, "kinex-convert: %s\n", e.msg.c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        tmpdiscard();
        std::fprintf(stderr, "kinex-convert: out of memory holding the genotypes\n");
        return 1;
    }
    std::fputs(screentext().c_str(), stdout);
    std::printf("kinex-convert: wrote %s.gen (%lld individuals, %lld loci, DataForm %d) and "
                "%s.par\n",
                cv.out.c_str(), (long long)cv.numindiv, (long long)cv.numloci, cv.layout,
                cv.out.c_str());
    if (cv.shortids)
        std::printf("kinex-convert: numbered the individuals %s to %s and wrote their original "
                    "identifiers to %s\n",
                    cv.ids.front().c_str(), cv.ids.back().c_str(), cv.mapname.c_str());
    if (cv.filtering)
        std::printf("kinex-convert: wrote the filters' account to %s\n", cv.logname.c_str());
    for (const std::string& m : cv.stalenames)
        if (m == cv.out + ".log")
            std::printf("kinex-convert: removed %s, the log of an earlier conversion that "
                        "filtered (this one filters nothing)\n",
                        m.c_str());
        else
            std::printf("kinex-convert: removed %s, the identifier map of an earlier conversion "
                    "(%s)\n",
                    m.c_str(),
                    cv.shortids ? ("this one's map is " + cv.mapname).c_str()
                                : "this one keeps the identifiers");
    std::fputs(nexttext().c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
