// The filters a site passes or fails by its own line (the .bim's, or the
// VCF's fixed columns): --chr, --snps-only and --max-alleles, in that
// order, which PLINK 2 applies as it loads the sites.
#pragma once
#include <string>

// True when the site is kept.  Counts it in cv.sitesin, a site on X, Y, XY
// or MT in cv.nonauto, and a site left out under its first reason.
// codes are the site's allele codes (a VCF's REF and ALTs; a .bim's A1 and
// A2), nal the number of alleles as PLINK 2 counts them (a VCF's ALT "."
// and a .bim's A1 0 or "." are no allele).  With bim, "0" is a missing code
// as "." is.
bool keepsite(const std::string& chrom, const char* const* codes, int ncodes, int nal, bool bim);

// The account of these filters after the sites of input are read.
void saysites(const std::string& input);
