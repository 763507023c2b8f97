// Probability terms of one locus.  For each IIS mode the EM needs
// P(mode | Delta k) for k = 1..9 up to a factor common to all k: the ratio
// of each state's probability to that of the mode's base state, with the
// frequency products estimated gene copy by gene copy from the counts (the
// t-th copy drawn adds (count - c x earlier copies of its allele) / (n - c t)).
// Every term is formed in double precision in the order written, the floor
// last; a product uses its factor after the factor's floor.
#include <algorithm>

#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "estimation/modes.hpp"

namespace {

inline double floored(double v) { return std::max(v, termfloor); }

}  // namespace

void locusterms(int m, int32_t n, int32_t x1, int32_t x2, double* t)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double dn = double(n), a = double(x1), b = double(x2);
    switch (m) {
    case 1: {  // AA, AA: no floor
        double v = (a - c2) / (dn - c2);
        t[0] = (dn - c) / (a - c);
        t[1] = v;
        t[2] = (a - c3) * v / (dn - c3);
        break;
    }
    case 2: {  // AA, BB: a first individual's allele, b second's
        double u = floored((a - c) / (dn - c2));
        t[0] = floored((b - c) / (dn - c2));
        t[1] = u;
        t[2] = floored((b - c) * u / (dn - c3));
        break;
    }
    case 3:    // AA, AB: a the first individual's allele
    case 5: {  // AB, AA: a the second individual's allele
        double q = floored((a - c) / (dn - c2));
        t[0] = 2.0 * q;
        t[1] = q;
        t[2] = floored((a - c2) * t[0] / (dn - c3));
        break;
    }
    case 4:  // AA, BC
    case 6:  // AB, CC: a the second individual's allele
        t[0] = floored((a - c) / (dn - c3));
        break;
    case 7:  // AB, AB
        t[0] = floored((a + b - c2) * 0.5 / (dn - c2));
        t[1] = floored(2.0 * (a - c) * (b - c) / ((dn - c3) * (dn - c2)));
        break;
    case 8:  // AB, AC: a the shared allele
        t[0] = floored(4.0 * (a - c) / (dn - c3));
        break;
    default:
        break;
    }
}
