// The ancestry components on samples simulated by kinex-sim's own code: the
// components against a dense eigen decomposition of the relationship
// matrix (and the projection and the per-SNP regression against direct
// solutions), the unrelated set against the simulated pedigrees, and the
// structure check on structured and homogeneous samples.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "genotypes/genotypes.hpp"
#include "run/parfile.hpp"
#include "run/textconv.hpp"
#include "simopts.hpp"
#include "simrun.hpp"
#include "testutil.hpp"

namespace {

// Lines of a text file.
std::vector<std::string> linesof(const std::string& name)
{
    std::vector<std::string> lines;
    std::istringstream in(readfile(name));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// kinex-sim with the given options into dir (prefix "sim", layout 2).
opts simulate(const tempdir& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), "kinex-sim");
    args.insert(args.end(), {"--out", dir.file("sim")});
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    opts o;
    std::string err;
    EXPECT_TRUE(parseopts(int(argv.size()), argv.data(), o, err)) << err;
    EXPECT_TRUE(runsim(o, err)) << err;
    return o;
}

// The genotype rows (last n lines of sim.gen, one character per locus).
std::vector<std::string> genorows(const tempdir& dir, int32_t n)
{
    std::vector<std::string> lines = linesof(dir.file("sim.gen"));
    return std::vector<std::string>(lines.end() - n, lines.end());
}

// Writes the rows back under the identifiers of sim.gen.
void putrows(const tempdir& dir, const std::vector<std::string>& rows)
{
    std::vector<std::string> lines = linesof(dir.file("sim.gen"));
    std::string text;
    for (std::size_t l = 0; l + rows.size() < lines.size(); ++l) text += lines[l] + "\n";
    for (const std::string& r : rows) text += r + "\n";
    writefile(dir.file("sim.gen"), text);
}

// Reads sim.gen as a run does (n individuals, loci loci), with the
// tallies the components follow.
void readsim(const tempdir& dir, int32_t n, int32_t loci)
{
    freshstate();
    vars.dataform = 2;
    vars.numindiv = n;
    vars.numloci = loci;
    vars.idum = -12345;
    vars.gtypefile = dir.file("sim.gen");
    vars.outfile = dir.file("sim.out");
    initialpara();
    screenof([] {
        readgtype();
        tallygtypes();
    });
}

// Components as the estimation calls them: iisdyad given, all zeros.
std::string components(int32_t k)
{
    vars.pcs = k;
    const int64_t n = vars.numindiv;
    vars.iisdyad.assign(9 * std::size_t(n * (n - 1) / 2), 0);
    return screenof([] { findcomponents(); });
}

// Allele-1 copies of a genotype character, -1 when missing.
int copies(char c) { return c == '2' ? 2 : c == '1' ? 1 : c == '0' ? 0 : -1; }

}  // namespace

