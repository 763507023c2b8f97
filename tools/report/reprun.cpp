#include "reprun.hpp"
#include <filesystem>
#include "headread.hpp"
#include "ibdread.hpp"
#include "idmap.hpp"
#include "inbmlread.hpp"
#include "inbread.hpp"
#include "kinread.hpp"
#include "linereader.hpp"
#include "mleread.hpp"
#include "outfiles.hpp"
#include "pcsplot.hpp"
#include "pcsread.hpp"
#include "plotdata.hpp"
#include "popread.hpp"
#include "repstate.hpp"
#include "samefiles.hpp"
#include "sideread.hpp"
#include "svgplot.hpp"

namespace {

// Anything of that name, a dangling link or a pipe included: the reader
// then says what is wrong with it.
bool present(const std::string& name)
{
    std::error_code ec;
    return std::filesystem::symlink_status(name, ec).type() !=
           std::filesystem::file_type::not_found;
}

// A side table of another run (kinex with MLE:0 leaves an earlier MLE
// run's tables where they were; a results name that was a link, or a run
// that failed, may leave some beside another results file) is left out
// when found beside the results file, refused when named.  False when it
// is left out.
bool belongs(const std::string& name, bool given, bool& stale, std::string& why)
{
    why = stranger(name);
    if (why.empty())
        return true;
    if (given)
        repstop(name + " cannot belong to " + rep.infile + ": " + why);
    stale = true;
    return false;
}

// The pairs of a run with KIN: are only in the table kinex streamed them
// to: without it, or with another run's, there is nothing to report on them.
void kintable()
{
    const std::string only = "; the pairs of a run with KIN: are only in the table kinex "
                             "streamed them to (give it with --mle when it was moved)";
    if (!rep.hasmle)
        repstop(rep.mlename + " does not exist" + only);
    std::string why = stranger(rep.mlename);
    if (!why.empty())
        repstop(rep.mlename + " cannot belong to " + rep.infile + ": " + why + only);
}

} // namespace

void report()
{
    rep.hasmle = rep.mlegiven || present(rep.mlename);
    rep.hasinb = rep.inbgiven || present(rep.inbname);
    rep.haspcs = rep.pcsgiven || present(rep.pcsname);
    rep.hasmap = rep.idsgiven || present(rep.idsname);
    rep.related = rep.hasmle || rep.relkinset;
    checksame();
    lineopen();
    readhead();
    if (rep.kinrun)
        kintable();
    if (rep.hasmle && !belongs(rep.mlename, rep.mlegiven, rep.mlestale, rep.mlewhy)) {
        rep.hasmle = false;
        rep.related = rep.relkinset;
    }
    rep.hasinb = rep.hasinb && belongs(rep.inbname, rep.inbgiven, rep.inbstale, rep.inbwhy);
    rep.haspcs = rep.haspcs && belongs(rep.pcsname, rep.pcsgiven, rep.pcsstale, rep.pcswhy);
    if (rep.haspop && !rep.haspcs)
        repstop("--pop colours the components plot, and there is no components table to draw (" +
                (rep.pcsstale ? rep.pcsname + " was left out: " + rep.pcswhy
                              : rep.pcsname + " does not exist; kinex writes it with PCS:k") +
                ")");
    checkrun();
    if (rep.hasmap)
        readmap();
    if (rep.hasmle && rep.kinrun)
        kinopen();
    else if (rep.hasmle)
        mleopen();
    if (rep.hasinb)
        inbmlopen();
    FILE* pairs = rep.haspairs ? outopen(rep.pairsname) : nullptr;
    FILE* kin = outopen(rep.kinname);
    FILE* rel = rep.related ? outopen(rep.relname) : nullptr;
    FILE* indiv = outopen(rep.indivname);
    FILE* svg = outopen(rep.svgname);
    FILE* pcsvg = rep.haspcs ? outopen(rep.pcssvgname) : nullptr;
    initplot();
    if (rep.kinrun) {
        // the individuals first, from the inbreeding table; then their pairs
        readinb(indiv, rep.indivname);
        readkin(pairs, kin, rel);
    } else {
        readibd(pairs, kin, rel);
        readinb(indiv, rep.indivname);
    }
    if (pairs)
        outclose(pairs, rep.pairsname);
    outclose(kin, rep.kinname);
    if (rel)
        outclose(rel, rep.relname);
    outclose(indiv, rep.indivname);
    lineclose();
    outwrite(svg, svgtext(rep.infile), rep.svgname);
    outclose(svg, rep.svgname);
    if (pcsvg) {
        readpcs();
        if (rep.haspop)
            readpop();
        outwrite(pcsvg, pcssvg(rep.infile), rep.pcssvgname);
        outclose(pcsvg, rep.pcssvgname);
    }
    findstale();
    outcommit();
}
