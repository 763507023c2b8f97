#include "genwrite.hpp"
#include <algorithm>
#include <charconv>
#include <cstring>
#include "convstate.hpp"
#include "tmpfiles.hpp"

namespace {

// Individuals per group: a multiple of 4 (whole bytes of a site), at
// least 4, at most all of them.
int64_t groupsize(int64_t rowbytes)
{
    int64_t g = std::max<int64_t>(4, cv.groupbytes / std::max<int64_t>(1, rowbytes) / 4 * 4);
    return std::min(g, (cv.numindiv + 3) / 4 * 4);
}

// Layout 2 characters of the four individuals packed in one byte.
struct chartable {
    char c[256][4];
    chartable()
    {
        static const char bycode[4] = {'2', '-', '1', '0'};
        for (int b = 0; b < 256; b++)
            for (int k = 0; k < 4; k++)
                c[b][k] = bycode[(b >> (2 * k)) & 3];
    }
};

void writeids(FILE* f, const std::string& name)
{
    std::string line;
    for (size_t k = 0; k < cv.ids.size(); k++) {
        line += cv.ids[k];
        line += (k % 10 == 9 || k + 1 == cv.ids.size()) ? '\n' : ' ';
        if (line.size() > (1 << 20)) {
            putbytes(f, line, name);
            line.clear();
        }
    }
    putbytes(f, line, name);
}

} // namespace

void writegen2(FILE* f, const std::string& name)
{
    static const chartable tbl;
    writeids(f, name);
    int64_t n = cv.numindiv, m = cv.numloci, w = m + 1;
    int64_t g = groupsize(w);
    std::vector<char> rows(size_t(g * w));
    for (int64_t g0 = 0; g0 < n; g0 += g) {
        int64_t gn = std::min(g, n - g0);   // individuals in this group
        int64_t nb = (gn + 3) / 4;          // their bytes in a site
        for (int64_t s = 0; s < m; s++) {
            const uint8_t* p = bisite(s) + g0 / 4;
            char* r = rows.data() + s;
            for (int64_t b = 0; b < nb; b++) {
                const char* c = tbl.c[p[b]];
                char* rb = r + 4 * b * w;
                rb[0] = c[0];
                rb[w] = c[1];
                rb[2 * w] = c[2];
                rb[3 * w] = c[3];
            }
        }
        for (int64_t k = 0; k < gn; k++)
            rows[size_t(k * w + m)] = '\n';
        putbytes(f, rows.data(), size_t(gn * w), name);
    }
}

void writegen0(FILE* f, const std::string& name)
{
    // Texts of the biallelic codes, and of allele IDs 0..127 with a blank before.
    static const char* const bipair[4] = {" 2 2", " 0 0", " 1 2", " 1 1"};
    char idtext[128][5];
    for (int a = 0; a < 128; a++) {
        idtext[a][0] = ' ';
        *std::to_chars(idtext[a] + 1, idtext[a] + 4, a).ptr = '\0';
    }
    int64_t n = cv.numindiv, m = cv.numloci;
    int64_t g = groupsize(m * (cv.maxallele > 9 ? 8 : 4) + 21);
    std::vector<std::string> rows(static_cast<size_t>(g));
    for (int64_t g0 = 0; g0 < n; g0 += g) {
        int64_t gn = std::min(g, n - g0);
        for (int64_t k = 0; k < gn; k++)
            rows[size_t(k)] = cv.ids[size_t(g0 + k)];
        for (int64_t s = 0; s < m; s++) {
            if (cv.numallele[size_t(s)] <= 2) {
                const uint8_t* p = bisite(cv.siteidx[size_t(s)]);
                for (int64_t k = 0; k < gn; k++) {
                    int64_t i = g0 + k;
                    rows[size_t(k)] += bipair[(p[i / 4] >> (2 * (i % 4))) & 3];
                }
            } else {
                const uint8_t* p = multisite(cv.siteidx[size_t(s)]) + 2 * g0;
                for (int64_t k = 0; k < gn; k++) {
                    std::string& r = rows[size_t(k)];
                    r += idtext[p[2 * k]];
                    r += idtext[p[2 * k + 1]];
                }
            }
        }
        for (int64_t k = 0; k < gn; k++) {
            rows[size_t(k)] += '\n';
            putbytes(f, rows[size_t(k)], name);
        }
    }
}
