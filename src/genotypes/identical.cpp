// Identical polymorphic loci: the loci are sorted by key, runs of keys
// within 1e-200 of their first member form a group, and the groups are
// numbered by the first locus of each in the file.
#include <cmath>

#include "genotypes/genotypes.hpp"
#include "genotypes/gtypework.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

void findidentical(gtypework& w)
{
    const int32_t nloci = vars.numloci;
    const double* s = w.lockey.data();
    allocarray(vars.markeridx, std::size_t(nloci) + 1, 0, vars.memerr, "ReadGType");
    int32_t groups = 0;
    {
        std::vector<int32_t> order;
        allocarray(order, std::size_t(nloci) + 1, 0, vars.memerr, "ReadGType");
        indexx(nloci, w.lockey, order);
        // markeridx holds the group in sorted order for now.
        double p = -1e200;
        for (int32_t j = 1; j <= nloci; ++j) {
            int32_t l = order[std::size_t(j)];
            if (s[l] >= 1e299) continue;  // monomorphic
            if (std::fabs(s[l] - p) > 1e-200) {
                ++groups;
                p = s[l];
            }
            vars.markeridx[std::size_t(l)] = groups;
        }
    }

    // Renumber by first appearance in the file.
    {
        std::vector<int32_t> renum;
        allocarray(renum, std::size_t(groups) + 1, 0, vars.memerr, "ReadGType");
        int32_t u = 0;
        for (int32_t l = 1; l <= nloci; ++l) {
            int32_t& g = vars.markeridx[std::size_t(l)];
            if (g == 0) continue;
            if (renum[std::size_t(g)] == 0) renum[std::size_t(g)] = ++u;
            g = renum[std::size_t(g)];
        }
    }
    vars.numloci2 = groups;
    allocarray(vars.markercnt, std::size_t(groups) + 1, 0,
               vars.memerr + "\nNumLoci * NumIndiv > " + fmtint(int64_t(vars.numindiv) * int64_t(groups), 19),
               "ReadGType");
    int32_t poly = 0;
    for (int32_t l = 1; l <= nloci; ++l) {
        int32_t u = vars.markeridx[std::size_t(l)];
        if (u == 0) continue;
        ++vars.markercnt[std::size_t(u)];
        ++poly;
    }
    w.nummono = nloci - poly;

    if (nloci > 999) say("\r  Finished examining locus 1 - " + itod(nloci));
    say("  Number of loci = " + itod(nloci));
    say("  Number of monomorphic loci = " + itod(w.nummono));
    say("  Number of polymorphic loci = " + itod(poly));
    say("  Number of unique polymorphic loci = " + itod(vars.numloci2));
    if (vars.numloci2 < 1) stoponerror("No polymorphism in genotype data!", "ReadGType");
}
