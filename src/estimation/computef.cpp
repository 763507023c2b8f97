// Inbreeding of every individual: the mean and standard deviation, over
// all dyads the individual belongs to, of the probability that its own two
// genes are identical by descent (Delta1 + Delta2 + Delta3 + Delta4 of the
// dyad seen with it as first individual).
#include <cmath>

#include "estimation/estimation.hpp"
#include "run/variables.hpp"

void computef()
{
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i <= n; ++i) {
        double sum = 0.0, sumsq = 0.0;
        for (int32_t j = 1; j <= n; ++j) {
            if (j == i) continue;
            const float* d = vars.delta.data() + deltaat(1, j, i);
            float f = 0.0f;
            f += d[0];
            f += d[1];
            f += d[2];
            f += d[3];
            float ff = f * f;
            sum += double(f);
            sumsq += double(ff);
        }
        vars.inb[i] = sum;
        vars.fsd[i] = sumsq;
    }
    const double others = double(n - 1);
    for (int32_t i = 1; i <= n; ++i) {
        vars.inb[i] = vars.inb[i] / others;
        double m2 = vars.fsd[i] / others;
        vars.fsd[i] = std::sqrt(std::fabs(m2 - vars.inb[i] * vars.inb[i]));
        float* d = vars.delta.data() + deltaat(1, i, i);
        for (int k = 0; k < 9; ++k) d[k] = 0.0f;
        d[0] = float(vars.inb[i]);
        d[6] = float(1.0 - vars.inb[i]);
    }
}
