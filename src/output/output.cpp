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
        // The table goes beside the file actually written (a link's
        // target), and the two are put in place together: both under
        // temporary names in a folder the run may write.
        vars.mlefile = safetarget(vars.outslot) + ".mle.tsv";
        if (!saferegular(vars.outslot))
            stoponerror("Output file " + vars.outfile + " is not a regular file! With MLE: the run writes the " +
                            "table " + vars.mlefile + " beside a regular results file.",
                        routine);
        vars.mleslot = safeprepare(vars.mlefile, routine);
        if (!saferegular(vars.mleslot))
            stoponerror("Output file " + vars.mlefile + " is not a regular file! With MLE: the table is written " +
                            "whole beside the results file or not at all.",
                        routine);
        if (safedirect(vars.outslot) || safedirect(vars.mleslot))
            stoponerror("Cannot write the files " + vars.outfile + " and " + vars.mlefile +
                            " together! With MLE: both are written under temporary names beside them and put in " +
                            "place at once, which needs write permission in their folder.",
                        routine);
        vars.runid = newrunid();
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
    if (vars.mle != 0) {
        // the table, then both files in place at once
        writemletable();
        safecommitpair(vars.outslot, vars.mleslot, "Output");
        vars.mleslot = -1;
    } else {
        safecommit(vars.outslot, "Output");
    }
    vars.outslot = -1;

    // The raw-allele file has served its purpose; a failure to delete it is
    // of no consequence.
    if (vars.outallelefre == 1 && vars.dataform == 0) saferemove(vars.rawslot, rawallelefile());
    vars.rawslot = -1;
    say("  Writing to file, " + vars.outfile + ", completed.");
    if (vars.mle != 0) say("  Writing to file, " + vars.mlefile + ", completed.");
}
