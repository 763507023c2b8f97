#include "output/output.hpp"

#include "output/lookup.hpp"
#include "output/safefile.hpp"
#include "output/tables.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textfile.hpp"
#include "run/variables.hpp"

namespace {

// The side tables of this run, as indices into sidesuffix: the pairs and
// the inbreeding always, the components with PCS:.
int numsides() { return vars.pcs > 0 ? 3 : 2; }

// The side tables go beside the file actually written (a link's target),
// and they and the results file are put in place together: all under
// temporary names in a folder the run may write.
void preparesides(const char* routine)
{
    const std::string target = safetarget(vars.outslot);
    if (!saferegular(vars.outslot))
        stoponerror("Output file " + vars.outfile + " is not a regular file! With MLE: the run writes the " +
                        "table " + target + sidesuffix[0] + " beside a regular results file.",
                    routine);
    for (int k = 0; k < numsides(); ++k) {
        std::string& name = vars.sidefile[std::size_t(k)];
        name = target + sidesuffix[k];
        const int slot = vars.sideslot[std::size_t(k)] = safeprepare(name, routine);
        if (!saferegular(slot))
            stoponerror("Output file " + name + " is not a regular file! With MLE: the table is written " +
                            "whole beside the results file or not at all.",
                        routine);
        if (safedirect(vars.outslot) || safedirect(slot))
            stoponerror("Cannot write the files " + vars.outfile + " and " + name +
                            " together! With MLE: both are written under temporary names beside them and put in " +
                            "place at once, which needs write permission in their folder.",
                        routine);
    }
    vars.runid = newrunid();
}

}  // namespace

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
    if (vars.mle != 0) preparesides(routine);
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
    // KIN: the pairs are in the streamed side table, no IBD table here
    if (!vars.kin) writeibd(out, lk);
    writeinb(out, lk);
    if (vars.outallelefre == 1) writefreq(out, lk);
    textclose(out);
    if (vars.mle != 0) {
        // the side tables, then all files in place at once
        if (!vars.kin) writemletable();
        writeinbmltable();
        if (vars.pcs > 0) writepcstable();
        const int group[4] = {vars.outslot, vars.sideslot[0], vars.sideslot[1], vars.sideslot[2]};
        safecommitgroup(group, 1 + numsides(), "Output");
        vars.sideslot = {-1, -1, -1};
    } else {
        safecommit(vars.outslot, "Output");
    }
    vars.outslot = -1;

    // The raw-allele file has served its purpose; a failure to delete it is
    // of no consequence.
    if (vars.outallelefre == 1 && vars.dataform == 0) saferemove(vars.rawslot, rawallelefile());
    vars.rawslot = -1;
    say("  Writing to file, " + vars.outfile + ", completed.");
    for (int k = 0; vars.mle != 0 && k < numsides(); ++k)
        say("  Writing to file, " + vars.sidefile[std::size_t(k)] + ", completed.");
}
