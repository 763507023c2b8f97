// The run state: every value a run reads, derives or estimates lives here,
// in one instance per process (`vars`).  Stages talk to each other only
// through it.
//
// Array convention
// ----------------
// Items are numbered from 1, as everywhere in the program's messages and
// files: individuals 1..numindiv, loci of the file 1..numloci, unique loci
// 1..numloci2, alleles 1..numallallele, dyads 1..D, Delta states and IIS
// modes 1..9.
//  * One-dimensional arrays are std::vectors with one element more than
//    their items; element 0 is unused (locusloc and ca3 use it for their own
//    item 0), so x[i] is item i.
//  * Arrays of two or three indices are flat std::vectors, first index
//    fastest, with NO unused element; reach them only through the inline
//    offset functions below, which take the 1-based indices.
//  * The packed SNP store is the one exception to 1-based numbering inside a
//    column: words are numbered 0..W-1 (see snpcol).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct variables {
    // ---- parameters and names (command line and parameter file) ----
    int32_t numindiv = -2147483647;  // N, absent until read
    int32_t numloci = -2147483647;   // L, absent until read
    int32_t dataform = 0;            // genotype layout 0, 1 or 2
    int32_t inbreed = 0;             // 1: all nine Deltas estimated
    int32_t rnddelta0 = 0;           // 1: random starting Deltas
    int32_t updatep = -1;            // 1: joint allele frequencies; -1 absent
    int32_t outallelefre = 0;        // 1: write allele frequencies
    int32_t iseed = 0;               // seed as entered
    int32_t idum = 0;                // generator state word
    int32_t ompthd = 1;              // OpenMP threads for the joint E-step
    int32_t mle = 0;                 // Deltas: 0 EM, 1 maximum likelihood, 2 pooled SNP classes
    int32_t pcs = 0;                 // principal components of ancestry (PCS:), 0 off
    std::string popfile;             // population labels (POP:), "" off
    double generr = 0.0;             // genotyping error rate of the likelihood (ERR:), 0 off
    std::string errline;             // ERR: the error rate seen in parent-offspring pairs ("": not measured)
    bool kin = false;                // KIN: the pairs streamed to the side table, no N x N arrays
    double kinmin = 0.0;             // KIN: the least kinship of a pair written (-1: every pair)
    int64_t kinfitted = 0;           // KIN: pairs the maximiser ran for
    int64_t kinwritten = 0;          // KIN: pairs written
    std::string parfile = "VARN.par";
    std::string gtypefile;
    std::string outfile;
    std::string commandline;
    int32_t outslot = -1;  // the results file's slot of safefile (-1: none)
    int32_t rawslot = -1;  // the raw-allele side file's slot (-1: none)
    // The side tables of a maximum-likelihood run (sidesuffix of
    // output/output.hpp: 0 the pairs, 1 the inbreeding, 2 the components),
    // beside the results file's target, and their slots (-1: none).
    std::array<std::string, 3> sidefile;
    std::array<int32_t, 3> sideslot{-1, -1, -1};
    std::string runid;     // 16 hex digits naming this run in the results file and the table
    std::array<std::string, 2> date1{std::string(8, ' '), std::string(8, ' ')};
    std::array<std::string, 2> time1{std::string(10, ' '), std::string(10, ' ')};

    // ---- process layout ----
    int32_t threadid = 0;    // rank of this process
    int32_t numthreads = 1;  // number of processes
    bool thd0q = false;      // true on rank 0
    int32_t indivl1 = 0;     // first individual of this process's share
    int32_t indivl2 = 0;     // last individual of this process's share

    // ---- fixed texts ----
    std::string prntline;                  // 65 hyphens, set by showversion
    std::string c09 = "0123456789";  // digit table of itoc
    std::string memerr;                    // the out-of-memory message

    // ---- genotype data ----
    std::vector<std::string> individ;   // 1..N, 20 characters each
    std::array<int8_t, 8> snpgtype{};   // offset snpgtypeat(slot, code)
    std::vector<uint32_t> snp;          // packed SNPs, offset snpcol(i) + word
    int32_t snpwords = 0;               // W: words per individual in snp
    std::vector<int8_t> indivgtype;     // 2 x U x N allele codes, gtypeat()
    std::vector<int8_t> obsnumallele;   // 1..L while reading, 1..U after
    int32_t numloci2 = 0;               // U
    int32_t numallallele = 0;           // A
    int32_t maxnumallele = 0;
    int32_t maxrawallele = 0;
    std::vector<int32_t> markeridx;     // 1..L
    std::vector<int32_t> markercnt;     // 1..U
    std::vector<int32_t> locusloc;      // 0..U
    std::string gtypewarning;           // master: what the genotype file
                                        // holds beyond what was read, or empty

    // ---- estimation and results ----
    std::vector<int32_t> numa;          // 1..A
    std::vector<double> allelecnt;      // 1..A
    std::vector<int32_t> nummisg;       // 1..U
    std::vector<int32_t> indvar;        // 3 x N, indvarat()
    std::vector<int32_t> iisdyad;       // 9 x D, iisat()
    std::vector<float> delta;           // 9 x N x N, deltaat()
    std::vector<double> inb;            // 1..N
    std::vector<double> fsd;            // 1..N
    std::vector<double> toliter;        // 1..400
    double tol2 = 0.0;
    int32_t iter2 = 0;
    std::vector<std::string> ca3;       // 0..maxrawallele

    // ---- maximum-likelihood Deltas (mle not 0), per dyad 1..D ----
    std::vector<double> mlelnl;         // log-likelihood at the maximum
    std::vector<double> mlelrt;         // likelihood-ratio statistic against unrelated
    std::vector<double> mlegap;         // lead of the call over the runner-up
    std::vector<int32_t> mlecall;       // the relationship called, 1..6
    std::vector<int32_t> mleiter;       // iterations; negative when not converged
    int32_t mlemost = 0;                // most iterations of a dyad
    int32_t mlenotconv = 0;             // dyads not converged
    int64_t mleunrelated = 0;           // pairs called unrelated and not related beyond chance
    int64_t mleunilineal = 0;           // pairs called PO, second- or third-degree without Delta7 beyond chance
    int64_t mlefitted = 0;              // pairs fitted (typed at a locus in common)

    // ---- ancestry: individual-specific allele frequencies (PCS:, POP:) ----
    // Components (PCS: k): found on a set of mutually unrelated individuals,
    // the others projected onto them; the allele-1 frequency of individual
    // i at SNP u follows from its scores by the regression of the dosage / 2
    // on 1 and the scores over the unrelated set (so that no relative's
    // genes enter another's frequencies), coefficients pcbeta(0..k, u),
    // each component's deviation scaled by pcshrink(c) for the noise of
    // the fit, kept away from 0 and 1 (indivfreqs).
    std::vector<double> pcscore;        // k x N, pcat(c, i), c = 1..k
    std::vector<double> pcvar;          // 1..k: share of the variance explained
    std::vector<double> pcbeta;         // U x (k + 1), betaat(c, u), c = 0..k
    std::vector<int8_t> unrelset;       // 1..N: 1 in the unrelated set (PCS:, and POP: on SNP data)
    // the members of the set related to individual i (KING-robust kinship
    // 0.0442 or more): setkin[setkinfirst[i] .. setkinfirst[i + 1] - 1]
    std::vector<int32_t> setkinfirst;   // 1..N + 1
    std::vector<int32_t> setkin;
    // KIN: above kinmargin, streamed screen of the set: the pairs whose
    // KING-robust kinship is not below kinmin - kinmargin, the only ones
    // the stream fits; first individual i's second ones (ascending) at
    // kincand[kincandfirst[i] .. kincandfirst[i + 1] - 1]; empty when not
    // made (or when they were too many to keep)
    std::vector<int64_t> kincandfirst;  // 1..N + 1
    std::vector<int32_t> kincand;
    std::vector<double> pcshrink;       // 1..k: the scale of each component's fitted deviations (0..1)
    std::vector<double> pclever;        // 1..N: z_i^T (Z^T Z)^-1 z_i of the set in the frequency model, 0 outside
    std::vector<double> pcleverkept;    // 1..N: the same after the scaling, z_i^T D (Z^T Z)^-1 z_i
    int32_t numunrel = 0;
    int32_t pcsused = 0;                // the leading components above the noise, used for the frequencies
    bool ownfreq = false;               // the likelihood uses each individual's own frequencies
    bool structure = false;             // without own frequencies: the data showed structure
    // Populations (POP: file): individual i belongs to popof[i] (1..numpops);
    // popfreq(a, k) is the frequency of allele a (1..A) in population k,
    // its deviation from the whole sample's scaled by popshrink(k) for the
    // noise of the counts.
    int32_t numpops = 0;
    std::vector<int32_t> popof;         // 1..N
    std::vector<std::string> popname;   // 1..numpops
    std::vector<double> popfreq;        // A x numpops, popfreqat(a, k)
    std::vector<double> popshrink;      // 1..numpops: the scale of each population's deviations (0..1)
    // SNP data: a counted member's own gene copies move its population's
    // frequency of allele 1 at unique locus u by popselfw(u, k) y -
    // popselfv(u, k), y its allele-1 copies / 2 (what leaving it out of the
    // counts would take away).
    std::vector<double> popselfw;       // U x numpops, popselfat(u, k)
    std::vector<double> popselfv;       // U x numpops, popselfat(u, k)
    std::vector<double> freqlow;        // 1..U: individual frequencies stay in [freqlow, 1 - freqlow]
    // Per individual, inbreeding by maximum likelihood at its own allele
    // frequencies (MLE not 0).
    std::vector<double> inbml;          // 1..N
    std::vector<double> inblrt;         // 1..N: 2 (L at F - L at 0)
    std::vector<double> inbse;          // 1..N: standard error of inbml
    int32_t numautoz = -1;              // individuals whose own genes may be identical by descent in their pairs (-1: not decided)
    std::vector<int8_t> autoz;          // 1..N: 1 if so (decideautozygous)
};

