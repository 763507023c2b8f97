#include "convrun.hpp"
#include "bedread.hpp"
#include "convlog.hpp"
#include "convstate.hpp"
#include "filters.hpp"
#include "genwrite.hpp"
#include "idcheck.hpp"
#include "infiles.hpp"
#include "keepfile.hpp"
#include "parwrite.hpp"
#include "tmpfiles.hpp"
#include "vcfread.hpp"

namespace {

// What the account notes of the sites written, filters or not.
void notes()
{
    if (cv.nummulti > 0)
        say("note: " + std::to_string(cv.nummulti) + " of the " +
            count(cv.numloci, "site has", "sites have") +
            " 3 or more alleles, so the whole genotype file is DataForm 0 (allele IDs), "
            "which kinex runs more slowly and without its SNP-only estimators (MLE:2 runs as "
            "MLE:1); --max-alleles 2 leaves them out and writes the SNPs as DataForm 2");
    if (cv.nonauto > 0 && cv.chrs == 0)
        say("note: " + count(cv.nonauto, "site is", "sites are") +
            " on X, Y, XY or MT, and KINEX's model is autosomal; --chr 1-22 leaves them out");
}

} // namespace

void convert()
{
    std::string genname = cv.out + ".gen", parfile = cv.out + ".par";
    checksame();
    if (!cv.bfile.empty()) {
        readfam();
        keepsamples(cv.bfile + ".fam");
        checkids();
        readbim();
        readbed();
        cv.allele1 = "PLINK's A1 (.bim column 5)";
    } else {
        readvcf();
    }
    filtergenos();
    if (cv.shortids)
        numberids();
    cv.layout = cv.nummulti > 0 ? 0 : 2;
    notes();

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
    if (cv.filtering) {
        f = tmpopen(cv.logname);
        putbytes(f, logtext(wrotetext()), cv.logname);
        tmpclose(f, cv.logname);
    }
    findstale();
    tmpcommit();
}

std::string wrotetext()
{
    std::string s = "wrote " + cv.out + ".gen (" + count(cv.numindiv, "individual", "individuals") +
                    ", " + count(cv.numloci, "locus", "loci") + ", DataForm " +
                    std::to_string(cv.layout) + ") and " + cv.out + ".par";
    if (cv.shortids)
        s += "; numbered the individuals " + cv.ids.front() + " to " + cv.ids.back() +
             " and wrote their original identifiers to " + cv.mapname;
    if (cv.filtering)
        s += "; this account to " + cv.logname;
    return s;
}

std::string nexttext()
{
    std::string s = "next: kinex " + shellword("INP:" + cv.out + ".par");
    if (cv.mle >= 0)
        s += " MLE:" + std::to_string(cv.mle);
    if (!cv.err.empty())
        s += " ERR:" + cv.err;
    s += "\nthen: kinex-report " + shellword(cv.results);
    // kinex-report finds the map beside the results file of the default name
    if (cv.shortids && mapbeside(cv.results) != cv.mapname)
        s += " --ids " + shellword(cv.mapname);
    return s + "\n";
}
