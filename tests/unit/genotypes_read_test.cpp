// Reading the genotype file: the three layouts, their screen text, their
// faults, and line ends.
#include <gtest/gtest.h>

#include "genotypes_case.hpp"

namespace {

const std::string pad16(16, ' ');

// Four individuals at ten SNP loci: loci 2 and 7 are identical, locus 4 is
// monomorphic (one individual missing).  By locus, then by individual.
const std::vector<std::string> snploci = {"2102", "1201", "1120", "2292", "2211",
                                          "0211", "1201", "2020", "1002", "210-"};

std::string bylocus(const std::string& eol = "\n")
{
    std::string t = "i1 i2" + eol + "i3 i4" + eol;
    for (const std::string& l : snploci) t += l + eol;
    return t;
}

std::string byindividual(const std::string& eol = "\n")
{
    std::string t = "i1 i2" + eol + "i3 i4" + eol;
    for (std::size_t i = 0; i < 4; ++i) {
        for (const std::string& l : snploci) t += l[i];
        t += eol;
    }
    return t;
}

// Screen of a good run from "Reformatting" on, for the SNP example.
const std::string snpprep = "\nReformatting genotype data, counting #alleles/locus.\n"
                            "  Individuals=\n"
                            "\r  Done with individuals 1 - 4\n"
                            "  Monomorphic loci: 1\n"
                            "  Polymorphic loci: 9\n"
                            "\nFinding identical polymorphic loci. \n"
                            "  Number of loci = 10\n"
                            "  Number of monomorphic loci = 1\n"
                            "  Number of polymorphic loci = 9\n"
                            "  Number of unique polymorphic loci = 8\n"
                            "\nRemoving monomorphic & ordering markers.\n"
                            "\r  Locus = \n"
                            "\r  Done with locus 1 - 10\n";

void expectsnpexample()
{
    EXPECT_EQ(vars.numloci2, 8);
    EXPECT_EQ(vars.snpwords, 1);
    EXPECT_EQ(snppairs(1), "11 12 12 11 22 11 12 11");
    EXPECT_EQ(snppairs(2), "12 11 12 11 11 22 22 12");
    EXPECT_EQ(snppairs(3), "22 22 11 12 12 11 22 22");
    EXPECT_EQ(snppairs(4), "11 12 22 12 12 22 11 00");
    EXPECT_EQ(vars.individ[4], "i4" + std::string(18, ' '));
}

}  // namespace

TEST(readgtype, layout0ScreenAndData)
{
    genocase c(0, 3, 2, "a 5 7 1 2\nb,7,7,2,2\n'c d' 0 3 1 1 99 99\n");
    std::string screen = c.read();
    EXPECT_EQ(screen, "\nReading genotype file: " + c.geno +
                          "\n"
                          "  Reading genotypes for individual:\n"
                          "\r  Finished reading genotype data of 3 individuals at 2 loci." +
                          pad16 +
                          "\n"
                          // the values after the second locus of 'c d' are not read, and said so
                          "Warning: genotype file holds more than was read (3 individuals at 2 loci): 1 line with "
                          "more than 4 allele values.\n"
                          "\nReformatting genotype data, counting #alleles/locus.\n"
                          "  Monomorphic loci: 0\n"
                          "  Polymorphic loci: 2\n"
                          "\nFinding identical polymorphic loci. \n"
                          "  Number of loci = 2\n"
                          "  Number of monomorphic loci = 0\n"
                          "  Number of polymorphic loci = 2\n"
                          "  Number of unique polymorphic loci = 2\n"
                          "\nRemoving monomorphic & ordering markers.\n");
    EXPECT_EQ(vars.individ[1], "a" + std::string(19, ' '));
    EXPECT_EQ(vars.individ[3], "c d" + std::string(17, ' '));
    EXPECT_EQ(codepairs(1), "12 12");
    EXPECT_EQ(codepairs(2), "22 22");
    EXPECT_EQ(codepairs(3), "00 11");
    EXPECT_EQ(vars.maxrawallele, 7);
    EXPECT_EQ(vars.maxnumallele, 2);
}

TEST(readgtype, layout1ScreenAndData)
{
    genocase c(1, 4, 10, bylocus());
    std::string screen = c.read();
    EXPECT_EQ(screen, "\nReading genotype file: " + c.geno +
                          "\n"
                          "  Reading genotypes for locus:\n"
                          "\r  Finished reading genotype data of 4 individuals at 10 loci." +
                          pad16 + "\n" + snpprep);
    expectsnpexample();
}

