// The filters after the sites are read, in PLINK 2's order: --mind on the
// sites that --chr, --snps-only and --max-alleles left, then --geno and
// --maf on the individuals --mind left, then --bp-space on the sites left.
#pragma once

// Applies them, says what each kept, stops when no site or fewer than 2
// individuals are left, and cuts the stores down to what is kept.
void filtergenos();