TEST(AncestryComponents, agreeWithDenseEigenDecomposition)
{
    // Three subpopulations, 2% missing; the first 40 SNPs written twice
    // more at the end, so that identical loci stand for several.
    tempdir dir;
    const int32_t n = 120, base = 3000, twice = 40;
    simulate(dir, {"--individuals", "120", "--loci", "3000", "--subpops", "3", "--fst", "0.05", "--missing", "0.02",
                   "--seed", "3"});
    std::vector<std::string> rows = genorows(dir, n);
    for (std::string& r : rows) r += r.substr(0, twice);
    putrows(dir, rows);
    const int32_t loci = base + twice;
    readsim(dir, n, loci);
    int32_t doubled = 0;
    for (int32_t l = 1; l <= twice; ++l) {
        const int32_t u = vars.markeridx[std::size_t(l)];
        doubled += u > 0 && vars.markercnt[std::size_t(u)] == 2;
    }
    ASSERT_GT(doubled, 30);

    const int32_t k = 2;
    const std::string screen = components(k);
    EXPECT_TRUE(std::regex_search(screen, std::regex("Ancestry components: 2 of the unrelated set of [0-9]+ "
                                                     "individuals \\(of 120\\), variance explained: "
                                                     "0\\.[0-9]{4} 0\\.[0-9]{4}\n")))
        << screen;
    for (int32_t v : vars.iisdyad) ASSERT_EQ(v, 0);

    // The dense relationship matrix of the set from the file's rows, every
    // locus of the file a column.
    std::vector<int32_t> set, others;
    for (int32_t i = 1; i <= n; ++i) (vars.unrelset[std::size_t(i)] ? set : others).push_back(i);
    ASSERT_EQ(int32_t(set.size()), vars.numunrel);
    const Eigen::Index m = Eigen::Index(set.size());
    Eigen::MatrixXd x = Eigen::MatrixXd::Zero(n, loci);  // every individual, the set's standardisation
    for (int32_t l = 0; l < loci; ++l) {
        double sum = 0, typed = 0;
        for (int32_t i : set) {
            const int g = copies(rows[std::size_t(i - 1)][std::size_t(l)]);
            if (g >= 0) sum += g, typed += 2;
        }
        const double p = sum / typed;
        if (p <= 0 || p >= 1) continue;
        for (int32_t i = 1; i <= n; ++i) {
            const int g = copies(rows[std::size_t(i - 1)][std::size_t(l)]);
            if (g >= 0) x(i - 1, l) = (g - 2 * p) / std::sqrt(2 * p * (1 - p));
        }
    }
    Eigen::MatrixXd xs(m, loci);
    for (Eigen::Index r = 0; r < m; ++r) xs.row(r) = x.row(set[std::size_t(r)] - 1);
    const Eigen::MatrixXd grm = xs * xs.transpose();
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(grm);
    for (int32_t c = 1; c <= k; ++c) {
        const double lambda = eig.eigenvalues()(m - c);
        const Eigen::VectorXd v = eig.eigenvectors().col(m - c);
        EXPECT_NEAR(vars.pcvar[std::size_t(c)], lambda / grm.trace(), 1e-9 * lambda / grm.trace()) << c;
        Eigen::VectorXd s(m);
        for (Eigen::Index r = 0; r < m; ++r) s(r) = vars.pcscore[pcat(c, set[std::size_t(r)])];
        EXPECT_GT(std::abs(s.dot(v)), 1 - 1e-9) << c;
        // The others: x X^T v / lambda.
        for (int32_t j : others) {
            const double expect = x.row(j - 1).dot(xs.transpose() * v) / lambda * (s.dot(v) > 0 ? 1 : -1);
            EXPECT_NEAR(vars.pcscore[pcat(c, j)], expect, 1e-5) << c << " " << j;
        }
    }

    // The regression of dosage / 2 on 1 and the scores over the unrelated
    // set's typed, at every locus of the first 300 (most have missing
    // genotypes); both components of the three subpopulations are used.
    ASSERT_EQ(vars.pcsused, k);
    for (int32_t l = 1; l <= 300; ++l) {
        const int32_t u = vars.markeridx[std::size_t(l)];
        if (u == 0) continue;
        std::vector<int32_t> typed;
        for (int32_t i : set)
            if (copies(rows[std::size_t(i - 1)][std::size_t(l - 1)]) >= 0) typed.push_back(i);
        Eigen::MatrixXd z(Eigen::Index(typed.size()), k + 1);
        Eigen::VectorXd y(Eigen::Index(typed.size()));
        for (std::size_t t = 0; t < typed.size(); ++t) {
            z(Eigen::Index(t), 0) = 1;
            for (int32_t c = 1; c <= k; ++c) z(Eigen::Index(t), c) = vars.pcscore[pcat(c, typed[t])];
            y(Eigen::Index(t)) = copies(rows[std::size_t(typed[t] - 1)][std::size_t(l - 1)]) / 2.0;
        }
        const Eigen::VectorXd beta = z.colPivHouseholderQr().solve(y);
        for (int32_t c = 0; c <= k; ++c) EXPECT_NEAR(vars.pcbeta[betaat(c, u)], beta(c), 1e-9) << u << " " << c;
    }

    // Each component's deviations are scaled for the noise of the fit:
    // sqrt(1 - N / S_c) over every locus of the file (an identical one
    // counts as often as it stands), N the sum of the residual variances,
    // S_c of the component's fitted sums of squares.
    double noise = 0;
    Eigen::VectorXd signal = Eigen::VectorXd::Zero(k + 1);
    for (int32_t l = 1; l <= loci; ++l) {
        if (vars.markeridx[std::size_t(l)] == 0) continue;
        std::vector<int32_t> typed;
        for (int32_t i : set)
            if (copies(rows[std::size_t(i - 1)][std::size_t(l - 1)]) >= 0) typed.push_back(i);
        const Eigen::Index t = Eigen::Index(typed.size());
        Eigen::MatrixXd z(t, k + 1);
        Eigen::VectorXd y(t);
        for (Eigen::Index r = 0; r < t; ++r) {
            z(r, 0) = 1;
            for (int32_t c = 1; c <= k; ++c) z(r, c) = vars.pcscore[pcat(c, typed[std::size_t(r)])];
            y(r) = copies(rows[std::size_t(typed[std::size_t(r)] - 1)][std::size_t(l - 1)]) / 2.0;
        }
        const Eigen::VectorXd beta = z.colPivHouseholderQr().solve(y);
        noise += (y - z * beta).squaredNorm() / double(t - k - 1);
        for (int32_t c = 1; c <= k; ++c) {
            Eigen::VectorXd s(m);
            for (Eigen::Index r = 0; r < m; ++r) s(r) = vars.pcscore[pcat(c, set[std::size_t(r)])];
            signal(c) += beta(c) * beta(c) * (s.array() - s.mean()).square().sum();
        }
    }
    for (int32_t c = 1; c <= k; ++c) {
        EXPECT_NEAR(vars.pcshrink[std::size_t(c)], std::sqrt(1 - noise / signal(c)), 1e-9) << c;
        EXPECT_GT(vars.pcshrink[std::size_t(c)], 0.5) << c;
        EXPECT_LT(vars.pcshrink[std::size_t(c)], 0.99) << c;
    }

    // An individual's frequencies: for one of the set half way between the
    // fit and the fit without it (refitted here at loci typed in the whole
    // set), for one outside the fit, both with the deviations scaled.
    freqedges();
    std::vector<double> own(std::size_t(vars.numloci2) + 1);
    for (int32_t i : {set[0], set[7], others[0]}) {
        const bool in = vars.unrelset[std::size_t(i)] == 1;
        indivfreqs(i, own.data());
        int32_t checked = 0;
        for (int32_t l = 1; l <= base && checked < 20; ++l) {
            const int32_t u = vars.markeridx[std::size_t(l)];
            if (u == 0 || vars.nummisg[std::size_t(u)] > 0 || vars.markercnt[std::size_t(u)] > 1) continue;
            ++checked;
            Eigen::VectorXd zi(k + 1), scale = Eigen::VectorXd::Ones(k + 1);
            zi(0) = 1;
            for (int32_t c = 1; c <= k; ++c) {
                zi(c) = vars.pcscore[pcat(c, i)];
                scale(c) = vars.pcshrink[std::size_t(c)];
            }
            double with = 0;
            for (int32_t c = 0; c <= k; ++c) with += zi(c) * scale(c) * vars.pcbeta[betaat(c, u)];
            double without = with;
            if (in) {
                Eigen::MatrixXd z(m - 1, k + 1);
                Eigen::VectorXd y(m - 1);
                Eigen::Index r = 0;
                for (int32_t j : set) {
                    if (j == i) continue;
                    z(r, 0) = 1;
                    for (int32_t c = 1; c <= k; ++c) z(r, c) = vars.pcscore[pcat(c, j)];
                    y(r++) = copies(rows[std::size_t(j - 1)][std::size_t(l - 1)]) / 2.0;
                }
                const Eigen::VectorXd beta = z.colPivHouseholderQr().solve(y);
                without = 0;
                for (int32_t c = 0; c <= k; ++c) without += zi(c) * scale(c) * beta(c);
            }
            const double low = vars.freqlow[std::size_t(u)];
            EXPECT_NEAR(own[std::size_t(u)], std::clamp(0.5 * (with + without), low, 1 - low), 1e-9) << i << " " << u;
            if (in) {
                EXPECT_GT(std::abs(with - without), 1e-4) << i << " " << u;
            }
        }
        EXPECT_EQ(checked, 20) << i;
    }
}

