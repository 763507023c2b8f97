#include "output/tables.hpp"

#include <algorithm>

#include "ancestry/ancestry.hpp"
#include "estimation/mle/mle.hpp"
#include "run/clock.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

std::string separator(std::size_t n)
{
    std::string s = vars.prntline.substr(0, std::min(n, vars.prntline.size()));
    s.resize(n, '-');
    return s;
}

// "Run started  date = dd/mm/yyyy, Time = ss/mm/hh" from element `which`
// (0 start, 1 end) of date1 and time1.
std::string timeline(int which)
{
    std::string d = vars.date1[std::size_t(which)], t = vars.time1[std::size_t(which)];
    d.resize(8, ' ');
    t.resize(10, ' ');
    return std::string("Run ") + (which == 0 ? "started " : "finished") + " date = " + d.substr(6, 2) + "/" +
           d.substr(4, 2) + "/" + d.substr(0, 4) + ", Time = " + t.substr(4, 2) + "/" + t.substr(2, 2) + "/" +
           t.substr(0, 2);
}

void writerunrecord(textout& out)
{
    int64_t poly = 0;
    for (int32_t u = 1; u <= vars.numloci2 && std::size_t(u) < vars.markercnt.size(); ++u)
        poly += vars.markercnt[std::size_t(u)];

    std::string s;
    s += "\n" + separator(30) + "\nRunning parameters and options\n" + separator(30) + "\n";
    s += "\nCommand line arguments:\n  " + vars.commandline + "\n";
    s += "\nRun parameters and basic data statistics:\n";
    s += "  Number of individuals = " + itod(vars.numindiv) + "\n";
    s += "  Number of loci = " + itod(vars.numloci) + "\n";
    s += "  Number of monomorphic loci = " + itod(int32_t(vars.numloci - poly)) + "\n";
    s += "  Number of polymorphic loci = " + itod(int32_t(poly)) + "\n";
    s += "  Number of unique polymorphic loci = " + itod(vars.numloci2) + "\n";
    s += "  Max number of allele/locus = " + itod(vars.maxnumallele) + "\n";
    s += "  Random number seed = " + itod(vars.iseed) + "\n";
    s += "  Number of MPI parallel threads = " + itod(vars.numthreads) + "\n";
    s += "  Parameter file = " + vars.parfile + "\n";
    s += "  Genotype file = " + vars.gtypefile + "\n";
    s += "  Output file = " + vars.outfile + "\n";
    s += "  Random start Delta = " + itod(vars.rnddelta0) + "\n";
    s += "  Update allele frequency = " + itod(vars.updatep) + "\n";
    if (vars.mle != 0)
        s += "  Maximum likelihood Deltas = " + itod(vars.mle) + " (most iterations " + itod(vars.mlemost) +
             ", dyads not converged " + itod(vars.mlenotconv) + ")\n";
    if (vars.mle != 0)
        s += "  Maximum likelihood table = " + vars.sidefile[0] + " (run " + vars.runid +
             (vars.updatep == 1 ? "; at the sample allele frequencies, not the joint estimate of this file)\n"
                                : ")\n");
    if (vars.mle != 0 && vars.inbreed == 1 && vars.numautoz >= 0) s += "  " + autozygoustext() + "\n";
    if (vars.mle != 0) s += "  " + unrelatedtext() + "\n";
    if (vars.mle != 0) s += "  " + unilinealtext() + "\n";
    if (vars.generr > 0.0) s += "  Genotyping error rate = " + gtod(vars.generr) + "\n";
    if (!vars.errline.empty()) s += "  " + vars.errline + "\n";
    if (vars.kin) {
        const int64_t n = vars.numindiv;
        s += "  IBD coefficient table = not written: KIN:" + gtod(vars.kinmin) + " streamed " +
             (vars.kinmin < 0.0 ? std::string("every pair") : "the pairs of kinship " + gtod(vars.kinmin) + " or more") +
             " (" + std::to_string(vars.kinwritten) + " of " + std::to_string(n * (n - 1) / 2) + ", " +
             std::to_string(vars.kinfitted) + " fitted) to " + vars.sidefile[0] + "\n";
        s += "  F_Mean, F_SD = the inbreeding by maximum likelihood and its standard error\n";
    }
    if (vars.pcs > 0) {
        s += "  Ancestry = PCS:" + itod(vars.pcs) + " (unrelated set " + itod(vars.numunrel) + " of " +
             itod(vars.numindiv) + "; variance explained";
        for (int32_t c = 1; c <= vars.pcs; ++c) s += " " + rtoc(vars.pcvar[std::size_t(c)], rlayout::fix74);
        s += "; " + itod(vars.pcsused) + " used for the allele frequencies";
        if (vars.pcsused > 0) s += ", deviations scaled by" + shrinktext();
        s += ")\n";
    } else if (!vars.popfile.empty()) {
        s += "  Ancestry = POP:" + vars.popfile + " (" + itod(vars.numpops) + " populations, " +
             (vars.numunrel > 0 ? "counted over the unrelated set " + itod(vars.numunrel) + " of " +
                                      itod(vars.numindiv) + ", "
                                : std::string()) +
             "deviations scaled by" + popscaletext() + ")\n";
    }
    if (!vars.gtypewarning.empty()) s += "  " + vars.gtypewarning + "\n";

    s += "\n\n" + separator(36) + "\nRunning time, Tolerance and Iterates\n" + separator(36) + "\n";
    datestamp(vars.date1[1], vars.time1[1]);
    s += timeline(0) + "\n" + timeline(1) + "\n";

    s += "\nTol = " + rtoc(vars.tol2, rlayout::sci16) + "\n";
    s += "Iter = " + itod(vars.updatep > 0 ? vars.iter2 : 0) + "\n";

    // The tolerance of every iteration, ten to a line; the last line stays
    // open and the IBD table's first empty line ends it.
    if (vars.updatep > 0) {
        s += "\nTol(1-" + itod(vars.iter2) + "):\n";
        for (int32_t i = 1; i <= vars.iter2; ++i) {
            double tol = std::size_t(i) < vars.toliter.size() ? vars.toliter[std::size_t(i)] : 0.0;
            s += fmtright(rtoc(tol, rlayout::sci16), 13);
            if (i % 10 == 0 && i < vars.iter2) s += "\n";
        }
    }
    textwrite(out, s);
}
