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

void errorsetup(errorcache& c, const emplan& plan)
{
    const std::size_t n = 2 * std::size_t(vars.numindiv) + 1;
    const std::string message = allocfailmessage("the terms with errors");
    allocarray(c.rowat, n, int64_t(-1), message, routine);
    c.keyat.clear();
    c.terms.clear();
    c.rellog.clear();
    const std::size_t places = plan.merging ? std::size_t(plan.nslots) : 9 * (std::size_t(vars.numloci2) + 1);
    allocarray(c.slotkey, places, -1, message, routine);
    allocarray(c.staged, std::size_t(vars.numloci2) + 1, errorcache::entry{}, message, routine);
    allocarray(c.te.ew, std::size_t(vars.numloci2) + 1, 0.0, message, routine);
    for (std::vector<double>& t : c.te.et) allocarray(t, std::size_t(vars.numloci2) + 1, 0.0, message, routine);
    allocarray(c.te.relrow, std::size_t(vars.numloci2) + 1, 0, message, routine);
    c.te.adjusted = c.te.allstates = true;
}

namespace {

// The terms of key x at sample size n of mode m's entries, made when first
// met; its code 2 key + flatness.
int32_t errorkey(errorcache& c, int m, int32_t n, int32_t x)
{
    const std::size_t width = 2 * std::size_t(vars.numindiv) + 1;
    int64_t& row = c.rowat[std::size_t(n)];
    if (row < 0) {
        row = int64_t(c.keyat.size());
        c.keyat.resize(c.keyat.size() + 5 * width, -1);
    }
    int32_t& code = c.keyat[std::size_t(row) + std::size_t(slotofmode[m]) * width + std::size_t(x)];
    if (code >= 0) return code;
    // first met: the terms of this key (kept densely, in the order met)
    termentries one;
    one.adjusted = one.allstates = true;
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
    return code;
}

// The slot's (or position and way's) key code and mode, 8 code + mode,
// from the locus and way rep = 9p + v that made it.
int32_t slotkeyof(errorcache& c, const emplan& plan, int32_t rep)
{
    const int32_t p = rep / 9, v = rep % 9;
    const locusinfo& f = plan.info[std::size_t(p)];
    const int m = twovariant[v].mode;
    return 8 * errorkey(c, m, f.n, f.count[twovariant[v].sel]) + m;
}

}  // namespace

void errorentries(errorcache& c, const emplan& plan, const emscratch& from)
{
    termentries& te = c.te;
    for (int m = 1; m <= 8; ++m) {
        te.first[m] = 0;
        te.made[m] = 0;
    }
    // every entry's key code, mode and weight, from its slot (or position
    // and way), counting the entries of each mode
    const int32_t at = from.nstaged;
    int32_t to[10] = {};
    int32_t* slotkey = c.slotkey.data();
    errorcache::entry* staged = c.staged.data();
    for (int32_t e = 0; e < at; ++e) {
        const int32_t place = from.sslot[std::size_t(e)];
        int32_t weight;
        int32_t k = slotkey[place];
        if (plan.merging) {
            const emscratch::slot& x = from.slots[std::size_t(place)];
            weight = x.weight;
            if (k < 0) k = slotkey[place] = slotkeyof(c, plan, x.rep);
        } else {
            weight = int32_t(from.sweight[std::size_t(e)]);
            if (k < 0) k = slotkey[place] = slotkeyof(c, plan, place);
        }
        staged[e] = {k, weight};
        ++to[(k & 7) + 1];
    }
    // grouped by mode, each mode's in the order made
    for (int m = 1; m <= 9; ++m) to[m] += to[m - 1];
    int32_t flat = 1;
    for (int32_t e = 0; e < at; ++e) {
        const int32_t k = staged[e].code;
        flat &= (k >> 3) & 1;
        const std::size_t place = std::size_t(to[k & 7]++);
        te.relrow[place] = k >> 4;
        te.ew[place] = double(staged[e].weight);
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
