#include "reprun.hpp"
#include "headread.hpp"
#include "ibdread.hpp"
#include "inbread.hpp"
#include "linereader.hpp"
#include "outfiles.hpp"
#include "plotdata.hpp"
#include "repstate.hpp"
#include "svgplot.hpp"

void report()
{
    lineopen();
    readhead();
    initplot();
    FILE* pairs = outopen(rep.pairsname);
    readibd(pairs, rep.pairsname);
    outclose(pairs, rep.pairsname);
    FILE* indiv = outopen(rep.indivname);
    readinb(indiv, rep.indivname);
    outclose(indiv, rep.indivname);
    lineclose();
    FILE* svg = outopen(rep.svgname);
    outwrite(svg, svgtext(rep.infile), rep.svgname);
    outclose(svg, rep.svgname);
    outcommit();
}
