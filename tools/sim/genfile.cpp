#include "genfile.hpp"
#include <charconv>
#include "markers.hpp"
#include "outfile.hpp"

void putidblock(FILE* f, const std::vector<std::string>& ids)
{
    std::string line;
    for (size_t k = 0; k < ids.size(); k++) {
        line += ids[k];
        line += (k % 10 == 9 || k + 1 == ids.size()) ? '\n' : ' ';
    }
    put(f, line);
}

void putlocuslines(FILE* f, const uint8_t* codes, long long nloci, long long n)
{
    std::string line(size_t(n) + 1, '\n');
    for (long long l = 0; l < nloci; l++) {
        const uint8_t* c = codes + l * n;
        for (long long k = 0; k < n; k++)
            line[k] = snpchar(c[k]);
        put(f, line);
    }
}

void putlayout0(FILE* f, const std::vector<std::string>& ids, const genos& g)
{
    static const char* snppair[4] = {" 2 2", " 1 2", " 1 1", " 0 0"};
    std::string line;
    for (long long k = 0; k < g.n; k++) {
        line = ids[k];
        const uint8_t* row = g.g.data() + size_t(k) * g.loci * g.w;
        for (long long l = 0; l < g.loci; l++) {
            if (g.w == 1) {
                line += snppair[row[l] & 3];
                continue;
            }
            uint8_t a = row[2 * l], b = row[2 * l + 1];
            if (a == allelemissing || b == allelemissing) {
                line += " 0 0";
                continue;
            }
            const uint16_t* id = g.ids.data() + l * maxalleles;
            char buf[16];
            char* p = buf;
            *p++ = ' ';
            p = std::to_chars(p, buf + sizeof buf, id[a]).ptr;
            *p++ = ' ';
            p = std::to_chars(p, buf + sizeof buf, id[b]).ptr;
            line.append(buf, p);
        }
        line += '\n';
        put(f, line);
    }
}

void putlayout2(FILE* f, const std::vector<std::string>& ids, const genos& g)
{
    putidblock(f, ids);
    std::string line(size_t(g.loci) + 1, '\n');
    for (long long k = 0; k < g.n; k++) {
        const uint8_t* row = g.g.data() + size_t(k) * g.loci;
        for (long long l = 0; l < g.loci; l++)
            line[l] = snpchar(row[l]);
        put(f, line);
    }
}
