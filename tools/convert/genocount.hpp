// Genotype counts of the stored sites over the individuals kept so far
// (cv.indivon), for --mind, --geno and --maf.
#pragma once
#include <cstdint>
#include <vector>

// Whether stored site s is multi-allelic, and its number in its store.
bool ismulti(int64_t s);
int64_t storeidx(int64_t s);

// Per individual of the input, the number of kept sites (cv.siteon) at
// which it is missing.
std::vector<int64_t> missingbyindiv();

// A site over the kept individuals: how many are typed, and the frequency
// of the alleles other than the most common one among their genotypes
// (PLINK 2's nonmajor frequency: for two alleles the minor allele
// frequency; 0 for a site of one allele).  A site typed in no one has, as
// in PLINK 2, all its alleles equally frequent: 0.5 for a biallelic site
// (a VCF's ALT "." counted as an allele here), 1 - 1/K for K alleles.
struct sitecount {
    int64_t typed = 0;
    double nonmajor = 0;
};

// mask: keepmask(), the kept individuals' bits in a biallelic site.
sitecount countsite(int64_t s, const std::vector<uint8_t>& mask);
std::vector<uint8_t> keepmask();
