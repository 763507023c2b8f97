// kinex-report's kinship table, NA rows, and the two side files it merges:
// the maximum-likelihood table of kinex and the identifier map of
// kinex-convert, hand-made here for the six-individual results file.
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "outfiles.hpp"
#include "pairlines.hpp"
#include "repopts.hpp"
#include "reprun.hpp"
#include "repstate.hpp"

namespace fs = std::filesystem;

namespace {

using table = std::vector<std::vector<std::string>>;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Lines split at sep (CR LF or LF line ends); join undoes it.
table split(const std::string& text, char sep)
{
    table t;
    std::stringstream in(text);
    std::string l, w;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        std::vector<std::string> row;
        std::stringstream ls(l);
        while (std::getline(ls, w, sep))
            row.push_back(w);
        t.push_back(row);
    }
    return t;
}

std::string join(const table& t, char sep, const std::string& end)
{
    std::string s;
    for (auto& row : t) {
        for (size_t k = 0; k < row.size(); k++)
            s += (k ? std::string(1, sep) : "") + row[k];
        s += end;
    }
    return s;
}

// The calls of the fifteen pairs of six.out in file order, for the
// hand-made maximum-likelihood table.
const char* const sixcalls[15] = {
    "unrelated", "parent-offspring", "unrelated", "unrelated", "third-degree",
    "parent-offspring", "unrelated", "unrelated", "unrelated", "unrelated",
    "unrelated", "unrelated", "full-sib", "unrelated", "unrelated"};

