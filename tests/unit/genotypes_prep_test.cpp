// Locus preparation: recoding, counting, identical loci, compaction, the
// raw-allele file and the generator draws it takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "genotypes_case.hpp"
#include "run/textconv.hpp"

namespace {

std::vector<int> ints(const std::vector<int32_t>& v, std::size_t from = 1)
{
    return std::vector<int>(v.begin() + std::ptrdiff_t(from), v.end());
}

// Layout 0 lines from genotypes given per individual as "a1 a2 a1 a2 ...".
std::string layout0(const std::vector<std::string>& alleles)
{
    std::string t;
    for (std::size_t i = 0; i < alleles.size(); ++i) t += "ind" + std::to_string(i + 1) + " " + alleles[i] + "\n";
    return t;
}

// Ten loci, four individuals: loci 2 and 7 follow one pattern, locus 4 is
// monomorphic.
const std::vector<std::string> tenloci = {
    "1 1  5 6  1 2  3 3  1 1  2 3  8 9  1 1  1 2  4 4",
    "1 2  5 5  1 2  3 3  1 1  1 1  8 8  2 2  2 2  4 5",
    "2 2  6 6  1 1  0 0  1 2  1 2  9 9  1 1  2 2  5 5",
    "1 1  5 6  2 2  3 3  1 2  3 3  8 9  2 2  1 1  0 0",
};

// SNP data checked against a plain comparison of the genotype columns.
// rows[i] is individual i+1's row of numloci characters.
void checksnpagainstcolumns(const std::vector<std::string>& rows, int numloci)
{
    const int n = int(rows.size());
    auto norm = [](char c) { return c == '0' || c == '1' || c == '2' ? c : '.'; };
    std::map<std::string, int> unique;
    std::vector<int> idx(std::size_t(numloci) + 1, 0), cnt(1, 0);
    std::vector<std::string> repcol(1);
    for (int l = 1; l <= numloci; ++l) {
        std::string col;
        for (int i = 0; i < n; ++i) col += norm(rows[std::size_t(i)][std::size_t(l - 1)]);
        bool has0 = col.find('0') != std::string::npos, has1 = col.find('1') != std::string::npos,
             has2 = col.find('2') != std::string::npos;
        if (!has1 && !(has0 && has2)) continue;
        auto [it, fresh] = unique.emplace(col, int(unique.size()) + 1);
        if (fresh) {
            repcol.push_back(col);
            cnt.push_back(0);
        }
        idx[std::size_t(l)] = it->second;
        ++cnt[std::size_t(it->second)];
    }
    const int u2 = int(unique.size());
    ASSERT_EQ(vars.numloci2, u2);
    EXPECT_EQ(std::vector<int>(vars.markeridx.begin() + 1, vars.markeridx.end()),
              std::vector<int>(idx.begin() + 1, idx.end()));
    EXPECT_EQ(std::vector<int>(vars.markercnt.begin() + 1, vars.markercnt.end()),
              std::vector<int>(cnt.begin() + 1, cnt.end()));
    EXPECT_EQ(vars.snpwords, (u2 - 1) / 16 + 1);
    EXPECT_EQ(vars.snp.size(), std::size_t(n) * std::size_t(vars.snpwords));
    EXPECT_EQ(vars.numallallele, 2 * u2);
    EXPECT_EQ(vars.locusloc[std::size_t(u2)], 2 * u2);
    const char* pair[4] = {"00", "11", "12", "22"};
    for (int i = 1; i <= n; ++i) {
        std::string want;
        for (int u = 1; u <= u2; ++u) {
            if (u > 1) want += ' ';
            char c = repcol[std::size_t(u)][std::size_t(i - 1)];
            want += pair[c == '2' ? 1 : c == '1' ? 2 : c == '0' ? 3 : 0];
        }
        ASSERT_EQ(snppairs(i), want) << "individual " << i;
        // Fields beyond the last unique locus stay 0.
        if (u2 % 16) {
            EXPECT_EQ(vars.snp[snpcol(i) + std::size_t(u2 / 16)] >> (2 * (u2 % 16)), 0u);
        }
    }
}

std::string layout2text(const std::vector<std::string>& rows)
{
    std::string t;
    for (std::size_t i = 0; i < rows.size(); ++i) t += "x" + std::to_string(i) + (i + 1 < rows.size() ? " " : "\n");
    for (const std::string& r : rows) t += r + "\n";
    return t;
}

std::string layout1text(const std::vector<std::string>& rows, int numloci)
{
    std::string t;
    for (std::size_t i = 0; i < rows.size(); ++i) t += "x" + std::to_string(i) + "\n";
    for (int l = 0; l < numloci; ++l) {
        for (const std::string& r : rows) t += r[std::size_t(l)];
        t += "\n";
    }
    return t;
}

}  // namespace

