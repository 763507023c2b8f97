// A quick look for structure, when the maximum-likelihood Deltas run at
// the sample frequencies (no PCS:, no POP:): does the leading component of
// the data stand clearly above what a homogeneous sample gives?
//
// On a subsample, evenly spaced in file order (at most 500 individuals at
// most 5000 unique loci, each once whatever its markercnt), the KING-robust
// screen from the genotypes themselves picks the unrelated part, as for
// the components; the relationship matrix G = X X^T / L of its
// standardised genotypes (n individuals, L loci varying among them) would
// in a homogeneous sample have its eigenvalues below the Marchenko-Pastur
// edge (1 + sqrt(n / L))^2, in units of their mean (trace G / (n - 1):
// the centring at the set's own frequencies leaves n - 1 of them; and
// missing genotypes, counted 0, make the trace smaller).  Structure shows
// when the top eigenvalue exceeds that edge by the factor below.  Nothing
// of the run state changes.
#include <algorithm>
#include <cmath>
#include <new>

#include "ancestry/ancestry.hpp"
#include "ancestry/ancestrywork.hpp"
#include "estimation/mle/mle.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

constexpr int32_t sampleindiv = 500, sampleloci = 5000;

// How far above the edge the top eigenvalue is: measured on kinex-sim
// samples (SNPs unlinked, as the simulator draws them): homogeneous ones,
// with families of every kind, inbred ones or none, with missing or wrong
// genotypes, 0.99 to 1.06 from 100 individuals up (200 x 20000: 1.04 with
// families, 0.99 without) and at most 1.11 at 20 to 60; three
// subpopulations of F_ST 0.05 at 200 x 20000 3.2 (5.1 without families),
// 2.1 at 100, 1.5 at 50; two admixed ones of F_ST 0.05 1.5; the mild F_ST
// 0.01 at 200 x 20000 1.29 to 1.33 (three seeds; two subpopulations 1.50),
// 1.15 at 100 and 1.84 at 500.  The factor is the components' own
// (noiseedge): above it a component is taken for structure.

// Bit-planes of the subsample, 64 loci a word, the layout of the classes'
// planes: per row, word by word, the low and the high bit of the codes.
struct planes {
    int32_t words = 0;
    std::vector<uint64_t> bits;
    const uint64_t* row(int32_t r) const { return bits.data() + 2 * std::size_t(r) * std::size_t(words); }
};

// KING-robust kinship of rows a and b of the subsample.
double planekinship(const planes& p, int32_t a, int32_t b)
{
    int64_t k[4];
    kingcounts(p.row(a), p.row(b), p.words, k);
    return kingkinship(k[0], k[1], k[2], k[3]);
}

double ratio()
{
    const int32_t n = vars.numindiv, nloc = vars.numloci2;
    const int32_t ns = std::min(n, sampleindiv), ls = std::min(nloc, sampleloci);
    fixeigen();

    // The codes of the subsample, codes[r ls + c], and their planes.
    std::vector<int32_t> who(static_cast<std::size_t>(ns)), where(static_cast<std::size_t>(ls));
    for (int32_t r = 0; r < ns; ++r) who[std::size_t(r)] = 1 + int32_t(int64_t(r) * n / ns);
    for (int32_t c = 0; c < ls; ++c) where[std::size_t(c)] = 1 + int32_t(int64_t(c) * nloc / ls);
    std::vector<int8_t> codes;
    allocarray(codes, std::size_t(ns) * std::size_t(ls), int8_t(0), vars.memerr, ancroutine);
    planes p;
    p.words = (ls + 63) / 64;
    allocarray(p.bits, 2 * std::size_t(ns) * std::size_t(p.words), uint64_t(0), vars.memerr, ancroutine);
    std::vector<int8_t> typed(std::size_t(ns) + 1, 0);
    for (int32_t r = 0; r < ns; ++r) {
        const uint32_t* col = snpcolumn(who[std::size_t(r)]);
        int8_t* code = codes.data() + std::size_t(r) * std::size_t(ls);
        for (int32_t c = 0; c < ls; ++c) {
            code[c] = int8_t(snpcodeat(col, where[std::size_t(c)]));
            if (code[c] == 0) continue;
            typed[std::size_t(r) + 1] = 1;
            uint64_t* w = p.bits.data() + 2 * (std::size_t(r) * std::size_t(p.words) + std::size_t(c / 64));
            w[0] |= uint64_t(code[c] & 1) << (c % 64);
            w[1] |= uint64_t(code[c] >> 1) << (c % 64);
        }
    }

    // The unrelated part (rows numbered from 1 in the screen).
    kinshipscreen screen;
    screen.divergent.assign(std::size_t(ns) + 1, 0);
    for (int32_t a = 0; a < ns; ++a)
        for (int32_t b = a + 1; b < ns; ++b) screenpair(screen, a + 1, b + 1, planekinship(p, a, b));
    std::vector<int8_t> keep;
    unrelatedset(ns, screen, typed, keep);
    std::vector<int32_t> rows;
    for (int32_t r = 0; r < ns; ++r)
        if (keep[std::size_t(r) + 1]) rows.push_back(r);
    const Eigen::Index m = Eigen::Index(rows.size());
    if (m < 10) return 0.0;

    // Their standardised genotypes, a block of loci at a time, into G.
    Eigen::MatrixXd g = Eigen::MatrixXd::Zero(m, m);
    Eigen::MatrixXd block(blockloci, m);
    double value[4] = {0.0, 0.0, 0.0, 0.0};
    int32_t used = 0, filled = 0;
    for (int32_t c = 0; c < ls; ++c) {
        int32_t cnt[4] = {0, 0, 0, 0};
        for (const int32_t r : rows) ++cnt[codes[std::size_t(r) * std::size_t(ls) + std::size_t(c)]];
        const int32_t t = cnt[1] + cnt[2] + cnt[3];
        const double f = t > 0 ? double(2 * cnt[1] + cnt[3]) / double(2 * t) : 0.0;
        if (f <= 0.0 || f >= 1.0) continue;
        const double s = 1.0 / std::sqrt(2.0 * f * (1.0 - f));
        value[1] = (2.0 - 2.0 * f) * s;
        value[2] = -2.0 * f * s;
        value[3] = (1.0 - 2.0 * f) * s;
        for (Eigen::Index q = 0; q < m; ++q)
            block(filled, q) = value[codes[std::size_t(rows[std::size_t(q)]) * std::size_t(ls) + std::size_t(c)]];
        ++used;
        if (++filled == blockloci) {
            g.selfadjointView<Eigen::Lower>().rankUpdate(block.topRows(filled).transpose());
            filled = 0;
        }
    }
    if (filled > 0) g.selfadjointView<Eigen::Lower>().rankUpdate(block.topRows(filled).transpose());
    if (used < 2) return 0.0;
    g /= double(used);

    // The mean of the m - 1 eigenvalues left by the centring at the set's
    // own frequencies.
    const double mean = g.diagonal().sum() / double(m - 1);
    if (!(mean > 0.0)) return 0.0;
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(g, Eigen::EigenvaluesOnly);
    const double edge = std::pow(1.0 + std::sqrt(double(m) / double(used)), 2);
    return eig.eigenvalues()(m - 1) / (mean * edge);
}

}  // namespace

double structureratio()
{
    if (vars.dataform != 1 && vars.dataform != 2) return 0.0;
    try {
        return ratio();
    } catch (const std::bad_alloc&) {
        return 0.0;
    }
}

bool structureshows() { return structureratio() > noiseedge; }
