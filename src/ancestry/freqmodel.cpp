// The per-SNP frequency model: at every unique locus u the least-squares
// regression of the allele-1 dosage / 2 on 1 and the k scores, over the
// individuals typed at u, exactly: with Z the N x (k + 1) matrix of rows
// z_i = (1, scores of i), the normal equations of u have the matrix
// Z^T Z less z_i z_i^T of every individual missing at u, and the right
// side Z^T g with the dosages / 2 of the typed (a missing one counts 0).
// Loci are taken in blocks: the right sides of a block are one product,
// the loci typed in everyone share one factorisation.
#include <algorithm>
#include <bit>
#include <cmath>

#include "ancestry/ancestrywork.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

// Dosage / 2 of each code; a missing genotype adds nothing.
constexpr double halfdosage[4] = {0.0, 1.0, 0.0, 0.5};

// The individuals missing at each locus of a block (offset 0..count - 1).
void missingof(int32_t first, int32_t count, std::vector<std::vector<int32_t>>& missing)
{
    for (int32_t l = 0; l < count; ++l) missing[std::size_t(l)].clear();
    const int32_t w0 = snpwordof(first), wn = snpwordof(first + count - 1) - w0 + 1;
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        const uint32_t* col = snpcolumn(i) + w0;
        for (int32_t w = 0; w < wn; ++w) {
            const uint32_t x = col[w];
            uint32_t gone = ~(x | (x >> 1)) & 0x55555555u;  // fields with code 0
            while (gone != 0) {
                const int32_t l = 16 * w + std::countr_zero(gone) / 2;
                if (l < count) missing[std::size_t(l)].push_back(i);
                gone &= gone - 1;
            }
        }
    }
}

}  // namespace

void freqmodel()
{
    const int32_t n = vars.numindiv, k = vars.pcs, nloc = vars.numloci2;
    const Eigen::Index p = k + 1;
    allocarray(vars.pcbeta, std::size_t(p) * std::size_t(nloc), 0.0, vars.memerr, ancroutine);

    std::vector<double> zdata;
    allocarray(zdata, std::size_t(n) * std::size_t(p), 1.0, vars.memerr, ancroutine);
    Eigen::Map<Eigen::MatrixXd> z(zdata.data(), n, p);
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t c = 1; c <= k; ++c) z(i - 1, c) = vars.pcscore[pcat(c, i)];
    Eigen::MatrixXd gram = Eigen::MatrixXd::Zero(p, p);
    gram.selfadjointView<Eigen::Lower>().rankUpdate(z.transpose());
    gram.triangularView<Eigen::StrictlyUpper>() = gram.transpose();
    const Eigen::LDLT<Eigen::MatrixXd> whole(gram);

    std::vector<int32_t> everyone(static_cast<std::size_t>(n));
    for (int32_t i = 1; i <= n; ++i) everyone[std::size_t(i - 1)] = i;
    std::vector<double> block;
    allocarray(block, std::size_t(blockloci) * std::size_t(n), 0.0, vars.memerr, ancroutine);
    std::vector<std::vector<int32_t>> missing(static_cast<std::size_t>(blockloci));
    Eigen::MatrixXd rhs(blockloci, p), g(p, p);
    for (int32_t first = 1; first <= nloc; first += blockloci) {
        const int32_t count = std::min(blockloci, nloc - first + 1);
        decodeblock(first, count, everyone, halfdosage, 0, block.data());
        const Eigen::Map<const Eigen::MatrixXd> b(block.data(), count, n);
        auto r = rhs.topRows(count);
        r.noalias() = b * z;
        Eigen::Map<Eigen::MatrixXd> beta(vars.pcbeta.data() + betaat(0, first), p, count);
        beta = whole.solve(r.transpose());

        bool gaps = false;
        for (int32_t l = 0; l < count; ++l) gaps = gaps || vars.nummisg[std::size_t(first + l)] > 0;
        if (!gaps) continue;
        missingof(first, count, missing);
        for (int32_t l = 0; l < count; ++l) {
            const std::vector<int32_t>& gone = missing[std::size_t(l)];
            if (gone.empty()) continue;
            g = gram;
            for (const int32_t i : gone) g.selfadjointView<Eigen::Lower>().rankUpdate(z.row(i - 1).transpose(), -1.0);
            g.triangularView<Eigen::StrictlyUpper>() = g.transpose();
            const Eigen::LDLT<Eigen::MatrixXd> part(g);
            const int64_t typed = int64_t(n) - int64_t(gone.size());
            // A singular system (too few typed, or their scores in a lower
            // dimension) gets the plain mean: intercept only.
            const double top = g.diagonal().cwiseAbs().maxCoeff();
            if (typed > p && part.info() == Eigen::Success && part.vectorD().minCoeff() > 1e-10 * top) {
                beta.col(l) = part.solve(r.row(l).transpose());
            } else {
                beta.col(l).setZero();
                beta(0, l) = typed > 0 ? r(l, 0) / double(typed) : 0.5;
            }
        }
    }
}