TEST(locusprep, allelesAreCodedByFirstAppearance)
{
    genocase c(0, 3, 1, layout0({"5 7", "7 7", "0 3"}), 1);
    c.read();
    EXPECT_EQ(codepairs(1), "12");
    EXPECT_EQ(codepairs(2), "22");
    EXPECT_EQ(codepairs(3), "00");
    EXPECT_EQ(vars.obsnumallele[1], 2);
    EXPECT_EQ(readfile(c.out + ".RawAllele"), "   2   5   7\n");
}

TEST(locusprep, samePatternUnderOtherIdentifiersIsMerged)
{
    genocase c(0, 3, 2, layout0({"10 20 3 4", "20 20 4 4", "10 10 3 3"}));
    c.read();
    EXPECT_EQ(vars.numloci2, 1);
    EXPECT_EQ(ints(vars.markeridx), (std::vector<int>{1, 1}));
    EXPECT_EQ(vars.markercnt[1], 2);
    EXPECT_EQ(vars.maxrawallele, 20);
    EXPECT_EQ(codepairs(2), "22");
}

TEST(locusprep, tenLociLayout0)
{
    genocase c(0, 4, 10, layout0(tenloci), 1);
    c.read();
    EXPECT_EQ(vars.numloci2, 8);
    EXPECT_EQ(ints(vars.markeridx), (std::vector<int>{1, 2, 3, 0, 4, 5, 2, 6, 7, 8}));
    EXPECT_EQ(ints(vars.markercnt), (std::vector<int>{1, 2, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(ints(vars.locusloc, 0), (std::vector<int>{0, 2, 4, 6, 8, 11, 13, 15, 17}));
    EXPECT_EQ(vars.numallallele, 17);
    EXPECT_EQ(vars.maxnumallele, 3);
    EXPECT_EQ(vars.maxrawallele, 9);
    EXPECT_EQ(codepairs(1), "11 12 12 11 12 11 12 11");
    EXPECT_EQ(codepairs(2), "12 11 12 11 33 22 22 12");
    EXPECT_EQ(codepairs(3), "22 22 11 12 13 11 22 22");
    EXPECT_EQ(codepairs(4), "11 12 22 12 22 22 11 00");
    EXPECT_EQ(vars.indivgtype.size(), 2u * 8u * 4u);
    EXPECT_EQ(readfile(c.out + ".RawAllele"),
              "   2   1   2\n   2   5   6\n   2   1   2\n   1   3\n   2   1   2\n"
              "   3   2   3   1\n   2   8   9\n   2   1   2\n   2   1   2\n   2   4   5\n");
}

TEST(locusprep, tenLociSnpLayouts)
{
    std::vector<std::string> rows = {"2112201212", "1212222001", "0029110200", "210211102-"};
    for (int form : {1, 2}) {
        genocase c(form, 4, 10, form == 2 ? layout2text(rows) : layout1text(rows, 10), 1);
        c.read();
        EXPECT_EQ(ints(vars.markeridx), (std::vector<int>{1, 2, 3, 0, 4, 5, 2, 6, 7, 8}));
        EXPECT_EQ(vars.markercnt[2], 2);
        EXPECT_EQ(ints(vars.locusloc, 0), (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16}));
        EXPECT_EQ(vars.maxnumallele, 2);
        EXPECT_EQ(vars.maxrawallele, 2);
        EXPECT_FALSE(std::filesystem::exists(c.out + ".RawAllele"));  // layout 0 only
        checksnpagainstcolumns(rows, 10);
    }
}

TEST(locusprep, allMissingLocus)
{
    genocase c(0, 2, 2, layout0({"1 2 0 5", "1 1 -3 0"}), 1);
    c.read();
    EXPECT_EQ(vars.numloci2, 1);
    EXPECT_EQ(ints(vars.markeridx), (std::vector<int>{1, 0}));
    EXPECT_EQ(vars.obsnumallele[2], 1);
    EXPECT_EQ(readfile(c.out + ".RawAllele"), "   2   1   2\n   1   0\n");
}

TEST(locusprep, rawAlleleFileOf127Alleles)
{
    // 64 individuals bring alleles 1..127 in order at locus 1.
    std::vector<std::string> al;
    for (int i = 1; i <= 64; ++i) {
        int a = 2 * i - 1, b = i == 64 ? 127 : 2 * i;
        al.push_back(std::to_string(a) + " " + std::to_string(b) + " 999 " + (i % 2 ? "999" : "998"));
    }
    genocase c(0, 64, 2, layout0(al), 1);
    c.read();
    std::string want = " 127";
    for (int a = 1; a <= 126; ++a) want += fmtint(a, 4);
    want += "\n 127\n   2 999 998\n";
    EXPECT_EQ(readfile(c.out + ".RawAllele"), want);
    EXPECT_EQ(vars.obsnumallele[1], 127);
    EXPECT_EQ(vars.maxnumallele, 127);
    EXPECT_EQ(vars.maxrawallele, 999);
    EXPECT_EQ(vars.indivgtype[gtypeat(2, 1, 64)], 127);
}

TEST(locusprep, rawAlleleFileOnlyWhenAsked)
{
    genocase c(0, 3, 1, layout0({"5 7", "7 7", "0 3"}), 0);
    c.read();
    EXPECT_FALSE(std::filesystem::exists(c.out + ".RawAllele"));
}

TEST(locusprep, locusWith128AllelesStops)
{
    std::vector<std::string> al;
    for (int i = 1; i <= 64; ++i) al.push_back("1 2 " + std::to_string(2 * i - 1) + " " + std::to_string(2 * i));
    genocase c(0, 64, 2, layout0(al));
    std::string screen = c.stop();
    EXPECT_NE(screen.find("counting #alleles/locus.\n" + gtypestop("Locus 2 has more than 127 alleles!")),
              std::string::npos)
        << screen;
}

TEST(locusprep, alleleAbove999Stops)
{
    genocase c(0, 2, 1, layout0({"1 1000", "1 1"}));
    EXPECT_NE(c.stop().find(gtypestop("Allele ID > 999 in genotype data!")), std::string::npos);
    // A missing genotype is not examined further.
    genocase m(0, 2, 1, layout0({"0 1000", "1 2"}));
    m.read();
    EXPECT_EQ(vars.numloci2, 1);
}

TEST(locusprep, noPolymorphicLocusStopsAfterTheCounts)
{
    const std::string counts = "\nFinding identical polymorphic loci. \n"
                               "  Number of loci = 2\n"
                               "  Number of monomorphic loci = 2\n"
                               "  Number of polymorphic loci = 0\n"
                               "  Number of unique polymorphic loci = 0\n" +
                               gtypestop("No polymorphism in genotype data!");
    genocase c(0, 2, 2, layout0({"4 4 0 0", "4 4 7 7"}));
    std::string screen = c.stop();
    EXPECT_EQ(screen.substr(screen.find("\nReformatting")),
              "\nReformatting genotype data, counting #alleles/locus.\n"
              "  Monomorphic loci: 2\n"
              "  Polymorphic loci: 0\n" +
                  counts);
    genocase s(2, 2, 2, "a b\n22\n2-\n");
    screen = s.stop();
    EXPECT_EQ(screen.substr(screen.find("\nReformatting")),
              "\nReformatting genotype data, counting #alleles/locus.\n"
              "  Individuals=\n"
              "\r  Done with individuals 1 - 2\n"
              "  Monomorphic loci: 2\n"
              "  Polymorphic loci: 0\n" +
                  counts);
}

TEST(locusprep, examiningLineFrom1000Loci)
{
    for (int loci : {999, 1000}) {
        std::string a, b;
        for (int l = 1; l <= loci; ++l) {
            a += " 1 2";
            b += l % 2 ? " 1 1" : " 2 2";
        }
        genocase c(0, 2, loci, "a" + a + "\nb" + b + "\n");
        std::string screen = c.read();
        bool shown = screen.find("Finding identical polymorphic loci. \n\r  Finished examining locus 1 - 1000\n  "
                                 "Number of loci = 1000\n") != std::string::npos;
        EXPECT_EQ(shown, loci == 1000);
        EXPECT_EQ(screen.find("Finished examining") != std::string::npos, loci == 1000);
        EXPECT_EQ(vars.numloci2, 2);
        EXPECT_EQ(vars.markercnt[1] + vars.markercnt[2], loci);
    }
}

TEST(locusprep, keysTakeThreeDrawsPerIndividualFirst)
{
    genocase c(2, 7, 3, layout2text({"012", "120", "201", "000", "111", "222", "---"}));
    c.read();
    double next = ran1();
    vars.idum = -12345;
    for (int k = 0; k < 3 * 7; ++k) ran1();
    EXPECT_EQ(next, ran1());
}

TEST(locusprep, snpCompactionByWordsAndByCodes)
{
    // Six individuals; the digits of a number in base 3 give a column.
    auto column = [](int v) {
        std::string s;
        for (int k = 0; k < 6; ++k, v /= 3) s += char('0' + v % 3);
        return s;
    };
    // Loci 1-16 new, 17-32 repeats or monomorphic, 33-48 new, 49-50 new,
    // 51-80 monomorphic or repeats: whole words move 0->0 and 2->1.
    std::vector<std::string> cols;
    for (int l = 1; l <= 16; ++l) cols.push_back(column(100 + l));
    for (int l = 17; l <= 32; ++l) cols.push_back(l % 2 ? cols[std::size_t(l - 17)] : std::string(6, '2'));
    for (int l = 33; l <= 50; ++l) cols.push_back(column(300 + l));
    for (int l = 51; l <= 80; ++l) cols.push_back(l % 3 ? "------" : cols[std::size_t(l - 40)]);
    std::vector<std::string> rows(6);
    for (const std::string& col : cols)
        for (int i = 0; i < 6; ++i) rows[std::size_t(i)] += col[std::size_t(i)];
    for (int form : {1, 2}) {
        genocase c(form, 6, 80, form == 2 ? layout2text(rows) : layout1text(rows, 80));
        c.read();
        EXPECT_EQ(vars.numloci2, 34);
        checksnpagainstcolumns(rows, 80);
    }
}

TEST(locusprep, randomSnpDataMatchesColumnComparison)
{
    freshstate();
    vars.idum = -2024;
    const int n = 5, loci = 2600;
    std::vector<std::string> rows(n, std::string(loci, ' '));
    const char symbols[] = "0122--";
    for (int l = 0; l < loci; ++l)
        for (int i = 0; i < n; ++i) rows[std::size_t(i)][std::size_t(l)] = symbols[int(ran1() * 5.999)];
    std::string t2 = layout2text(rows), t1 = layout1text(rows, loci);
    for (int form : {1, 2}) {
        genocase c(form, n, loci, form == 2 ? t2 : t1);
        c.read();
        checksnpagainstcolumns(rows, loci);
    }
}
