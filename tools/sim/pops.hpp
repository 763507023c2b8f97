// Subpopulations: which subpopulation each family draws its founder genes
// from, admixed families, and the subpopulations' allele frequencies of one
// locus (Balding-Nichols).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "families.hpp"
#include "markers.hpp"
#include "rng.hpp"

struct popset {
    int k = 1;                   // subpopulations
    std::vector<int> own;        // per family: its subpopulation, 0 for the first
    std::vector<int> other;      // per family: the second subpopulation of an
                                 // admixed family, -1 for a pure one
    std::vector<double> qexp;    // per pedigree member: expected share of its
                                 // genes from its family's own subpopulation
    std::vector<uint64_t> qthr;  // per founder of an admixed family: a gene
                                 // is from the own subpopulation when rngnext() < qthr
};

// Family f belongs to subpopulation f mod k.  round(admixed x families) of
// the families, chosen at random, are admixed with the next subpopulation
// (cyclically); each of their founders gets an admixture proportion q
// uniform in 0..1.  Draws from r only when admixed > 0.
void assignpops(const sample& s, int k, double admixed, rng& r, popset& p);

// Label of family f's members: p1, p2, ..., or p1+p2 for a family of p1
// admixed with p2.
std::string popname(const popset& p, int f);

// Frequencies of the k subpopulations at a locus from its ancestral ones:
// Beta(p(1-F)/F, (1-p)(1-F)/F) for a SNP's allele 1, Dirichlet with
// parameters p_j(1-F)/F for a multi-allelic locus.  sub gets k loci with
// the ancestral locus's alleles and IDs.
void drawsubfreqs(rng& r, const locus& anc, double fst, int k, std::vector<locus>& sub);
