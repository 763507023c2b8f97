#include "convrun.hpp"
#include "bedread.hpp"
#include "convstate.hpp"
#include "genwrite.hpp"
#include "idcheck.hpp"
#include "parwrite.hpp"
#include "tmpfiles.hpp"
#include "vcfread.hpp"

void convert()
{
    std::string genname = cv.out + ".gen", parfile = cv.out + ".par";
    for (const std::string& in : {cv.bfile + ".bed", cv.bfile + ".bim", cv.bfile + ".fam", cv.vcf})
        if (in == genname || in == parfile || in == cv.results)
            convstop("the output would overwrite the input " + in + "; choose another --out");
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
    tmpcommit();
}
