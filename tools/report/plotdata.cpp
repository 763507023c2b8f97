#include "plotdata.hpp"
#include <algorithm>
#include "repstate.hpp"

namespace {
int bin(double v, int nb)
{
    return std::clamp(int(v * nb), 0, nb - 1);
}
} // namespace

void initplot()
{
    rep.binned = rep.numpairs > rep.maxpoints;
    rep.ptr.clear();
    rep.ptd9.clear();
    rep.grid.clear();
    if (rep.binned) {
        rep.grid.assign(size_t(gridx) * gridy, 0);
    } else {
        rep.ptr.reserve(size_t(rep.numpairs));
        rep.ptd9.reserve(size_t(rep.numpairs));
    }
    rep.rhist.assign(rbins, 0);
    rep.fhist.assign(fbins, 0);
    rep.maxr = 0;
}

void addpair(double r, double delta9)
{
    if (rep.binned) {
        rep.grid[size_t(bin(r, gridy)) * gridx + size_t(bin(delta9, gridx))]++;
    } else {
        rep.ptr.push_back(float(r));
        rep.ptd9.push_back(float(delta9));
    }
    rep.rhist[size_t(bin(r, rbins))]++;
    rep.maxr = std::max(rep.maxr, r);
}

void addindiv(double fmean)
{
    rep.fhist[size_t(bin(fmean, fbins))]++;
}
