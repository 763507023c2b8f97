#include "output/output.hpp"

#include "output/lookup.hpp"
#include "output/safefile.hpp"
#include "output/tables.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textfile.hpp"
#include "run/variables.hpp"

void openoutput()
{
    const char* routine = "OpenOutput";
    vars.outslot = safeprepare(vars.outfile, routine);
    if (vars.dataform == 0 && vars.outallelefre == 1) {
        // The side file is made beside the results file and removed at the
        // end: a device or a pipe has no such place.
        if (!saferegular(vars.outslot))
            stoponerror("Output file " + vars.outfile + " is not a regular file! With DataForm 0 and OutAlleleFre 1 " +
                            "the run keeps the side file " + rawallelefile() + " beside a regular results file.",
                        routine);
        vars.rawslot = safecreate(rawallelefile(), routine);
    }
    if (vars.mle != 0) {
        if (!saferegular(vars.outslot))
            stoponerror("Output file " + vars.outfile + " is not a regular file! With MLE: the run writes the " +
                            "table " + mletablefile() + " beside a regular results file.",
                        routine);
        vars.mleslot = safeprepare(mletablefile(), routine);
    }
}

void output()
{
    say("");
    say("Writing results...");
    textout out;
    safeopen(out, vars.outslot, vars.outfile, true, "Output");
    writerunrecord(out);

    lookup lk;
    makecounts(lk, largestcount());
    makedecimals(lk);
    writeibd(out, lk);
    writeinb(out, lk);
    if (vars.outallelefre == 1) writefreq(out, lk);
    textclose(out);
    safecommit(vars.outslot, "Output");
    vars.outslot = -1;
    if (vars.mle != 0) writemletable();

    // The raw-allele file has served its purpose; a failure to delete it is
    // of no consequence.
    if (vars.outallelefre == 1 && vars.dataform == 0) saferemove(vars.rawslot, rawallelefile());
    vars.rawslot = -1;
    say("  Writing to file, " + vars.outfile + ", completed.");
    if (vars.mle != 0) say("  Writing to file, " + mletablefile() + ", completed.");
}
