// kinex-report on a results file of kinex with six individuals (36 IBD
// lines: the first 32 joined by CR LF), and on damaged copies of it.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "outfiles.hpp"
#include "repopts.hpp"
#include "reprun.hpp"
#include "repstate.hpp"

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> v;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            v.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        v.push_back(cur);
    return v;
}

std::vector<std::string> words(const std::string& l, char sep)
{
    std::vector<std::string> v;
    std::stringstream s(l);
    std::string w;
    while (std::getline(s, w, sep))
        if (!w.empty() || sep != ' ')
            v.push_back(w);
    return v;
}

std::string replaceall(std::string s, const std::string& a, const std::string& b)
{
    for (size_t p = s.find(a); p != std::string::npos; p = s.find(a, p + b.size()))
        s.replace(p, a.size(), b);
    return s;
}

class kreport : public ::testing::Test {
protected:
    std::string dir, six;
    void SetUp() override
    {
        std::string t = (fs::temp_directory_path() / "kinexrepXXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        dir = t;
        six = slurp(REPORT_TEST_DATA "/six.out");
        ASSERT_FALSE(six.empty());
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string at(const std::string& n) const { return dir + "/" + n; }
    void put(const std::string& n, const std::string& text) const
    {
        std::ofstream(at(n), std::ios::binary) << text;
    }
    std::vector<std::string> files() const
    {
        std::vector<std::string> v;
        for (auto& e : fs::directory_iterator(dir))
            v.push_back(e.path().filename().string());
        std::sort(v.begin(), v.end());
        return v;
    }
    // "" on success, else the message the run stops with.
    std::string run(std::vector<std::string> args, size_t bufsize = 0)
    {
        resetrep();
        std::vector<const char*> argv{"kinex-report"};
        for (auto& a : args)
            argv.push_back(a.c_str());
        try {
            readopts(int(argv.size()), argv.data());
            if (bufsize > 0)
                rep.bufsize = bufsize;
            report();
        } catch (const repfail& e) {
            outdiscard();
            resetrep();
            return e.msg;
        }
        return "";
    }
    // The IBD table lines of a results text, split at blanks.
    static std::vector<std::vector<std::string>> ibdlines(const std::string& text, int n)
    {
        std::vector<std::string> l = lines(text);
        size_t h = size_t(std::find(l.begin(), l.end(), "IBD coefficient estimates") - l.begin());
        std::vector<std::vector<std::string>> v;
        for (int d = 0; d < n * n; d++)
            v.push_back(words(l[h + 3 + size_t(d)], ' '));
        return v;
    }
};

} // namespace

TEST_F(kreport, PairTableHasEachPairOnceInFileOrder)
{
    put("six.out", six);
    ASSERT_EQ(run({at("six.out")}), "");
    std::vector<std::string> p = lines(slurp(at("six.pairs.tsv")));
    ASSERT_EQ(p.size(), 16u);
    EXPECT_EQ(p[0], "id1\tid2\td1\td2\td3\td4\td5\td6\td7\td8\td9\tr\tnIIS1\tnIIS2\tnIIS3\t"
                    "nIIS4\tnIIS5\tnIIS6\tnIIS7\tnIIS8\tnIIS9");
    auto ibd = ibdlines(six, 6);
    size_t row = 1;
    for (int j = 1; j <= 6; j++)
        for (int k = j + 1; k <= 6; k++, row++) {
            const auto& x = ibd[size_t((j - 1) * 6 + k - 1)];
            ASSERT_EQ(x.size(), 22u);
            // id1 id2, the Deltas and r, then the counts
            std::vector<std::string> want{x[1], x[2]};
            want.insert(want.end(), x.begin() + 12, x.end());
            want.insert(want.end(), x.begin() + 3, x.begin() + 12);
            EXPECT_EQ(words(p[row], '\t'), want) << j << "," << k;
            // and the other order of the pair carries the same dyad
            const auto& y = ibd[size_t((k - 1) * 6 + j - 1)];
            std::vector<std::string> back = y;
            for (int a : {5, 6, 14, 15})
                std::swap(back[size_t(a)], back[size_t(a + 2)]);
            EXPECT_TRUE(std::equal(back.begin() + 3, back.end(), x.begin() + 3)) << k << "," << j;
        }
}

TEST_F(kreport, IndividualTableCopiesTheInbreedingTable)
{
    put("six.out", six);
    ASSERT_EQ(run({at("six.out"), "--out", at("r")}), "");
    std::vector<std::string> t = lines(slurp(at("r.indiv.tsv")));
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[0], "id\tnmiss\tngeno\tnhom\tnhet\tF_Mean\tF_SD");
    std::vector<std::string> l = lines(six);
    size_t h = size_t(std::find(l.begin(), l.end(), "Indiv #Miss #Gens #HomG #HetG F_Mean F_SD") -
                      l.begin());
    for (size_t i = 1; i <= 6; i++)
        EXPECT_EQ(t[i], replaceall(l[h + i], " ", "\t"));
    EXPECT_EQ(files(), (std::vector<std::string>{"r.indiv.tsv", "r.kinship.tsv", "r.pairs.tsv",
                                                 "r.svg", "six.out"}));
}

