#include "positions.hpp"

namespace {

// GRCh37 autosome lengths, chromosomes 1..22.
constexpr long long chrlen[22] = {
    249250621, 243199373, 198022430, 191154276, 180915260, 171115067, 159138663, 146364022,
    141213431, 135534747, 135006516, 133851895, 115169878, 107349540, 102531392, 90354753,
    81195210,  78077248,  59128983,  63025520,  48129895,  51304566};

constexpr long long genome()
{
    long long s = 0;
    for (long long x : chrlen)
        s += x;
    return s;
}

} // namespace

void snpplace(long long l, long long nloci, int& chr, long long& pos)
{
    // At most 2 x 10^8 x 2.9 x 10^9 < 2^63.  Stretches are over 28 bp long
    // for up to 10^8 SNPs, so positions rise strictly on a chromosome.
    long long at = (2 * l + 1) * genome() / (2 * nloci);
    int c = 0;
    while (c < 21 && at >= chrlen[c]) {
        at -= chrlen[c];
        c++;
    }
    chr = c + 1;
    pos = at + 1;
}
