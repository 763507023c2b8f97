#include "parfile.hpp"
#include "outfile.hpp"

std::string parname(const std::string& name)
{
    if (name.find_first_of(" \t,/;") == std::string::npos)
        return name;
    return "\"" + name + "\"";
}

std::string partext(const parvals& p)
{
    std::string s;
    s += std::to_string(p.n) + " number of individuals\n";
    s += std::to_string(p.loci) + " number of loci\n";
    s += std::to_string(p.layout) + " DataForm (genotype layout)\n";
    s += std::to_string(p.inbreed) + " Inbreed\n";
    s += parname(p.gen) + " genotype file\n";
    s += parname(p.results) + " results file\n";
    s += std::to_string(p.seed) + " random seed\n";
    s += std::to_string(p.rnddelta0) + " RndDelta0\n";
    s += std::to_string(p.updatep) + " UpdateP\n";
    s += std::to_string(p.outallelefre) + " OutAlleleFre\n";
    return s;
}

bool writepar(const std::string& path, const parvals& p, std::string& err)
{
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    put(f, partext(p));
    return outclose(f, path, err);
}
