// Maximum-likelihood Deltas (MLE:1): each dyad's Deltas maximise the
// log-likelihood of its term entries,
//   L(D) = sum over entries of w log(sum over states of D_s a_s) + W9 log D9,
// a_s the entry's term for state s (1 for the mode's base states, 0 for
// states that cannot give the mode), over the simplex (Inbreed 1: all nine
// states; Inbreed 0: Delta7..Delta9, Delta1..Delta6 exactly 0).  L is
// concave.  The maximiser is an active-set Newton method: Newton steps on
// the states in use under the constraint that the Deltas sum to 1, a line
// search that keeps every Delta at or above 0 and every term positive, a
// state dropped when it reaches 0 and taken back when its gradient exceeds
// the total weight W, until the last step changes L by less than 1e-12 of
// it and every state at 0 has gradient at most W (1 + 1e-9).
//
// Two-allele data leave L flat along one direction: Delta2 + 2 Delta8
// against Delta4 + Delta6 + Delta7 changes no term sum (and no kinship or
// inbreeding).  Of the equally likely points the maximiser returns the one
// with the least Delta1 + ... + Delta6: it moves along that direction
// until Delta4, Delta6 or Delta7 reaches 0.
//
// Besides the Deltas: L at the maximum, the likelihood-ratio statistic
// against unrelated, and the most likely of the standard relationships.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "estimation/entries/entries.hpp"
#include "estimation/estimation.hpp"
#include "estimation/simd/simd.hpp"
#include "run/variables.hpp"


// A dyad's fit.
struct mlefit {
    double d[10] = {};      // Deltas 1..9
    double lnl = 0.0;       // L at d
    double lrt = 0.0;       // 2 (L at d - L at Delta9 = 1)
    double gap = 0.0;       // L of the call minus L of the runner-up
    int32_t call = 0;       // the relationship (1..6)
    int32_t iter = 0;       // Newton iterations
    bool conv = false;      // the stopping rule was met within the cap
};

// The maximum-likelihood Deltas of every dyad this process owns (of
// `dyads` in all) into delta(., j, i) (i < j), their IIS counts and side
// values; returns the number of dyads of this process (mledyads.cpp).
int64_t mledyads(emwork& w, int64_t dyads);

// KIN: every pair's maximum-likelihood Deltas streamed into the side table
// (those of kinship kinmin or more), with no N x N array; returns the
// number of pairs of this process (kinstream.cpp).
int64_t kindyads(emwork& w);

// KIN: rows of first individuals a process takes at a time, and how far
// below kinmin a pair's KING-robust kinship must lie for the pair to skip
// the maximiser (measured: docs/BENCHMARK.md).  When a threshold lets most
// pairs skip it, the time goes into reading the second individuals'
// bit-planes from memory, once for all of a piece's rows: such pieces are
// larger (kinscreenrows).  When every pair is fitted they are smaller, as
// the master holds the lines of the pieces made ahead of their turn.
constexpr int32_t kinrows = 16;
constexpr int32_t kinscreenrows = 64;
constexpr double kinmargin = 0.03;

// The KING-robust kinship below which a streamed pair skips its fit, and
// whether the threshold lets most pairs skip it (then the pieces are
// larger, the frequency codes are made for the pairs fitted, and the
// screen of the unrelated set keeps the pairs to fit).
inline double kinleast() { return vars.kinmin - kinmargin; }
inline bool kinscreens() { return vars.kinmin > kinmargin; }

// Iterations at most per dyad; a dyad that needs more is reported as not
// converged.
constexpr int32_t mlemaxiter = 200;

// The states a fit may use, bit s for Delta s (1..9).
constexpr uint32_t allstates = 0x3feu;
constexpr uint32_t outbredstates = 0x380u;  // Delta7..Delta9
// The states in which the first individual's two genes are identical by
// descent (Delta1..Delta4), and the second's (Delta1, Delta2, Delta5,
// Delta6).
constexpr uint32_t firstautozygous = 0x1eu;
constexpr uint32_t secondautozygous = 0x66u;

// The fit of the dyad whose entries are te over the states `states`
// (mlesolve.cpp); without calls, no relationship is tried (fit.call,
// fit.gap and fit.lrt stay 0).
void mlesolve(const termentries& te, mlefit& fit, uint32_t states = allstates, bool calls = true);