TEST_F(kreport, LineFeedsOnlyGiveTheSameTables)
{
    put("six.out", six);
    put("lf.out", replaceall(six, "\r\n", "\n"));
    ASSERT_EQ(run({at("six.out")}), "");
    ASSERT_EQ(run({at("lf.out")}), "");
    EXPECT_EQ(slurp(at("six.pairs.tsv")), slurp(at("lf.pairs.tsv")));
    EXPECT_EQ(slurp(at("six.indiv.tsv")), slurp(at("lf.indiv.tsv")));
}

TEST_F(kreport, LinesRunningOverTheReadBufferAreWhole)
{
    put("six.out", six);
    ASSERT_EQ(run({at("six.out")}), "");
    std::string pairs = slurp(at("six.pairs.tsv")), indiv = slurp(at("six.indiv.tsv"));
    for (size_t b : {1, 2, 7, 150}) {
        ASSERT_EQ(run({at("six.out"), "--out", at("t")}, b), "") << b;
        EXPECT_EQ(slurp(at("t.pairs.tsv")), pairs) << b;
        EXPECT_EQ(slurp(at("t.indiv.tsv")), indiv) << b;
    }
    // a last line without its line feed
    std::string cut = six.substr(0, six.size() - 1);
    ASSERT_EQ(cut.back(), '1');
    put("c.out", cut);
    ASSERT_EQ(run({at("c.out")}, 5), "");
    EXPECT_EQ(slurp(at("c.indiv.tsv")), indiv);
}

TEST_F(kreport, IdentifiersWithBlanksAreKeptWhole)
{
    put("b.out", replaceall(six, "f0002_fs_c1", "fs c 1"));
    ASSERT_EQ(run({at("b.out")}), "");
    std::vector<std::string> p = lines(slurp(at("b.pairs.tsv")));
    EXPECT_EQ(words(p[3], '\t')[1], "fs c 1");    // pair (1, 4)
    EXPECT_EQ(words(p[10], '\t')[1], "fs c 1");   // pair (3, 4)
    EXPECT_EQ(words(p[13], '\t')[0], "fs c 1");   // pair (4, 5)
    EXPECT_EQ(words(lines(slurp(at("b.indiv.tsv")))[4], '\t')[0], "fs c 1");
}

TEST_F(kreport, OutputNamesAreOptions)
{
    put("six.out", six);
    ASSERT_EQ(run({at("six.out"), "--pairs", at("p.tsv"), "--indiv=" + at("i.tsv"), "--svg",
                   at("plot.svg"), "--kinship", at("k.tsv")}),
              "");
    EXPECT_EQ(files(),
              (std::vector<std::string>{"i.tsv", "k.tsv", "p.tsv", "plot.svg", "six.out"}));
    EXPECT_NE(run({at("six.out"), "--pairs", at("six.out")}).find("would overwrite"),
              std::string::npos);
    EXPECT_NE(run({}).find("name a KINEX results file"), std::string::npos);
    EXPECT_NE(run({"a", "b"}).find("one results file at a time"), std::string::npos);
    EXPECT_NE(run({"a", "--max-points", "x"}).find("--max-points needs"), std::string::npos);
    EXPECT_NE(run({"a", "--colour", "red"}).find("unknown option --colour"), std::string::npos);
}

