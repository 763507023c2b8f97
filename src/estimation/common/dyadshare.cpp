// The dyad results after the dyad loop: the sums that give every process
// every dyad, and the second orientation of every pair.
#include <algorithm>

#include "estimation/common/common.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void sumdyadresults(const char* routine)
{
    const int32_t n = vars.numindiv;
    const std::size_t slab = 9 * std::size_t(n);
    std::vector<float> sendreal;
    allocarray(sendreal, slab, 0.0f, vars.memerr, routine);
    for (int32_t i = 1; i <= n; ++i) {
        float* recv = vars.delta.data() + deltaat(1, 1, i);
        std::copy(recv, recv + slab, sendreal.begin());
        parsumreal(sendreal.data(), recv, slab);
    }
    sendreal = std::vector<float>();
    sumiiscounts(routine);
}

void sumiiscounts(const char* routine)
{
    const int32_t n = vars.numindiv;
    // Chunks of C dyads, C odd, so that the n(n-1)/2 dyads make whole chunks.
    const int64_t chunk = (n % 2 == 1) ? n : n - 1;
    const int64_t chunks = (int64_t(n) * (n - 1) / 2) / chunk;
    const std::size_t words = 9 * std::size_t(chunk);
    std::vector<int32_t> sendint;
    allocarray(sendint, words, 0, vars.memerr, routine);
    for (int64_t c = 0; c < chunks; ++c) {
        int32_t* recv = vars.iisdyad.data() + std::size_t(c) * words;
        std::copy(recv, recv + words, sendint.begin());
        parsumint(sendint.data(), recv, words);
    }
}

void mirrordelta()
{
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            const float* s = vars.delta.data() + deltaat(1, j, i);
            mirrored(s, vars.delta.data() + deltaat(1, i, j));
        }
}
