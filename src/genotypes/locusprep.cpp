// Locus preparation, the second half of readgtype: random keys for the
// individuals, per-locus counting and keys, the search for identical loci
// and the compaction of the genotype stores.
#include "genotypes/genotypes.hpp"
#include "genotypes/gtypework.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

// Three draws per individual, before any other use of the generator; every
// process draws the same values.
static void drawindivkeys(gtypework& w)
{
    const std::size_t n = std::size_t(vars.numindiv) + 1;
    allocarray(w.r1, n, 0.0, vars.memerr, "ReadGType");
    allocarray(w.r2, n, 0.0, vars.memerr, "ReadGType");
    allocarray(w.r3, n, 0.0, vars.memerr, "ReadGType");
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        w.r1[std::size_t(i)] = ran1();
        w.r2[std::size_t(i)] = ran1();
        w.r3[std::size_t(i)] = ran1();
    }
}

void prepareloci(gtypework& w)
{
    vars.maxrawallele = 0;
    vars.maxnumallele = 0;
    say("");
    say("Reformatting genotype data, counting #alleles/locus.");
    drawindivkeys(w);
    allocarray(w.lockey, std::size_t(vars.numloci) + 1, 0.0, vars.memerr, "ReadGType");
    w.nummono = 0;
    if (vars.dataform == 0) recodeloci(w);
    else snpkeys(w);

    say("  Monomorphic loci: " + itod(w.nummono));
    say("  Polymorphic loci: " + itod(vars.numloci - w.nummono));
    if (vars.numthreads > 1) parbarrier();
    say("");
    say("Finding identical polymorphic loci. ");
    findidentical(w);

    say("");
    say("Removing monomorphic & ordering markers.");
    compactloci(w);
}
