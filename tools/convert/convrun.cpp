#include "convrun.hpp"
#include "bedread.hpp"
#include "convstate.hpp"
#include "genwrite.hpp"
#include "idcheck.hpp"
#include "infiles.hpp"
#include "parwrite.hpp"
#include "tmpfiles.hpp"
#include "vcfread.hpp"

void convert()
{
    std::string genname = cv.out + ".gen", parfile = cv.out + ".par";
    checksame();
    if (!cv.bfile.empty()) {
        readfam();
        checkids();
        readbim();
        readbed();
        cv.allele1 = "PLINK's A1 (.bim column 5)";
    } else {
        readvcf();
    }
    cv.layout = cv.nummulti > 0 ? 0 : 2;

    FILE* f = tmpopen(genname);
    if (cv.layout == 2)
        writegen2(f, genname);
    else
        writegen0(f, genname);
    tmpclose(f, genname);
    f = tmpopen(parfile);
    putbytes(f, partext(genname), parfile);
    tmpclose(f, parfile);
    if (cv.shortids) {
        f = tmpopen(cv.mapname);
        putbytes(f, maptext(), cv.mapname);
        tmpclose(f, cv.mapname);
    }
    findstale();
    tmpcommit();
}

namespace {

// A word as a POSIX shell reads it back.
std::string shellword(const std::string& w)
{
    if (!w.empty() && w.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_+-./:=@%,") == std::string::npos)
        return w;
    std::string q = "'";
    for (char c : w)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

std::string nexttext()
{
    std::string s = "next: kinex " + shellword("INP:" + cv.out + ".par");
    if (cv.mle >= 0)
        s += " MLE:" + std::to_string(cv.mle);
    s += "\nthen: kinex-report " + shellword(cv.results);
    // kinex-report finds the map beside the results file of the default name
    if (cv.shortids && mapbeside(cv.results) != cv.mapname)
        s += " --ids " + shellword(cv.mapname);
    return s + "\n";
}
