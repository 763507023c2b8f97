// The leading components of the standardised genotypes X (individuals x
// loci) of a set: a randomised block Krylov method (Halko, Martinsson and
// Tropp's sketch with its power passes, all of whose blocks are kept) on
// A = X X^T, the loci streamed in blocks.
//
// A random start Q0 (n x l, l = k + 10 columns, at most n) is made
// orthonormal (QR) and passed through A; each product A Qj is made
// orthogonal to all blocks so far and orthonormal (QR), and becomes the
// next block Q(j+1).  After q passes, K = [Q0 .. Q(q-1)] is an orthonormal
// basis of the Krylov space of Q0, and since every A Qj was kept,
// K^T A K is a small product; its eigen decomposition gives the
// eigenvalues of A (the squares of the singular values of X) and, through
// K, the eigenvectors (the left singular vectors of X): the Rayleigh-Ritz
// step.  One pass over the loci decodes each block B (loci x n) once and
// forms Z = B Qj and A Qj += B^T Z.  The random start comes from a
// splitmix64 stream of its own with a fixed seed, so every run and every
// process gets the same numbers (the run's own generator, ran1, is not
// touched).
#include <algorithm>
#include <cmath>

#include "ancestry/ancestrywork.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

// Passes over the loci, each a product with A (ten products with X or X^T
// in all, as many as Halko's scheme with four power iterations and its last
// product).  The Krylov space of q passes holds every polynomial of A
// of degree q - 1 applied to the start, which separates the top
// eigenvalues from the rest far better than the power A^(q-1) alone: on
// 62 individuals whose two leading eigenvalues stand only twice as high as
// the bulk, 4 passes leave them 1e-7 off the dense decomposition's, 5
// passes 3e-11.
constexpr int passes = 5;

struct splitmix {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1).
    double symmetric() { return double(next() >> 11) * (2.0 / 9007199254740992.0) - 1.0; }
};

// A Q for the n x w block q: one pass over the loci.
void product(const std::vector<int32_t>& rows, const snpscale& scale, const Eigen::MatrixXd& q,
             std::vector<double>& block, Eigen::MatrixXd& aq)
{
    const Eigen::Index n = q.rows();
    Eigen::MatrixXd z(blockloci, q.cols());
    aq.setZero(n, q.cols());
    for (int32_t first = 1; first <= vars.numloci2; first += blockloci) {
        const int32_t count = std::min(blockloci, vars.numloci2 - first + 1);
        decodeblock(first, count, rows, scale.value.data(), 4, block.data());
        const Eigen::Map<const Eigen::MatrixXd> b(block.data(), count, n);
        auto zb = z.topRows(count);
        zb.noalias() = b * q;
        aq.noalias() += b.transpose() * zb;
    }
}

// The next block from y = A Qj: y less its part in the basis (the first
// `used` columns of basis, twice, for orthogonality to rounding), then
// the orthonormal basis of the directions left whose size exceeds 1e-10 of
// y's largest column; empty when none is left.
Eigen::MatrixXd nextblock(const Eigen::MatrixXd& basis, Eigen::Index used, const Eigen::MatrixXd& y)
{
    const double size = y.colwise().norm().maxCoeff();
    const auto prior = basis.leftCols(used);
    Eigen::MatrixXd r = y;
    for (int twice = 0; twice < 2; ++twice) r -= prior * (prior.transpose() * r);
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(r);
    Eigen::Index rank = 0;
    const Eigen::Index most = std::min(r.rows() - used, r.cols());
    while (rank < most && std::abs(qr.matrixQR()(rank, rank)) > 1e-10 * size) ++rank;
    if (rank == 0) return Eigen::MatrixXd(r.rows(), 0);
    Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(r.rows(), rank);
    for (int twice = 0; twice < 2; ++twice) q -= prior * (prior.transpose() * q);
    const Eigen::HouseholderQR<Eigen::MatrixXd> clean(q);
    return clean.householderQ() * Eigen::MatrixXd::Identity(r.rows(), rank);
}

}  // namespace

void randsvd(const std::vector<int32_t>& rows, const snpscale& scale, int32_t k, Eigen::MatrixXd& u,
             Eigen::VectorXd& lambda)
{
    const Eigen::Index n = Eigen::Index(rows.size());
    const Eigen::Index l = std::min<Eigen::Index>(k + 10, n);
    const Eigen::Index most = std::min<Eigen::Index>(passes * l, n);

    // basis: the blocks Q0, Q1, ... side by side; image: A times each.
    Eigen::MatrixXd basis(n, most), image(n, most);
    {
        Eigen::MatrixXd g(n, l);
        splitmix random{0x6B696E6578u};
        for (Eigen::Index c = 0; c < l; ++c)
            for (Eigen::Index r = 0; r < n; ++r) g(r, c) = random.symmetric();
        const Eigen::HouseholderQR<Eigen::MatrixXd> qr(g);
        basis.leftCols(l) = qr.householderQ() * Eigen::MatrixXd::Identity(n, l);
    }
    std::vector<double> block;
    allocarray(block, std::size_t(blockloci) * std::size_t(n), 0.0, vars.memerr, ancroutine);
    Eigen::Index used = l, start = 0;
    Eigen::MatrixXd aq;
    for (int pass = 1; pass <= passes && start < used; ++pass) {
        const Eigen::Index width = used - start;
        product(rows, scale, basis.middleCols(start, width), block, aq);
        image.middleCols(start, width) = aq;
        start = used;
        if (pass == passes || used == most) continue;
        const Eigen::MatrixXd q = nextblock(basis, used, aq);
        const Eigen::Index add = std::min(q.cols(), most - used);
        basis.middleCols(used, add) = q.leftCols(add);
        used += add;
    }
    // Blocks found in the last pass have no image: left out.
    const Eigen::Index d = start;

    // The Rayleigh-Ritz step: the top k eigenpairs of K^T A K, largest
    // first.
    Eigen::MatrixXd t = basis.leftCols(d).transpose() * image.leftCols(d);
    t = (0.5 * (t + t.transpose())).eval();
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(t);
    u.setZero(n, k);
    lambda.setZero(k);
    for (int32_t c = 0; c < k && c < d; ++c) {
        const Eigen::Index e = d - 1 - c;
        lambda(c) = std::max(0.0, eig.eigenvalues()(e));
        u.col(c).noalias() = basis.leftCols(d) * eig.eigenvectors().col(e);
        Eigen::Index big = 0;
        for (Eigen::Index r = 1; r < n; ++r)
            if (std::abs(u(r, c)) > std::abs(u(big, c))) big = r;
        if (u(big, c) < 0.0) u.col(c) = -u.col(c);
    }
}

void fixeigen()
{
    // 32 KB, 512 KB, 8 MB: common sizes.  On an AMD EPYC that reports
    // 48 KB, 1 MB and 512 MB the components take the same time with either.
    Eigen::setCpuCacheSizes(std::ptrdiff_t(32) << 10, std::ptrdiff_t(512) << 10, std::ptrdiff_t(8) << 20);
}
