// Allele frequencies and raw allele IDs of one simulated locus.
#pragma once
#include <cstdint>
#include "rng.hpp"

constexpr int maxalleles = 20;

struct locus {
    int n = 2;                  // number of alleles
    double cum[maxalleles];    // cumulative frequencies; cum[n-1] == 1
    uint16_t id[maxalleles];   // raw allele IDs written to layout 0
    bool snp = true;
    uint64_t thr = 0;           // SNPs: allele index 0 when rngnext() < thr
};

// SNP: allele index 0 ("allele 1", ID 1) is the minor allele with frequency
// uniform in 0.05..0.5, allele index 1 has ID 2.
void drawsnp(rng& r, locus& loc);

// Multi-allelic: 2..20 alleles, frequencies from a flat Dirichlet, distinct
// raw IDs drawn from 1..999 in random order.
void drawmulti(rng& r, locus& loc);

// Allele index of one founder gene.
inline uint8_t drawallele(rng& r, const locus& loc)
{
    if (loc.snp)
        return rngnext(r) < loc.thr ? 0 : 1;
    double u = rngunif(r);
    int k = 0;
    while (k < loc.n - 1 && u >= loc.cum[k])
        k++;
    return uint8_t(k);
}