class ktables : public ::testing::Test {
protected:
    std::string dir;
    table six;           // six.out split at blanks
    size_t ibd = 0;      // its first IBD line
    void SetUp() override
    {
        std::string t = (fs::temp_directory_path() / "kinexrepXXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        dir = t;
        six = split(slurp(REPORT_TEST_DATA "/six.out"), ' ');
        while (ibd < six.size() && !(six[ibd].size() == 22 && six[ibd][0] == "1"))
            ibd++;
        ASSERT_LT(ibd, six.size());
    }
    void TearDown() override
    {
        resetrep();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string at(const std::string& n) const { return dir + "/" + n; }
    void put(const std::string& n, const std::string& text) const
    {
        std::ofstream(at(n), std::ios::binary) << text;
    }
    table get(const std::string& n) const { return split(slurp(at(n)), '\t'); }
    size_t nfiles() const
    {
        return size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    std::string run(std::vector<std::string> args)
    {
        resetrep();
        std::vector<const char*> argv{"kinex-report"};
        for (auto& a : args)
            argv.push_back(a.c_str());
        try {
            readopts(int(argv.size()), argv.data());
            report();
        } catch (const repfail& e) {
            outdiscard();
            return e.msg;
        }
        return "";
    }
    // six.out as kinex with MLE:1 writes it: one line more in the run record.
    std::string mlesix() const
    {
        table t = six;
        auto at = std::find(t.begin(), t.end(),
                            std::vector<std::string>{"", "", "Update", "allele", "frequency", "=",
                                                     "0"});
        if (at == t.end())
            return "";
        t.insert(at + 1, split("  Maximum likelihood Deltas = 1 (most iterations 9, dyads not "
                               "converged 0)",
                               ' ')[0]);
        return join(t, ' ', "\n");
    }
    // Line (j, k) of the IBD table, from 1.
    std::vector<std::string>& ibdline(int j, int k) { return six[ibd + size_t((j - 1) * 6 + k - 1)]; }
    // The maximum-likelihood table of six.out, one line changed by edit.
    std::string mletext(int editpair = -1, const std::string& edit = "")
    {
        std::string s = "ID1\tID2\tNLOCI\tLNL\tLRT\tCALL\tGAP\tITER\tCONV\n";
        int p = 0;
        for (int j = 1; j <= 6; j++)
            for (int k = j + 1; k <= 6; k++, p++) {
                auto& x = ibdline(j, k);
                int n = 0;
                for (int c = 3; c < 12; c++)
                    n += std::stoi(x[size_t(c)]);
                std::string l = x[1] + "\t" + x[2] + "\t" + std::to_string(n) + "\t-" +
                                std::to_string(100 + p) + ".2500\t" + std::to_string(p) +
                                ".5000\t" + sixcalls[p] + "\t0.7500\t" + std::to_string(5 + p) +
                                "\t1\n";
                s += p == editpair ? edit : l;
            }
        return s;
    }
};

} // namespace

TEST(kinship, DegreesByKingsCutOffs)
{
    EXPECT_STREQ(degreeof(10000), "duplicate");
    EXPECT_STREQ(degreeof(3541), "duplicate");
    EXPECT_STREQ(degreeof(3540), "first-degree");
    EXPECT_STREQ(degreeof(1770), "first-degree");
    EXPECT_STREQ(degreeof(1769), "second-degree");
    EXPECT_STREQ(degreeof(884), "second-degree");
    EXPECT_STREQ(degreeof(883), "third-degree");
    EXPECT_STREQ(degreeof(442), "third-degree");
    EXPECT_STREQ(degreeof(441), "unrelated");
    EXPECT_STREQ(degreeof(0), "unrelated");
}

TEST_F(ktables, KinshipTableAndItsThreshold)
{
    put("six.out", join(six, ' ', "\n"));
    ASSERT_EQ(run({at("six.out")}), "");
    table t = get("six.kinship.tsv");
    ASSERT_EQ(t.size(), 16u);
    EXPECT_EQ(t[0], (std::vector<std::string>{"ID1", "ID2", "NSNP", "KINSHIP", "D1", "D2", "D3",
                                              "D4", "D5", "D6", "D7", "D8", "D9", "DEGREE"}));
    // pair (2, 3): 53 loci compared, kinship 0.2532 = r(1,2), first degree
    EXPECT_EQ(t[6], (std::vector<std::string>{"f0001_po_mo", "f0001_po_ch", "53", "0.2532",
                                              "0.0000", "0.0000", "0.0843", "0.0000", "0.0000",
                                              "0.0000", "0.0579", "0.7284", "0.1294",
                                              "first-degree"}));
    EXPECT_EQ(t[2][13], "second-degree");   // 0.0904
    EXPECT_EQ(t[5][13], "unrelated");       // 0.0414
    EXPECT_EQ(nfiles(), 5u);                // no related-pairs table without the side table

    // at or above the threshold, in file order; the boundary pair counts
    ASSERT_EQ(run({at("six.out"), "--min-kinship", "0.0904", "--out", at("m")}), "");
    t = get("m.kinship.tsv");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[1][3] + " " + t[2][3] + " " + t[3][3], "0.0904 0.2532 0.2690");
    ASSERT_EQ(run({at("six.out"), "--min-kinship=0.0905", "--out", at("m")}), "");
    EXPECT_EQ(get("m.kinship.tsv").size(), 3u);
    EXPECT_EQ(get("m.pairs.tsv").size(), 16u);   // the pair table keeps every pair
    EXPECT_NE(run({at("six.out"), "--min-kinship", "x"}).find("--min-kinship needs a number"),
              std::string::npos);
}

TEST_F(ktables, NoCommonLocusAndNoGenotypeAreNA)
{
    // pair (1, 2) shares no locus (both lines), individual 3 has no genotype
    for (auto* x : {&ibdline(1, 2), &ibdline(2, 1)})
        std::fill(x->begin() + 3, x->begin() + 12, "0");
    for (size_t l = ibd + 36; l < six.size(); l++)
        if (!six[l].empty() && six[l][0] == "f0001_po_ch")
            six[l] = {"f0001_po_ch", "53", "0", "0", "0", "0.0000", "0.0000"};
    put("na.out", join(six, ' ', "\n"));
    ASSERT_EQ(run({at("na.out"), "--related-kinship", "0"}), "");
    table p = get("na.pairs.tsv"), k = get("na.kinship.tsv"), r = get("na.related.tsv"),
          i = get("na.indiv.tsv");
    std::vector<std::string> want{"f0001_po_fa", "f0001_po_mo"};
    want.insert(want.end(), 10, "NA");
    want.insert(want.end(), 9, "0");
    EXPECT_EQ(p[1], want);
    EXPECT_EQ(k[1], (std::vector<std::string>{"f0001_po_fa", "f0001_po_mo", "0", "NA", "NA",
                                              "NA", "NA", "NA", "NA", "NA", "NA", "NA", "NA",
                                              "NA"}));
    EXPECT_EQ(r.size(), 15u);   // every pair but the NA one is at kinship 0 or more
    EXPECT_EQ(i[3], (std::vector<std::string>{"f0001_po_ch", "53", "0", "0", "0", "NA", "NA"}));
    EXPECT_EQ(p[2][2], "0.0000");   // the others keep their numbers
    // neither is drawn, and the plot says so
    std::string svg = slurp(at("na.svg"));
    size_t pts = 0;
    for (size_t q = svg.find("<circle class=\"pt\""); q != std::string::npos;
         q = svg.find("<circle class=\"pt\"", q + 1))
        pts++;
    EXPECT_EQ(pts, 14u);
    EXPECT_NE(svg.find("1 pairs without a common locus not drawn"), std::string::npos);
}

TEST_F(ktables, MaximumLikelihoodTableIsMerged)
{
    put("six.out", mlesix());
    put("six.out.mle.tsv", mletext());
    ASSERT_EQ(run({at("six.out")}), "");
    table p = get("six.pairs.tsv"), k = get("six.kinship.tsv"), r = get("six.related.tsv");
    ASSERT_EQ(p[0].size(), 28u);
    EXPECT_EQ(std::vector<std::string>(p[0].begin() + 21, p[0].end()),
              (std::vector<std::string>{"nloci", "lnl", "lrt", "call", "gap", "iter", "conv"}));
    EXPECT_EQ(std::vector<std::string>(p[2].begin() + 21, p[2].end()),
              (std::vector<std::string>{"53", "-101.2500", "1.5000", "parent-offspring",
                                        "0.7500", "6", "1"}));
    EXPECT_EQ(k[0].back(), "CALL");
    EXPECT_EQ(k[13].back(), "full-sib");
    // the related pairs only, with LRT and GAP
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].back(), "GAP");
    std::string got;
    for (size_t l = 1; l < r.size(); l++)
        got += r[l][0] + "," + r[l][1] + "," + r[l][13] + "," + r[l][14] + " ";
    EXPECT_EQ(got, "f0001_po_fa,f0001_po_ch,parent-offspring,1.5000 "
                   "f0001_po_fa,f0003_un_i,third-degree,4.5000 "
                   "f0001_po_mo,f0001_po_ch,parent-offspring,5.5000 "
                   "f0002_fs_c1,f0002_fs_c2,full-sib,12.5000 ");
    // or the pairs at a kinship threshold
    ASSERT_EQ(run({at("six.out"), "--related-kinship", "0.25", "--out", at("t")}), "");
    EXPECT_EQ(get("t.related.tsv").size(), 3u);
    // the plot colours the pairs by call, with a legend
    std::string svg = slurp(at("six.svg"));
    EXPECT_NE(svg.find("<circle class=\"pt c3\""), std::string::npos);
    EXPECT_NE(svg.find("called parent-offspring (2)"), std::string::npos);
    EXPECT_NE(svg.find("called unrelated (11)"), std::string::npos);
}