// An individual whose inbreeding by maximum likelihood is not significant
// (its likelihood-ratio statistic against F = 0 below autozygousbound) is
// taken as not autozygous in its pairs: the states in which its two genes
// are identical by descent are held at 0.  Its own genotypes say about as
// much about its autozygosity as any of its pairs do; left free in every
// pair, those states take up the noise of each pair's fit (measured:
// docs/VALIDATION.md).  With Inbreed 0 no pair has them anyway
// (autozygous.cpp).
// The bound is the larger of autozygouslrt, the 5% point of the half
// chi-square with one degree of freedom that the statistic follows at
// F = 0, and the logarithm of the individual's number of typed loci (the
// Bayesian information criterion): with many loci any inbreeding worth the
// name lies far above both (F = 1/32 at 20000 SNPs: about 20), and the
// stricter bound keeps the 5% of outbred individuals that pass the first
// by chance out of all their pairs (200 x 20000 SNPs: unrelated pairs'
// Delta4 / Delta6 RMSE 0.0014 / 0.0034 to 0; structured, with PCS:10, F
// RMSE of outbred individuals 0.0037 to 0.0019); with 60 multi-allelic
// loci (4.09) it misses one or two more of 40 inbred.
constexpr double autozygouslrt = 2.7055;
double autozygousbound(int32_t i);
// True when individual i may be autozygous in its pairs (the statistic
// at or above the bound).
bool autozygous(int32_t i);
// The individuals taken as possibly autozygous marked in autoz and counted
// into numautoz, and their line on screen (after inbreedingml).
void decideautozygous();
std::string autozygoustext();
// The states dyad (i, j), i < j, may use.
uint32_t dyadstates(int32_t i, int32_t j);

// Likewise a pair called unrelated whose likelihood-ratio statistic
// against the best point without kinship (Delta9, with Delta2, Delta4 and
// Delta6 where its members may be autozygous) lies below kinshiplrt, the
// 5% point of the statistic of two coefficients held at their bound (half
// chi-square with one degree of freedom, a quarter with two), is not
// related beyond chance: its Deltas are those of that point, where the
// boundary of maximum likelihood would leave them spread above 0 (kinship
// RMSE of unrelated pairs 0.0022 to 0.0011 on 200 x 20000 SNPs,
// measured: docs/VALIDATION.md).  Its LNL, LRT, call and gap stay those of
// the maximum.
constexpr double kinshiplrt = 4.2306;
constexpr uint32_t nokinshipstates = 0x254u;  // Delta2, Delta4, Delta6, Delta9
// True when fit's Deltas were replaced so (unrelatedfit.cpp).
bool unrelatedfit(const termentries& te, mlefit& fit, uint32_t states);
// Their number (vars.mleunrelated, all processes) as said on screen.
std::string unrelatedtext();

// On SNP data (DataForm 1, 2) a pair of two members not taken as
// autozygous (dyadstates) that is called parent-offspring, second- or
// third-degree (relatives through one line of descent, who share at most
// one gene identical by descent where the pedigree has no loop) and whose
// likelihood-ratio statistic against
// the best point with Delta7 = 0 lies below unilineallrt, the 1% point of
// the half chi-square with one degree of freedom, takes that point's
// Deltas.  Two-allele loci tell the direction Delta7 + 1, Delta8 - 2,
// Delta9 + 1 (which keeps the kinship) apart only weakly, and the bound
// Delta7 >= 0 left Delta7 above 0 in most such pairs, Delta8 twice as far
// below (outbred relatives' Delta8 RMSE 0.0168 to 0.0142 on 200 x 20000
// SNPs; at the 5% point 6 of 60 of them kept Delta7, where 3 were due:
// measured, docs/VALIDATION.md).  Its LNL, LRT, call and gap stay those of
// the maximum.
constexpr double unilineallrt = 5.4119;
// True when fit's Deltas were replaced so (unilinealfit.cpp).
bool unilinealfit(const termentries& te, mlefit& fit, uint32_t states);
// Their number (vars.mleunilineal, all processes) as said on screen.
std::string unilinealtext();

