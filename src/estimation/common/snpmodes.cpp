// IIS counts of every dyad this process owns, straight from the packed SNP
// store, for runs that only count modes.
//
// At a two-allele locus the mode follows from the two genotypes alone: 1
// both homozygous for the same allele, 2 for different alleles, 3 the first
// homozygous and the second heterozygous, 5 the other way round, 7 both
// heterozygous.  Each individual's genotypes become three bit-planes
// (homozygous 1/1, homozygous 2/2, heterozygous; a missing genotype sets no
// bit), 32 loci a 64-bit word, and a dyad's loci in each mode are counted
// with popcount.  Loci are taken in chunks whose planes for all individuals
// stay in cache while every dyad passes over them.  A unique locus that
// stands for several identical loci (markercnt above 1) is counted once by
// the planes and gets the rest of its weight afterwards, one locus at a
// time.  The counts are integers, so the order of the additions does not
// matter: the result equals the locus-by-locus count.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "estimation/common/common.hpp"
#include "estimation/common/modes.hpp"
#include "genotypes/snpstore.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* const routine = "EM_Delta";

// One row of a chunk: dyads (i, j) for j = i + 1..n, the first of them
// dyad number k, those of this process only.
struct chunkrow {
    const uint64_t* plane;  // the chunk's planes, individual 1 first
    std::size_t stride;     // words per individual
    int32_t width, s, i, n;
    int64_t k;
};

}  // namespace

#define KX_KERNEL "estimation/common/modecount.hpp"
#include "estimation/simd/simdversions.hpp"

void snpmodecounts()
{
    const int32_t n = vars.numindiv, words = vars.snpwords;
    const int32_t slots = (words + 1) / 2;

    // Chunks of about 6 MB of planes for all individuals, at least 8 slots.
    // Wider chunks mean fewer per-dyad sums; measured on 2000 x 100000: 4 MB
    // 7% slower, 8 MB 2 MB more memory for little, 1 and 16 MB slower.
    const std::size_t slotbytes = 3 * sizeof(uint64_t) * std::size_t(n);
    const int32_t width = std::min(std::max<int32_t>(8, int32_t((std::size_t(6) << 20) / slotbytes)), slots);
    const std::size_t stride = 3 * std::size_t(width);
    std::vector<uint64_t> plane;
    allocarray(plane, stride * std::size_t(n), uint64_t(0), vars.memerr, routine);

    for (int32_t first = 0; first < slots; first += width) {
        const int32_t s = std::min(width, slots - first);
        for (int32_t i = 1; i <= n; ++i) {
            const uint32_t* col = snpcolumn(i);
            uint64_t* out = plane.data() + std::size_t(i - 1) * stride;
            for (int32_t q = 0; q < s; ++q) snpplanes(col, 2 * (first + q), words, out, width, q);
        }
        for (int32_t i = 1; i < n; ++i) {
            const chunkrow row{plane.data(), stride, width, s, i, n, dyadnum(i, i + 1, n)};
            SIMDCALL(countrow, row);
        }
    }

    // The rest of the weight of loci that stand for several.
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const int32_t extra = vars.markercnt[std::size_t(l)] - 1;
        if (extra <= 0) continue;
        for (int32_t i = 1; i < n; ++i) {
            const int ci = snpcodeof(i, l);
            if (ci == 0) continue;
            for (int32_t j = i + 1; j <= n; ++j) {
                const int64_t k = dyadnum(i, j, n);
                const int cj = snpcodeof(j, l);
                if (!owndyad(k) || cj == 0) continue;
                vars.iisdyad[iisat(codemode(ci, cj), k)] += extra;
            }
        }
    }
}
