// Family types, the simulated pedigree and the individuals written.
#pragma once
#include <string>
#include <vector>

// Two sampled members of one family, a listed before b in the files.
struct relpair {
    int a, b;          // sample indices
    const char* rel;   // relation label (PO, FS, ...)
    double kexp;       // pedigree kinship coefficient
};

struct sample {
    // The whole pedigree: parents' member indices, -1 for founders.
    // Parents always come before their children.
    std::vector<int> fa, mo;
    std::vector<int> famof;             // family of each member, 0 for the first
    long long nfam = 0;                 // families (a lone founder is one)
    // Per sampled individual, in file order.
    std::vector<int> who;               // pedigree member
    std::vector<std::string> id, fam, role;
    std::vector<int> sex;               // 1 male, 2 female
    std::vector<int> pat, mat;          // sample index of a sampled parent, or -1
    std::vector<double> fexp;           // pedigree inbreeding coefficient
    std::vector<relpair> pairs;         // every pair within one family
};

int familytypes();
const char* familyname(int t);
const char* familywhat(int t);
int familysize(int t);                 // sampled members

// LIST: comma-separated family names, or "all", "outbred", "inbred"; a name
// may repeat to weight the cycle.
bool parsefamilies(const std::string& list, std::vector<int>& types, std::string& err);

// Fills n sampled individuals with whole families, cycling through types.
// A family too big for the places left is skipped for the next one that
// fits; single unrelated individuals fill what no family fits.
void buildsample(long long n, const std::vector<int>& types, sample& s);
