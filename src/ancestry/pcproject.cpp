// Projection of individuals outside the set onto its components.  With
// X = U Sigma V^T the set's standardised genotypes, the SNP loadings are
// V = X^T U Sigma^-1, and an individual's standardised row x (the set's
// frequencies, missing genotypes 0) has the scores x V Sigma^-1 =
// x X^T U Lambda^-1 (Lambda = Sigma^2), which for a member of the set are
// its row of U.  One pass over the loci: per block B (loci x n) of the set
// and C (loci x m) of the others, P = B U Lambda^-1 and score += C^T P.
#include <algorithm>

#include "ancestry/ancestrywork.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void pcproject(const std::vector<int32_t>& rows, const snpscale& scale, const Eigen::MatrixXd& u,
               const Eigen::VectorXd& lambda, const std::vector<int32_t>& others, Eigen::MatrixXd& score)
{
    const Eigen::Index n = Eigen::Index(rows.size()), m = Eigen::Index(others.size()), k = u.cols();
    const int32_t nloc = vars.numloci2;
    score.setZero(m, k);
    if (m == 0) return;

    // U Lambda^-1; a component without variance gets no scores.
    Eigen::MatrixXd ul(u);
    for (Eigen::Index c = 0; c < k; ++c) ul.col(c) *= lambda(c) > 0.0 ? 1.0 / lambda(c) : 0.0;

    std::vector<double> block, other;
    allocarray(block, std::size_t(blockloci) * std::size_t(n), 0.0, vars.memerr, ancroutine);
    allocarray(other, std::size_t(blockloci) * std::size_t(m), 0.0, vars.memerr, ancroutine);
    Eigen::MatrixXd p(blockloci, k);
    for (int32_t first = 1; first <= nloc; first += blockloci) {
        const int32_t count = std::min(blockloci, nloc - first + 1);
        decodeblock(first, count, rows, scale.value.data(), 4, block.data());
        decodeblock(first, count, others, scale.value.data(), 4, other.data());
        const Eigen::Map<const Eigen::MatrixXd> b(block.data(), count, n), c(other.data(), count, m);
        auto pb = p.topRows(count);
        pb.noalias() = b * ul;
        score.noalias() += c.transpose() * pb;
    }
}
