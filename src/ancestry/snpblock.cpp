// Standardised genotypes of a set of individuals, a block of loci at a
// time, decoded from the packed store; never the whole matrix.
#include <cmath>

#include "ancestry/ancestrywork.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void setscale(const std::vector<int32_t>& rows, snpscale& scale)
{
    const int32_t nloc = vars.numloci2, words = vars.snpwords;

    // Genotypes of each code at every locus, count[4 (u - 1) + code].
    std::vector<int32_t> count;
    allocarray(count, 4 * std::size_t(nloc) + 64, 0, vars.memerr, ancroutine);
    for (const int32_t i : rows) {
        const uint32_t* col = snpcolumn(i);
        int32_t* c = count.data();
        for (int32_t w = 0; w < words; ++w, c += 64) {
            const uint32_t x = col[w];
            for (int32_t f = 0; f < 16; ++f) ++c[4 * f + int32_t((x >> (2 * f)) & 3u)];
        }
    }

    allocarray(scale.value, 4 * std::size_t(nloc), 0.0, vars.memerr, ancroutine);
    scale.trace = 0.0;
    scale.used = 0;
    for (int32_t u = 1; u <= nloc; ++u) {
        const int32_t* c = count.data() + 4 * std::size_t(u - 1);
        const int32_t typed = c[1] + c[2] + c[3];
        if (typed == 0) continue;
        const double p = double(2 * c[1] + c[3]) / double(2 * typed);
        if (p <= 0.0 || p >= 1.0) continue;
        const double s = std::sqrt(double(vars.markercnt[std::size_t(u)]) / (2.0 * p * (1.0 - p)));
        double* v = scale.value.data() + 4 * std::size_t(u - 1);
        v[1] = (2.0 - 2.0 * p) * s;
        v[2] = -2.0 * p * s;
        v[3] = (1.0 - 2.0 * p) * s;
        scale.trace += double(c[1]) * v[1] * v[1] + double(c[2]) * v[2] * v[2] + double(c[3]) * v[3] * v[3];
        ++scale.used;
    }
}

void decodeblock(int32_t first, int32_t count, const std::vector<int32_t>& rows, const double* value, int32_t stride,
                 double* out)
{
    const int32_t w0 = snpwordof(first), wn = snpwordof(first + count - 1) - w0 + 1;
    const double* table0 = value + std::size_t(stride) * std::size_t(first - 1);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const uint32_t* col = snpcolumn(rows[r]) + w0;
        double* o = out + r * std::size_t(count);
        const double* t = table0;
        int32_t l = 0;
        for (int32_t w = 0; w < wn; ++w) {
            const uint32_t x = col[w];
            const int32_t fields = count - l < 16 ? count - l : 16;
            for (int32_t f = 0; f < fields; ++f, ++l, t += stride) o[l] = t[(x >> (2 * f)) & 3u];
        }
    }
}
