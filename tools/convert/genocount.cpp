#include "genocount.hpp"
#include <algorithm>
#include "convstate.hpp"

namespace {

// For each byte of a biallelic site: how many of its four individuals
// have code 0 (two copies of allele 1), 1 (missing), 2 (one copy), 3 (none).
struct codecounts {
    uint8_t n[4][256];
    codecounts()
    {
        for (int b = 0; b < 256; b++) {
            for (int c = 0; c < 4; c++)
                n[c][b] = 0;
            for (int k = 0; k < 4; k++)
                n[(b >> (2 * k)) & 3][b]++;
        }
    }
};

const codecounts codes;

} // namespace

bool ismulti(int64_t s)
{
    return !cv.numallele.empty() && cv.numallele[size_t(s)] > 2;
}

int64_t storeidx(int64_t s)
{
    return cv.numallele.empty() ? s : int64_t(cv.siteidx[size_t(s)]);
}

std::vector<int64_t> missingbyindiv()
{
    std::vector<int64_t> miss(size_t(cv.numindiv), 0);
    for (size_t s = 0; s < cv.siteon.size(); s++) {
        if (!cv.siteon[s])
            continue;
        if (ismulti(int64_t(s))) {
            const uint8_t* p = multisite(storeidx(int64_t(s)));
            for (int64_t i = 0; i < cv.numindiv; i++)
                miss[size_t(i)] += p[2 * i] == 0;
            continue;
        }
        const uint8_t* p = bisite(storeidx(int64_t(s)));
        for (int64_t b = 0; b < cv.bytespersite; b++) {
            if (codes.n[1][p[b]] == 0)
                continue;
            for (int64_t k = 0; k < 4 && 4 * b + k < cv.numindiv; k++)
                miss[size_t(4 * b + k)] += ((p[b] >> (2 * k)) & 3) == 1;
        }
    }
    return miss;
}

std::vector<uint8_t> keepmask()
{
    std::vector<uint8_t> m(size_t(cv.bytespersite), 0);
    for (int64_t i = 0; i < cv.numindiv; i++)
        if (cv.indivon[size_t(i)])
            m[size_t(i / 4)] |= uint8_t(3 << (2 * (i % 4)));
    return m;
}

sitecount countsite(int64_t s, const std::vector<uint8_t>& mask)
{
    sitecount c;
    if (ismulti(s)) {
        int64_t n[128] = {0};
        const uint8_t* p = multisite(storeidx(s));
        for (int64_t i = 0; i < cv.numindiv; i++)
            if (cv.indivon[size_t(i)] && p[2 * i] != 0) {
                c.typed++;
                n[p[2 * i]]++;
                n[p[2 * i + 1]]++;
            }
        int64_t most = *std::max_element(n + 1, n + 128);
        int k = cv.numallele[size_t(s)];
        c.nonmajor = c.typed ? double(2 * c.typed - most) / double(2 * c.typed) : 1 - 1.0 / k;
        return c;
    }
    // individuals left out read as missing (code 1), and so does the
    // padding of the last byte
    int64_t n[4] = {0, 0, 0, 0};
    const uint8_t* p = bisite(storeidx(s));
    for (int64_t b = 0; b < cv.bytespersite; b++) {
        int v = (p[b] & mask[size_t(b)]) | (0x55 & ~mask[size_t(b)]);
        for (int k = 0; k < 4; k++)
            n[k] += codes.n[k][v];
    }
    c.typed = n[0] + n[2] + n[3];
    int64_t a1 = 2 * n[0] + n[2], all = 2 * c.typed;
    c.nonmajor = c.typed ? double(std::min(a1, all - a1)) / double(all) : 0.5;
    return c;
}
