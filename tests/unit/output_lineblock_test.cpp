// Line blocks: 32 (8) lines joined by CR LF and ended by LF, a full block
// written only when a further line arrives, the rest written singly.
#include "output_fixture.hpp"

#include "output/lineblock.hpp"

using namespace outtest;

namespace {

std::string blocks(int full, int single)
{
    std::string ends;
    for (int b = 0; b < full; ++b) ends += std::string(31, 'C') + "L";
    return ends + std::string(std::size_t(single), 'L');
}

}  // namespace

TEST(outputlineblock, ibdTableOfTwoIsFourSingleLines)
{
    smallrun(2, scratch());
    std::string b = ibdbody();
    EXPECT_EQ(lineends(b), "LLLL");
    EXPECT_EQ(lines(b).size(), 4u);
}

TEST(outputlineblock, ibdTableOfSixIsOneBlockAndFourLines)
{
    smallrun(6, scratch());
    std::string b = ibdbody();
    EXPECT_EQ(lineends(b), blocks(1, 4));
    // the block's lines are the dyads 1..32, in order
    std::vector<std::string> l = lines(b);
    ASSERT_EQ(l.size(), 36u);
    for (std::size_t d = 0; d < l.size(); ++d) EXPECT_EQ(l[d].substr(0, l[d].find(' ')), std::to_string(d + 1));
    EXPECT_EQ(l[31].substr(0, 9), "32 A6 A2 ");
    EXPECT_EQ(l[32].substr(0, 9), "33 A6 A3 ");
}

TEST(outputlineblock, ibdTableOfThirtyTwoKeepsTheLastBlockSingle)
{
    smallrun(32, scratch());
    EXPECT_EQ(lineends(ibdbody()), blocks(31, 32));
}

TEST(outputlineblock, inbreedingTableAtTheBlockSize)
{
    smallrun(32, scratch());
    EXPECT_EQ(lineends(inbbody()), std::string(32, 'L'));
    smallrun(33, scratch());
    EXPECT_EQ(lineends(inbbody()), blocks(1, 1));
}

TEST(outputlineblock, blockJoinsTrimsAndFlushes)
{
    std::filesystem::path dir = scratch();
    resetvariables();
    stopwaitseconds = 0;
    std::string file = (dir / "b.txt").string();
    {
        textout out;
        textopen(out, file, false, "Output");
        lineblock lb;
        blockopen(lb, out, 2, 4);
        blockadd(lb, "ab  ");
        blockadd(lb, "c d");
        blockadd(lb, "   ");  // nothing but blanks: an empty line
        blockadd(lb, "longer than its slot");
        blockadd(lb, "e");
        blockflush(lb);
        blockflush(lb);  // nothing left: writes nothing
        textclose(out);
    }
    EXPECT_EQ(slurp(file), "ab\r\nc d\n\r\nlonger than its slot\ne\n");
}
