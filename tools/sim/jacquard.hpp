// Jacquard's nine condensed identity states of two diploid individuals.
#pragma once
#include <cstdint>

// State 1..9 of individual 1 with gene labels (a,b) and individual 2 with
// (c,d); equal labels mean identical by descent.
int jstate(uint32_t a, uint32_t b, uint32_t c, uint32_t d);

// Kinship coefficient from the nine state probabilities d[0..8] = Delta1..9.
double kinship(const double d[9]);
