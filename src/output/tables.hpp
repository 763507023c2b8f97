// The parts of the results file, in the order output writes them.  Each
// appends to the results file opened by output.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output/lookup.hpp"
#include "run/textfile.hpp"

// Options heading, command line, parameters, run times and tolerances.
// Takes the end of the run into element 2 of date1 and time1.
void writerunrecord(textout& out);

// The two time lines, started and finished, 47 characters each (no LF).
std::string timeline(int which);

// Table of every ordered pair: counts, Deltas and r(1,2).
void writeibd(textout& out, const lookup& lk);

// Table of genotype counts and inbreeding per individual.
void writeinb(textout& out, const lookup& lk);

// Table of allele frequencies per locus (reads the raw-allele file for
// layout 0).
void writefreq(textout& out, const lookup& lk);

// The maximum-likelihood side tables, written (the caller puts them in
// place with the results file): the pairs (mletable.cpp), the individuals'
// inbreeding and the components (sidetables.cpp); a new run identifier
// for their first lines (mletable.cpp).
void writemletable();
void writeinbmltable();
void writepcstable();
std::string newrunid();

// "# kinex run <identifier>; MLE:<n>": how the side tables' first lines
// begin (mletable.cpp).
std::string runline();

// Which allele frequencies the likelihood used: "the sample allele
// frequencies", or each individual's own from components or populations.
std::string freqtext();

// The kinship r(1,2) of a pair's Deltas d[0..8], as the IBD table gives it
// (ibdtable.cpp).
double pairkinship(const float* d);

// KIN: the streamed side table of the pairs (mletable.cpp): opened with its
// first line and header (master), pieces of lines appended as the pairs are
// made, closed for the commit with the results file; and one pair's line.
void pairstreamopen();
void pairstreamwrite(const std::string& text);
void pairstreamclose();
void kinline(std::string& s, int32_t i, int32_t j, int64_t loci, const float* d, double lnl, double lrt, int call,
             double gap, int32_t iter, bool conv);

// Which frequencies, without the error rate (mletable.cpp).
std::string owntext();

// Name of the raw-allele file that goes with the results file.
std::string rawallelefile();

// The first n characters of the separator line.
std::string separator(std::size_t n);

// Element `need` (and all before it) exist in v, or a zero stand-in of that
// size is used: the tables then show start values for estimates that a run
// never made.
template <class T>
const T* orzeros(const std::vector<T>& v, std::size_t need, std::vector<T>& spare)
{
    if (v.size() >= need) return v.data();
    spare.assign(need, T{});
    return spare.data();
}
