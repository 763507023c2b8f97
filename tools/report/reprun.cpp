#include "reprun.hpp"
#include <filesystem>
#include "headread.hpp"
#include "ibdread.hpp"
#include "idmap.hpp"
#include "inbread.hpp"
#include "linereader.hpp"
#include "mleread.hpp"
#include "outfiles.hpp"
#include "plotdata.hpp"
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

} // namespace

void report()
{
    rep.hasmle = rep.mlegiven || present(rep.mlename);
    rep.hasmap = rep.idsgiven || present(rep.idsname);
    rep.related = rep.hasmle || rep.relkinset;
    checksame();
    lineopen();
    readhead();
    // A table of another run (kinex with MLE:0 leaves an earlier MLE run's
    // table where it was; a results name that was a link, or a run that
    // failed, may leave one beside another results file) is left out when
    // found beside the results file, refused when named.
    const std::string why = rep.hasmle ? stranger(rep.mlename) : std::string();
    if (!why.empty()) {
        if (rep.mlegiven)
            repstop(rep.mlename + " cannot belong to " + rep.infile + ": " + why);
        rep.hasmle = false;
        rep.mlestale = true;
        rep.mlewhy = why;
        rep.related = rep.relkinset;
    }
    checkrun();
    if (rep.hasmap)
        readmap();
    if (rep.hasmle)
        mleopen();
    FILE* pairs = outopen(rep.pairsname);
    FILE* kin = outopen(rep.kinname);
    FILE* rel = rep.related ? outopen(rep.relname) : nullptr;
    FILE* indiv = outopen(rep.indivname);
    FILE* svg = outopen(rep.svgname);
    initplot();
    readibd(pairs, kin, rel);
    outclose(pairs, rep.pairsname);
    outclose(kin, rep.kinname);
    if (rel)
        outclose(rel, rep.relname);
    readinb(indiv, rep.indivname);
    outclose(indiv, rep.indivname);
    lineclose();
    outwrite(svg, svgtext(rep.infile), rep.svgname);
    outclose(svg, rep.svgname);
    findstale();
    outcommit();
}
