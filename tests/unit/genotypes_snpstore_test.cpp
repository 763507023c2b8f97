// Packing SNP rows into 2-bit codes and unpacking them into allele pairs.
#include <gtest/gtest.h>

#include <algorithm>

#include "genotypes/genotypes.hpp"
#include "run/parfile.hpp"
#include "testutil.hpp"

namespace {

// A store of n individuals and `loci` loci, empty.
void emptystore(int n, int loci)
{
    freshstate();
    vars.numindiv = n;
    vars.numloci = loci;
    initialpara();
    vars.snpwords = (loci - 1) / 16 + 1;
    vars.snp.assign(std::size_t(n) * std::size_t(vars.snpwords), 0xDEADBEEFu);
    vars.obsnumallele.assign(std::size_t(loci) + 1, 0);
}

// Packs one row per individual (layout 2).
void packrows(const std::vector<std::string>& rows)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        convertgtype1(rows[i].data(), int32_t(rows[i].size()), vars.snpwords - 1,
                      vars.snp.data() + snpcol(int(i) + 1));
}

// Packs one line per locus (layout 1), 16 lines to a block.
void packloci(const std::vector<std::string>& lines)
{
    for (std::size_t first = 0; first < lines.size(); first += 16) {
        std::string block;
        std::size_t last = std::min(first + 16, lines.size());
        for (std::size_t l = first; l < last; ++l) block += lines[l];
        convertgtype2(block.data(), int32_t(first) + 1, int32_t(last), vars.numindiv);
    }
}

std::vector<int> obs()
{
    return std::vector<int>(vars.obsnumallele.begin() + 1, vars.obsnumallele.end());
}

}  // namespace

TEST(snpstore, twoOneZeroPackToWord45AndRetrieveAsPairs)
{
    emptystore(1, 3);
    packrows({"210"});
    EXPECT_EQ(vars.snp[0], 45u);
    int8_t out[6];
    retrivesnp(3, 1, out);
    EXPECT_EQ(std::vector<int>(out, out + 6), (std::vector<int>{1, 1, 1, 2, 2, 2}));

    emptystore(1, 3);
    packloci({"2", "1", "0"});
    EXPECT_EQ(vars.snp[0], 45u);
}

TEST(snpstore, locus17StartsASecondWord)
{
    emptystore(2, 17);
    EXPECT_EQ(vars.snpwords, 2);
    packrows({"0000000000000000" "1", "2222222222222222" "0"});
    EXPECT_EQ(vars.snp[snpcol(1)], 0xAAAAAAAAu);
    EXPECT_EQ(vars.snp[snpcol(1) + 1], 3u);
    EXPECT_EQ(vars.snp[snpcol(2)], 0x55555555u);
    EXPECT_EQ(vars.snp[snpcol(2) + 1], 2u);

    emptystore(1, 16);
    EXPECT_EQ(vars.snpwords, 1);
}

TEST(snpstore, layoutsAgreeOnTheStore)
{
    std::vector<std::string> rows = {"2102x9-1 0120211220", "0000111122223333 10", "2 1 0 9 1 2 0 1 2 0"};
    emptystore(3, 19);
    packrows(rows);
    std::vector<uint32_t> byrow = vars.snp;
    std::vector<std::string> lines(19, std::string(3, ' '));
    for (int i = 0; i < 3; ++i)
        for (int l = 0; l < 19; ++l) lines[std::size_t(l)][std::size_t(i)] = rows[std::size_t(i)][std::size_t(l)];
    emptystore(3, 19);
    packloci(lines);
    EXPECT_EQ(vars.snp, byrow);

    // each process packs its own individuals' words: individual 1, then 2-3
    emptystore(3, 19);
    vars.snp.assign(vars.snp.size(), 0u);
    for (int first = 1; first <= 19; first += 16) {
        std::string block;
        for (int l = first; l <= std::min(first + 15, 19); ++l) block += lines[std::size_t(l - 1)];
        packgtype2(block.data(), first, std::min(first + 15, 19), 3, 1, 1);
        packgtype2(block.data(), first, std::min(first + 15, 19), 3, 2, 3);
    }
    EXPECT_EQ(vars.snp, byrow);

    // and in one block of two words
    emptystore(3, 19);
    std::string all;
    for (const std::string& line : lines) all += line;
    packgtype2(all.data(), 1, 19, 3, 1, 2);
    packgtype2(all.data(), 1, 19, 3, 3, 3);
    EXPECT_EQ(vars.snp, byrow);
}

TEST(snpstore, otherCharactersAreMissing)
{
    emptystore(1, 4);
    packrows({"9- A"});
    EXPECT_EQ(vars.snp[0], 0u);
    int8_t out[8];
    retrivesnp(4, 1, out);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(out[k], 0);
}

TEST(snpstore, shortRowIsMissingBeyondItsEnd)
{
    emptystore(1, 20);
    packrows({"22"});
    EXPECT_EQ(vars.snp[0], 5u);
    EXPECT_EQ(vars.snp[1], 0u);
}

TEST(snpstore, retrievalWritesExactlyTwoBytesPerLocus)
{
    emptystore(1, 40);
    packrows({std::string(40, '1')});
    for (int n : {1, 3, 4, 5, 16, 17, 39, 40}) {
        std::vector<int8_t> buf(2 * std::size_t(n) + 8, 77);
        retrivesnp(n, 1, buf.data());
        for (int k = 0; k < 2 * n; k += 2) {
            ASSERT_EQ(buf[std::size_t(k)], 1);
            ASSERT_EQ(buf[std::size_t(k) + 1], 2);
        }
        for (std::size_t k = 2 * std::size_t(n); k < buf.size(); ++k) ASSERT_EQ(buf[k], 77) << "n=" << n;
    }
}

TEST(snpstore, observationBytesByRow)
{
    // Per locus: only "2"; only "0"; "0" and "2"; only missing; "1" first;
    // "2" then "1".
    emptystore(3, 6);
    packrows({"200- 2", "2029 1", "202 1 "});
    EXPECT_EQ(obs(), (std::vector<int>{-1, -2, 2, 0, 2, 2}));
}

TEST(snpstore, observationBytesByLocus)
{
    emptystore(3, 6);
    packloci({"222", "000", "202", " 9 ", "1  ", "2 1"});
    EXPECT_EQ(obs(), (std::vector<int>{1, 1, 2, 1, 2, 2}));
}
