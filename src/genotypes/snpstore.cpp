// The packed SNP store: packing rows of genotype characters and unpacking
// an individual's words into allele pairs.
#include <algorithm>
#include <array>
#include <cstring>

#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

// Unpack table: for every byte value, the allele pairs of its four loci.
struct unpacktable {
    std::array<std::array<int8_t, 8>, 256> entry{};
    constexpr unpacktable()
    {
        for (int v = 0; v < 256; ++v)
            for (int q = 0; q < 4; ++q) {
                int code = (v >> (2 * q)) & 3;
                entry[std::size_t(v)][std::size_t(2 * q)] = snppair[code][0];
                entry[std::size_t(v)][std::size_t(2 * q + 1)] = snppair[code][1];
            }
    }
};

constexpr unpacktable idxsnp;

// 2-bit code of every character ("2" 1, "1" 3, "0" 2, others 0), for
// packing without a branch per locus.
struct codetable {
    std::array<uint8_t, 256> code{};
    constexpr codetable()
    {
        code[std::size_t('2')] = 1;
        code[std::size_t('1')] = 3;
        code[std::size_t('0')] = 2;
    }
};

constexpr codetable charcode;

}  // namespace

void convertgtype1(const char* row, int32_t rowlen, int32_t lastword, uint32_t* column)
{
    const int32_t n = vars.numloci;
    const int32_t m = rowlen < n ? rowlen : n;
    const unsigned char* r = reinterpret_cast<const unsigned char*>(row);
    // Pack whole words, then the observation bytes: after a few rows almost
    // every locus has seen both alleles and is passed over.
    for (int32_t w = 0; w <= lastword; ++w) {
        const int32_t l0 = 16 * w;
        const int32_t k = m - l0 < 16 ? (m - l0 > 0 ? m - l0 : 0) : 16;
        uint32_t word = 0;
        for (int32_t q = 0; q < k; ++q) word |= uint32_t(charcode.code[r[l0 + q]]) << (2 * q);
        column[w] = word;
    }
    int8_t* obs = vars.obsnumallele.data() + 1;
    for (int32_t l = 0; l < m; ++l) {
        int8_t b = obs[l];
        if (b == 2) continue;
        const char c = row[l];
        const int code = charcode.code[r[l]];
        if (code == 0) continue;
        if (c == '1') b = 2;
        else if (b == 0) b = int8_t(-code);
        else if (b + code != 0) b = 2;
        obs[l] = b;
    }
}

void convertgtype2(const char* block, int32_t first, int32_t last, int32_t numindiv)
{
    packgtype2(block, first, last, numindiv, 1, numindiv);
    blockalleles(block, first, last, numindiv);
}

void packgtype2(const char* block, int32_t first, int32_t last, int32_t numindiv, int32_t i1, int32_t i2)
{
    // Word-major first, so that the loop over the individuals runs on
    // vectors; then each individual's words go to its column together,
    // one short run of the store per individual and not one word.
    static std::vector<uint32_t> word;
    const std::size_t m = std::size_t(i2 - i1 + 1), words = std::size_t((last - first) / 16 + 1);
    if (word.size() < m * words) allocarray(word, m * words, 0u, allocfailmessage("packing genotypes"), "ConvertGType2");
    for (std::size_t k = 0; k < words; ++k) {
        uint32_t* out = word.data() + k * m;
        std::fill(out, out + m, 0u);
        const int32_t l1 = first + int32_t(16 * k), l2 = std::min(l1 + 15, last);
        for (int32_t l = l1; l <= l2; ++l) {
            const char* line = block + std::size_t(l - first) * std::size_t(numindiv) + std::size_t(i1 - 1);
            const int shift = 2 * (l - l1);
            // the codes without a branch
            for (std::size_t i = 0; i < m; ++i) {
                const char c = line[i];
                out[i] |= (uint32_t(c == '2') | uint32_t(c == '1') * 3u | uint32_t(c == '0') * 2u) << shift;
            }
        }
    }
    const std::size_t w = std::size_t((first - 1) / 16);
    for (int32_t i = i1; i <= i2; ++i) {
        uint32_t* col = vars.snp.data() + snpcol(i) + w;
        const uint32_t* in = word.data() + std::size_t(i - i1);
        for (std::size_t k = 0; k < words; ++k) col[k] = in[k * m];
    }
}

void blockalleles(const char* block, int32_t first, int32_t last, int32_t numindiv)
{
    for (int32_t l = first; l <= last; ++l) {
        const char* line = block + std::size_t(l - first) * std::size_t(numindiv);
        // two alleles as soon as a heterozygote or both homozygotes show
        bool seen0 = false, seen1 = false, seen2 = false;
        for (int32_t i = 0; i < numindiv && !seen1 && !(seen0 && seen2); ++i) {
            const char c = line[i];
            seen0 = seen0 || c == '0';
            seen1 = c == '1';
            seen2 = seen2 || c == '2';
        }
        vars.obsnumallele[std::size_t(l)] = (seen1 || (seen0 && seen2)) ? 2 : 1;
    }
}

void retrivesnp(int32_t n, int32_t indiv, int8_t* out)
{
    const uint32_t* column = snpcolumn(indiv);
    int32_t full = n / 4;  // whole bytes of four loci
    for (int32_t b = 0; b < full; ++b) {
        uint32_t byte = (column[b >> 2] >> (8 * (b & 3))) & 0xFFu;
        std::memcpy(out + 8 * std::size_t(b), idxsnp.entry[byte].data(), 8);
    }
    int32_t rest = n - 4 * full;
    if (rest > 0) {
        uint32_t byte = (column[full >> 2] >> (8 * (full & 3))) & 0xFFu;
        std::memcpy(out + 8 * std::size_t(full), idxsnp.entry[byte].data(), 2 * std::size_t(rest));
    }
}