TEST_F(ktables, MaximumLikelihoodTableOfAnotherRunStops)
{
    put("six.out", mlesix());
    std::string good = mletext();
    auto fails = [&](const std::string& mle, const std::string& want) {
        put("six.out.mle.tsv", mle);
        std::string m = run({at("six.out")});
        EXPECT_NE(m.find(want), std::string::npos) << "got: " << m;
        EXPECT_EQ(nfiles(), 2u) << want;   // no table, no temporary file
    };
    // pairs swapped, a locus count that is not the results file's
    std::string l5 = split(good, '\n')[5][0] + "\n", l6 = split(good, '\n')[6][0] + "\n";
    std::string swapped = good;
    swapped.replace(swapped.find(l5), l5.size() + l6.size(), l6 + l5);
    fails(swapped, "is not the results file's pair 5, f0001_po_fa, f0003_un_i");
    fails(mletext(2, "f0001_po_fa\tf0002_fs_c1\t52\t-1.0\t0.0\tunrelated\t0.0\t3\t1\n"),
          "has 52 loci here and 53 in");
    fails(good.substr(0, good.rfind('\n', good.size() - 2) + 1), "ends after 14 of its 15 pairs");
    fails(good + good.substr(good.find('\n') + 1, l5.size()), "goes on after");
    fails(mletext(0, "f0001_po_fa\tf0001_po_mo\t53\t-1.0\t0.0\tcousin\t0.0\t3\t1\n"),
          "not a line of the maximum-likelihood table");
    fails(mletext(0, "f0001_po_fa\tf0001_po_mo\t53\tNA\tNA\tNA\tNA\t0\t1\n"),
          "not a line of the maximum-likelihood table");
    fails("ID1 ID2 NLOCI\n", "is not a maximum-likelihood table of kinex");
    // named on the command line, it must exist
    EXPECT_NE(run({at("six.out"), "--mle", at("none.tsv")}).find("cannot read"),
              std::string::npos);
    // beside a results file of a run without MLE it is an earlier run's:
    // left out, or refused when named
    put("six.out", join(six, ' ', "\n"));
    put("six.out.mle.tsv", good);
    ASSERT_EQ(run({at("six.out")}), "");
    EXPECT_TRUE(rep.mlestale);
    EXPECT_EQ(get("six.pairs.tsv")[0].size(), 21u);
    EXPECT_FALSE(fs::exists(at("six.related.tsv")));
    EXPECT_NE(run({at("six.out"), "--mle", at("six.out.mle.tsv")}).find("cannot belong to"),
              std::string::npos);
}

