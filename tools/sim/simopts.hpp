// Command-line options of kinex-sim.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct opts {
    long long n = 100;            // individuals written
    long long loci = 1000;
    bool multi = false;           // multi-allelic markers instead of SNPs
    int layout = 2;               // genotype layout 0, 1 or 2
    double missing = 0;           // share of genotypes written as missing
    double error = 0;             // share of typed genotypes written wrong
    uint64_t seed = 1;            // the simulator's own seed
    std::string out = "sim";      // output prefix
    std::vector<int> families;    // cycle of family types
    int subpops = 1;              // subpopulations
    double fst = 0.05;            // their F_ST (Balding-Nichols), with subpops > 1
    double admixed = 0;           // share of families admixed of two subpopulations
    bool plink = false;           // P.ped and P.map
    bool bed = false;             // P.bed, P.bim and P.fam
    bool help = false;
    // Values for the parameter file.
    int inbreed = 1;
    std::string results;          // empty: prefix + ".out"
    long long kseed = 1;
    int rnddelta0 = 0, updatep = 0, outallelefre = 0;
};

// Fills o from the arguments; false with a message in err on a bad one.
bool parseopts(int argc, const char* const* argv, opts& o, std::string& err);

std::string helptext();
