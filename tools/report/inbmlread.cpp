#include "inbmlread.hpp"
#include <string_view>
#include "linereader.hpp"
#include "numtext.hpp"
#include "repstate.hpp"
#include "sideread.hpp"

namespace {
const char* const inbmlheader = "ID\tNLOCI\tF\tLRT";
}

void inbmlopen()
{
    lineopen(rep.inb, rep.inbname);
    std::string_view l;
    if (!nextline(rep.inb, l) || l.substr(0, runlabel.size()) != runlabel ||
        !nextline(rep.inb, l) || l != inbmlheader)
        repstop(rep.inbname + " is not an inbreeding table of kinex (its first lines are not the "
                              "run line and the header " + std::string(inbmlheader) + ")");
}

void inbmlnext(int64_t i, std::string& out)
{
    textin& t = rep.inb;
    const std::string& id = rep.ids[size_t(i)];
    std::string_view l, f[4];
    if (!nextline(t, l))
        repstop(rep.inbname + " ends after " + std::to_string(i - 1) + " of its " +
                std::to_string(rep.numindiv) + " individuals; it does not belong to " +
                rep.infile);
    if (tabsplit(l, f, 4) != 4)
        linestop(t, "not a line of the inbreeding table (it needs 4 tab-separated fields)");
    if (f[0] != id)
        linestop(t, "the individual " + std::string(f[0]) + " is not the results file's "
                    "individual " + std::to_string(i) + ", " + id + ": the table does not "
                    "belong to " + rep.infile);
    // F from 0 to 1, LRT a number (a rounded 0 may carry a minus sign); NA
    // for both when F is not known, as for an individual without genotypes
    bool na = f[2] == "NA" && f[3] == "NA";
    bool ok = isdigits(f[1]) && (na || (isfour(f[2]) && fourint(f[2]) <= 10000 &&
                                        isreal(f[3], true) && f[1] != "0"));
    if (!ok)
        linestop(t, "not a line of the inbreeding table (NLOCI is a count, F a number from 0 "
                    "to 1 with four decimals and LRT a number, or both NA)");
    for (int k = 1; k < 4; k++) {
        out += '\t';
        out += f[k];
    }
}

void inbmlclose()
{
    std::string_view l;
    while (nextline(rep.inb, l))
        if (!l.empty())
            linestop(rep.inb, "the table goes on after the results file's last individual");
    lineclose(rep.inb);
}