TEST_F(ktables, IdentifierMapPutsFamiliesAndNamesBack)
{
    put("six.out", join(six, ' ', "\n"));
    std::string map = "ID\tFID\tIID\n";
    for (int i = 1; i <= 6; i++)
        map += ibdline(1, i)[2] + "\tfam" + std::to_string((i + 1) / 2) + "\tperson " +
               std::to_string(i) + "\n";
    put("six.ids.tsv", map);
    ASSERT_EQ(run({at("six.out")}), "");
    table p = get("six.pairs.tsv"), k = get("six.kinship.tsv"), i = get("six.indiv.tsv");
    EXPECT_EQ(std::vector<std::string>(p[0].begin(), p[0].begin() + 5),
              (std::vector<std::string>{"fid1", "id1", "fid2", "id2", "d1"}));
    EXPECT_EQ(std::vector<std::string>(k[0].begin(), k[0].begin() + 5),
              (std::vector<std::string>{"FID1", "ID1", "FID2", "ID2", "NSNP"}));
    EXPECT_EQ(std::vector<std::string>(k[15].begin(), k[15].begin() + 5),
              (std::vector<std::string>{"fam3", "person 5", "fam3", "person 6", "53"}));
    EXPECT_EQ(std::vector<std::string>(i[4].begin(), i[4].begin() + 3),
              (std::vector<std::string>{"fam2", "person 4", "0"}));

    // a map of other data stops the report
    put("six.ids.tsv", map.substr(0, map.rfind("f0003")));
    EXPECT_NE(run({at("six.out")}).find("maps 5 individuals, but"), std::string::npos);
    std::string other = map;
    other.replace(other.find("f0002_fs_c1"), 11, "f0002_fs_c9");
    put("six.ids.tsv", other);
    EXPECT_NE(run({at("six.out")}).find("names individual 4 'f0002_fs_c9'"), std::string::npos);
    EXPECT_EQ(nfiles(), 6u);   // the first run's four outputs, nothing more
}
