#include "parwrite.hpp"
#include "convstate.hpp"

std::string parname(const std::string& name)
{
    if (name.find_first_of(" \t,/;") == std::string::npos)
        return name;
    return "\"" + name + "\"";
}

std::string partext(const std::string& genname)
{
    std::string form =
        cv.layout == 2
            ? "2 DataForm: SNPs, one line per individual; the digit counts copies of allele 1 = " +
                  cv.allele1
            : "0 DataForm: one line per individual, two allele IDs per locus (1 = REF, k+1 = "
              "k-th ALT, 0 missing)";
    std::string s;
    s += std::to_string(cv.numindiv) + " number of individuals\n";
    s += std::to_string(cv.numloci) + " number of loci\n";
    s += form + "\n";
    s += std::to_string(cv.inbreed) + " Inbreed\n";
    s += parname(genname) + " genotype file\n";
    s += parname(cv.results) + " results file\n";
    s += std::to_string(cv.seed) + " random seed\n";
    s += std::to_string(cv.rnddelta0) + " RndDelta0\n";
    s += std::to_string(cv.updatep) + " UpdateP\n";
    s += std::to_string(cv.outallelefre) + " OutAlleleFre\n";
    return s;
}
