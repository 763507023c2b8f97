// The one state of a kinex-convert run: the options, the individuals, and
// the genotypes held packed until they are written individual by individual.
#pragma once
#include "run/parfile.hpp"
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// A line of the run's account: the log takes it full, the screen brief
// when it has a brief form (a long list cut short).
struct logline {
    std::string full, brief;
};

struct convstate {
    // Options.
    std::string bfile;        // PLINK prefix: bfile.bed, bfile.bim, bfile.fam
    std::string vcf;          // VCF or BCF file
    std::string out;          // output prefix: out.gen and out.par
    std::string results;      // results file named in the parameter file
    int inbreed = 1, rnddelta0 = 0, updatep = 0, outallelefre = 0;
    long long seed = 1;
    int idmode = 0;           // identifiers: 0 the IID, 1 FID_IID (PLINK input)
    bool shortids = false;    // number the individuals and write a map
    int mle = -1;             // MLE: key of the printed kinex command; -1 none
    std::string err;          // ERR: key of the printed kinex command, as given; "" none
    bool help = false;
    std::string cmdline;      // the command as given, for the log

    // Filters, with PLINK 2's names and meanings; filtering when any is given.
    std::string keepfile, removefile;
    uint32_t chrs = 0;        // --chr: bit c for chromosome c (1..22); 0 all
    int snpsonly = 0;         // 1 single-character alleles, 2 only A, C, G, T
    int maxalleles = 0;       // 0 any number
    double maf = -1, geno = -1, mind = -1;   // -1 not given
    int64_t bpspace = 0;
    bool filtering = false;
    std::string logname;      // OUT.log, written when filtering
    std::map<std::string, std::string> given;   // each filter as given: chr -> --chr 1-22

    // Individuals in input order, and the number of loci read.  ids are
    // the identifiers written to the genotype file; fids and iids the
    // family and individual IDs of the input (fids empty for VCF), which
    // the map keeps when the identifiers are numbered.
    std::vector<std::string> ids, fids, iids;
    std::string mapname;      // OUT.ids.tsv, with shortids
    int64_t numindiv = 0;
    int64_t numloci = 0;

    // Until the filters are done, the stores hold every individual of the
    // input (numindiv of them) and the sites read; indivon and siteon mark
    // the ones kept.  Sites left out by --chr, --snps-only and
    // --max-alleles are not stored; their counts are kept here.  With
    // --bp-space, each stored site's chromosome (a number per name) and
    // position.
    std::vector<uint8_t> indivon, siteon;
    int64_t sitesin = 0, nonauto = 0;
    int64_t dropchr = 0, dropsnp = 0, dropalleles = 0;
    std::vector<int32_t> sitechr;
    std::vector<int64_t> sitepos;
    std::vector<std::string> chrnames;   // by the numbers of sitechr

    // What the run did, step by step (the screen and OUT.log).
    std::vector<logline> loglines;

    // Sites with at most two alleles, site-major as in a PLINK .bed body:
    // bytespersite bytes a site, individual i in bits 2(i%4)..2(i%4)+1 of
    // byte i/4.  Codes: 0 two copies of allele 1, 1 missing, 2 one copy,
    // 3 no copy.  Held in chunks of chunksites sites, so that a growing
    // store is never copied.
    int64_t bytespersite = 0;
    int64_t chunksites = 0;
    std::vector<std::vector<uint8_t>> bichunks;
    int64_t numbi = 0;

    // Sites with 3 to 127 alleles: two allele IDs per individual (1..K,
    // 0 missing), in chunks of multichunksites sites.
    int64_t multichunksites = 0;
    std::vector<std::vector<uint8_t>> multichunks;
    int64_t nummulti = 0;

    // Per site, only when sites of both kinds can occur (VCF): the number
    // of alleles and the site's number in its own store.
    std::vector<uint8_t> numallele;
    std::vector<uint32_t> siteidx;
    int maxallele = 2;

    int layout = 2;           // genotype file layout written: 2 or 0
    int64_t groupbytes = int64_t(1) << 25;  // row text held at once while writing
    std::string allele1;      // what allele 1 of a biallelic site is

    // Output files written under temporary names until the end, and the
    // identifier maps of earlier conversions that this one leaves stale,
    // removed when the outputs are renamed.
    std::vector<std::string> tmpnames, finalnames, stalenames;
    FILE* openfile = nullptr;  // the one being written, closed on failure
};

extern convstate cv;

// Failure of a conversion: the message goes to standard error, the
// temporary files are removed and the program ends with status 1.
struct convfail {
    std::string msg;
};

[[noreturn]] void convstop(const std::string& msg);

// Clears the state for a new conversion (tests run several in one process).
void resetconv();

// Room for one more site in the biallelic or multi-allelic store; returns
// the site's bytes (bytespersite, or 2 x numindiv, all zero).
uint8_t* newbisite();
uint8_t* newmultisite();

// Bytes of biallelic site k or multi-allelic site k (from 0).
inline const uint8_t* bisite(int64_t k)
{
    return cv.bichunks[size_t(k / cv.chunksites)].data() + (k % cv.chunksites) * cv.bytespersite;
}
inline const uint8_t* multisite(int64_t k)
{
    return cv.multichunks[size_t(k / cv.multichunksites)].data() +
           (k % cv.multichunksites) * 2 * cv.numindiv;
}

// The largest sample KINEX takes is kinex's own maxnumindiv (run/parfile.hpp).

// Longest file name KINEX keeps from a parameter file.
constexpr size_t maxnamelen = 499;

// Sets bytespersite and the chunk sizes once numindiv is known.
void initstores();
