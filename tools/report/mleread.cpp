#include "mleread.hpp"
#include <string>
#include "linereader.hpp"
#include "numtext.hpp"
#include "repstate.hpp"
#include "sideread.hpp"

const char* const mleheader = "ID1\tID2\tNLOCI\tLNL\tLRT\tCALL\tGAP\tITER\tCONV";

int callindex(std::string_view s)
{
    for (int c = 0; c < numcalls; c++)
        if (s == relations[c].name)
            return c;
    return -1;
}

void mleopen()
{
    lineopen(rep.mle, rep.mlename);
    std::string_view l;
    bool ok = nextline(rep.mle, l);
    if (ok && l.substr(0, runlabel.size()) == runlabel) {
        rep.mlejoint = l.find("(the results file holds the joint estimate") != std::string_view::npos;
        ok = nextline(rep.mle, l);
    }
    if (!ok || l != mleheader)
        repstop(rep.mlename + " is not a maximum-likelihood table of kinex (its first lines are "
                              "not the run line and the header " + std::string(mleheader) + ")");
}

void mlenext(int64_t j, int64_t k, int64_t nloci, mleline& m)
{
    textin& t = rep.mle;
    const std::string& a = rep.ids[size_t(j)];
    const std::string& b = rep.ids[size_t(k)];
    std::string_view l;
    if (!nextline(t, l))
        repstop(rep.mlename + " ends after " + std::to_string(t.lineno - 1) + " of its " +
                std::to_string(rep.numpairs) + " pairs; it does not belong to " + rep.infile);
    if (tabsplit(l, m.f, 9) != 9)
        linestop(t, "not a line of the maximum-likelihood table (it needs 9 tab-separated "
                    "fields)");
    if (m.f[0] != a || m.f[1] != b)
        linestop(t, "the pair " + std::string(m.f[0]) + ", " + std::string(m.f[1]) +
                        " is not the results file's pair " + std::to_string(t.lineno - 1) +
                        ", " + a + ", " + b + ": the table does not belong to " + rep.infile);
    if (!isdigits(m.f[2]) || m.f[2] != std::to_string(nloci))
        linestop(t, "the pair " + a + ", " + b + " has " + std::string(m.f[2]) +
                        " loci here and " + std::to_string(nloci) + " in " + rep.infile +
                        ": the table does not belong to that run");
    bool na = nloci == 0;
    m.call = 0;
    m.conv = m.f[8] == "1";
    bool ok = isdigits(m.f[7]) && (m.f[8] == "0" || m.f[8] == "1");
    if (na) {
        // ITER and CONV NA (an older kinex wrote 0 and 1 there)
        ok = ok || (m.f[7] == "NA" && m.f[8] == "NA");
        for (int f : {3, 4, 5, 6})
            ok = ok && m.f[f] == "NA";
    } else {
        m.call = callindex(m.f[5]);
        ok = ok && m.call > 0 && isreal(m.f[3], true) && isreal(m.f[4], false) &&
             isreal(m.f[6], false);
    }
    if (!ok)
        linestop(t, std::string("not a line of the maximum-likelihood table (") +
                        (na ? "a pair without a common locus has NA for LNL, LRT, CALL, GAP, ITER "
                              "and CONV"
                            : "LNL, LRT and GAP are numbers, CALL one of duplicate, "
                              "parent-offspring, full-sib, second-degree, third-degree, "
                              "unrelated") +
                        "; ITER is a count and CONV 0 or 1)");
}

void mleclose()
{
    // empty lines at the end, as an editor or a script leaves them, hold no pair
    std::string_view l;
    while (nextline(rep.mle, l))
        if (!l.empty())
            linestop(rep.mle, "the table goes on after the results file's last pair");
    lineclose(rep.mle);
}
