// The side tables of a maximum-likelihood run besides the pairs' (which
// mletable.cpp writes): every individual's inbreeding by maximum
// likelihood, and with PCS: the ancestry components.  Each begins with the
// line naming the run, then tab-separated a header and a line per
// individual in file order.
#include <cstdio>
#include <string>

#include "output/safefile.hpp"
#include "output/tables.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

std::string real(const char* layout, double v)
{
    char text[48];
    std::snprintf(text, sizeof text, layout, v);
    return text;
}

void writeside(int k, const std::string& text)
{
    textout out;
    safeopen(out, vars.sideslot[std::size_t(k)], vars.sidefile[std::size_t(k)], false, "Output");
    textwrite(out, text);
    textclose(out);
}

}  // namespace

void writeinbmltable()
{
    std::string s = runline() + "; inbreeding by maximum likelihood at " + freqtext() + "\nID\tNLOCI\tF\tLRT\n";
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        const int64_t loci = int64_t(vars.indvar[indvarat(2, i)]) + vars.indvar[indvarat(3, i)];
        s += trimright(vars.individ[std::size_t(i)]) + "\t" + std::to_string(loci);
        if (loci == 0) s += "\tNA\tNA\n";
        else s += real("\t%.4f", vars.inbml[std::size_t(i)]) + real("\t%.4f\n", vars.inblrt[std::size_t(i)]);
    }
    writeside(1, s);
}

void writepcstable()
{
    const int32_t k = vars.pcs;
    std::string s = runline() + "; PCS:" + std::to_string(k) + "; unrelated set " + std::to_string(vars.numunrel) +
                    " of " + std::to_string(vars.numindiv) + "; variance explained";
    for (int32_t c = 1; c <= k; ++c) s += real(" %.4f", vars.pcvar[std::size_t(c)]);
    s += "; " + std::to_string(vars.pcsused) + " used for the allele frequencies";
    s += "\nID\tUNRELATED";
    for (int32_t c = 1; c <= k; ++c) s += "\tPC" + std::to_string(c);
    s += "\n";
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        s += trimright(vars.individ[std::size_t(i)]) + (vars.unrelset[std::size_t(i)] ? "\t1" : "\t0");
        for (int32_t c = 1; c <= k; ++c) s += real("\t%.6f", vars.pcscore[pcat(c, i)]);
        s += "\n";
    }
    writeside(2, s);
}
