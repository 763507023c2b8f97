// Layouts 1 and 2: the key of every SNP locus, summed over the individuals
// from their allele pairs in the packed store; loci where packing saw only
// one allele are monomorphic.
#include <algorithm>

#include "genotypes/genotypes.hpp"
#include "genotypes/gtypework.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

// Adds up the processes' partial keys.  A plain element-wise sum may add
// the partials in a different order for different loci (MPI does so with
// some process counts), and equal columns would then miss each other by a
// rounding.  So every process's partials are first made known to all (each
// process fills its own slot, zeros elsewhere, which sums exactly), and
// every key is then added up in rank order.  Done in slices of loci to
// bound the buffers.
static void sumoverprocesses(double* s, int32_t nloci)
{
    const int32_t procs = vars.numthreads;
    const int32_t slice = std::max(1, (1 << 20) / procs);
    std::vector<double> mine, all;
    allocarray(mine, std::size_t(procs) * std::size_t(std::min(slice, nloci)), 0.0, vars.memerr, "ReadGType");
    allocarray(all, mine.size(), 0.0, vars.memerr, "ReadGType");
    for (int32_t lo = 1; lo <= nloci; lo += slice) {
        const std::size_t m = std::size_t(std::min(slice, nloci - lo + 1));
        std::fill(mine.begin(), mine.end(), 0.0);
        std::copy(s + lo, s + lo + m, mine.begin() + std::ptrdiff_t(std::size_t(vars.threadid) * m));
        parsumdouble(mine.data(), all.data(), std::size_t(procs) * m);
        for (std::size_t j = 0; j < m; ++j) {
            double t = all[j];
            for (int32_t r = 1; r < procs; ++r) t = t + all[std::size_t(r) * m + j];
            s[std::size_t(lo) + j] = t;
        }
    }
}

void snpkeys(gtypework& w)
{
    const int32_t nloci = vars.numloci;
    double* s = w.lockey.data();
    std::fill(w.lockey.begin(), w.lockey.end(), 0.0);
    say("  Individuals=");
    std::vector<int8_t> pairs;
    allocarray(pairs, 2 * std::size_t(nloci), int8_t(0), vars.memerr, "ReadGType");
    const int8_t* a = pairs.data();
    for (int32_t i = vars.indivl1; i <= vars.indivl2; ++i) {
        if ((i - vars.indivl1 + 1) % 100 == 0) sayopen("\r  " + itod(i));
        retrivesnp(nloci, i, pairs.data());
        const double q1 = w.r1[std::size_t(i)] + w.r3[std::size_t(i)];
        const double q2 = w.r2[std::size_t(i)] + w.r3[std::size_t(i)];
        const double q3 = w.r1[std::size_t(i)] + w.r2[std::size_t(i)] - w.r3[std::size_t(i)];
        // The same terms in the same order for every locus: equal columns
        // give equal keys to the last bit.
        const int8_t* pair = a;
        for (int32_t l = 1; l <= nloci; ++l, pair += 2) s[l] = s[l] + double(pair[0]) * q1 + double(pair[1]) * q2 + q3;
    }
    say("\r  Done with individuals 1 - " + itod(vars.numindiv));

    if (vars.numthreads > 1) sumoverprocesses(s, nloci);

    for (int32_t l = 1; l <= nloci; ++l)
        if (vars.obsnumallele[std::size_t(l)] < 2) {
            vars.obsnumallele[std::size_t(l)] = 1;
            s[l] = 1e300;
            ++w.nummono;
        }
    if (w.nummono < nloci) vars.maxnumallele = 2;
    vars.maxrawallele = 2;
}
