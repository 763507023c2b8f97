// The logarithms of rows whose terms every pair shares, at the six
// relationships' Deltas, taken once per run so that a pair's final pass
// needs the logarithms of its own point only (mlerelationliks): MLE:2's
// classes and ways (mleclasses.cpp) and MLE:1's merge slots on SNP data.
#include <array>

#include "estimation/common/modes.hpp"
#include "estimation/mle/mle.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void onerow(termentries& one, int m)
{
    if (one.ew.empty()) {
        one.ew.assign(1, 1.0);
        for (std::vector<double>& t : one.et) t.assign(1, 0.0);
        one.en.assign(1, 0);
        one.ex1.assign(1, 0);
        one.ex2.assign(1, 0);
    }
    for (int s = 1; s <= 8; ++s) one.first[s] = one.made[s] = 0;
    one.made[one.allstates ? 1 : m] = 1;
}

void rowrelations(const termentries& one, double* out)
{
    static const auto points = [] {
        std::array<double[10], nrelations> d{};
        relationpoints(d.data());
        return d;
    }();
    mlelogliks(one, points.data(), nrelations, out);
}

void entryrelations(emwork& w, std::vector<double>& table)
{
    const emplan& plan = w.plan;
    if (!plan.alltwo || !plan.merging || plan.nslots == 0) return;
    const std::string message = allocfailmessage("the merge tables");
    const std::size_t slots = std::size_t(plan.nslots);
    allocarray(table, std::size_t(nrelations) * slots, 0.0, message, "EM_Delta");
    std::vector<int8_t> done;
    allocarray(done, slots, int8_t(0), message, "EM_Delta");
    termentries one;
    for (int32_t p = 1; p <= vars.numloci2; ++p)
        for (int v = 0; v < 9; ++v) {
            const std::size_t slot = std::size_t(plan.slotof[9 * std::size_t(p) + std::size_t(v)]);
            if (done[slot]) continue;
            done[slot] = 1;
            const locusinfo& f = plan.info[std::size_t(p)];
            const int m = twovariant[v].mode, sel = twovariant[v].sel;
            onerow(one, m);
            one.en[0] = f.n;
            one.ex1[0] = f.count[sel];
            one.ex2[0] = f.count[1 - sel];
            entryterms(one, m);
            rowrelations(one, table.data() + std::size_t(nrelations) * slot);
        }
    w.entries.reltable = table.data();
    allocarray(w.entries.relrow, w.entries.ew.size(), 0, message, "EM_Delta");
}