TEST(readgtype, layout2ScreenAndData)
{
    genocase c(2, 4, 10, byindividual());
    std::string screen = c.read();
    EXPECT_EQ(screen, "\nReading genotype file: " + c.geno +
                          "\n"
                          "  Reading genotypes for individual:\n"
                          "\r  Finished reading genotype data of 4 individuals at 10 loci." +
                          pad16 + "\n" + snpprep);
    expectsnpexample();
}

TEST(readgtype, crlfReadsLikeLf)
{
    for (int form : {1, 2}) {
        genocase c(form, 4, 10, form == 1 ? bylocus("\r\n") : byindividual("\r\n"));
        c.read();
        expectsnpexample();
    }
    genocase lf(0, 3, 2, "a 5 7 1 2\nb 7 7 2 2\nc 0 3 1 1\n");
    lf.read();
    std::vector<int8_t> codes = vars.indivgtype;
    std::vector<std::string> ids = vars.individ;
    genocase crlf(0, 3, 2, "a 5 7 1 2\r\nb 7 7 2 2\r\nc 0 3 1 1\r\n");
    crlf.read();
    EXPECT_EQ(vars.indivgtype, codes);
    EXPECT_EQ(vars.individ, ids);
}

TEST(readgtype, identifiersOverSeveralLinesAndCutTo20)
{
    genocase c(2, 3, 2, "\n  first, 'second one'\n\nabcdefghijklmnopqrstuvwxyz ignored\n21\n12\n02\n");
    c.read();
    EXPECT_EQ(vars.individ[1], "first" + std::string(15, ' '));
    EXPECT_EQ(vars.individ[2], "second one" + std::string(10, ' '));
    EXPECT_EQ(vars.individ[3], "abcdefghijklmnopqrst");
    EXPECT_EQ(snppairs(1), "11 12");
    EXPECT_EQ(snppairs(3), "22 11");

    genocase zero(0, 2, 1, "abcdefghijklmnopqrstuvwxyz 1 2\nb 1 1\n");
    zero.read();
    EXPECT_EQ(vars.individ[1], "abcdefghijklmnopqrst");
}

TEST(readgtype, fixedWidthRows)
{
    // A short row is missing beyond its end, a long one is cut.
    genocase c(2, 3, 4, "a b c\n2\n1012xyz\n0122\n");
    c.read();
    EXPECT_EQ(vars.numloci2, 3);  // locus 4 holds only "2"s: monomorphic
    EXPECT_EQ(snppairs(1), "11 00 00");
    EXPECT_EQ(snppairs(2), "12 22 12");
    EXPECT_EQ(snppairs(3), "22 12 11");

    genocase l1(1, 3, 2, "a b c\n2\n10122\n");
    l1.read();
    EXPECT_EQ(vars.numloci2, 1);  // locus 1 holds one "2" only
    EXPECT_EQ(vars.markeridx[1], 0);
    EXPECT_EQ(snppairs(1), "12");
    EXPECT_EQ(snppairs(3), "12");
}

TEST(readgtype, layout1FileEndingInsideABlock)
{
    std::string text = "a b\n";
    for (int l = 1; l <= 35; ++l) text += "21\n";
    genocase c(1, 2, 40, text);
    std::string screen = c.stop();
    EXPECT_EQ(screen, "\nReading genotype file: " + c.geno + "\n  Reading genotypes for locus:\n" +
                          gtypestop("Error in reading data for Locus = 33 to 40!"));
}

TEST(readgtype, layout2MissingRow)
{
    genocase c(2, 3, 2, "a b c\n21\n12\n");
    EXPECT_EQ(c.stop(), "\nReading genotype file: " + c.geno + "\n  Reading genotypes for individual:\n" +
                            gtypestop("Error reading genotype data for row 3!"));
}

TEST(readgtype, tooFewIdentifiers)
{
    genocase c(1, 3, 2, "a b\n");
    EXPECT_EQ(c.stop(), "\nReading genotype file: " + c.geno + "\n" +
                            gtypestop("Error reading individual ID in genotype data file!"));
    genocase q(2, 2, 2, "a 'b\n21\n12\n");  // an unclosed quote
    EXPECT_NE(q.stop().find("Error reading individual ID in genotype data file!"), std::string::npos);
}

