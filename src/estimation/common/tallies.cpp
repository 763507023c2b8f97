// Allele and genotype tallies: numa (gene copies per allele), nummisg
// (missing individuals per locus) and indvar (weighted missing, homozygous
// and heterozygous loci per individual).  Each process tallies its own
// share of the individuals; the sums over processes complete them.
#include <algorithm>

#include "estimation/common/common.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

// recv[0..n-1] becomes its sum over all processes.
void sumover(int32_t* recv, std::size_t n)
{
    std::vector<int32_t> send;
    allocarray(send, n, 0, vars.memerr, routine);
    std::copy(recv, recv + n, send.begin());
    parsumint(send.data(), recv, n);
}

}  // namespace

void tallygtypes()
{
    const int32_t nloc = vars.numloci2;
    allocarray(vars.indvar, 3 * std::size_t(vars.numindiv), 0, vars.memerr, routine);
    allocarray(vars.nummisg, std::size_t(nloc) + 1, 0, vars.memerr, routine);
    allocarray(vars.numa, std::size_t(vars.numallallele) + 1, 0, vars.memerr, routine);

    std::vector<int8_t> buf;
    gtypebuffer(buf, routine);
    const int32_t* cnt = vars.markercnt.data();
    const int32_t* loc = vars.locusloc.data();
    int32_t* numa = vars.numa.data();
    int32_t* misg = vars.nummisg.data();
    for (int32_t i = vars.indivl1; i <= vars.indivl2; ++i) {
        const int8_t* g = fetchgtype(i, buf);
        int32_t missing = 0, homo = 0, hetero = 0;
        for (int32_t l = 1; l <= nloc; ++l, g += 2) {
            if (g[0] == 0) {
                ++misg[l];
                missing += cnt[l];
                continue;
            }
            ++numa[loc[l - 1] + g[0]];
            ++numa[loc[l - 1] + g[1]];
            const int32_t hom = g[0] == g[1];  // counted without a branch
            homo += hom * cnt[l];
            hetero += (1 - hom) * cnt[l];
        }
        vars.indvar[indvarat(1, i)] += missing;
        vars.indvar[indvarat(2, i)] += homo;
        vars.indvar[indvarat(3, i)] += hetero;
    }

    if (vars.numthreads > 1) {
        sumover(numa + 1, std::size_t(vars.numallallele));
        sumover(misg + 1, std::size_t(nloc));
        sumover(vars.indvar.data(), 3 * std::size_t(vars.numindiv));
    }
}

void locussizes(std::vector<int32_t>& n)
{
    allocarray(n, std::size_t(vars.numloci2) + 1, 0, vars.memerr, routine);
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        int32_t s = 0;
        for (int32_t a = vars.locusloc[l - 1] + 1; a <= vars.locusloc[l]; ++a) s += vars.numa[a];
        n[l] = s;
    }
}
