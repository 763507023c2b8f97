// Work state of one call of em_delta, in three parts that say who writes
// what:
// - emplan: the loci in visiting order and the merge decision, made once
//   by planmerge and only read by the dyad loop;
// - emscratch: the caches that merge entries with equal terms and the
//   entries while they are made, written by every dyad's pass;
// - termentries: the dyad's term entries, written by the pass and read by
//   the EM (the lanes) and the tests.
// Everything is sized once per call; the dyad loop allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "estimation/common/modes.hpp"

// What the dyad loop needs of a locus, kept in visiting order so that the
// loop reads it front to back.
struct locusinfo {
    int32_t locus;    // the unique locus at this position
    int32_t n;        // its sample size
    int32_t weight;   // markercnt
    int32_t base;     // locusloc(locus - 1): its alleles are base + 1, ...
    int32_t count[2]; // numa of alleles 1 and 2 (two-allele loci)
    int8_t two;       // 1 where the locus has two alleles
    int8_t merge;     // 1 where merging applies to the locus
    int8_t newn;      // 1 where n differs from the previous position's
};

// Per position, what the pass over two-allele loci reads: the locus's
// place in a column of the packed store (snpplaceof) and its weight.
struct hotlocus {
    uint32_t place;
    int32_t weight;
};

struct emplan {
    std::vector<int32_t> locusn;    // sample size n(l) of locus l = 1..numloci2
    bool alltwo = false;            // no locus has more than two alleles
    // the loci in visiting order, positions 1..numloci2: store order, or
    // ascending n when merging is prepared
    std::vector<locusinfo> info;
    std::vector<hotlocus> hot;      // two-allele data: positions 1..numloci2
    bool merging = false;           // merging prepared for this call
    int32_t cmax = 0;               // largest allele count
    int32_t pmax = 0;               // pair keys are cached below this count
    // Two-allele loci: the nine ways a compared pair of genotypes can fall
    // (twovariant) have each a slot per position, slotof[9p + v]; positions
    // whose entries merge share the slot of an equal key.
    std::vector<int32_t> slotof;
    int32_t nslots = 0;
};

// A merge cache: allele count (or pair of counts) to entry.  A key is
// valid only while its stamp equals the current stamp, so clearing the
// caches is one increment.
struct keycache {
    std::vector<uint32_t> stamp;
    std::vector<int32_t> entry;
};

struct emscratch {
    keycache single[10];            // modes 1..8: one allele count
    keycache pair2, pair7;          // modes 2 and 7 at loci of more alleles
    uint32_t stamp = 0;
    // A dyad's slot (two-allele loci) holds the entry of its key, its
    // weight and the locus that made it (9p + v), while its stamp is the
    // dyad's.
    struct slot {
        uint32_t stamp;
        int32_t entry;
        int32_t weight;
        int32_t rep;
    };
    std::vector<slot> slots;
    uint32_t slotstamp = 0;
    // The first individual's row (rowslots): for every position and the
    // second individual's genotype 1/1, 2/2 and 1/2 the way (-1 where the
    // first is missing) and, with merging, its slot.
    std::vector<int32_t> rowslot;
    std::vector<int8_t> rowway;
    // entries while they are made, of all modes in one sequence; sslot:
    // the slot of the entry (two-allele loci)
    std::vector<int64_t> sweight;
    std::vector<int32_t> sslot;
    std::vector<int32_t> sn, sx1, sx2;
    std::vector<int8_t> smode;
    int32_t nstaged = 0;
};

// The dyad's term entries grouped by mode: mode m owns positions first[m]
// .. first[m] + made[m] - 1, in the order made.  An entry stands for a
// locus, or several loci of the dyad whose terms are equal, in one IIS
// mode: weight ew (their summed markercnt), the terms et[0..termcount - 1]
// of the mode's non-base states, and the key the terms come from: the
// sample size en and the counts ex1, ex2 of the alleles that termalleles
// names.
struct termentries {
    std::vector<double> ew;
    // the terms: three at most for the EM's entries (et[0..2]); with each
    // individual's own frequencies (adjusted) every state a mode allows has
    // its own, up to eight (mle.hpp)
    std::vector<double> et[8];
    std::vector<int32_t> en, ex1, ex2;
    int32_t first[10] = {};
    int32_t made[10] = {};
    double w9 = 0.0;                // summed weight of the mode-9 loci
    bool adjusted = false;          // terms at each individual's own frequencies
    // With genotyping errors every state can give every observation: all
    // entries hold the terms of Delta1..Delta8 relative to Delta9's and
    // stand in mode 1's group, whatever their mode (adjusted is set too).
    bool allstates = false;
    // Whether L is flat along the two-allele direction (mlesolve.cpp) when
    // the maker of the rows knows it from rows shared by every pair; -1:
    // not known, the maximiser looks at the entries.
    int8_t flat = -1;
    // Rows whose terms every pair shares (MLE:2 at the sample frequencies,
    // MLE:1's merged entries): their logarithms at the relationships'
    // Deltas, nrelations a class and way or merge slot (reltable), and the
    // class and way or slot of each row (relrow), so that a pair's
    // likelihood there needs no logarithm of its own.
    const double* reltable = nullptr;
    std::vector<int32_t> relrow;
};

