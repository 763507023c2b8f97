// The nine IIS modes of an ordered pair of genotypes X = (a, b), Y = (c, d).
#include "estimation/estimation.hpp"

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
