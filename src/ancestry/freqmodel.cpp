// The per-SNP frequency model: at every unique locus u the least-squares
// regression of the allele-1 dosage / 2 on 1 and the k scores, over the
// individuals of the unrelated set typed at u (relatives' shared genes do
// not enter anyone's frequencies), exactly: with Z the N x (k + 1) matrix of rows
// z_i = (1, scores of i), the normal equations of u have the matrix
// Z^T Z less z_i z_i^T of every individual missing at u, and the right
// side Z^T g with the dosages / 2 of the typed (a missing one counts 0).
// Loci are taken in blocks: the right sides of a block are one product,
// the loci typed in everyone share one factorisation.
//
// The fitted deviations from the mean carry the noise of a regression over
// the set: across individuals their variance is the true deviations' plus
// the noise's, so two individuals' frequencies differ more than their
// ancestries do, and two members of different subpopulations share more
// alleles than their frequencies let them, which looks like identity by
// descent.  Each component's deviations are therefore scaled so that their
// spread is the true one: pcshrink(c) = sqrt(1 - N / S_c), with S_c the
// sum over the loci of component c's fitted sum of squares and N that of
// the residual variances, S_c's expectation where the component carries
// nothing (each unique locus weighted by the loci it stands for).
#include <algorithm>
#include <bit>
#include <cmath>

#include "ancestry/ancestry.hpp"
#include "ancestry/ancestrywork.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

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

// The exact fit of the loci of a block with genotypes missing in the set:
// Z^T Z less the rows of the missing, at each such locus l; a singular
// system (too few typed, or their scores in a lower dimension) gets the
// plain mean, intercept only.
template <class R, class B>
void refitgaps(const Eigen::Map<Eigen::MatrixXd>& z, const Eigen::MatrixXd& gram,
               const std::vector<std::vector<int32_t>>& missing, int32_t count, const R& r, B& beta)
{
    const Eigen::Index p = gram.rows();
    const int32_t nf = int32_t(z.rows());
    Eigen::MatrixXd g(p, p);
    for (int32_t l = 0; l < count; ++l) {
        const std::vector<int32_t>& gone = missing[std::size_t(l)];
        if (gone.empty()) continue;
        g = gram;
        for (const int32_t row : gone) g.selfadjointView<Eigen::Lower>().rankUpdate(z.row(row).transpose(), -1.0);
        g.triangularView<Eigen::StrictlyUpper>() = g.transpose();
        const Eigen::LDLT<Eigen::MatrixXd> part(g);
        const int64_t typed = int64_t(nf) - int64_t(gone.size());
        const double top = g.diagonal().cwiseAbs().maxCoeff();
        if (typed > p && part.info() == Eigen::Success && part.vectorD().minCoeff() > 1e-10 * top) {
            beta.col(l) = part.solve(r.row(l).transpose());
        } else {
            beta.col(l).setZero();
            beta(0, l) = typed > 0 ? r(l, 0) / double(typed) : 0.5;
        }
    }
}

// The sums of the scaling over the loci of a block: to noise the residual
// variance of every locus, to signal[c] its component c's sum of squares
// of fitted deviations (zss[c] the scores' sum of squares about their
// mean), each weighted by the loci the unique locus stands for.  b holds
// the block's dosages / 2 (0 where missing), r = b Z.
template <class Y, class R, class B>
void scalesums(int32_t first, const Y& b, const R& r, const B& beta, const std::vector<std::vector<int32_t>>& missing,
               bool gaps, const std::vector<double>& zss, std::vector<double>& signal, double& noise)
{
    const Eigen::Index p = beta.rows();
    for (Eigen::Index l = 0; l < b.rows(); ++l) {
        const double typed = double(b.cols()) - (gaps ? double(missing[std::size_t(l)].size()) : 0.0);
        if (typed <= double(p) || beta.col(l).tail(p - 1).isZero(0.0)) continue;
        const double w = double(vars.markercnt[std::size_t(first + l)]);
        const double rss = b.row(l).squaredNorm() - beta.col(l).dot(r.row(l).transpose());
        noise += w * std::max(rss, 0.0) / (typed - double(p));
        for (Eigen::Index c = 1; c < p; ++c)
            signal[std::size_t(c)] += w * beta(c, l) * beta(c, l) * zss[std::size_t(c)];
    }
}

