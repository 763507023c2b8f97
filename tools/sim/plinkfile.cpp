#include "plinkfile.hpp"
#include "outfile.hpp"
#include "positions.hpp"

std::string pedcols(const sample& s, size_t k)
{
    return s.fam[k] + " " + s.id[k] + " " + (s.pat[k] < 0 ? "0" : s.id[s.pat[k]]) + " " +
           (s.mat[k] < 0 ? "0" : s.id[s.mat[k]]) + " " + std::to_string(s.sex[k]) + " -9";
}

bool writeped(const std::string& path, const sample& s, const genos& g, std::string& err)
{
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    static const char* pair[4] = {" G G", " A G", " A A", " 0 0"};
    std::string line;
    for (long long k = 0; k < g.n; k++) {
        line = pedcols(s, size_t(k));
        const uint8_t* row = g.g.data() + size_t(k) * g.loci;
        for (long long l = 0; l < g.loci; l++)
            line += pair[row[l] & 3];
        line += '\n';
        put(f, line);
    }
    return outclose(f, path, err);
}

bool writemap(const std::string& path, long long loci, std::string& err)
{
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    for (long long l = 0; l < loci; l++) {
        int chr;
        long long pos;
        snpplace(l, loci, chr, pos);
        put(f, std::to_string(chr) + " snp" + std::to_string(l + 1) + " 0 " +
                   std::to_string(pos) + "\n");
    }
    return outclose(f, path, err);
}
