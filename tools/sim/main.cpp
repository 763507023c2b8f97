// kinex-sim: genotypes with known identity by descent, for testing KINEX.
#include <cstdio>
#include <exception>
#include <new>
#include "opts.h"
#include "outfile.h"
#include "run.h"

int main(int argc, char** argv)
{
    opts o;
    std::string err;
    try {
        if (!parse_opts(argc, argv, o, err)) {
            std::fprintf(stderr, "kinex-sim: %s (see kinex-sim --help)\n", err.c_str());
            return 1;
        }
        if (o.help) {
            std::fputs(help_text().c_str(), stdout);
            return 0;
        }
        if (!run_sim(o, err)) {
            discard_outs();
            std::fprintf(stderr, "kinex-sim: %s\n", err.c_str());
            return 1;
        }
    } catch (const std::bad_alloc&) {
        discard_outs();
        std::fprintf(stderr,
                     "kinex-sim: not enough memory for %lld individuals at %lld loci (pedigree, "
                     "truth tables and genotype blocks); ask for fewer\n",
                     o.n, o.loci);
        return 1;
    } catch (const std::exception& e) {
        discard_outs();
        std::fprintf(stderr, "kinex-sim: %s\n", e.what());
        return 1;
    }
    std::printf("kinex-sim: wrote %s.gen (%lld individuals, %lld loci, layout %d), %s.par and "
                "the truth files\n",
                o.out.c_str(), o.n, o.loci, o.layout, o.out.c_str());
    return 0;
}
