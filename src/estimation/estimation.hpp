// Estimation of Deltas, inbreeding and allele frequencies.
#pragma once

#include <cstdint>

// One replicate of the estimation (replicate numbers 1, 2, ...).
void em_delta_p(int32_t& replicate);
