// Eight dyads' EMs side by side must give every dyad the Deltas and the
// iteration count of its own scalar EM, to the bit, however the dyads pass
// through the lanes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "emreference.hpp"
#include "estimation/common/common.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/fixed/fixed.hpp"
#include "estimation/estimation.hpp"
#include "estimation/fixed/emlanes.hpp"
#include "estimation_setup.hpp"

using esttest::missing;

namespace {

// Random multi-allelic data with missing genotypes; with few alleles the
// counts repeat, so merged entries are common.
void randommulti(int32_t n, int32_t u, int maxalleles, double miss, uint64_t seed)
{
    esttest::rng r{seed};
    std::vector<int> alleles(std::size_t(u), 0);
    std::vector<std::vector<std::pair<int, int>>> g(std::size_t(n),
                                                   std::vector<std::pair<int, int>>(std::size_t(u), {0, 0}));
    for (int32_t l = 0; l < u; ++l) {
        int k = 2 + int(r.next() % unsigned(maxalleles - 1));
        alleles[std::size_t(l)] = k;
        for (int32_t i = 0; i < n; ++i) {
            int a = 1 + int(double(k) * r.uniform() * r.uniform()), b = 1 + int(double(k) * r.uniform());
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < miss ? std::make_pair(0, 0) : std::make_pair(a, b);
        }
        for (int a = 1; a <= k; ++a) g[std::size_t(a - 1)][std::size_t(l)] = {a, a};
    }
    esttest::multidata(g, alleles);
}

struct solved {
    double d[10];
    int iterations;
};

bool samebits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every dyad through the scalar EM and through the lanes, from the start
// `start` (emstart of d9 when start is null); the lanes are refilled as the
// program does, one dyad per free lane.
// Returns the fewest and most iterations of a dyad.
std::pair<int, int> compare(double tol, const double* start)
{
    tallygtypes();
    emwork w;
    planmerge(w);
    gtypebuffer(w.buf1, "test");
    gtypebuffer(w.buf2, "test");
    const double d9 = 0.8125;
    std::vector<solved> scalar, laned;
    std::vector<int32_t> order;  // dyads by serial number, as loaded
    emlanes z;
    lanesetup(z, 2);  // small, so that the buffers must grow
    int64_t loaded = 0, finished = 0;
    const int32_t n = vars.numindiv;
    std::vector<solved> byserial(std::size_t(n) * std::size_t(n));

    auto drain = [&](bool all) {
        for (;;) {
            bool any = false, free = false;
            for (int l = 0; l < nlanes; ++l) {
                any = any || z.busy[l];
                free = free || !z.busy[l];
            }
            if (!any || (free && !all)) return;
            const uint32_t done = lanesiterate(z, tol);
            for (int l = 0; l < nlanes; ++l) {
                if (!(done >> l & 1u)) continue;
                solved s;
                lanedeltas(z, l, s.d);
                s.iterations = z.iter[l];
                byserial[std::size_t(z.serial[l])] = s;
                lanefree(z, l);
                ++finished;
            }
        }
    };

    int64_t serial = 0;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            int32_t iis[9];
            dyadentries(w.plan, w.scratch, w.entries, fetchgtype(i, w.buf1), fetchgtype(j, w.buf2), iis);
            solved s;
            emstart(d9, s.d);
            if (start) std::copy(start, start + 10, s.d);
            s.iterations = emiterate(w.entries, s.d, tol);
            scalar.push_back(s);

            drain(false);
            int lane = 0;
            while (z.busy[lane]) ++lane;
            laneload(z, lane, w.entries, d9);
            if (start)
                for (int k = 1; k <= 9; ++k) z.d[k].x[lane] = start[k];
            z.serial[lane] = serial++;
            ++loaded;
        }
    drain(true);
    EXPECT_EQ(finished, loaded);
    std::pair<int, int> range{1000, 0};
    for (std::size_t k = 0; k < scalar.size(); ++k) {
        EXPECT_EQ(byserial[k].iterations, scalar[k].iterations) << "dyad " << k + 1;
        range.first = std::min(range.first, scalar[k].iterations);
        range.second = std::max(range.second, scalar[k].iterations);
        for (int s = 1; s <= 9; ++s)
            EXPECT_TRUE(samebits(byserial[k].d[s], scalar[k].d[s]))
                << "dyad " << k + 1 << " Delta" << s << ": " << byserial[k].d[s] << " vs " << scalar[k].d[s];
    }
    return range;
}

}  // namespace

TEST(estimation_lanes, sameDeltasAsTheScalarEmWithInbreeding)
{
    esttest::freshstate(1);
    randommulti(23, 150, 5, 0.05, 3);
    compare(1e-6, nullptr);
}

TEST(estimation_lanes, sameDeltasAsTheScalarEmWithoutInbreeding)
{
    esttest::freshstate(0);
    randommulti(23, 150, 5, 0.05, 4);
    compare(1e-6, nullptr);
}

TEST(estimation_lanes, dyadsStoppingEarlyAreReplacedWithoutDisturbingTheOthers)
{
    // a loose tolerance: dyads stop after different numbers of iterations
    esttest::freshstate(1);
    randommulti(19, 60, 7, 0.2, 5);
    auto [fewest, most] = compare(1e-3, nullptr);
    EXPECT_LT(fewest + 10, most);
}

TEST(estimation_lanes, entriesWhoseSumIsZeroAreSkippedAsInTheScalarEm)
{
    // Delta9 = 0 at the start: the entries of modes 2, 4 and 6 have nothing
    // to spread and must add nothing.
    esttest::freshstate(0);
    randommulti(17, 80, 6, 0.02, 6);
    const double start[10] = {0, 0, 0, 0, 0, 0, 0, 0.5, 0.5, 0.0};
    compare(1e-6, start);
}

TEST(estimation_lanes, snpDataThroughTheLanes)
{
    esttest::freshstate(1);
    esttest::rng r{8};
    const int32_t n = 21, u = 400;
    std::vector<std::vector<int>> g(std::size_t(n), std::vector<int>(std::size_t(u), 0));
    for (int32_t l = 0; l < u; ++l) {
        double p = 0.05 + 0.45 * r.uniform();
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < 0.03 ? missing : (r.uniform() < p) + (r.uniform() < p);
        g[0][std::size_t(l)] = 1;
    }
    esttest::snpdata(g);
    compare(1e-6, nullptr);
}
