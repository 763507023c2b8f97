// kinex-report: tidy tables and a relationship plot from a KINEX results file.
#include <cstdio>
#include <new>
#include "outfiles.hpp"
#include "repopts.hpp"
#include "reprun.hpp"
#include "repstate.hpp"

int main(int argc, char** argv)
{
    try {
        readopts(argc, argv);
        if (rep.help) {
            std::fputs(helptext().c_str(), stdout);
            return 0;
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
    std::printf("kinex-report: %lld individuals, %lld pairs: wrote %s, %s and %s\n",
                (long long)rep.numindiv, (long long)rep.numpairs, rep.pairsname.c_str(),
                rep.indivname.c_str(), rep.svgname.c_str());
    return 0;
}
