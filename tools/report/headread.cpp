#include "headread.hpp"
#include <charconv>
#include <string>
#include "linereader.hpp"
#include "repstate.hpp"
#include "run/parfile.hpp"

namespace {

// A whole count at the start of v; false when there is none.
bool counthead(std::string_view& v, int64_t& n)
{
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || n < 0)
        return false;
    v.remove_prefix(size_t(p - v.data()));
    return true;
}

// The run record's line of a run with KIN:x, after "not written: KIN:":
//   x streamed the pairs of kinship x or more (w of t, f fitted) to TABLE
//   -1 streamed every pair (w of t, f fitted) to TABLE
void kinline(std::string_view v)
{
    const std::string_view every = " streamed every pair (", some = " streamed the pairs of kinship ";
    size_t blank = v.find(' ');
    rep.kinx = std::string(v.substr(0, blank));
    v.remove_prefix(blank == std::string_view::npos ? v.size() : blank);
    rep.kinall = v.substr(0, every.size()) == every;
    bool ok = !rep.kinx.empty() && (rep.kinall || v.substr(0, some.size()) == some);
    size_t open = v.find('(');
    int64_t total = 0;
    ok = ok && open != std::string_view::npos;
    if (ok) {
        v.remove_prefix(open + 1);
        ok = counthead(v, rep.kinwritten) && v.substr(0, 4) == " of ";
    }
    if (ok) {
        v.remove_prefix(4);
        ok = counthead(v, total) && v.substr(0, 2) == ", ";
    }
    if (!ok)
        linestop("not the run record's line of a run with KIN: (\"KIN:x streamed ... (w of t, "
                 "f fitted) to TABLE\")");
    if (rep.numindiv == 0 || total != rep.numindiv * (rep.numindiv - 1) / 2 ||
        rep.kinwritten > total || (rep.kinall && rep.kinwritten != total))
        linestop("the pairs streamed (" + std::to_string(rep.kinwritten) + " of " +
                 std::to_string(total) + ") do not fit the " + std::to_string(rep.numindiv) +
                 " individuals of the run record");
}

} // namespace

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
    const std::string_view klabel = "  IBD coefficient table = not written: KIN:";
    const std::string_view plabel = "  Parameter file = ", glabel = "  Genotype file = ",
                           olabel = "  Output file = ";
    int64_t nline = 0;   // the line of the number of individuals
    while (true) {
        if (!nextline(l))
            repstop(notkinex + " with results: " +
                    (rep.numindiv == 0 ? "no \"Number of individuals\" line"
                     : rep.kinrun      ? "no inbreeding table"
                                       : "no IBD coefficient table"));
        if (l.substr(0, nlabel.size()) == nlabel) {
            std::string_view v = l.substr(nlabel.size());
            int64_t n = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (ec != std::errc() || p != v.data() + v.size() || n < 2 || n > maxkinindiv)
                linestop("not a number of individuals from 2 to " + std::to_string(maxkinindiv));
            rep.numindiv = n;
            nline = rep.res.lineno;
        } else if (l.substr(0, mlabel.size()) == mlabel) {
            rep.mlerun = l.substr(mlabel.size(), 1) != "0";
        } else if (l.substr(0, tlabel.size()) == tlabel) {
            // "<table> (run <identifier>)" or "(run <identifier>; ...)"
            const size_t at = l.rfind(" (run ");
            if (at != std::string_view::npos)
                rep.runid = l.substr(at + 6, 16);
        } else if (l.substr(0, klabel.size()) == klabel) {
            rep.kinrun = true;
            kinline(l.substr(klabel.size()));
        } else if (l.substr(0, plabel.size()) == plabel) {
            rep.recpar = l.substr(plabel.size());
        } else if (l.substr(0, glabel.size()) == glabel) {
            rep.recgen = l.substr(glabel.size());
        } else if (l.substr(0, olabel.size()) == olabel) {
            rep.recout = l.substr(olabel.size());
        } else if (l == "IBD coefficient estimates") {
            if (rep.kinrun)
                linestop("an IBD coefficient table in the results file of a run with KIN:, "
                         "whose run record says it was not written");
            break;
        } else if (l == "Indiv genotypes at polymorphic loci & inbreeding" && rep.kinrun) {
            break;
        }
    }
    if (rep.numindiv == 0)
        linestop(std::string(rep.kinrun ? "the inbreeding" : "the IBD") +
                 " table comes before the \"Number of individuals\" line");
    // up to maxkinindiv only when the pairs were streamed
    if (!rep.kinrun && rep.numindiv > maxnumindiv)
        repstop(rep.infile + " line " + std::to_string(nline) +
                ": not a number of individuals from 2 to " + std::to_string(maxnumindiv) +
                " (more only with KIN:, which writes no IBD table)");
    rep.numpairs = rep.numindiv * (rep.numindiv - 1) / 2;
    rep.haspairs = !rep.kinrun || rep.kinall;
    if (rep.kinrun)
        return;
    if (!nextline(l) || l != std::string(25, '-') || !nextline(l) ||
        l != "Dyad Indiv1 Indiv2 #IIS1 #IIS2 #IIS3 #IIS4 #IIS5 #IIS6 #IIS7 #IIS8 #IIS9 Delta1 "
             "Delta2 Delta3 Delta4 Delta5 Delta6 Delta7 Delta8 Delta9 r(1,2)")
        linestop("expected the IBD table's separator and column line");
}
