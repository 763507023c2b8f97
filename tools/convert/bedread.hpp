// PLINK 1 binary filesets: .fam (individuals), .bim (SNPs), .bed (genotypes).
#pragma once

// Reads the IIDs of bfile.fam into cv.ids.
void readfam();

// Counts the SNPs of bfile.bim into cv.numloci.
void readbim();

// Checks bfile.bed against the counts and reads its genotypes, SNP-major
// and 2-bit packed as they stand, into the biallelic store.
void readbed();
