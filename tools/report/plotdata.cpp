#include "plotdata.hpp"
#include <algorithm>
#include <cstdint>
#include "repstate.hpp"

namespace {
int bin(double v, int nb)
{
    return std::clamp(int(v * nb), 0, nb - 1);
}

void addpoint(double r, double delta9, int call)
{
    rep.ptr.push_back(float(r));
    rep.ptd9.push_back(float(delta9));
    if (call >= 0)
        rep.ptcall.push_back(uint8_t(call));
}
} // namespace

int64_t drawnpairs()
{
    return rep.kinrun ? rep.kinwritten : rep.numpairs;
}

void initplot()
{
    rep.binned = drawnpairs() > rep.maxpoints;
    rep.ptr.clear();
    rep.ptd9.clear();
    rep.ptcall.clear();
    rep.grid.clear();
    if (rep.binned)
        rep.grid.assign(size_t(gridx) * gridy, 0);
    rep.rhist.assign(rbins, 0);
    rep.fhist.assign(fbins, 0);
    rep.maxr = 0;
    rep.relnotdrawn = 0;
}

void addpair(double r, double delta9, int call)
{
    if (!rep.binned) {
        addpoint(r, delta9, call);
    } else {
        rep.grid[size_t(bin(r, gridy)) * gridx + size_t(bin(delta9, gridx))]++;
        // pairs called related stand out on top of the cells
        if (call > 0 && call < 6) {
            if (int64_t(rep.ptr.size()) < rep.maxpoints)
                addpoint(r, delta9, call);
            else
                rep.relnotdrawn++;
        }
    }
    rep.rhist[size_t(bin(r, rbins))]++;
    rep.maxr = std::max(rep.maxr, r);
}

void addindiv(double fmean)
{
    rep.fhist[size_t(bin(fmean, fbins))]++;
}