// Terms the EM's entries have (et[0..2]).
constexpr int emterms = 3;

struct emwork {
    std::vector<int8_t> buf1, buf2;  // genotype buffers of the dyad's two individuals
    emplan plan;
    emscratch scratch;
    termentries entries;
};

// Sample sizes, the visiting order, the merge decision; the caches and the
// entry buffers sized (mergeplan.cpp).
void planmerge(emwork& w);

// The mode of the locus at a position for the dyad whose allele pairs are
// gi and gj, 0 when either genotype is missing; x and y point to the pair
// of each individual there.
inline int locusmode(const locusinfo& f, const int8_t* gi, const int8_t* gj, const int8_t*& x, const int8_t*& y)
{
    x = gi + 2 * std::size_t(f.locus - 1);
    y = gj + 2 * std::size_t(f.locus - 1);
    if (x[0] == 0 || y[0] == 0) return 0;
    return f.two ? twoallelemode(x, y) : findconf(x, y);
}

// The nine weighted mode counts of the dyad (first individual's genotypes
// gi, second's gj) into iis[0..8] (modes 1..9), for runs that only count
// (entries.cpp).
void countmodes(const emplan& plan, const int8_t* gi, const int8_t* gj, int32_t* iis);

// One pass over the loci: the weighted mode counts as countmodes gives
// them, and the dyad's term entries, merged where the plan allows, with
// their terms and the mode-9 weight (entries.cpp).  dyadentries reads the
// allele pairs gi, gj of the two individuals.  In the SNP layouts, snprow
// prepares the first individual i and snpentries then makes the entries
// of dyad (i, j) straight from the packed store.
void dyadentries(const emplan& plan, emscratch& s, termentries& e, const int8_t* gi, const int8_t* gj, int32_t* iis);
void snprow(const emplan& plan, emscratch& s, int32_t i);
void snpentries(const emplan& plan, emscratch& s, termentries& e, int32_t j, int32_t* iis);
// The same entries left as the pass over the loci makes them, for makers
// of terms of their own: s.nstaged of them in the order made, entry e
// standing for slot s.sslot[e] (whose weight and 9p + v are in s.slots)
// with merging, else for position p and way v at s.sslot[e] = 9p + v with
// weight s.sweight[e]; only e.w9 is written of e.
void snpstaged(const emplan& plan, emscratch& s, termentries& e, int32_t j, int32_t* iis);

// The terms of mode m's entries from their keys, eight at a time
// (entryterms.cpp).
void entryterms(termentries& e, int m);

// ---- the dyads of this process, one after the other (dyadwalk.cpp) ----

// Where a walk over this process's dyads stands: the dyad (i, j), its
// serial number k and its place `count` among this process's dyads (from
// 0), and its two individuals' allele pairs where the walk fetches them.
struct dyadwalk {
    bool pairs = false;    // fetch both individuals' allele pairs (layout 0)
    bool rows = false;     // SNP layouts: prepare the first individual's row for snpentries
    int32_t i = 1, j = 1;  // (1, 1): before the first dyad
    int64_t k = 0;
    int64_t count = -1;
    const int8_t* gi = nullptr;
    const int8_t* gj = nullptr;
};

// A walk from before the first dyad; the allele pairs are fetched in
// layout 0, and with snprows the first individual's row is prepared for
// snpentries in the SNP layouts.
dyadwalk startwalk(bool snprows);

// Moves the walk to the next dyad of this process in serial order; the
// Deltas of the dyads it passes over (other processes') are set to 0 in
// both orders, to be summed over processes later.  False after the last.
bool nextdyad(dyadwalk& d, emwork& w);

// The dyad's term entries and IIS counts (iis[0..8]), from its allele
// pairs (layout 0) or straight from the packed store.
void walkentries(emwork& w, const dyadwalk& d, int32_t* iis);
// The same entries left as snpstaged leaves them (SNP layouts only).
void walkstaged(emwork& w, const dyadwalk& d, int32_t* iis);

// Delta 1..9 of the pair seen with i as first individual from d[0..8].
void setdeltas(int32_t j, int32_t i, const float* d);

// True when the walk's dyad has no compared locus (IIS counts iis[0..8]
// all 0); its Deltas are then Delta9 = 1 in both orders.
bool nocommon(const dyadwalk& d, const int32_t* iis);
