// Working data of readgtype: what reading the file leaves for the locus
// preparation, and the keys that find identical loci.  All of it is
// released when readgtype returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "run/variables.hpp"

struct gtypework {
    // Layout 0: alleles of this process's individuals indivl1..indivl2,
    // 2 x numloci x share, reached through rawat().  Raw identifiers after
    // reading, allele codes once the locus has been recoded.
    std::vector<int16_t> rawallele;
    // Random keys of the individuals, 1..numindiv.
    std::vector<double> r1, r2, r3;
    // Key of every locus of the file, 1..numloci; identical genotype
    // columns give bit-identical keys.
    std::vector<double> lockey;
    int32_t nummono = 0;  // monomorphic loci of the file
};

// rawallele(a, l, i): allele slot a (1..2) at locus l of individual i, for
// i in this process's share.
inline std::size_t rawat(int a, int l, int i)
{
    return std::size_t(a - 1) + 2 * (std::size_t(l - 1) + std::size_t(vars.numloci) * std::size_t(i - vars.indivl1));
}

// Layout 0: both allele slots of every individual at locus l, as pairs in
// individual order.  Each process fills its own share of column and, when
// there are several, the sum over processes in summed completes it; the
// result points at whichever holds the whole column (recode.cpp).
const int32_t* gathercolumn(const gtypework& w, int32_t l, std::vector<int32_t>& column,
                            std::vector<int32_t>& summed);

// The first half of readgtype: reads the genotype file into the packed
// store (SNP layouts) or w.rawallele (layout 0) (readgtype.cpp).
void readgtypefile(gtypework& w);

// ---- the steps of locus preparation, in the order they run ----

// Whole preparation: keys, counting, identical loci, compaction
// (locusprep.cpp).
void prepareloci(gtypework& w);

// Layout 0: recodes every locus by first appearance, counts its alleles,
// forms its key, writes the raw-allele file (recode.cpp).
void recodeloci(gtypework& w);

// Layouts 1 and 2: locus keys from the packed store (snpkeys.cpp).
void snpkeys(gtypework& w);

// Groups loci with equal keys, numbers them by first appearance into
// markeridx and markercnt, writes the counts (identical.cpp).
void findidentical(gtypework& w);

// Keeps only the unique polymorphic loci in obsnumallele, indivgtype or
// snp, and fills numallallele and locusloc (compact.cpp).
void compactloci(gtypework& w);

// ---- what a genotype file holds beyond what is read (surplus.cpp) ----

struct gtypesurplus {
    int64_t longrows = 0;   // rows with values or characters past those read
    int64_t morelines = 0;  // lines that are not blank after the last row read
    int64_t nottext = 0;    // lines with bytes no text holds (NUL, controls)
    bool moreids = false;   // layouts 1 and 2: a value after the last identifier
};

// True when the bytes hold one that no text file does: a control
// character other than tab, line feed, vertical tab, form feed and CR.
bool nottextbytes(const char* p, std::size_t n);

// True when the bytes are all blanks, tabs or CRs.
bool blanktail(const char* p, std::size_t n);

// Counts the lines that follow in f (read in pieces, never a whole line).
void scanrest(std::FILE* f, gtypesurplus& s);

// The warning line for the screen and the run record ("Warning: genotype
// file holds more than was read (...): ..."); empty when nothing was found.
std::string surplustext(const gtypesurplus& s, int32_t dataform);

// One locus's record of the raw-allele file: k, then the k identifiers,
// each in 4 characters, 127 values to a line (rawallele.cpp).
std::string rawallelerecord(const std::vector<int32_t>& ids);
