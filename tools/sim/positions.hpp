// Positions of the SNPs in the PLINK files: spread evenly over the 22 human
// autosomes laid end to end, with their GRCh37 lengths (2,881,033,286 bp in
// all), chromosome 1 first.  Each chromosome so gets a share of the SNPs
// proportional to its length (give or take one).  The loci are still
// simulated unlinked.
#pragma once

// Chromosome (1..22) and base-pair position (from 1) of SNP l (0-based) of
// nloci: the middle of the l-th of nloci equal stretches of the genome.
void snpplace(long long l, long long nloci, int& chr, long long& pos);
