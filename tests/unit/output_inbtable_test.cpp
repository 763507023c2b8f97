// The inbreeding table: genotype counts per individual, F_Mean and F_SD.
#include "output_fixture.hpp"

using namespace outtest;

TEST(outputinb, headingAndLines)
{
    smallrun(2, scratch());
    vars.indvar[indvarat(1, 1)] = 2;
    vars.indvar[indvarat(2, 1)] = 5;
    vars.indvar[indvarat(3, 1)] = 3;
    vars.indvar[indvarat(2, 2)] = 10;
    vars.inb[1] = 0.12345;  // the product 1234.5 rounds away from zero
    vars.fsd[1] = 0.05;
    vars.inb[2] = 1.0;
    std::string sep(48, '-');
    EXPECT_EQ(tabletext([](textout& o, lookup& lk) { writeinb(o, lk); }),
              "\n\n" + sep + "\nIndiv genotypes at polymorphic loci & inbreeding\n" + sep + "\n" + inbcolumns +
                  "\nA1 2 8 5 3 0.1235 0.0500\nA2 0 10 10 0 1.0000 0.0000\n");
}

TEST(outputinb, countTextsCoverTheGenotypedSum)
{
    // the largest count may be a sum #HomG + #HetG that appears nowhere else
    smallrun(2, scratch());
    vars.indvar[indvarat(2, 1)] = 600;
    vars.indvar[indvarat(3, 1)] = 700;
    EXPECT_EQ(largestcount(), 1300);
    EXPECT_EQ(lines(inbbody()).at(0), "A1 0 1300 600 700 0.0000 0.0000");
}
