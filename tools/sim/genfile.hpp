// KINEX genotype files in layouts 0, 1 and 2.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// SNP genotype code: copies of allele 1 (0, 1, 2), or snpmissing.
constexpr uint8_t snpmissing = 3;
// Multi-allelic genotypes hold two allele indices; missing ones hold this.
constexpr uint8_t allelemissing = 255;

// Genotypes of the sampled individuals, one row per individual.
struct genos {
    long long n = 0;
    long long loci = 0;
    int w = 1;                    // bytes per genotype: 1 SNP code, 2 allele indices
    std::vector<uint8_t> g;       // n rows of loci * w bytes
    std::vector<uint16_t> ids;    // w == 2: raw allele IDs, maxalleles per locus
};

// Character of a SNP genotype code: 2, 1, 0 or '-'.
inline char snpchar(uint8_t code) { return "012-"[code & 3]; }

// Layouts 1 and 2 start with the identifiers, ten to a line.
void putidblock(FILE* f, const std::vector<std::string>& ids);

// Layout 1 body: one line per locus from locus-major SNP codes (n per locus).
void putlocuslines(FILE* f, const uint8_t* codes, long long nloci, long long n);

// Whole files of layouts 0 and 2 from per-individual rows.
void putlayout0(FILE* f, const std::vector<std::string>& ids, const genos& g);
void putlayout2(FILE* f, const std::vector<std::string>& ids, const genos& g);