TEST(readgtype, layout0ShortLineIsAnErrorOfThatIndividual)
{
    // The values of individual 2 do not run on into the next line.
    genocase c(0, 3, 2, "a 1 2 1 2\nb 1 2 1\n2 c 1 2 1 1\n");
    EXPECT_EQ(c.stop(), "\nReading genotype file: " + c.geno + "\n  Reading genotypes for individual:\n" +
                            gtypestop("Error reading genotype data for individual 2!"));
}

TEST(readgtype, layout0LineFaults)
{
    const std::string message = "Error reading genotype data for individual 2!";
    for (std::string second : {"b\n", "b 1 2 x 1\n", "b 1 2 1.5 1\n", "b 1 32768 1 1\n",
                                      "b 1 -32769 1 1\n", "b 1 2 - 1\n", "'b 1 2 1 1\n", "\n"}) {
        genocase c(0, 3, 2, "a 1 2 1 2\n" + second + "c 1 1 2 2\n");
        EXPECT_NE(c.stop().find(gtypestop(message)), std::string::npos) << second;
    }
    // The file ends before the last individual.
    genocase end(0, 3, 2, "a 1 2 1 2\nb 1 2 1 1\n");
    EXPECT_NE(end.stop().find(gtypestop("Error reading genotype data for individual 3!")), std::string::npos);
}

TEST(readgtype, layout0ValueForms)
{
    // Signs, commas, tabs and the 16-bit limits are fine; values after the
    // alleles are ignored.  Non-positive alleles are missing.
    genocase c(0, 3, 2, "a +1,2\t-32768 32767 extra words\nb;1;1;1;2\nc 2 2 -1 1 7\n");
    c.read();
    EXPECT_EQ(vars.numloci2, 2);
    EXPECT_EQ(codepairs(1), "12 00");
    EXPECT_EQ(codepairs(2), "11 12");
    EXPECT_EQ(codepairs(3), "22 00");
}

TEST(readgtype, unreadableFileNamesIt)
{
    genocase c(2, 2, 2, "");
    vars.gtypefile = c.dir.path.string();  // a folder
    std::string screen = c.stop();
    EXPECT_NE(screen.find("Cannot open genotype file " + vars.gtypefile + " (Is a directory)!"), std::string::npos)
        << screen;
    vars.gtypefile = c.dir.file("gone.txt");
    screen = c.stop();
    EXPECT_NE(screen.find("Cannot open genotype file " + vars.gtypefile + " (No such file or directory)!"),
              std::string::npos)
        << screen;
}

TEST(readgtype, progressCounters)
{
    // Layout 1: every 1000th block shows its first locus.
    std::string text = "a b\n";
    for (int l = 1; l <= 16001; ++l) text += l % 3 ? "21\n" : "12\n";
    genocase c1(1, 2, 16001, text);
    std::string screen = c1.read();
    EXPECT_NE(screen.find("  Reading genotypes for locus:\n\r  15985\r  Finished reading genotype data of 2 "
                          "individuals at 16001 loci." +
                          pad16 + "\n"),
              std::string::npos);
    EXPECT_EQ(screen.find("\r  16001\r"), std::string::npos);
    // 16001 loci: the line that closes the search for identical loci.
    EXPECT_NE(screen.find("\nFinding identical polymorphic loci. \n\r  Finished examining locus 1 - 16001\n"),
              std::string::npos);
    // Merging: the compaction counts every 1000 loci.
    EXPECT_NE(screen.find("\r  Locus = \n\r  1000\r  2000"), std::string::npos);
    EXPECT_NE(screen.find("\r  16000\r  Done with locus 1 - 16001\n"), std::string::npos);

    // Layout 2: step 1000000 / numloci individuals.
    std::string rows = "a b c d e\n";
    for (int i = 0; i < 5; ++i) rows += std::string(400000, i % 2 ? '1' : '2') + "\n";
    genocase c2(2, 5, 400000, rows);
    screen = c2.read();
    EXPECT_NE(screen.find("  Reading genotypes for individual:\n\r  2\r  4\r  Finished reading"), std::string::npos);

    // Keys: every 100 individuals.
    std::string many;
    for (int i = 1; i <= 250; ++i) many += "x" + std::to_string(i) + "\n";
    for (int i = 1; i <= 250; ++i) many += i % 2 ? "12\n" : "01\n";
    genocase c3(2, 250, 2, many);
    screen = c3.read();
    EXPECT_NE(screen.find("  Individuals=\n\r  100\r  200\r  Done with individuals 1 - 250\n"), std::string::npos);
}