TEST_F(kreport, FilesThatAreNoResultsFileStopAndLeaveNothing)
{
    auto fails = [&](const std::string& text, const std::string& want) {
        put("x.out", text);
        std::string m = run({at("x.out")});
        EXPECT_NE(m.find(want), std::string::npos) << "got: " << m;
        EXPECT_EQ(files(), std::vector<std::string>{"x.out"});
    };
    fails("", "is not a KINEX results file (it does not begin with the KINEX banner)");
    fails("Dyad Indiv1 Indiv2\n1 a a 0 0 0\n", "does not begin with the KINEX banner");
    std::string head = six.substr(0, six.find("IBD coefficient estimates"));
    fails(head, "is not a KINEX results file with results: no IBD coefficient table");
    fails(replaceall(six, "  Number of individuals = 6", "  Number of individuals = x"),
          "line 14: not a number of individuals");

    std::vector<std::string> l = lines(six);
    size_t h = size_t(std::find(l.begin(), l.end(), "IBD coefficient estimates") - l.begin());
    auto join = [&](size_t from, size_t to) {
        std::string s;
        for (size_t k = from; k < to; k++)
            s += l[k] + "\n";
        return s;
    };
    // cut after dyad 20
    fails(join(0, h + 3 + 20), "ends inside the IBD coefficient table, after 20 of its 36 lines");
    // a line of the table damaged
    std::vector<std::string> bad = l;
    bad[h + 3 + 4] = bad[h + 3 + 4].substr(0, bad[h + 3 + 4].size() - 2);
    {
        std::string s;
        for (auto& x : bad)
            s += x + "\n";
        fails(s, "line " + std::to_string(h + 3 + 5) + ": not a line of the IBD coefficient table");
    }
    // dyads out of order
    bad = l;
    std::swap(bad[h + 3 + 4], bad[h + 3 + 5]);
    {
        std::string s;
        for (auto& x : bad)
            s += x + "\n";
        fails(s, "expected dyad 5, found 6");
    }
    // the two orders of a pair disagree: dyad (4, 2) changed in its IIS3
    bad = l;
    std::vector<std::string> w = words(bad[h + 3 + 19], ' ');
    w[5] = std::to_string(std::stoi(w[5]) + 1);
    bad[h + 3 + 19].clear();
    for (auto& x : w)
        bad[h + 3 + 19] += (bad[h + 3 + 19].empty() ? "" : " ") + x;
    {
        std::string s;
        for (auto& x : bad)
            s += x + "\n";
        fails(s, "does not mirror the dyad");
    }
    // no inbreeding table after the IBD table
    fails(join(0, h + 3 + 36), "ends before its inbreeding table");
}

TEST_F(kreport, PlotHasAPointPerPairOrBinsThem)
{
    put("six.out", six);
    ASSERT_EQ(run({at("six.out")}), "");
    std::string svg = slurp(at("six.svg"));
    auto count = [](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1))
            n++;
        return n;
    };
    EXPECT_EQ(count(svg, "<circle class=\"pt\""), 15u);
    EXPECT_EQ(count(svg, "<rect class=\"cell\""), 0u);
    EXPECT_EQ(count(svg, "<path class=\"exp\""), 6u);   // five places and the legend
    for (const char* name : {"parent-offspring", "full sibs", "half sibs", "first cousins",
                             "unrelated", "15 pairs, one point each", "r(1,2)", "Delta9",
                             "F_Mean", "pairs (log scale)", "individuals"})
        EXPECT_NE(svg.find(name), std::string::npos) << name;

    ASSERT_EQ(run({at("six.out"), "--max-points", "14", "--svg", at("b.svg")}), "");
    svg = slurp(at("b.svg"));
    EXPECT_EQ(count(svg, "<circle class=\"pt\""), 0u);
    EXPECT_GT(count(svg, "<rect class=\"cell\""), 0u);
    EXPECT_LE(count(svg, "<rect class=\"cell\""), 15u);
    EXPECT_NE(svg.find("15 pairs, too many to draw one by one: binned"), std::string::npos);
}