// The fit of dyad (i, j), i < j, over the states its members allow, with
// the two rules above applied after it; the pairs each rule replaced are
// added to unrelated and unilineal (mledyads.cpp).
void fitdyad(const termentries& te, int32_t i, int32_t j, mlefit& fit, int64_t& unrelated, int64_t& unilineal);

// Whether dyad (i, j), fitted to fit, is fitted again at its relatives'
// frequencies (relativefreqs; `related` on the work that makes its
// entries): it was found related (not called unrelated) and those
// frequencies differ (relativesdiffer).  The first fit's counts of the two
// rules are then dropped (mledyads.cpp).
bool refitsrelated(const mlefit& fit, int32_t i, int32_t j);

// True when the log-likelihood of the entries te is flat along Delta2 +
// 2 Delta8 - Delta4 - Delta6 - Delta7 (two-allele loci whose two
// individuals share their frequencies): mlesolve then returns the point of
// that line with the least Delta1 + ... + Delta6.
bool flatdirection(const termentries& te);

// ---- the passes over the entries (mlepasses.cpp) ----

// Gradient g[1..9] and the negative Hessian m[s][t] (s, t 1..9) of L at d.
// With adjusted entries and `use` given, the Hessian only over the states
// in use (use[1..9]); d and the direction are 0 on the others.
void mlegradient(const termentries& te, const double* d, double* g, double (*m)[10], const bool* use = nullptr);

// The derivative of L along dir at d + alpha dir, and its second
// derivative; bad when some term sum is not positive there.
void mleslope(const termentries& te, const double* d, const double* dir, double alpha, double& slope,
              double& curv, bool& bad, const bool* use = nullptr);

// L at d, and at nd (at most 8) points d[0..nd-1] at once into l.  The
// logarithm is the program's own (mlekernel.hpp), the same bits on every
// machine.
double mleloglik(const termentries& te, const double* d);
void mlelogliks(const termentries& te, const double (*d)[10], int nd, double* l);

// The Deltas of the six relationships (mixed with unrelated as said
// above) into d[0..5] (mlecall.cpp).
void relationpoints(double (*d)[10]);

// L at the nrelations points d of relationpoints from the rows' shared
// logarithms there (te.reltable; mlepasses.cpp).
void mlerelationliks(const termentries& te, const double (*d)[10], double* l);

// L at nd of the relationships' points d with adjusted terms (relative to
// Delta9's, which is above 0 at each of them): the logarithm taken of
// products of four entries' sums, the same to about 1e-15 per four
// entries (mlepasses.cpp).
void mlerelationprods(const termentries& te, const double (*d)[10], int nd, double* l);

// Call, gap and likelihood-ratio statistic of a fit whose lnl is set,
// from L at the relationships l[1..6] (mlecall.cpp).
void callrelation(const double* l, mlefit& fit);
// ---- the fits of all dyads (mleresults.cpp) ----

// Creates the side values of every dyad (zero) and starts the progress
// line of this process's dyads.
void mlestart(int64_t dyads);

// Keeps the side values of dyad k.
void mlestore(int64_t k, const mlefit& fit);

// Progress after `done` dyads of this process: one screen line that
// overwrites itself about once a second (dyads done, rate, time left), and
// its last state.
void mleprogress(int64_t done);
void mlefinish(int64_t done);

// After the sums over processes: the largest iteration count and the
// dyads not converged into the run state, and their screen line.
void mlesummary();

// Inbreeding of every individual by maximum likelihood at its own allele
// frequencies into inbml and inblrt (inbml.cpp).
void inbreedingml();

// ---- each individual's own frequencies (PCS:, POP:; adjusted.cpp) ----

struct adjwork {
    bool twoallele = false;          // SNP data: frequencies of allele 1 per locus
    std::vector<double> fi, fj;      // the two individuals' allele-1 frequencies, 1..U
    int32_t rowi = 0;                // the individual fi belongs to (0: none)
    std::vector<int8_t> mode;        // the dyad's mode at every locus, 1..U (0: not compared)
    // SNP data at own frequencies without errors (snp; adjustedsnp.cpp):
    // the reciprocals of both alleles' frequencies to each individual (0
    // allele 1, 1 allele 2; 1..U) and the dyad's loci in way order; mode is
    // room for the codes of every locus there
    bool snp = false;
    std::vector<double> ri[2], rj[2];
    std::vector<int32_t> order;
    bool related = false;            // the dyad was found related: relativefreqs
    termentries te;                  // the dyad's entries
};

