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
    allocarray(c.rowofn, n, -1, allocfailmessage("the terms with errors"), routine);
    c.keyat.clear();
    c.terms.clear();
    c.rellog.clear();
    c.flat.clear();
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
    for (int m = 1; m <= 8; ++m) {
        if (slotofmode[m] < 0) continue;
        for (int32_t k = 0; k < from.made[m]; ++k) {
            const std::size_t f = std::size_t(from.first[m] + k);
            const int32_t n = from.en[f], x = from.ex1[f];
            int32_t& row = c.rowofn[std::size_t(n)];
            if (row < 0) {
                row = int32_t(c.keyat.size() / (5 * width));
                c.keyat.resize(c.keyat.size() + 5 * width, -1);
            }
            int32_t& key = c.keyat[(std::size_t(row) * 5 + std::size_t(slotofmode[m])) * width + std::size_t(x)];
            if (key < 0) {  // first met: the terms of this key (kept densely, in the order met)
                key = int32_t(c.flat.size());
                const double count[3] = {0.0, double(x), double(n - x)};
                double p[10];
                errorprobs(ways[m].x, ways[m].y, 2, vars.generr, count, double(n), nullptr, nullptr, p);
                onerow(one, 1);
                for (int s = 1; s <= 8; ++s) {
                    const double term = p[s] / p[9];
                    c.terms.push_back(term);
                    one.et[s - 1][0] = term;
                }
                c.rellog.resize(c.rellog.size() + nrelations);
                rowrelations(one, c.rellog.data() + std::size_t(key) * nrelations);
                c.flat.push_back(flatdirection(one));
            }
            const double* t = c.terms.data() + 8 * std::size_t(key);
            flat = flat && c.flat[std::size_t(key)];
            te.relrow[std::size_t(at)] = int32_t(key);
            te.ew[std::size_t(at)] = from.ew[f];
            for (int s = 0; s < 8; ++s) te.et[s][std::size_t(at)] = t[s];
            ++at;
        }
    }
    te.made[1] = at;
    te.w9 = 0.0;
    te.flat = int8_t(flat);
    te.reltable = c.rellog.data();
}
