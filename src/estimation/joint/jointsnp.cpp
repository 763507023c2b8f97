// The dyad loop of an iteration of the joint EM for two-allele data in the
// packed store: this process's dyads in batches of eight of one individual
// 1, their E-steps over all loci (jointkernel.hpp, divided among threads
// by blocks of loci as in the scalar E-step), then each dyad's M-step in
// serial order.
#include <algorithm>

#include "estimation/common/modes.hpp"
#include "estimation/joint/joint.hpp"
#include "genotypes/snpstore.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

#define KX_KERNEL "estimation/joint/jointkernel.hpp"
#include "estimation/simd/simdversions.hpp"

namespace {

const char* routine = "EM_Delta_P";

// Batches per sweep: the sums of a sweep's dyads stay in cache.
constexpr int32_t sweepbatches = 128;

// The records of the sweep's dyads, in serial order, eight to a batch.
struct pending {
    int32_t j, i;
    int64_t k;
    estepdyad rec;
    dyadsums sums;
};

void runsweep(jointwork& wk, int32_t t, snpsweep& s, std::vector<pending>& dyads, int32_t count)
{
    // batches of one individual 1
    s.nbatch = 0;
    for (int32_t x = 0; x < count;) {
        snpbatch& b = s.batch[std::size_t(s.nbatch++)];
        b = snpbatch{};
        b.j = dyads[std::size_t(x)].j;
        while (x < count && b.used < nlanes && dyads[std::size_t(x)].j == b.j) {
            const pending& y = dyads[std::size_t(x)];
            const int q = b.used++;
            b.i[q] = y.i;
            b.k[q] = y.k;
            b.col2[q] = int64_t(snpcol(y.i));
            for (int st = 0; st < 9; ++st) b.d[st].x[q] = y.rec.d[st];
            b.h1.x[q] = y.rec.h1one ? 1.0 : s.h1;
            b.h1last.x[q] = y.rec.h1one ? 1.0 : s.h1last;
            ++x;
        }
    }

    runsnpsweep(s);

    // each dyad's sums: its prior, then every thread's part in thread order
    int32_t x = 0;
    for (int32_t bi = 0; bi < s.nbatch; ++bi) {
        const snpbatch& b = s.batch[std::size_t(bi)];
        for (int q = 0; q < b.used; ++q, ++x) {
            pending& y = dyads[std::size_t(x)];
            for (int32_t th = 0; th < s.threads; ++th) {
                const snpsums& part = s.sums[std::size_t(th) * std::size_t(s.nbatch) + std::size_t(bi)];
                for (int st = 0; st < 9; ++st) y.sums.a[st] += part.a[st].x[q];
                y.sums.w += part.w.x[q];
            }
            dyadfinish(wk, y.j, y.i, y.k, t, y.rec, y.sums);
        }
    }
}

}  // namespace

bool snpjoint() { return vars.dataform != 0 && vars.maxnumallele <= 2; }

void snpsweepblock(snpsweep& s, int32_t thread, int32_t first, int32_t last)
{
    SIMDCALL(sweep, s, thread, first, last);
}

void snpdyadloop(jointwork& wk, jointgenes& gs, int32_t t)
{
    const int32_t n = vars.numindiv;
    const int32_t threads = std::max(teamsize(), 1);
    snpsweep s;
    s.work = &wk;
    s.genes = &gs;
    s.t = t;
    const int32_t most = sweepbatches * nlanes;
    allocarray(s.batch, std::size_t(sweepbatches), snpbatch{}, vars.memerr, routine);
    allocarray(s.sums, std::size_t(threads) * std::size_t(sweepbatches), snpsums{}, vars.memerr, routine);
    allocarray(s.tables, std::size_t(threads) * 27 * std::size_t(snpblockloci), lanerow{}, vars.memerr, routine);
    std::vector<pending> dyads;
    allocarray(dyads, std::size_t(most), pending{}, vars.memerr, routine);

    // Delta9's factors: a dyad's first counted locus decides them; with two
    // alleles everywhere only the last locus differs from the others.
    double h2 = 1.0, h3 = 1.0;
    delta9factors(2, std::max(1, vars.numloci2 - 1), t, wk, s.h1, h2, h3);
    delta9factors(2, vars.numloci2, t, wk, s.h1last, h2, h3);
    const double nn = double(n);
    s.selfterm = 1.0 + 2.0 / (nn * nn);

    // Dyads are gathered until their batches fill a sweep; a batch takes up
    // to eight dyads of one individual 1.
    int32_t count = 0, batches = 0, inbatch = 0, lastj = 0;
    for (int32_t j = 1; j < n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            const int64_t k = dyadnum(j, i, n);
            if (!dyadtoupdate(wk, j, i, k)) continue;
            if (batches == 0 || j != lastj || inbatch == nlanes) {
                if (batches == sweepbatches) {
                    runsweep(wk, t, s, dyads, count);
                    count = batches = 0;
                }
                ++batches;
                inbatch = 0;
                lastj = j;
            }
            ++inbatch;
            pending& y = dyads[std::size_t(count++)];
            y.j = j;
            y.i = i;
            y.k = k;
            dyadrecord(wk, j, i, t, y.rec, y.sums);
        }
    if (count > 0) runsweep(wk, t, s, dyads, count);
}