// For each individual of the set (row r of z), the weights of its own
// genotype in its fitted frequency (at the loci typed in the whole set):
// pclever[i] = z_i^T (Z^T Z)^-1 z_i in the fit, pcleverkept[i] =
// z_i^T D (Z^T Z)^-1 z_i after the scaling D = diag(1, pcshrink); both 0
// outside the set.
void ownweights(const Eigen::Map<Eigen::MatrixXd>& z, const Eigen::LDLT<Eigen::MatrixXd>& whole,
                const std::vector<int32_t>& fit)
{
    const std::size_t n = std::size_t(vars.numindiv) + 1;
    allocarray(vars.pclever, n, 0.0, vars.memerr, ancroutine);
    allocarray(vars.pcleverkept, n, 0.0, vars.memerr, ancroutine);
    Eigen::VectorXd d(z.cols());
    d(0) = 1.0;
    for (Eigen::Index c = 1; c < z.cols(); ++c) d(c) = vars.pcshrink[std::size_t(c)];
    for (Eigen::Index r = 0; r < z.rows(); ++r) {
        const Eigen::VectorXd zr = z.row(r).transpose(), w = whole.solve(zr);
        const std::size_t i = std::size_t(fit[std::size_t(r)]);
        vars.pclever[i] = zr.dot(w);
        vars.pcleverkept[i] = zr.cwiseProduct(d).dot(w);
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
    std::vector<double> zss(std::size_t(p), 0.0), signal(std::size_t(p), 0.0);
    for (Eigen::Index c = 1; c < p; ++c) zss[std::size_t(c)] = (z.col(c).array() - z.col(c).mean()).square().sum();
    double noise = 0.0;

    std::vector<double> block;
    allocarray(block, std::size_t(blockloci) * std::size_t(nf), 0.0, vars.memerr, ancroutine);
    std::vector<std::vector<int32_t>> missing(static_cast<std::size_t>(blockloci));
    Eigen::MatrixXd rhs(blockloci, p);
    for (int32_t first = 1; first <= nloc; first += blockloci) {
        const int32_t count = std::min(blockloci, nloc - first + 1);
        decodeblock(first, count, fit, snphalfdosage, 0, block.data());
        const Eigen::Map<const Eigen::MatrixXd> b(block.data(), count, nf);
        auto r = rhs.topRows(count);
        r.noalias() = b * z;
        // coefficient c of locus first + l at betaat(c, first) + c U + l
        Eigen::Map<Eigen::MatrixXd, 0, Eigen::Stride<Eigen::Dynamic, Eigen::Dynamic>> beta(
            vars.pcbeta.data() + betaat(0, first), p, count, Eigen::Stride<Eigen::Dynamic, Eigen::Dynamic>(1, nloc));
        beta = whole.solve(r.transpose());
        bool gaps = false;
        for (int32_t l = 0; l < count; ++l) gaps = gaps || vars.nummisg[std::size_t(first + l)] > 0;
        if (gaps) {
            missingof(first, count, rowof, missing);
            refitgaps(z, gram, missing, count, r, beta);
        }
        scalesums(first, b, r, beta, missing, gaps, zss, signal, noise);
    }
    allocarray(vars.pcshrink, std::size_t(k) + 1, 1.0, vars.memerr, ancroutine);
    for (int32_t c = 1; c <= k; ++c) {
        const double s = signal[std::size_t(c)];
        vars.pcshrink[std::size_t(c)] = s > noise ? std::sqrt(1.0 - noise / s) : 0.0;
    }
    ownweights(z, whole, fit);
}

std::string shrinktext()
{
    std::string s;
    for (int32_t c = 1; c <= vars.pcsused; ++c) s += " " + rtoc(vars.pcshrink[std::size_t(c)], rlayout::fix74);
    return s;
}
