// The start of a replicate of the joint EM: random or shifted starting
// Deltas, the dyads that have something to compare, and the counts of
// dyads showing four different alleles at a locus.
#include "estimation/common/common.hpp"
#include "estimation/joint/joint.hpp"
#include "genotypes/genotypes.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

// Divides the nine single-precision values by their sum (in single
// precision, summed in order 1..9).
void normalise(float* d)
{
    float sum = 0.0f;
    for (int s = 0; s < 9; ++s) sum += d[s];
    for (int s = 0; s < 9; ++s) d[s] = d[s] / sum;
}

// Writes the mirrored copy of delta(., i, j) into delta(., j, i).
void mirror(int32_t j, int32_t i)
{
    mirrored(vars.delta.data() + deltaat(1, i, j), vars.delta.data() + deltaat(1, j, i));
}

}  // namespace

void randomstart()
{
    const int32_t n = vars.numindiv;
    for (int32_t j = 1; j <= n; ++j) {
        for (int32_t i = j + 1; i <= n; ++i) {
            float* d = vars.delta.data() + deltaat(1, i, j);
            for (int s = 0; s < 8; ++s) d[s] = float(ran1());
            d[8] = float((ran1() + 1.0) * 5.0);
            normalise(d);
            mirror(j, i);
        }
        float* d = vars.delta.data() + deltaat(1, j, j);
        for (int s : {0, 1, 2, 3, 4, 5, 7, 8}) d[s] = float(ran1());
        d[6] = float((ran1() + 1.0) * 5.0);
        normalise(d);
    }
}

void shiftdeltas()
{
    const int32_t n = vars.numindiv;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            float* d = vars.delta.data() + deltaat(1, i, j);
            for (int s = 8; s >= 1; --s) d[s] = d[s - 1] + 0.001f;
            d[0] = 0.1f;
            normalise(d);
            mirror(j, i);
        }
}

void setdyadflags(jointwork& wk)
{
    const int32_t n = vars.numindiv;
    const int64_t dyads = int64_t(n) * (n - 1) / 2;
    allocarray(wk.dyadflag, std::size_t(dyads) + 1, int8_t(0), vars.memerr, "EM_Delta_P");
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            int64_t k = dyadnum(j, i, n);
            const int32_t* c = vars.iisdyad.data() + iisat(1, k);
            bool any = false;
            for (int m = 0; m < 9; ++m) any = any || c[m] != 0;
            wk.dyadflag[std::size_t(k)] = any ? 1 : 0;
            if (any) continue;
            float* d = vars.delta.data() + deltaat(1, i, j);
            for (int s = 0; s < 8; ++s) d[s] = 0.0f;
            d[8] = 1.0f;
            mirror(j, i);
        }
}

void fourdistinct(jointwork& wk)
{
    wk.distinctcnt.clear();
    if (vars.maxnumallele < 4) return;
    allocarray(wk.distinctcnt, std::size_t(vars.numallallele) + 1, 0, allocfailmessage("four-allele counts"),
               "EM_Delta_P");
    const int32_t n = vars.numindiv, u = vars.numloci2, p = vars.numthreads;
    int32_t found = 0;
    for (int32_t l = 1; l <= u; ++l) {
        const int32_t base = vars.locusloc[std::size_t(l - 1)];
        int64_t counter = 0;
        for (int32_t m = 1; m < n; ++m) {
            const int8_t* x = vars.indivgtype.data() + gtypeat(1, l, m);
            const bool het = x[0] != x[1];
            if (p == 1 && !het) continue;
            for (int32_t s = m + 1; s <= n; ++s) {
                if (p > 1) {
                    ++counter;
                    if (!ownpair(counter) || !het) continue;
                }
                const int8_t* y = vars.indivgtype.data() + gtypeat(1, l, s);
                if (y[0] == y[1]) continue;
                if (y[0] == x[0] || y[0] == x[1] || y[1] == x[0] || y[1] == x[1]) continue;
                for (int32_t a : {int32_t(x[0]), int32_t(x[1]), int32_t(y[0]), int32_t(y[1])})
                    ++wk.distinctcnt[std::size_t(base + a)];
                found = 1;
            }
        }
    }
    if (p > 1) {
        int32_t mine = found;
        parsumint(&mine, &found, 1);
    }
    if (found == 0) wk.distinctcnt.clear();
}