extern variables vars;

// Puts every field back to its start value (used between tests).
void resetvariables();

// ---- offsets into the multi-index arrays (1-based indices) ----

// snpgtype(slot, code): allele of slot 1..2 for SNP code 0..3.
inline std::size_t snpgtypeat(int slot, int code) { return std::size_t(code) * 2 + std::size_t(slot - 1); }

// First word of individual i's column in snp (words 0..snpwords-1 follow).
inline std::size_t snpcol(int i) { return std::size_t(i - 1) * std::size_t(vars.snpwords); }

// indivgtype(a, u, i): allele slot a (1..2) at unique locus u of individual i.
inline std::size_t gtypeat(int a, int u, int i)
{
    return std::size_t(a - 1) + 2 * (std::size_t(u - 1) + std::size_t(vars.numloci2) * std::size_t(i - 1));
}

// indvar(k, i): k = 1 missing, 2 homozygous, 3 heterozygous.
inline std::size_t indvarat(int k, int i) { return std::size_t(k - 1) + 3 * std::size_t(i - 1); }

// Serial number of the dyad i < j: (1,2), (1,3), ..., (1,N), (2,3), ...
inline int64_t dyadnum(int i, int j, int n) { return int64_t(i - 1) * (2 * int64_t(n) - i) / 2 + (j - i); }

