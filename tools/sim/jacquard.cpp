#include "jacquard.hpp"

int jstate(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    if (a == b) {
        if (c == d)
            return a == c ? 1 : 2;
        return (a == c || a == d) ? 3 : 4;
    }
    if (c == d)
        return (c == a || c == b) ? 5 : 6;
    // a != b and c != d: the two sets share zero, one or both labels.
    int shared = (a == c) + (a == d) + (b == c) + (b == d);
    return shared == 2 ? 7 : shared == 1 ? 8 : 9;
}

double kinship(const double d[9])
{
    return d[0] + (d[2] + d[4] + d[6]) / 2 + d[7] / 4;
}
