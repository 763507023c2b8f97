// Command line and parameter file.  The input is: one byte giving the
// number of arguments (0..7), that many lines holding the arguments, and
// the rest as the parameter file VARN.par.  A genotype file geno.txt and a
// file out.txt exist in the working folder, so that names can pass the
// existence test.  Slashes in arguments become underscores, which keeps
// INP: inside the working folder.
#include <string>
#include <vector>

#include "fuzzrun.hpp"
#include "run/commands.hpp"
#include "run/parfile.hpp"
#include "run/variables.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    fuzzreset();
    std::vector<std::string> args = {"kinex"};
    std::size_t p = 1;
    for (int k = 0; k < data[0] % 8 && p < size; ++k) {
        std::string arg;
        for (; p < size && data[p] != '\n'; ++p) arg += data[p] == '/' ? '_' : char(data[p]);
        ++p;
        args.push_back(arg);
    }
    if (p > size) p = size;
    fuzzwrite("VARN.par", data + p, size - p);
    fuzzwrite("geno.txt", "g\n");
    fuzzwrite("out.txt", "o\n");
    programargs = args;

    bool ran = fuzzstages([] {
        getcommands();
        readparfile();
        initialpara();
    });
    if (!ran) return 0;

    // What a good configuration promises the later stages.
    fuzzcheck(vars.numindiv >= 2 && vars.numindiv <= maxnumindiv, "numindiv out of range");
    fuzzcheck(vars.numloci >= 1 && vars.numloci <= maxnumloci, "numloci out of range");
    fuzzcheck(vars.dataform >= 0 && vars.dataform <= 2, "dataform");
    fuzzcheck(vars.inbreed == 0 || vars.inbreed == 1, "inbreed");
    fuzzcheck(vars.rnddelta0 == 0 || vars.rnddelta0 == 1, "rnddelta0");
    fuzzcheck(vars.updatep == 0 || vars.updatep == 1, "updatep");
    fuzzcheck(vars.outallelefre == 0 || vars.outallelefre == 1, "outallelefre");
    fuzzcheck(vars.updatep == 1 || vars.rnddelta0 == 0, "random start without UpdateP");
    fuzzcheck(vars.idum <= 0, "generator state positive");
    fuzzcheck(!vars.gtypefile.empty() && vars.gtypefile.size() <= 499, "genotype file name");
    fuzzcheck(vars.outfile.size() <= 499, "results file name");
    fuzzcheck(vars.indivl1 == 1 && vars.indivl2 == vars.numindiv, "share of one process");
    fuzzcheck(!vars.memerr.empty(), "memory message");
    return 0;
}
