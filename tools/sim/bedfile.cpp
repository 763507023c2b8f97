#include "bedfile.hpp"
#include <vector>
#include "outfile.hpp"
#include "plinkfile.hpp"
#include "positions.hpp"

bool writefam(const std::string& path, const sample& s, std::string& err)
{
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    for (size_t k = 0; k < s.who.size(); k++)
        put(f, pedcols(s, k) + "\n");
    return outclose(f, path, err);
}

bool writebim(const std::string& path, long long loci, std::string& err)
{
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    for (long long l = 0; l < loci; l++) {
        int chr;
        long long pos;
        snpplace(l, loci, chr, pos);
        put(f, std::to_string(chr) + "\tsnp" + std::to_string(l + 1) + "\t0\t" +
                   std::to_string(pos) + "\tA\tG\n");
    }
    return outclose(f, path, err);
}

void putbedhead(FILE* f)
{
    static const unsigned char magic[3] = {0x6c, 0x1b, 0x01};
    std::fwrite(magic, 1, 3, f);
}

void putbedsnps(FILE* f, const uint8_t* codes, long long nloci, long long n)
{
    // KINEX code (copies of allele 1, 3 missing) to PLINK's two bits.
    static const uint8_t two[4] = {3, 2, 0, 1};
    std::vector<uint8_t> row(size_t((n + 3) / 4));
    for (long long l = 0; l < nloci; l++) {
        const uint8_t* c = codes + l * n;
        for (size_t j = 0; j < row.size(); j++) {
            uint8_t b = 0;
            for (long long k = 4 * (long long)j, i = 0; i < 4 && k < n; k++, i++)
                b |= uint8_t(two[c[k] & 3] << (2 * i));
            row[j] = b;
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
}
