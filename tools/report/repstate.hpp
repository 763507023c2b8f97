// The one state of a kinex-report run: options, the individuals of the
// results file, and what the plot needs, gathered while the file streams by.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct repstate {
    // Options.
    std::string infile;               // the KINEX results file
    std::string out;                  // prefix of the three outputs
    std::string pairsname, indivname, svgname;
    int64_t maxpoints = 20000;        // more pairs than this are binned
    bool help = false;

    // The results file being read.
    FILE* in = nullptr;
    std::vector<char> buf;            // read buffer
    size_t bufsize = size_t(1) << 22;
    size_t bufpos = 0, buflen = 0;
    bool ineof = false;
    int64_t lineno = 0;               // number of the last line read
    std::string line;                 // a line that ran over the buffer's end

    // Individuals, numbered from 1 (element 0 unused).
    int64_t numindiv = 0;
    std::vector<std::string> ids;
    int64_t numpairs = 0;

    // Per unordered pair (j < k): a hash of the line of (j, k), checked
    // against the line of (k, j) with the roles exchanged.
    std::vector<uint64_t> pairhash;

    // Plot data: the pairs themselves (r, Delta9), or when there are more
    // than maxpoints, their counts on a grid of gridx x gridy cells over
    // Delta9 0..1 and r 0..1.
    bool binned = false;
    std::vector<float> ptr, ptd9;
    std::vector<uint32_t> grid;
    double maxr = 0;
    std::vector<int64_t> rhist;       // pairs by r, bins of 0.01 over 0..1
    std::vector<int64_t> fhist;       // individuals by F_Mean, bins of 0.02

    // Output files written under temporary names until the end.
    std::vector<std::string> tmpnames, finalnames;
    std::vector<FILE*> openfiles;
};

extern repstate rep;

constexpr int gridx = 100, gridy = 200, rbins = 100, fbins = 50;

// Failure: the message goes to standard error and the program ends with 1.
struct repfail {
    std::string msg;
};

[[noreturn]] void repstop(const std::string& msg);

// A failure at the line just read.
[[noreturn]] void linestop(const std::string& msg);

void resetrep();