// Sizes the work for entries of up to numloci2 loci (and sets snp).
void adjustedsetup(adjwork& a);

// The entries of dyad (i, j), i < j, whose allele pairs are gi and gj,
// into a.te, and its IIS counts into iis[0..8].
void adjustedentries(adjwork& a, int32_t i, int32_t j, const int8_t* gi, const int8_t* gj, int32_t* iis);

// The same for SNP data at own frequencies without errors, from the
// bit-planes, with the terms in closed form (adjustedsnp.cpp).
void snpadjustedsetup(adjwork& a);
void snpadjustedentries(adjwork& a, int32_t i, int32_t j, int32_t* iis);

// MLE:1 on SNP data with genotyping errors at the sample's counts: the
// terms of every key met, per sample size n (its rows from rowat[n] on in
// keyat, -1 when none yet),
// mode and count; and the dyad's entries (errorentries.cpp).
struct errorcache {
    std::vector<int64_t> rowat;
    // per n: 5 modes x (2N + 1) counts: 2 x the key's number + 1 if L of
    // that entry alone is flat along the two-allele direction (-1: not met
    // yet)
    std::vector<int32_t> keyat;
    std::vector<lanerow> terms;      // per key met, in the order met: its 8 terms (one cache line)
    std::vector<double> rellog;      // per key: its logarithms at the relationships
    // per merge slot (without merging per 9p + v): 8 x its key's code +
    // its mode, -1 until met
    std::vector<int32_t> slotkey;
    struct entry {
        int32_t code, weight;
    };
    std::vector<entry> staged;       // the dyad's entries in the order made
    termentries te;
};
void errorsetup(errorcache& c, const emplan& plan);

// The dyad's merged entries as snpstaged leaves them, as entries with
// errors in c.te, grouped by mode as snpentries groups them.
void errorentries(errorcache& c, const emplan& plan, const emscratch& from);

// The genotyping error rate seen in the pairs called parent-offspring
// (ERR: runs on two-allele data; errorrate.cpp): over the loci typed in
// both of every such pair, their weight, the homozygotes of the two and
// the opposite homozygotes.
struct errortally {
    int64_t pairs = 0, opposite = 0, typed = 0, homs = 0;
};
bool errorsmeasured();
void tallyerrors(errortally& t, const int8_t* gi, const int8_t* gj);
// The rate that makes the expected opposite homozygotes those seen.
double errorrate(int64_t opposite, int64_t typed, int64_t homs);
// The tallies of all processes summed; the rate's line into vars.errline
// (for the run record) and on screen.
void errorsseen(const errortally& t);
// The same over this process's dyads of the IBD table (calls known).
void dyaderrors();

// MLE:2 at each individual's own frequencies (adjustedclasses.cpp).
struct adjclassing {
    std::vector<uint8_t> codes;      // N x U: individual i's frequency code of locus u at (i-1) U + u-1
    bool ondemand = false;           // no codes kept: each dyad's made into oi / oj
    std::vector<uint8_t> oi, oj;     // on demand: the own codes of the dyad's two individuals, U each
    int32_t oiof = 0, ojof = 0;      // the individual whose codes oi / oj hold (0: none yet)
    double lo = 0.0, step = 0.0;     // code c stands for logit lo + step c
    std::vector<double> freqofcode;  // the frequency of each code
    struct keysums {
        int32_t count, suma, sumb;   // loci (by weight) and their code sums
    };
    std::vector<keysums> sums;       // per key (cell pair, way)
    std::vector<int32_t> touched;    // the keys a dyad met
    bool related = false;            // the dyad was found related: codes of relativefreqs
    std::vector<uint8_t> qi, qj;     // those codes of its two individuals, U each
    termentries te;                  // the dyad's rows
};

// Codes of every individual's frequencies, and the work of a dyad.  On
// demand (the screened pairs of KIN:, few for each individual) no N x U
// table is kept: a dyad's codes are made when it is fitted, the last
// individual of each side's kept for the next dyad.
void adjclasssetup(adjclassing& c, bool ondemand);

