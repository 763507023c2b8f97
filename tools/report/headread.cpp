#include "headread.hpp"
#include <charconv>
#include <string>
#include "linereader.hpp"
#include "repstate.hpp"
#include "run/parfile.hpp"

void readhead()
{
    const std::string notkinex = rep.infile + " is not a KINEX results file";
    std::string_view l;
    if (!nextline(l) || l != std::string(65, '-') || !nextline(l) ||
        l.substr(0, 16) != "  KINEX, Version")
        repstop(notkinex + " (it does not begin with the KINEX banner)");
    const std::string_view nlabel = "  Number of individuals = ";
    const std::string_view mlabel = "  Maximum likelihood Deltas = ";
    const std::string_view tlabel = "  Maximum likelihood table = ";
    const std::string_view plabel = "  Parameter file = ", glabel = "  Genotype file = ",
                           olabel = "  Output file = ";
    while (true) {
        if (!nextline(l))
            repstop(notkinex + " with results: " +
                    (rep.numindiv == 0 ? "no \"Number of individuals\" line"
                                       : "no IBD coefficient table"));
        if (l.substr(0, nlabel.size()) == nlabel) {
            std::string_view v = l.substr(nlabel.size());
            int64_t n = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (ec != std::errc() || p != v.data() + v.size() || n < 2 || n > maxnumindiv)
                linestop("not a number of individuals from 2 to " + std::to_string(maxnumindiv));
            rep.numindiv = n;
        } else if (l.substr(0, mlabel.size()) == mlabel) {
            rep.mlerun = l.substr(mlabel.size(), 1) != "0";
        } else if (l.substr(0, tlabel.size()) == tlabel) {
            // "<table> (run <identifier>)" or "(run <identifier>; ...)"
            const size_t at = l.rfind(" (run ");
            if (at != std::string_view::npos)
                rep.runid = l.substr(at + 6, 16);
        } else if (l.substr(0, plabel.size()) == plabel) {
            rep.recpar = l.substr(plabel.size());
        } else if (l.substr(0, glabel.size()) == glabel) {
            rep.recgen = l.substr(glabel.size());
        } else if (l.substr(0, olabel.size()) == olabel) {
            rep.recout = l.substr(olabel.size());
        } else if (l == "IBD coefficient estimates") {
            break;
        }
    }
    if (rep.numindiv == 0)
        linestop("the IBD table comes before the \"Number of individuals\" line");
    if (!nextline(l) || l != std::string(25, '-') || !nextline(l) ||
        l != "Dyad Indiv1 Indiv2 #IIS1 #IIS2 #IIS3 #IIS4 #IIS5 #IIS6 #IIS7 #IIS8 #IIS9 Delta1 "
             "Delta2 Delta3 Delta4 Delta5 Delta6 Delta7 Delta8 Delta9 r(1,2)")
        linestop("expected the IBD table's separator and column line");
    rep.numpairs = rep.numindiv * (rep.numindiv - 1) / 2;
}
