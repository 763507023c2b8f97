// The IIS mode of an ordered pair of genotypes X = (a, b), Y = (c, d), and
// the alleles whose counts the mode's terms use.
#include "estimation/common/modes.hpp"

int findconf(const int8_t* x, const int8_t* y)
{
    const int8_t a = x[0], b = x[1], c = y[0], d = y[1];
    if (a == b) {
        if (c == d) return a == c ? 1 : 2;
        return (a == c || a == d) ? 3 : 4;
    }
    int m = int(a == c) + int(a == d) + int(b == c) + int(b == d);
    if (m == 2) return c == d ? 5 : 7;
    if (m == 1) return 8;
    return c == d ? 6 : 9;
}

void termalleles(int m, const int8_t* x, const int8_t* y, int& a1, int& a2)
{
    switch (m) {
    case 2:
        a1 = x[0];
        a2 = y[0];
        return;
    case 5:
    case 6:
        a1 = a2 = y[0];
        return;
    case 7:
        a1 = x[0];
        a2 = x[1];
        return;
    case 8:
        a1 = a2 = (x[0] == y[0] || x[0] == y[1]) ? x[0] : x[1];
        return;
    default:  // modes 1, 3, 4: the first individual's (homozygous) allele
        a1 = a2 = x[0];
        return;
    }
}