// The rows of dyad (i, j), i < j, into c.te and its IIS counts into iis.
void adjclassentries(adjclassing& c, int32_t i, int32_t j, int32_t* iis);

// ---- pooled classes of SNP loci (MLE:2, mleclasses.cpp) ----

// Classes of allele frequency the loci are pooled into, at most, uniform
// on the logit scale.  The maximiser's work grows with them: 128 keep every
// Delta within about 0.002 of MLE:1's (0.0016 on 500 x 50000 SNPs, kinship
// 0.0001) at 0.6 of the time of 256 (0.0006); 64 reach 0.0021.
constexpr int32_t mleclasses = 128;

struct mleclassing {
    int32_t nclass = 0;
    std::vector<int32_t> classof;    // class (0-based) of unique locus 1..U
    int32_t words = 0;               // words of one individual's planes
    std::vector<int32_t> first;      // class k: words first[k]..first[k+1]-1
    std::vector<uint64_t> planes;    // per individual: low and high code bits, word by word
    std::vector<double> terms;       // class k, way v: terms at 27 k + 3 v
    std::vector<int32_t> counts;     // a dyad's loci per class and way
    std::vector<double> moment;      // class k, way v at 9 k + v: the mean of (g1 - 2p)(g2 - 2p) / (4p(1 - p))
    std::vector<double> rellog;      // class k, way v, relationship r at nrelations (9 k + v) + r - 1: log of the terms' sum
    std::vector<uint8_t> rowflat;    // class k, way v at 9 k + v: L of that row alone flat along the two-allele direction
    termentries rows;                // the dyad's rows
};

// The classes, their terms and bit-planes of every individual.
void planclasses(mleclassing& c);

// The rows of dyad (i, j), i < j, in c.rows (one per class and way met),
// and its IIS counts into iis[0..8]; in two steps, the counts of every
// class and way (classcounts) and the rows from them (classrows).
void classentries(mleclassing& c, int32_t i, int32_t j, int32_t* iis);
void classcounts(mleclassing& c, int32_t i, int32_t j);
void classrows(mleclassing& c, int32_t* iis);

// The KING-robust counts of two individuals' planes (the classes' layout,
// `words` words): both heterozygous, opposite homozygotes, the first
// heterozygous where the second is typed, the second where the first is.
void kingcounts(const uint64_t* a, const uint64_t* b, int32_t words, int64_t* k);

// The moment (relationship-matrix) kinship of the dyad whose class counts
// c.counts holds, at the sample frequencies: the mean over its loci of
// (g1 - 2p)(g2 - 2p) / (4 p (1 - p)); like the unadjusted likelihood (and
// unlike the KING-robust kinship) it is raised by population structure.
double classmoment(const mleclassing& c);

// The KING-robust kinship of the dyad whose class counts c.counts holds.
double classmodeking(const mleclassing& c);

// The same from a dyad's merged term entries of two-allele loci (MLE:1).
double entrymoment(const termentries& te);

// A term set of one entry of weight 1 standing in mode m's group (mode 1's
// with one.allstates), its terms for the caller to fill; and the
// logarithms of its sum of terms at the relationships' Deltas
// (mlerelations.cpp).
void onerow(termentries& one, int m);
void rowrelations(const termentries& one, double* out);

// MLE:1 at the sample frequencies, SNP data with merged entries: the
// logarithms of every merge slot's terms at the relationships into table,
// and w.entries made to use them (mlerelations.cpp); nothing otherwise.
void entryrelations(emwork& w, std::vector<double>& table);

// The bit-planes of every individual alone, every locus in one class (no
// terms, no rows): enough for classking.
void kingplanes(mleclassing& c);

// The KING-robust kinship of dyad (i, j) from the planes alone (four
// popcounts a word): the screen of KIN:, the same as from its IIS counts.
double classking(const mleclassing& c, int32_t i, int32_t j);

// The same of dyads (i, j) for i = i1..i2 into out[i - i1], the second's
// planes read once for four first individuals.
void classkingrows(const mleclassing& c, int32_t i1, int32_t i2, int32_t j, double* out);
