// The genotype file of one layout (FUZZLAYOUT 0, 1 or 2) through reading
// and locus preparation.  The first byte gives numindiv (2..80), the
// second numloci (1..40), the third the raw-allele output (bit 0) and the
// seed; the rest is the genotype file.  A run that gets through must leave
// the unique loci in the shape that the estimation relies on.
#include "fuzzrun.hpp"
#include "genotypes/genotypes.hpp"
#include "run/parfile.hpp"
#include "run/variables.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    fuzzreset();
    vars.dataform = FUZZLAYOUT;
    vars.numindiv = 2 + data[0] % 79;
    vars.numloci = 1 + data[1] % 40;
    vars.outallelefre = data[2] & 1;
    vars.idum = -1 - (data[2] >> 1);
    vars.iseed = vars.idum;
    vars.gtypefile = "geno.txt";
    vars.outfile = "out.txt";
    fuzzwrite(vars.gtypefile, data + 3, size - 3);

    bool ran = fuzzstages([] {
        initialpara();
        readgtype();
    });
    if (ran) checkprepared();
    return 0;
}
