// The nine states' probabilities of two observed genotypes when every
// genotype is observed wrongly at the rate e (ERR:): an observed genotype
// is the true one with probability 1 - e; otherwise, at a SNP, either of
// the two other genotypes (e / 2 each), and at a locus of k > 2 alleles one
// of its two genes, either with probability 1/2, read as another allele,
// each of the k - 1 others alike.  The probabilities sum over the true
// genotypes of both individuals.
#pragma once

#include <cstdint>

// A true genotype that can be observed as a given one, and the probability
// of that observation.
struct truegenotype {
    int8_t g[2];
    double w;
};

// Every true genotype that the observed genotype o (alleles 1..k) can come
// from, at most 2 (k - 1) + 1, into t; returns their number.
int truesources(const int8_t* o, int k, double e, truegenotype* t);

// Probabilities p[1..9] of the true genotypes x (first) and y (second)
// when every gene is drawn from one sample of n genes with count[c] copies
// of allele c, a copy once drawn taken out as the unadjusted terms do
// (each draw of an allele already drawn j times among k draws has
// (count - c j) / (n - c k), c just above 0.95), negative products 0.
void drawprobs(const int8_t* x, const int8_t* y, const double* count, double n, double* p);

// With errors at rate e: the probabilities of the observed x and y for a
// locus of k alleles.  From one sample (drawprobs with count and n), or
// with each individual's own frequencies (stateprobs with fa[c], fb[c] the
// first's and second's frequency of allele c) when count is null.
void errorprobs(const int8_t* x, const int8_t* y, int k, double e, const double* count, double n, const double* fa,
                const double* fb, double* p);
