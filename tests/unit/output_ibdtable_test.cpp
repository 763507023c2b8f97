// The IBD table: one line per ordered pair, counts from the unordered pair
// or the individual, Deltas of the seen-from order and r(1,2).
#include "output_fixture.hpp"

#include <cmath>

using namespace outtest;

namespace {

float& delta(int m, int y, int x) { return vars.delta[deltaat(m, y, x)]; }

// The words of line d (1-based) of the IBD table.
std::vector<std::string> words(int d)
{
    std::vector<std::string> l = lines(ibdbody());
    std::vector<std::string> w;
    std::istringstream in(l.at(std::size_t(d - 1)));
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

std::string counts(const std::vector<std::string>& w)
{
    std::string s;
    for (std::size_t m = 3; m < 12; ++m) s += (m > 3 ? " " : "") + w.at(m);
    return s;
}

}  // namespace

TEST(outputibd, pairsInOrderXOuterYInner)
{
    smallrun(3, scratch());
    std::vector<std::string> l = lines(ibdbody());
    ASSERT_EQ(l.size(), 9u);
    const char* expect[] = {"1 A1 A1", "2 A1 A2", "3 A1 A3", "4 A2 A1", "5 A2 A2",
                            "6 A2 A3", "7 A3 A1", "8 A3 A2", "9 A3 A3"};
    for (std::size_t d = 0; d < 9; ++d) EXPECT_EQ(l[d].substr(0, 7), expect[d]);
}

TEST(outputibd, countsOfBothOrdersAndSelfPairs)
{
    smallrun(3, scratch());
    for (int m = 1; m <= 9; ++m) vars.iisdyad[iisat(m, dyadnum(1, 3, 3))] = 9 + m;  // 10..18
    vars.iisdyad[iisat(2, dyadnum(2, 3, 3))] = 4;
    vars.indvar[indvarat(1, 2)] = 5;
    vars.indvar[indvarat(2, 2)] = 7;
    vars.indvar[indvarat(3, 2)] = 3;
    EXPECT_EQ(counts(words(3)), "10 11 12 13 14 15 16 17 18");   // (1,3)
    EXPECT_EQ(counts(words(7)), "10 11 14 15 12 13 16 17 18");   // (3,1)
    EXPECT_EQ(counts(words(6)), "0 4 0 0 0 0 0 0 0");            // (2,3)
    EXPECT_EQ(counts(words(8)), "0 4 0 0 0 0 0 0 0");            // (3,2)
    EXPECT_EQ(counts(words(5)), "7 0 0 0 0 0 3 0 0");            // (2,2): #HomG, #HetG
    EXPECT_EQ(counts(words(1)), "0 0 0 0 0 0 0 0 0");
}

TEST(outputibd, wholeLineWithPlainCounts)
{
    smallrun(2, scratch());
    vars.individ[2] = "Sample_02 ";
    for (int m = 1; m <= 9; ++m) vars.iisdyad[iisat(m, 1)] = m == 4 ? 12345 : m - 1;
    const float d[9] = {0.1f, 0.0f, 0.05f, 0.0f, 0.05f, 0.0f, 0.2f, 0.5f, 0.1f};
    for (int m = 1; m <= 9; ++m) delta(m, 2, 1) = d[m - 1];
    // r = 0.1 + (0.05 + 0.05 + 0.2) / 2 + 0.5 / 4 = 0.375
    EXPECT_EQ(lines(ibdbody()).at(1), "2 A1 Sample_02 0 1 2 12345 4 5 6 7 8 0.1000 0.0000 0.0500 0.0000 0.0500 "
                                      "0.0000 0.2000 0.5000 0.1000 0.3750");
}

TEST(outputibd, deltasComeFromTheSeenFromOrder)
{
    smallrun(2, scratch());
    delta(3, 2, 1) = 0.25f;  // pair (1,2) seen from 1
    delta(5, 1, 2) = 0.25f;  // the same pair seen from 2
    std::vector<std::string> w12 = words(2), w21 = words(3);
    EXPECT_EQ(w12.at(14), "0.2500");
    EXPECT_EQ(w12.at(16), "0.0000");
    EXPECT_EQ(w21.at(14), "0.0000");
    EXPECT_EQ(w21.at(16), "0.2500");
    EXPECT_EQ(w12.at(21), "0.1250");
    EXPECT_EQ(w21.at(21), "0.1250");
}

TEST(outputibd, relatedness)
{
    smallrun(3, scratch());
    delta(1, 1, 1) = 0.1f;  // self pair: (0.1 + 1) / 2
    delta(7, 1, 1) = 0.9f;
    delta(1, 2, 1) = 0.25f;
    delta(8, 2, 1) = 0.5f;
    delta(9, 2, 1) = 0.25f;
    delta(7, 3, 2) = 1.0f;
    delta(8, 3, 1) = 1.0f;
    delta(7, 2, 2) = 1.0f;  // F 0: r with itself 0.5
    EXPECT_EQ(words(1).at(21), "0.5500");
    EXPECT_EQ(words(2).at(21), "0.3750");
    EXPECT_EQ(words(6).at(21), "0.5000");
    EXPECT_EQ(words(3).at(21), "0.2500");
    EXPECT_EQ(words(5).at(21), "0.5000");
    EXPECT_EQ(words(9).at(21), "0.5000");  // self pair with no Deltas at all
}

TEST(outputibd, deltaTextsAtTheEnds)
{
    smallrun(2, scratch());
    delta(9, 2, 1) = 1.0f;
    std::string l = lines(ibdbody()).at(1);
    EXPECT_NE(l.find(" 0.0000 0.0000 1.0000 0.0000"), std::string::npos) << l;  // D7, D8, D9 and r
    EXPECT_EQ(l.substr(l.size() - 14), " 1.0000 0.0000");
}

TEST(outputibd, roundingHalfAwayFromZero)
{
    smallrun(2, scratch());
    delta(1, 2, 1) = 0.03125f;  // 312.5 exactly
    delta(2, 2, 1) = 0.00045f;  // single-precision product 4.5; in double just below
    ASSERT_LT(double(0.00045f) * 10000.0, 4.5);
    ASSERT_EQ(0.00045f * 10000.0f, 4.5f);
    std::vector<std::string> w = words(2);
    EXPECT_EQ(w.at(12), "0.0313");
    EXPECT_EQ(w.at(13), "0.0005");
    EXPECT_EQ(w.at(21), "0.0313");  // r = 0.03125 in double
}

TEST(outputibd, outOfRangeValuesAreWrittenAsTheyAre)
{
    smallrun(2, scratch());
    delta(3, 2, 1) = -0.5f;
    delta(4, 2, 1) = 1.25f;
    std::vector<std::string> w = words(2);
    EXPECT_EQ(w.at(14), "-0.5000");
    EXPECT_EQ(w.at(15), "1.2500");
}

TEST(outputibd, missingEstimatesShowAsZeros)
{
    smallrun(2, scratch());
    vars.iisdyad.clear();
    vars.delta.clear();
    vars.indvar.clear();
    std::vector<std::string> l = lines(ibdbody());
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[1], "2 A1 A2 0 0 0 0 0 0 0 0 0 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000");
}
