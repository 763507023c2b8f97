// The terms of a dyad's term entries from their keys, with the loops of
// termkernel.hpp compiled for this machine.
#include "estimation/entries/entries.hpp"

#define KX_KERNEL "estimation/entries/termkernel.hpp"
#include "estimation/simd/simdversions.hpp"

void entryterms(termentries& w, int m)
{
    SIMDCALL(terms, w, m);
}
