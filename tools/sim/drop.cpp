#include "drop.hpp"

namespace {

// Random bits for the children's choices, 64 at a time.
struct coin {
    uint64_t bits = 0;
    int nbits = 0;
};

// Member m, a child, takes one gene of each parent.
inline void inherit(const std::vector<int>& fa, const std::vector<int>& mo, size_t m, rng& r,
                    coin& c, uint32_t* lab)
{
    if (c.nbits < 2) {
        c.bits = rngnext(r);
        c.nbits = 64;
    }
    lab[2 * m] = lab[2 * fa[m] + (c.bits & 1)];
    lab[2 * m + 1] = lab[2 * mo[m] + ((c.bits >> 1) & 1)];
    c.bits >>= 2;
    c.nbits -= 2;
}

} // namespace

void dropgenes(const std::vector<int>& fa, const std::vector<int>& mo, const locus& loc,
               rng& r, uint32_t* lab, uint8_t* al)
{
    coin c;
    size_t n = fa.size();
    for (size_t m = 0; m < n; m++) {
        uint32_t g = uint32_t(2 * m);
        if (fa[m] >= 0) {
            inherit(fa, mo, m, r, c, lab);
            continue;
        }
        lab[g] = g;
        lab[g + 1] = g + 1;
        al[g] = drawallele(r, loc);
        al[g + 1] = drawallele(r, loc);
    }
}

void dropsubpop(const sample& s, const popset& p, const std::vector<locus>& sub, rng& r,
                uint32_t* lab, uint8_t* al, uint8_t* org)
{
    coin c;
    size_t n = s.fa.size();
    for (size_t m = 0; m < n; m++) {
        uint32_t g = uint32_t(2 * m);
        if (s.fa[m] >= 0) {
            inherit(s.fa, s.mo, m, r, c, lab);
            continue;
        }
        int f = s.famof[m];
        const locus& own = sub[size_t(p.own[f])];
        for (uint32_t i = g; i < g + 2; i++) {
            lab[i] = i;
            org[i] = p.other[f] < 0 || rngnext(r) < p.qthr[m];
            al[i] = drawallele(r, org[i] ? own : sub[size_t(p.other[f])]);
        }
    }
}
