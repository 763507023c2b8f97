// Chromosome codes as PLINK reads them: 1 to 22, X (23), Y (24), XY (25,
// the pseudo-autosomal region), MT (26), with or without "chr".
#pragma once
#include <cstdint>
#include <string>

// The number of a chromosome name, 1 to 26; 0 for any other name (an
// unplaced or extra contig).
int chrnum(const std::string& name);

// The chromosomes of a --chr list (1-22, 1,3,5-7): bit c for chromosome c.
// Stops on a name that is not a chromosome, a range that runs backwards,
// and on X, Y, XY and MT: KINEX's model is autosomal.
uint32_t chrlist(const std::string& v);
