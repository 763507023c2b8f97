#include "gamma.hpp"
#include <cmath>

double rngnormal(rng& r)
{
    double u = rngunifpos(r), v = rngunif(r);
    return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * v);
}

double rnglgamma(rng& r, double a)
{
    if (!(a > 0))
        return -INFINITY;
    double boost = 0;
    if (a < 1) {
        boost = std::log(rngunifpos(r)) / a;
        a += 1;
    }
    const double d = a - 1.0 / 3, c = 1 / std::sqrt(9 * d);
    for (;;) {
        double x, v;
        do {
            x = rngnormal(r);
            v = 1 + c * x;
        } while (v <= 0);
        v = v * v * v;
        double u = rngunifpos(r);
        if (u < 1 - 0.0331 * (x * x) * (x * x) ||
            std::log(u) < 0.5 * x * x + d * (1 - v + std::log(v)))
            return std::log(d * v) + boost;
    }
}
