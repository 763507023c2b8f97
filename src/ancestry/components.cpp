// PCS: k, the ancestry components: the kinship screen, the unrelated set,
// the components of its standardised genotypes, the projection of the
// others, the per-SNP frequency model and the line on the screen.  Every
// process computes all of it (the counts of the screen are summed over
// processes first; with KIN: the related pairs are), in the same order, so
// all hold the same numbers as kinex.
#include <cmath>
#include <new>

#include "ancestry/ancestry.hpp"
#include "ancestry/ancestrywork.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

void components()
{
    const int32_t n = vars.numindiv, k = vars.pcs;
    if (vars.dataform != 1 && vars.dataform != 2) stoponerror("Ancestry components need SNP data!", ancroutine);
    if (k < 1 || k > 20) stoponerror("PCS: takes 1 to 20 components!", ancroutine);
    fixeigen();

    // 1. related pairs by KING-robust kinship; 2. the unrelated set among
    // the individuals with a genotype.
    findunrelated();
    std::vector<int32_t> rows, others;
    for (int32_t i = 1; i <= n; ++i) (vars.unrelset[std::size_t(i)] ? rows : others).push_back(i);
    if (vars.numunrel < k + 2)
        stoponerror("Only " + itod(vars.numunrel) + " unrelated individuals for " + itod(k) +
                        " ancestry components: PCS: needs at least " + itod(k + 2) + "!",
                    ancroutine);

    // 3. the components of the set, the others projected onto them.
    snpscale scale;
    setscale(rows, scale);
    if (scale.used == 0 || !(scale.trace > 0.0))
        stoponerror("No SNP varies among the " + itod(vars.numunrel) + " unrelated individuals!", ancroutine);
    Eigen::MatrixXd u, projected;
    Eigen::VectorXd lambda;
    randsvd(rows, scale, k, u, lambda);
    if (!(lambda(k - 1) > 1e-12 * scale.trace))
        stoponerror("The genotypes of the unrelated set vary in fewer than " + itod(k) +
                        " directions: choose fewer ancestry components (PCS:)!",
                    ancroutine);
    pcproject(rows, scale, u, lambda, others, projected);

    // pcscore(c, i): individual i's score on component c.  For the set the
    // entries of the unit left singular vectors of its standardised
    // genotypes (not scaled by the singular values: the scores of the set
    // on each component have sum of squares 1); for the others their
    // projection, on the same scale; 0 for an individual without genotypes.
    // pcvar[c]: component c's share of the set's total variance, its
    // eigenvalue of X X^T over the trace of X X^T.
    allocarray(vars.pcscore, std::size_t(k) * std::size_t(n), 0.0, vars.memerr, ancroutine);
    allocarray(vars.pcvar, std::size_t(k) + 1, 0.0, vars.memerr, ancroutine);
    for (int32_t c = 1; c <= k; ++c) {
        for (std::size_t r = 0; r < rows.size(); ++r) vars.pcscore[pcat(c, rows[r])] = u(Eigen::Index(r), c - 1);
        for (std::size_t r = 0; r < others.size(); ++r)
            vars.pcscore[pcat(c, others[r])] = projected(Eigen::Index(r), c - 1);
        vars.pcvar[std::size_t(c)] = lambda(c - 1) / scale.trace;
    }

    // 4. pcsused: the leading components above the noise of a homogeneous
    // sample, each at least noiseedge times the largest eigenvalue such a
    // sample of this size would show (the Marchenko-Pastur edge
    // (1 + sqrt(n / L))^2 in units of the mean eigenvalue).  A component at
    // the noise level only fits each individual's own genotypes into its
    // frequencies, which hides relatedness and inbreeding.
    const double edge = std::pow(1.0 + std::sqrt(double(vars.numunrel) / double(scale.used)), 2);
    vars.pcsused = 0;
    while (vars.pcsused < k &&
           vars.pcvar[std::size_t(vars.pcsused + 1)] * double(vars.numunrel) >= noiseedge * edge)
        ++vars.pcsused;

    // 5. pcbeta(c, u): the regression of every SNP's dosage / 2 on 1 and
    // the scores of the components used, over the unrelated set typed there.
    freqmodel();

    std::string line = "Ancestry components: " + itod(k) + " of the unrelated set of " + itod(vars.numunrel) +
                       " individuals (of " + itod(n) + "), variance explained:";
    for (int32_t c = 1; c <= k; ++c) line += " " + rtoc(vars.pcvar[std::size_t(c)], rlayout::fix74);
    say(line);
    std::string used = "  " + itod(vars.pcsused) + " of them above the noise of a homogeneous sample give the " +
                       "individuals' allele frequencies";
    if (vars.pcsused > 0) used += ", their deviations scaled for the noise of the fit by" + shrinktext();
    say(used);
}

}  // namespace

void findcomponents()
{
    try {
        components();
    } catch (const std::bad_alloc&) {
        stoponerror(vars.memerr, ancroutine);
    }
}
