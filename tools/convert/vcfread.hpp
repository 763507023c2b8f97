// VCF and BCF input through htslib.
#pragma once

// Reads the sample names into cv.ids (checked before any genotype is
// read) and every site's GT calls into the biallelic or multi-allelic
// store.  Without htslib it stops with a message saying so.
void readvcf();