TEST(AncestryUnrelated, oneOfEveryRelatedPairLeaves)
{
    // Families of every kind in three subpopulations; the first individual
    // (a lone founder) without a single genotype.  30000 SNPs: the
    // screen's kinship of first cousins (1/16) has a standard deviation of
    // about 0.01 at 10000, which leaves one pair in ten below 0.0442.
    tempdir dir;
    const int32_t n = 150, loci = 30000;
    simulate(dir, {"--individuals", "150", "--loci", "30000", "--subpops", "3", "--fst", "0.05", "--seed", "5"});
    std::vector<std::string> rows = genorows(dir, n);
    rows[0] = std::string(std::size_t(loci), '-');
    putrows(dir, rows);
    readsim(dir, n, loci);
    components(1);

    std::map<std::string, int32_t> number;
    for (int32_t i = 1; i <= n; ++i) number[trimright(vars.individ[std::size_t(i)])] = i;
    EXPECT_EQ(vars.unrelset[1], 0);
    // Related pairs (expected kinship 1/16 and more) by family.
    std::map<std::string, std::vector<std::pair<int32_t, int32_t>>> related;
    for (const std::string& line : linesof(dir.file("sim.truth.pairs.tsv"))) {
        std::istringstream f(line);
        std::string a, b, relation, d;
        f >> a >> b >> relation;
        if (!number.count(a)) continue;
        for (int s = 0; s < 10; ++s) f >> d;
        double expected = 0;
        f >> expected;
        if (expected < 0.0625) continue;
        const int32_t i = number[a], j = number[b];
        EXPECT_FALSE(vars.unrelset[std::size_t(i)] && vars.unrelset[std::size_t(j)]) << a << " " << b;
        related[a.substr(0, a.rfind('_'))].push_back({i, j});
    }
    // No more leave than must: each family keeps as many as can be kept.
    std::map<std::string, std::vector<int32_t>> family;
    for (int32_t i = 2; i <= n; ++i) {
        const std::string id = trimright(vars.individ[std::size_t(i)]);
        family[id.substr(0, id.rfind('_'))].push_back(i);
    }
    int32_t most = 0;
    for (const auto& [name, members] : family) {
        int32_t best = 0;
        for (uint32_t pick = 0; pick < (1u << members.size()); ++pick) {
            std::set<int32_t> in;
            for (std::size_t q = 0; q < members.size(); ++q)
                if (pick >> q & 1u) in.insert(members[q]);
            bool free = true;
            for (auto [i, j] : related[name]) free = free && !(in.count(i) && in.count(j));
            if (free) best = std::max(best, int32_t(in.size()));
        }
        most += best;
    }
    EXPECT_EQ(vars.numunrel, most);
}

