// The one state of a kinex-report run: options, the individuals of the
// results file, and what the plot needs, gathered while the file streams by.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "estimation/estimation.hpp"

// A text file read line by line: the results file, the side tables beside
// it, the identifier map of kinex-convert, the population labels.
struct textin {
    std::string name;
    FILE* f = nullptr;
    std::vector<char> buf;            // read buffer
    size_t pos = 0, len = 0;
    bool eof = false;
    int64_t lineno = 0;               // number of the last line read
    std::string line;                 // a line that ran over the buffer's end
};

// An output: written under a temporary name beside its target and renamed
// at the end, or, when the name is a device or a pipe, written directly.
struct outfile {
    std::string name;                 // as the user gave it
    std::string target;               // what the temporary file is renamed to
    std::string tmp;                  // "" when written directly
    FILE* f = nullptr;
};

// An earlier report's output that this report does not write: its name,
// what it is ("the related-pairs table") and why none is written now.
struct stalefile {
    std::string name, what, why;
};

// Relationship calls of the maximum-likelihood table, named as kinex names
// them (relations[c].name); 0 is a pair without a common locus (NA).
constexpr int numcalls = nrelations + 1;

struct repstate {
    // Options.
    std::string infile;               // the KINEX results file
    std::string out;                  // prefix of the outputs
    std::string pairsname, indivname, svgname, kinname, relname;
    std::string mlename, idsname;     // side table and identifier map
    bool mlegiven = false, idsgiven = false;   // named on the command line
    // The inbreeding and components tables beside the results file, the
    // population labels that colour the components plot, and its name.
    std::string inbname, pcsname, popname, pcssvgname;
    bool inbgiven = false, pcsgiven = false;
    int64_t maxpoints = 20000;        // more pairs than this are binned
    bool minkinset = false, relkinset = false;
    double minkin = 0, relkin = 0;    // --min-kinship, --related
    bool help = false;

    // Read buffer size of every input.
    size_t bufsize = size_t(1) << 22;
    textin res, mle, map, inb, pcs, pop;
    bool hasmle = false, hasmap = false, related = false;
    bool hasinb = false, haspcs = false, haspop = false;
    bool mlerun = false;              // the run record names MLE 1 or 2
    // A run with KIN:x, whose run record says "IBD coefficient table = not
    // written: KIN:x streamed ...": the results file has no IBD table; the
    // pairs of kinship x or more (every pair with KIN:-1) are in the
    // streamed table at rep.mlename, kinwritten of them by the record.
    bool kinrun = false, kinall = false;
    std::string kinx;                 // x as the record writes it
    int64_t kinwritten = 0;
    bool haspairs = true;             // the pair table is written (not after KIN:x, x >= 0)
    // The parameter, genotype and results file names of the run record,
    // as kinex had them (from the folder it ran in).
    std::string recpar, recgen, recout;
    bool mlestale = false;            // a side table of an earlier run, ignored
    // The run identifier of the results file's maximum-likelihood table
    // (run record) and of the table's first line ("" for a kinex that
    // wrote none); the table's first line says whether its values are at
    // the sample frequencies while the results file holds the joint
    // estimate (UpdateP 1).
    std::string runid, mlerunid;
    bool mlejoint = false;
    std::string mlewhy;               // why a table beside the results file was left out
    bool inbstale = false, pcsstale = false;
    std::string inbwhy, pcswhy;
    int64_t numunconv = 0;            // merged pairs whose fit did not converge

    // Individuals, numbered from 1 (element 0 unused), learned from the IBD
    // table (after KIN:, from the inbreeding table); cols[i] is what the tables write for individual i: its
    // identifier, or its FID and IID from the map.
    int64_t numindiv = 0;
    std::vector<std::string> ids, cols;
    int64_t numpairs = 0;

    // The identifier map: per individual (from 1) the short identifier of
    // the results file, the family and the original identifier.
    bool mapfid = false;
    std::vector<std::string> mapids, mapfids, mapiids;

    // Per unordered pair (j < k), in the order of the pairs: a hash of the
    // line of (j, k), checked against the line of (k, j) with the roles
    // exchanged.  Grows as the table is read.
    std::vector<uint64_t> pairhash;

    // Pairs without a common locus, individuals without a genotype.
    int64_t numnapairs = 0, numnoindiv = 0;
    int64_t numkin = 0, numrel = 0;   // lines of the kinship and related tables
    int64_t callcount[numcalls] = {};

    // Plot data: the pairs themselves (r, Delta9, call), or when there are
    // more than maxpoints, their counts on a grid of gridx x gridy cells
    // over Delta9 0..1 and r 0..1; then the pairs called related are kept
    // as points too, up to maxpoints of them.
    bool binned = false;
    std::vector<float> ptr, ptd9;
    std::vector<uint8_t> ptcall;
    std::vector<uint32_t> grid;
    int64_t relnotdrawn = 0;
    double maxr = 0;
    std::vector<int64_t> rhist;       // pairs by r, bins of 0.01 over 0..1
    std::vector<int64_t> fhist;       // individuals by F_Mean, bins of 0.02

    // The components table: per individual (from 1) its first two
    // components (the second 0 when there is one) and whether it is in the
    // unrelated set the components were found on; the share of the
    // variance each component explains (from 1).
    int numpcs = 0;
    std::vector<double> pc1, pc2, pcvar;
    std::vector<uint8_t> unrel, pcna;
    int64_t numpcna = 0;              // individuals without components (NA)
    // The population labels: per individual (from 1) the index of its
    // label in popnames, in the order the file first names them.
    std::vector<int> popof;
    std::vector<std::string> popnames;

    std::vector<outfile> outs;
    bool tostdout = false;            // an output is standard output
    // Outputs of an earlier report under the names of this one's, which
    // writes none of them: removed when the outputs are renamed.
    std::vector<stalefile> stale;
};

extern repstate rep;

constexpr int gridx = 100, gridy = 200, rbins = 100, fbins = 50;

// Failure: the message goes to standard error and the program ends with 1.
struct repfail {
    std::string msg;
};

[[noreturn]] void repstop(const std::string& msg);

// A failure at the line just read from the results file, or from another
// input.
[[noreturn]] void linestop(const std::string& msg);
[[noreturn]] void linestop(const textin& t, const std::string& msg);

void resetrep();
