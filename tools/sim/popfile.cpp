#include "popfile.hpp"
#include "outfile.hpp"

bool writepop(const std::string& path, const sample& s, const popset& p, std::string& err)
{
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    for (size_t k = 0; k < s.who.size(); k++)
        put(f, s.id[k] + " " + popname(p, s.famof[s.who[k]]) + "\n");
    return outclose(f, path, err);
}
