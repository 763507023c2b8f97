// Eight dyads' EMs side by side: the lanes' entry buffers, loading and
// freeing a lane, and the choice of the compiled loops (lanekernel.hpp)
// for this machine.
#include "estimation/fixed/emlanes.hpp"

#include <algorithm>

#include "estimation/common/modes.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

#define KX_KERNEL "estimation/fixed/lanekernel.hpp"
#include "estimation/simd/simdversions.hpp"

namespace {

void grow(lanemode& m, int32_t need)
{
    const int32_t cap = std::max(need, 2 * m.cap);
    const std::size_t per = std::size_t(1 + m.nt);
    std::vector<lanerow> more;
    allocarray(more, per * std::size_t(cap), lanerow{}, allocfailmessage("the term entries"), "EM_Delta");
    std::copy(m.block.begin(), m.block.end(), more.begin());
    m.block.swap(more);
    m.cap = cap;
}

void setmost(lanemode& m)
{
    m.most = 0;
    m.least = m.count[0];
    for (int l = 0; l < nlanes; ++l) {
        m.most = std::max(m.most, m.count[l]);
        m.least = std::min(m.least, m.count[l]);
    }
}

}  // namespace

// The EM starts every dyad from the same Deltas: Delta9 = d9 and the rest
// spread evenly over the states in use.
void emstart(double d9, double* d)
{
    if (vars.inbreed == 1) {
        for (int s = 1; s <= 8; ++s) d[s] = (1.0 - d9) * 0.125;
    } else {
        for (int s = 1; s <= 6; ++s) d[s] = 0.0;
        d[7] = d[8] = (1.0 - d9) * 0.5;
    }
    d[9] = d9;
}

void lanesetup(emlanes& z, int32_t entries)
{
    for (int m = 1; m <= 8; ++m) {
        lanemode& x = z.mode[m];
        x.nt = termcount[m];
        x.cap = 0;
        x.block.clear();
        std::fill(std::begin(x.count), std::end(x.count), 0);
        x.most = 0;
        x.least = 0;
        grow(x, std::max(entries, 1));
    }
    for (int s = 0; s <= 9; ++s) z.d[s] = lanerow{};
    z.w9 = lanerow{};
    std::fill(std::begin(z.busy), std::end(z.busy), 0);
    std::fill(std::begin(z.iter), std::end(z.iter), 0);
}

void laneload(emlanes& z, int lane, const termentries& w, double d9)
{
    for (int m = 1; m <= 8; ++m) {
        lanemode& x = z.mode[m];
        const int32_t made = w.made[m];
        if (made > x.cap) grow(x, made);
        const int per = 1 + x.nt;
        const std::size_t f = std::size_t(w.first[m]);
        const double* ew = w.ew.data() + f;
        const double* et[3] = {w.et[0].data() + f, w.et[1].data() + f, w.et[2].data() + f};
        lanerow* b = x.block.data();
        for (int32_t k = 0; k < made; ++k, b += per) {
            b[0].x[lane] = ew[k];
            for (int q = 0; q < x.nt; ++q) b[1 + q].x[lane] = et[q][k];
        }
        x.count[lane] = made;
        setmost(x);
    }
    double d[10];
    emstart(d9, d);
    for (int s = 1; s <= 9; ++s) z.d[s].x[lane] = d[s];
    z.w9.x[lane] = w.w9;
    z.busy[lane] = -1;
    z.iter[lane] = 0;
}

void lanefree(emlanes& z, int lane)
{
    z.busy[lane] = 0;
    for (int m = 1; m <= 8; ++m) {
        z.mode[m].count[lane] = 0;
        setmost(z.mode[m]);
    }
    for (int s = 1; s <= 9; ++s) z.d[s].x[lane] = 0.0;
    z.w9.x[lane] = 0.0;
}

void lanedeltas(const emlanes& z, int lane, double* d)
{
    for (int s = 1; s <= 9; ++s) d[s] = z.d[s].x[lane];
}

uint32_t lanesiterate(emlanes& z, double tol)
{
    return SIMDCALL(iterate, z, tol);
}