// iisdyad(m, k): mode m (1..9) of dyad k.
inline std::size_t iisat(int m, int64_t k) { return std::size_t(m - 1) + 9 * std::size_t(k - 1); }

// pcscore(c, i): component c (1..pcs) of individual i.
inline std::size_t pcat(int c, int i) { return std::size_t(c - 1) + std::size_t(vars.pcs) * std::size_t(i - 1); }

// pcbeta(c, u): coefficient c (0 the intercept, 1..pcs the components) of
// unique locus u; the loci of one coefficient stand together, so that an
// individual's frequencies are made coefficient by coefficient over all
// loci.
inline std::size_t betaat(int c, int u) { return std::size_t(u - 1) + std::size_t(vars.numloci2) * std::size_t(c); }

// popfreq(a, k): allele a (1..numallallele) in population k (1..numpops).
inline std::size_t popfreqat(int a, int k)
{
    return std::size_t(a - 1) + std::size_t(vars.numallallele) * std::size_t(k - 1);
}

// popselfw(u, k), popselfv(u, k): unique locus u (1..numloci2) in
// population k (1..numpops).
inline std::size_t popselfat(int u, int k)
{
    return std::size_t(u - 1) + std::size_t(vars.numloci2) * std::size_t(k - 1);
}

// delta(k, j, i): Delta k of the pair seen with i as first individual.
inline std::size_t deltaat(int k, int j, int i)
{
    return std::size_t(k - 1) + 9 * (std::size_t(j - 1) + std::size_t(vars.numindiv) * std::size_t(i - 1));
}
