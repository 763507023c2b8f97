// MLE:1 on SNP data with genotyping errors (ERR:), at the sample's allele
// counts: the dyad's merged entries keep their keys (sample size n and the
// count x of the allele their mode names) and get the terms of all nine
// states with errors (errorprobs.hpp), made once per key and kept with the
// key's logarithms at the relationships and whether it is flat along the
// two-allele direction (so that a dyad needs neither of its own).
#include "estimation/mle/errorprobs.hpp"
#include "estimation/mle/mle.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

// The observed genotypes of each mode's entries at a two-allele locus,
// allele 1 the one the entry's key counts (for modes 2 and 7 the first's
// and the second's).
struct modeway {
    int8_t x[2], y[2];
};
constexpr modeway ways[9] = {{}, {{1, 1}, {1, 1}}, {{1, 1}, {2, 2}}, {{1, 1}, {1, 2}}, {},
                             {{1, 2}, {1, 1}}, {},               {{1, 2}, {1, 2}}, {}};
constexpr int slotofmode[9] = {-1, 0, 1, 2, -1, 3, -1, 4, -1};

}  // namespace

void errorsetup(errorcache& c)
{
    const std::size_t n = 2 * std::size_t(vars.numindiv) + 1;
    allocarray(c.rowat, n, int64_t(-1), allocfailmessage("the terms with errors"), routine);
    c.keyat.clear();
    c.terms.clear();
    c.rellog.clear();
    const std::string message = allocfailmessage("the terms with errors");
    allocarray(c.te.ew, std::size_t(vars.numloci2) + 1, 0.0, message, routine);
    for (std::vector<double>& t : c.te.et) allocarray(t, std::size_t(vars.numloci2) + 1, 0.0, message, routine);
    allocarray(c.te.relrow, std::size_t(vars.numloci2) + 1, 0, message, routine);
    c.te.adjusted = c.te.allstates = true;
}

void errorentries(errorcache& c, const termentries& from)
{
    const std::size_t width = 2 * std::size_t(vars.numindiv) + 1;
    termentries& te = c.te;
    termentries one;
    one.adjusted = one.allstates = true;
    bool flat = true;
    int32_t at = 0;
    for (int m = 1; m <= 8; ++m) {
        te.first[m] = 0;
        te.made[m] = 0;
    }
    // keyat holds 2 key + (whether the key's entry is flat)
    for (int m = 1; m <= 8; ++m) {
        if (slotofmode[m] < 0) continue;
        const std::size_t modeat = std::size_t(slotofmode[m]) * width;
        for (int32_t k = 0; k < from.made[m]; ++k) {
            const std::size_t f = std::size_t(from.first[m] + k);
            const int32_t n = from.en[f], x = from.ex1[f];
            int64_t& row = c.rowat[std::size_t(n)];
            if (row < 0) {
                row = int64_t(c.keyat.size());
                c.keyat.resize(c.keyat.size() + 5 * width, -1);
            }
            int32_t& code = c.keyat[std::size_t(row) + modeat + std::size_t(x)];
            if (code < 0) {  // first met: the terms of this key (kept densely, in the order met)
                const int32_t key = int32_t(c.terms.size());
                const double count[3] = {0.0, double(x), double(n - x)};
                double p[10];
                errorprobs(ways[m].x, ways[m].y, 2, vars.generr, count, double(n), nullptr, nullptr, p);
                onerow(one, 1);
                lanerow row8;
                for (int s = 1; s <= 8; ++s) one.et[s - 1][0] = row8.x[s - 1] = p[s] / p[9];
                c.terms.push_back(row8);
                c.rellog.resize(c.rellog.size() + nrelations);
                rowrelations(one, c.rellog.data() + std::size_t(key) * nrelations);
                code = 2 * key + int32_t(flatdirection(one));
            }
            flat = flat && (code & 1) != 0;
            te.relrow[std::size_t(at)] = code >> 1;
            te.ew[std::size_t(at)] = from.ew[f];
            ++at;
        }
    }
    // the terms, in a loop of their own: the keys' rows are met in no
    // order and rarely in the cache, so each is asked for well ahead
    constexpr int32_t ahead = 16;
    const int32_t* key = te.relrow.data();
    double* et[8];
    for (int s = 0; s < 8; ++s) et[s] = te.et[s].data();
    for (int32_t e = 0; e < at; ++e) {
        if (e + ahead < at) __builtin_prefetch(c.terms[std::size_t(key[e + ahead])].x);
        const double* t = c.terms[std::size_t(key[e])].x;
        for (int s = 0; s < 8; ++s) et[s][e] = t[s];
    }
    te.made[1] = at;
    te.w9 = 0.0;
    te.flat = int8_t(flat);
    te.reltable = c.rellog.data();
}