TEST(AncestryPopulations, deviationsAreScaledForTheNoiseOfTheCounts)
{
    // Two subpopulations, their labels as kinex-sim writes them: each
    // label's scale is sqrt(1 - N / S) of its counts over the unrelated set
    // (recounted here from the rows), its frequencies the sample's plus the
    // scaled deviation from the set's of its counts leaning one gene copy
    // to the set's.  One label for everybody leaves the sample's
    // frequencies.  A member of the set takes the frequencies half way
    // between its label's and its label's without its own genes, in a pair
    // found related the latter; an individual outside the set its label's,
    // in a pair found related without its relatives in the set.
    tempdir dir;
    const int32_t n = 90, loci = 2000;
    simulate(dir, {"--individuals", "90", "--loci", "2000", "--subpops", "2", "--fst", "0.05", "--missing", "0.02",
                   "--seed", "5"});
    const std::vector<std::string> rows = genorows(dir, n);
    for (const bool one : {false, true}) {
        readsim(dir, n, loci);
        vars.popfile = dir.file("sim.pop");
        if (one) {
            std::string text;
            for (const std::string& line : linesof(dir.file("sim.pop")))
                text += line.substr(0, line.find_first_of(" \t")) + " x\n";
            vars.popfile = dir.file("one.pop");
            writefile(vars.popfile, text);
        }
        readpopfile();
        popfrequencies();
        ASSERT_EQ(vars.numpops, one ? 1 : 2);
        ASSERT_GT(vars.numunrel, 0);
        ASSERT_LT(vars.numunrel, n);  // the simulated families have relatives
        freqedges();
        std::vector<double> own(std::size_t(vars.numloci2) + 1), related(own), other(own), otherrel(own);
        int32_t member = 0, outside = 0;
        std::vector<int32_t> kin;  // the outsider's relatives in the set and its label
        while (!vars.unrelset[std::size_t(++member)]) {
        }
        while (kin.empty() && ++outside <= n) {
            if (vars.unrelset[std::size_t(outside)]) continue;
            for (int32_t q = vars.setkinfirst[std::size_t(outside)]; q < vars.setkinfirst[std::size_t(outside) + 1]; ++q)
                if (vars.popof[std::size_t(vars.setkin[std::size_t(q)])] == vars.popof[std::size_t(outside)])
                    kin.push_back(vars.setkin[std::size_t(q)]);
        }
        ASSERT_FALSE(kin.empty());
        indivfreqs(member, own.data());
        relativefreqs(member, 0, related.data());
        indivfreqs(outside, other.data());
        relativefreqs(outside, 0, otherrel.data());
        double apart = 0, off = 0;  // the outsider's frequencies from those without its relatives
        for (int32_t p = 1; p <= vars.numpops; ++p) {
            double signal = 0, noise = 0;
            for (int32_t l = 1; l <= loci; ++l) {
                const int32_t u = vars.markeridx[std::size_t(l)];
                if (u == 0) continue;
                // allele-1 copies and genes typed: members in the set, the set, all
                double c = 0, m = 0, cset = 0, mset = 0, call = 0, mall = 0;
                for (int32_t i = 1; i <= n; ++i) {
                    const int g = copies(rows[std::size_t(i - 1)][std::size_t(l - 1)]);
                    if (g < 0) continue;
                    call += g, mall += 2;
                    if (!vars.unrelset[std::size_t(i)]) continue;
                    cset += g, mset += 2;
                    if (vars.popof[std::size_t(i)] == p) c += g, m += 2;
                }
                const double whole = call / mall, set = cset / mset, f = (c + set) / (m + 1);
                signal += 2 * (f - set) * (f - set);
                noise += 2 * f * (1 - f) * (1 / m - 1 / mset);
                const double s = vars.popshrink[std::size_t(p)];
                const double a = vars.popfreq[popfreqat(vars.locusloc[std::size_t(u - 1)] + 1, p)];
                const double b = vars.popfreq[popfreqat(vars.locusloc[std::size_t(u - 1)] + 2, p)];
                EXPECT_NEAR(a + b, 1, 1e-12) << l;
                EXPECT_NEAR(std::min(std::abs(a - whole - s * (f - set)), std::abs(b - whole - s * (f - set))), 0,
                            1e-12)
                    << l;
                if (one) {
                    EXPECT_NEAR(std::min(std::abs(a - whole), std::abs(b - whole)), 0, 1e-12) << l;
                }
                const int g = copies(rows[std::size_t(member - 1)][std::size_t(l - 1)]);
                const double fout = (c - g + set) / (m - 2 + 1), setout = (cset - g) / (mset - 2);
                const double half = whole + s * ((f + fout) / 2 - (set + setout) / 2), x = own[std::size_t(u)];
                const double without = whole + s * (fout - setout), y = related[std::size_t(u)];
                if (p == vars.popof[std::size_t(outside)]) {
                    // recounted without them; relativefreqs takes each out as
                    // if it alone were, which is right to first order
                    double ck = c, mk = m, csk = cset, msk = mset;
                    for (const int32_t r : kin) {
                        const int gr = copies(rows[std::size_t(r - 1)][std::size_t(l - 1)]);
                        if (gr >= 0) ck -= gr, mk -= 2, csk -= gr, msk -= 2;
                    }
                    const double w = whole + s * ((ck + set) / (mk + 1) - csk / msk);
                    const double y = otherrel[std::size_t(u)], x = other[std::size_t(u)];
                    if (w > 0.01 && w < 0.99) {
                        off += std::min(std::abs(y - w), std::abs(y - (1 - w)));
                        apart += std::min(std::abs(x - w), std::abs(x - (1 - w)));
                    }
                }
                if (p == vars.popof[std::size_t(member)] && g >= 0 && half > 0.01 && half < 0.99) {
                    EXPECT_NEAR(std::min(std::abs(x - half), std::abs(x - (1 - half))), 0, 1e-12) << l;
                    EXPECT_NEAR(std::min(std::abs(y - without), std::abs(y - (1 - without))), 0, 1e-12) << l;
                }
            }
            if (p == vars.popof[std::size_t(outside)] && !one) {
                EXPECT_LT(off, 0.15 * apart) << p;  // the second order: 0.06 here
            }
            const double s = signal > noise ? std::sqrt(1 - noise / signal) : 0;
            EXPECT_NEAR(vars.popshrink[std::size_t(p)], s, 1e-9) << p;
            if (!one) {
                EXPECT_GT(s, 0.5) << p;
            }
        }
    }
}

TEST(AncestryStructure, showsOnlyWhereThere)
{
    const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
        {{"--subpops", "3", "--fst", "0.05"}, true},
        {{"--families", "all"}, false},
        {{"--families", "un"}, false},
    };
    for (const auto& [args, shows] : cases) {
        tempdir dir;
        std::vector<std::string> all = {"--individuals", "200", "--loci", "5000", "--seed", "7"};
        all.insert(all.end(), args.begin(), args.end());
        simulate(dir, all);
        readsim(dir, 200, 5000);
        const std::vector<uint32_t> snp = vars.snp;
        EXPECT_EQ(structureshows(), shows) << args[0] << " " << args[1];
        EXPECT_TRUE(vars.snp == snp);
    }
}
