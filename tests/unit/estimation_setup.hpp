// Run states for the estimation tests, set up by hand as locus preparation
// would leave them, and a small gene-dropping simulator.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "genotypes/snpstore.hpp"
#include "run/stop.hpp"
#include "run/variables.hpp"

namespace esttest {

const int missing = -1;

// A clean run state: no output, tolerance of UpdateP 0, a fixed seed.
inline void freshstate(int inbreed = 0)
{
    resetvariables();
    stopwaitseconds = 0;
    vars.thd0q = false;
    vars.updatep = 0;
    vars.inbreed = inbreed;
    vars.rnddelta0 = 0;
    vars.idum = -12345;
    vars.memerr = "Too many individuals and/or loci. Out of memory!";
    const int8_t table[8] = {0, 0, 1, 1, 2, 2, 1, 2};
    for (int k = 0; k < 8; ++k) vars.snpgtype[std::size_t(k)] = table[k];
}

// Loci, weights and allele numbering common to both layouts.
inline void lociof(int32_t n, const std::vector<int>& alleles, const std::vector<int32_t>& weights)
{
    const int32_t u = int32_t(alleles.size());
    vars.numindiv = n;
    vars.numloci = 0;
    vars.numloci2 = u;
    vars.indivl1 = 1;
    vars.indivl2 = n;
    vars.markercnt.assign(std::size_t(u) + 1, 1);
    vars.obsnumallele.assign(std::size_t(u) + 1, 0);
    vars.locusloc.assign(std::size_t(u) + 1, 0);
    vars.maxnumallele = 0;
    for (int32_t l = 1; l <= u; ++l) {
        if (!weights.empty()) vars.markercnt[std::size_t(l)] = weights[std::size_t(l - 1)];
        vars.numloci += vars.markercnt[std::size_t(l)];
        vars.obsnumallele[std::size_t(l)] = int8_t(alleles[std::size_t(l - 1)]);
        vars.locusloc[std::size_t(l)] = vars.locusloc[std::size_t(l - 1)] + alleles[std::size_t(l - 1)];
        if (alleles[std::size_t(l - 1)] > vars.maxnumallele) vars.maxnumallele = alleles[std::size_t(l - 1)];
    }
    vars.numallallele = vars.locusloc[std::size_t(u)];
}

// SNP data (layout 2): copies[i][l] is the number of copies of allele 1
// (0, 1, 2) of individual i+1 at locus l+1, or `missing`.
inline void snpdata(const std::vector<std::vector<int>>& copies, const std::vector<int32_t>& weights = {})
{
    const int32_t n = int32_t(copies.size()), u = int32_t(copies[0].size());
    lociof(n, std::vector<int>(std::size_t(u), 2), weights);
    vars.dataform = 2;
    vars.snpwords = (u - 1) / 16 + 1;
    vars.snp.assign(std::size_t(vars.snpwords) * std::size_t(n), 0u);
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t l = 1; l <= u; ++l) {
            int c = copies[std::size_t(i - 1)][std::size_t(l - 1)];
            uint32_t code = c == 2 ? 1u : c == 1 ? 3u : c == 0 ? 2u : 0u;
            putsnpcode(vars.snp.data() + snpcol(i), l, int(code));
        }
}

// Multi-allelic data (layout 0): pairs[i][l] the allele codes of individual
// i+1 at locus l+1 (0 0 missing); alleles[l] the alleles of locus l+1.
inline void multidata(const std::vector<std::vector<std::pair<int, int>>>& pairs, const std::vector<int>& alleles,
                      const std::vector<int32_t>& weights = {})
{
    const int32_t n = int32_t(pairs.size()), u = int32_t(alleles.size());
    lociof(n, alleles, weights);
    vars.dataform = 0;
    vars.indivgtype.assign(2 * std::size_t(u) * std::size_t(n), 0);
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t l = 1; l <= u; ++l) {
            auto [a, b] = pairs[std::size_t(i - 1)][std::size_t(l - 1)];
            vars.indivgtype[gtypeat(1, l, i)] = int8_t(a < b ? a : b);
            vars.indivgtype[gtypeat(2, l, i)] = int8_t(a < b ? b : a);
        }
}

// Delta k of the pair seen with i as first individual.
inline float deltaof(int k, int32_t i, int32_t j) { return vars.delta[deltaat(k, j, i)]; }

// A small deterministic generator (splitmix64) for simulated data.
struct rng {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool coin() { return (next() >> 63) != 0; }
};

// Gene dropping over biallelic loci: an individual is its two genes per
// locus, 1 = allele 1, 0 = allele 2.
using genome = std::vector<std::pair<int, int>>;

inline genome founder(rng& r, const std::vector<double>& p)
{
    genome g(p.size());
    for (std::size_t l = 0; l < p.size(); ++l) g[l] = {r.uniform() < p[l], r.uniform() < p[l]};
    return g;
}

inline int gamete(rng& r, const std::pair<int, int>& genes) { return r.coin() ? genes.first : genes.second; }

inline genome child(rng& r, const genome& father, const genome& mother)
{
    genome g(father.size());
    for (std::size_t l = 0; l < g.size(); ++l) g[l] = {gamete(r, father[l]), gamete(r, mother[l])};
    return g;
}

// One gamete of the parent, doubled: homozygous at every locus.
inline genome doubled(rng& r, const genome& parent)
{
    genome g(parent.size());
    for (std::size_t l = 0; l < g.size(); ++l) {
        int a = gamete(r, parent[l]);
        g[l] = {a, a};
    }
    return g;
}

inline std::vector<int> copiesof(const genome& g)
{
    std::vector<int> c(g.size());
    for (std::size_t l = 0; l < g.size(); ++l) c[l] = g[l].first + g[l].second;
    return c;
}

}  // namespace esttest
