// kinex-sim: genotypes with known identity by descent, for testing KINEX.
#include <cstdio>
#include <exception>
#include <new>
#include "outfile.hpp"
#include "simopts.hpp"
#include "simrun.hpp"

int main(int argc, char** argv)
{
    opts o;
    std::string err;
    try {
        if (!parseopts(argc, argv, o, err)) {
            std::fprintf(stderr, "kinex-sim: %s (see kinex-sim --help)\n", err.c_str());
            return 1;
        }
        if (o.help) {
            std::fputs(helptext().c_str(), stdout);
            return 0;
        }
        if (!runsim(o, err)) {
            outdiscard();
            std::fprintf(stderr, "kinex-sim: %s\n", err.c_str());
            return 1;
        }
    } catch (const std::bad_alloc&) {
        outdiscard();
        std::fprintf(stderr,
                     "kinex-sim: not enough memory for %lld individuals at %lld loci (pedigree, "
                     "truth tables and genotype blocks); ask for fewer\n",
                     o.n, o.loci);
        return 1;
    } catch (const std::exception& e) {
        outdiscard();
        std::fprintf(stderr, "kinex-sim: %s\n", e.what());
        return 1;
    }
    std::printf("kinex-sim: wrote %s.gen (%lld individuals, %lld loci, layout %d), %s.par%s and "
                "the truth files\n",
                o.out.c_str(), o.n, o.loci, o.layout, o.out.c_str(),
                o.subpops > 1 ? (", " + o.out + ".pop").c_str() : "");
    return 0;
}
