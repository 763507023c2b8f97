// Normal and gamma variates on the simulator's own generator, for the
// subpopulations' allele frequencies (Beta and Dirichlet draws).
#pragma once
#include "rng.hpp"

// Standard normal (Box-Muller, one of the pair).
double rngnormal(rng& r);

// Logarithm of a Gamma(a, 1) variate, a > 0 (-infinity for a <= 0):
// Marsaglia and Tsang's method, with Gamma(a) = Gamma(a+1) U^(1/a) for
// a < 1 taken in logarithms, so that a tiny shape gives a very negative
// value instead of an underflow to 0.
double rnglgamma(rng& r, double a);
