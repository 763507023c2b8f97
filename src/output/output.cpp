#include "output/output.hpp"

#include <cstdio>

#include "output/lookup.hpp"
#include "output/tables.hpp"
#include "run/screen.hpp"
#include "run/textfile.hpp"
#include "run/variables.hpp"

void output()
{
    say("");
    say("Writing results...");
    textout out;
    textopen(out, vars.outfile, true, "Output");
    writerunrecord(out);

    lookup lk;
    makecounts(lk, largestcount());
    makedecimals(lk);
    writeibd(out, lk);
    writeinb(out, lk);
    if (vars.outallelefre == 1) writefreq(out, lk);
    textclose(out);

    // The raw-allele file has served its purpose; a failure to delete it is
    // of no consequence.
    if (vars.outallelefre == 1 && vars.dataform == 0) std::remove(rawallelefile().c_str());
    say("  Writing to file, " + vars.outfile + ", completed.");
}
