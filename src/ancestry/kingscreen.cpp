// The structure-robust kinship screen of every pair: KING-robust kinship
// from the IIS counts of the packed store.  At a two-allele locus mode 2
// (AA,BB) is a pair of opposite homozygotes, mode 7 (AB,AB) both
// heterozygous, modes 5 and 7 the first heterozygous (the second typed),
// modes 3 and 7 the second.  The counts are borrowed in iisdyad, which the
// estimation fills again later: it comes in all zeros and leaves so.
#include <algorithm>

#include "ancestry/ancestry.hpp"
#include "ancestry/ancestrywork.hpp"
#include "estimation/common/common.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"


void kingscreen(kinshipscreen& s)
{
    const int32_t n = vars.numindiv;
    const int64_t dyads = int64_t(n) * (n - 1) / 2;
    // The caller gives iisdyad (9 x D, zeros); without it the counts get an
    // array of their own for the time of the screen.
    const bool borrowed = vars.iisdyad.size() == 9 * std::size_t(dyads);
    if (!borrowed) allocarray(vars.iisdyad, 9 * std::size_t(dyads), 0, vars.memerr, ancroutine);

    snpmodecounts();
    if (vars.numthreads > 1) sumiiscounts(ancroutine);

    allocarray(s.divergent, std::size_t(n) + 1, 0, vars.memerr, ancroutine);
    s.pairs.clear();
    const int32_t* iis = vars.iisdyad.data();
    int64_t k = 1;
    for (int32_t i = 1; i < n; ++i)
        for (int32_t j = i + 1; j <= n; ++j, ++k) {
            const int32_t* m = iis + iisat(1, k);
            screenpair(s, i, j, kingofmodes(m));
        }

    if (borrowed) std::fill(vars.iisdyad.begin(), vars.iisdyad.end(), 0);
    else std::vector<int32_t>().swap(vars.iisdyad);
}
