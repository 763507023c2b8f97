// The per-SNP frequency model: at every unique locus u the least-squares
// regression of the allele-1 dosage / 2 on 1 and the k scores, over the
// individuals of the unrelated set typed at u (relatives' shared genes do
// not enter anyone's frequencies), exactly: with Z the N x (k + 1) matrix of rows
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

// The rows of the fit's individuals missing at each locus of a block
// (offset 0..count - 1); rowof[i] is individual i's row, -1 outside.
void missingof(int32_t first, int32_t count, const std::vector<int32_t>& rowof,
               std::vector<std::vector<int32_t>>& missing)
{
    for (int32_t l = 0; l < count; ++l) missing[std::size_t(l)].clear();
    const int32_t w0 = snpwordof(first), wn = snpwordof(first + count - 1) - w0 + 1;
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        if (rowof[std::size_t(i)] < 0) continue;
        const uint32_t* col = snpcolumn(i) + w0;
        for (int32_t w = 0; w < wn; ++w) {
            const uint32_t x = col[w];
            uint32_t gone = ~(x | (x >> 1)) & 0x55555555u;  // fields with code 0
            while (gone != 0) {
                const int32_t l = 16 * w + std::countr_zero(gone) / 2;
                if (l < count) missing[std::size_t(l)].push_back(rowof[std::size_t(i)]);
                gone &= gone - 1;
            }
        }
    }
}

}  // namespace

void freqmodel()
{
    // only the components above the noise (pcsused of pcs) enter; the
    // coefficients of the others stay 0
    const int32_t n = vars.numindiv, k = vars.pcsused, nloc = vars.numloci2;
    const Eigen::Index p = k + 1, stride = vars.pcs + 1;
    allocarray(vars.pcbeta, std::size_t(stride) * std::size_t(nloc), 0.0, vars.memerr, ancroutine);

    // the individuals of the fit and their rows of Z; rowof[i] is i's row
    // (-1 outside the set)
    std::vector<int32_t> fit, rowof(std::size_t(n) + 1, -1);
    for (int32_t i = 1; i <= n; ++i)
        if (vars.unrelset[std::size_t(i)] == 1) {
            rowof[std::size_t(i)] = int32_t(fit.size());
            fit.push_back(i);
        }
    const int32_t nf = int32_t(fit.size());
    std::vector<double> zdata;
    allocarray(zdata, std::size_t(nf) * std::size_t(p), 1.0, vars.memerr, ancroutine);
    Eigen::Map<Eigen::MatrixXd> z(zdata.data(), nf, p);
    for (int32_t r = 0; r < nf; ++r)
        for (int32_t c = 1; c <= k; ++c) z(r, c) = vars.pcscore[pcat(c, fit[std::size_t(r)])];
    Eigen::MatrixXd gram = Eigen::MatrixXd::Zero(p, p);
    gram.selfadjointView<Eigen::Lower>().rankUpdate(z.transpose());
    gram.triangularView<Eigen::StrictlyUpper>() = gram.transpose();
    const Eigen::LDLT<Eigen::MatrixXd> whole(gram);
    // pclever[i]: the weight of the genotype of i, one of the set, in its
    // own fitted frequency (at the loci typed in the whole set), for its
    // inbreeding apart; 0 outside the set
    allocarray(vars.pclever, std::size_t(n) + 1, 0.0, vars.memerr, ancroutine);
    for (int32_t r = 0; r < nf; ++r) {
        const Eigen::VectorXd zr = z.row(r).transpose();
        vars.pclever[std::size_t(fit[std::size_t(r)])] = zr.dot(whole.solve(zr));
    }

    std::vector<double> block;
    allocarray(block, std::size_t(blockloci) * std::size_t(nf), 0.0, vars.memerr, ancroutine);
    std::vector<std::vector<int32_t>> missing(static_cast<std::size_t>(blockloci));
    Eigen::MatrixXd rhs(blockloci, p), g(p, p);
    for (int32_t first = 1; first <= nloc; first += blockloci) {
        const int32_t count = std::min(blockloci, nloc - first + 1);
        decodeblock(first, count, fit, halfdosage, 0, block.data());
        const Eigen::Map<const Eigen::MatrixXd> b(block.data(), count, nf);
        auto r = rhs.topRows(count);
        r.noalias() = b * z;
        // coefficient c of locus first + l at betaat(c, first) + c U + l
        Eigen::Map<Eigen::MatrixXd, 0, Eigen::Stride<Eigen::Dynamic, Eigen::Dynamic>> beta(
            vars.pcbeta.data() + betaat(0, first), p, count, Eigen::Stride<Eigen::Dynamic, Eigen::Dynamic>(1, nloc));
        beta = whole.solve(r.transpose());

        bool gaps = false;
        for (int32_t l = 0; l < count; ++l) gaps = gaps || vars.nummisg[std::size_t(first + l)] > 0;
        if (!gaps) continue;
        missingof(first, count, rowof, missing);
        for (int32_t l = 0; l < count; ++l) {
            const std::vector<int32_t>& gone = missing[std::size_t(l)];
            if (gone.empty()) continue;
            g = gram;
            for (const int32_t r : gone) g.selfadjointView<Eigen::Lower>().rankUpdate(z.row(r).transpose(), -1.0);
            g.triangularView<Eigen::StrictlyUpper>() = g.transpose();
            const Eigen::LDLT<Eigen::MatrixXd> part(g);
            const int64_t typed = int64_t(nf) - int64_t(gone.size());
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
