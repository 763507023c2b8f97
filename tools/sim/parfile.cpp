#include "parfile.h"
#include "outfile.h"

std::string par_name(const std::string& name)
{
    if (name.find_first_of(" \t,/;") == std::string::npos)
        return name;
    return "\"" + name + "\"";
}

std::string par_text(const parvals& p)
{
    std::string s;
    s += std::to_string(p.n) + " number of individuals\n";
    s += std::to_string(p.loci) + " number of loci\n";
    s += std::to_string(p.layout) + " DataForm (genotype layout)\n";
    s += std::to_string(p.inbreed) + " Inbreed\n";
    s += par_name(p.gen) + " genotype file\n";
    s += par_name(p.results) + " results file\n";
    s += std::to_string(p.seed) + " random seed\n";
    s += std::to_string(p.rnd_delta0) + " RndDelta0\n";
    s += std::to_string(p.update_p) + " UpdateP\n";
    s += std::to_string(p.out_allele_fre) + " OutAlleleFre\n";
    return s;
}

bool write_par(const std::string& path, const parvals& p, std::string& err)
{
    FILE* f = open_out(path, err);
    if (!f)
        return false;
    put(f, par_text(p));
    return close_out(f, path, err);
}
