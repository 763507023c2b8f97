// Whole runs: options, reproducibility, missing genotypes, layouts agreeing.
#include <gtest/gtest.h>
#include <set>
#include "opts.h"
#include "run.h"
#include "simtest.h"

namespace {

opts parsed(std::vector<std::string> args, bool expect_ok = true)
{
    std::vector<const char*> argv = {"kinex-sim"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    opts o;
    std::string err;
    bool ok = parse_opts(int(argv.size()), argv.data(), o, err);
    EXPECT_EQ(ok, expect_ok) << err;
    return o;
}

void run(const opts& o)
{
    std::string err;
    ASSERT_TRUE(run_sim(o, err)) << err;
}

// Genotype characters of layout 2, one string per individual.
std::vector<std::string> layout2_rows(const std::string& text, size_t n)
{
    std::vector<std::string> lines = lines_of(text);
    size_t head = (n + 9) / 10;
    return std::vector<std::string>(lines.begin() + head, lines.end());
}

} // namespace

TEST(options, defaults_and_values)
{
    opts o = parsed({});
    EXPECT_EQ(o.layout, 2);
    EXPECT_EQ(o.out, "sim");
    EXPECT_EQ(o.results, "");
    EXPECT_EQ(o.inbreed, 1);
    EXPECT_EQ(o.kseed, 1);
    o = parsed({"--markers", "multi", "--out=run/x", "--individuals", "50", "--missing=0.25"});
    EXPECT_TRUE(o.multi);
    EXPECT_EQ(o.layout, 0);
    EXPECT_EQ(o.out, "run/x");
    EXPECT_EQ(o.n, 50);
    EXPECT_DOUBLE_EQ(o.missing, 0.25);
    o = parsed({"--results", "r.txt", "--kinex-seed", "7", "--update-p", "1", "--plink"});
    EXPECT_EQ(o.results, "r.txt");
    EXPECT_EQ(o.kseed, 7);
    EXPECT_EQ(o.update_p, 1);
    EXPECT_TRUE(o.plink);
}

TEST(options, bad_values_are_refused)
{
    parsed({"--layout", "3"}, false);
    parsed({"--layout", "1", "--markers", "multi"}, false);
    parsed({"--plink", "--markers", "multi"}, false);
    parsed({"--missing", "1"}, false);
    parsed({"--missing", "-0.1"}, false);
    parsed({"--missing", "nan"}, false);
    parsed({"--individuals", "0"}, false);
    parsed({"--loci", "12x"}, false);
    parsed({"--loci"}, false);
    parsed({"--seed", "-1"}, false);
    parsed({"--inbreed", "2"}, false);
    parsed({"--families", "fs,xx"}, false);
    parsed({"--out", "a\"b"}, false);
    parsed({"--colour", "red"}, false);
    parsed({"stray"}, false);
}

TEST(run, same_seed_same_files_other_seed_other_genotypes)
{
    std::string a = tmp_prefix("a"), b = a + "b", c = a + "c";
    opts o = parsed({"--individuals", "40", "--loci", "300", "--missing", "0.1", "--plink"});
    o.out = a;
    run(o);
    o.out = b;
    run(o);
    o.seed = 2;
    o.out = c;
    run(o);
    for (const char* ext : {".gen", ".truth.pairs.tsv", ".truth.indiv.tsv", ".ped", ".map"})
        EXPECT_EQ(slurp(a + ext), slurp(b + ext)) << ext;
    EXPECT_NE(slurp(a + ".gen"), slurp(c + ".gen"));
    EXPECT_NE(slurp(a + ".truth.pairs.tsv"), slurp(c + ".truth.pairs.tsv"));
}

TEST(run, missing_rate_is_honoured)
{
    std::string pre = tmp_prefix("m");
    opts o = parsed({"--individuals", "200", "--loci", "500", "--missing", "0.1"});
    o.out = pre;
    run(o);
    long long miss = 0, all = 0;
    for (const std::string& row : layout2_rows(slurp(pre + ".gen"), 200)) {
        EXPECT_EQ(row.size(), 500u);
        for (char ch : row) {
            EXPECT_NE(std::string("012-").find(ch), std::string::npos);
            miss += ch == '-';
            all++;
        }
    }
    EXPECT_EQ(all, 200 * 500);
    EXPECT_NEAR(double(miss) / all, 0.1, 0.005);

    o.missing = 0;
    run(o);
    EXPECT_EQ(slurp(pre + ".gen").find('-'), std::string::npos);
}

TEST(run, the_three_layouts_hold_the_same_genotypes)
{
    std::string pre = tmp_prefix("l");
    const size_t n = 23, L = 300;
    opts o = parsed({"--individuals", "23", "--loci", "300", "--missing", "0.05"});
    std::string text[3];
    for (int layout = 0; layout < 3; layout++) {
        o.layout = layout;
        o.out = pre + std::to_string(layout);
        run(o);
        text[layout] = slurp(o.out + ".gen");
    }
    std::vector<std::string> rows2 = layout2_rows(text[2], n);
    ASSERT_EQ(rows2.size(), n);
    std::vector<std::string> lines1 = lines_of(text[1]);
    ASSERT_EQ(lines1.size(), 3 + L);
    EXPECT_EQ(text[1].substr(0, text[1].size() - L * (n + 1)),
              text[2].substr(0, text[2].size() - n * (L + 1)));
    std::vector<std::string> lines0 = lines_of(text[0]);
    ASSERT_EQ(lines0.size(), n);
    const char* pair_of[] = {"2 2", "1 2", "1 1"};
    for (size_t k = 0; k < n; k++) {
        std::string want0 = lines0[k].substr(0, lines0[k].find(' '));
        for (size_t l = 0; l < L; l++) {
            char ch = rows2[k][l];
            ASSERT_EQ(lines1[3 + l][k], ch);
            want0 += std::string(" ") + (ch == '-' ? "0 0" : pair_of[ch - '0']);
        }
        ASSERT_EQ(lines0[k], want0);
    }
    // The parameter file names the layout and the genotype file.
    std::vector<std::string> par = lines_of(slurp(pre + "1.par"));
    ASSERT_EQ(par.size(), 10u);
    EXPECT_EQ(par[0], "23 number of individuals");
    EXPECT_EQ(par[2], "1 DataForm (genotype layout)");
    EXPECT_EQ(par[4], "\"" + pre + "1.gen\" genotype file");
    EXPECT_EQ(par[5], "\"" + pre + "1.out\" results file");
}

TEST(run, multiallelic_layout0_uses_distinct_ids_per_locus)
{
    std::string pre = tmp_prefix("ma");
    opts o = parsed({"--markers", "multi", "--individuals", "60", "--loci", "40"});
    o.out = pre;
    run(o);
    std::vector<std::string> lines = lines_of(slurp(pre + ".gen"));
    ASSERT_EQ(lines.size(), 60u);
    std::vector<std::set<int>> seen(40);
    for (const std::string& line : lines) {
        std::stringstream ss(line);
        std::string id;
        ss >> id;
        for (int l = 0; l < 40; l++) {
            int x, y;
            ASSERT_TRUE(ss >> x >> y);
            ASSERT_GE(x, 1);
            ASSERT_LE(x, 999);
            ASSERT_GE(y, 1);
            ASSERT_LE(y, 999);
            seen[l].insert(x);
            seen[l].insert(y);
        }
        std::string extra;
        EXPECT_FALSE(ss >> extra);
    }
    int multi = 0;
    for (const auto& ids : seen)
        multi += ids.size() > 2;
    EXPECT_GT(multi, 20);
}

TEST(run, trios_are_mendelian_and_codes_count_the_minor_allele)
{
    // Sibs come first so that unwritten parents sit between written people.
    std::string pre = tmp_prefix("po");
    opts o = parsed({"--families", "fs,po", "--individuals", "300", "--loci", "400"});
    o.out = pre;
    run(o);
    std::string text = slurp(pre + ".gen");
    std::vector<std::string> rows = layout2_rows(text, 300), ids;
    ASSERT_EQ(rows.size(), 300u);
    std::stringstream head(text.substr(0, text.size() - 300 * 401));
    for (std::string id; head >> id;)
        ids.push_back(id);
    ASSERT_EQ(ids.size(), 300u);
    long long copies = 0, trios = 0;
    for (size_t t = 0; t + 2 < 300; t++) {
        if (ids[t].find("_po_fa") == std::string::npos)
            continue;
        trios++;
        const std::string &fa = rows[t], &mo = rows[t + 1], &ch = rows[t + 2];
        for (size_t l = 0; l < 400; l++) {
            // Allele 1 copies the child got from each parent: at most one,
            // none from a parent homozygous for allele 2.
            int c = ch[l] - '0', f = fa[l] - '0', m = mo[l] - '0';
            int lo = (f == 2) + (m == 2), hi = (f > 0) + (m > 0);
            ASSERT_GE(c, lo) << ids[t] << " locus " << l;
            ASSERT_LE(c, hi) << ids[t] << " locus " << l;
            copies += f + m + c;
        }
    }
    EXPECT_EQ(trios, 60);
    // Minor allele frequency is uniform in 0.05..0.5, so 0.275 on average.
    EXPECT_NEAR(double(copies) / (2.0 * 3 * trios * 400), 0.275, 0.02);
}

TEST(run, bad_output_path_stops_before_simulating)
{
    opts o = parsed({"--out", "/nonexistent-dir/x"});
    std::string err;
    EXPECT_FALSE(run_sim(o, err));
    EXPECT_EQ(err.find("cannot write /nonexistent-dir/x.gen"), 0u) << err;
}

TEST(run, truth_files_list_family_pairs_and_individuals)
{
    std::string pre = tmp_prefix("t");
    opts o = parsed({"--individuals", "20", "--loci", "100"});
    o.out = pre;
    run(o);
    std::vector<std::string> pairs = lines_of(slurp(pre + ".truth.pairs.tsv"));
    ASSERT_GE(pairs.size(), 3u);
    EXPECT_EQ(pairs[0][0], '#');
    EXPECT_EQ(pairs[1], "id1\tid2\trelation\td1\td2\td3\td4\td5\td6\td7\td8\td9\tkinship\t"
                        "kinship_exp");
    EXPECT_EQ(pairs.size(), 2u + 14u);   // one cycle of all family types
    EXPECT_EQ(pairs[2].substr(0, 28), "f0002_po_fa\tf0002_po_mo\tUN\t0");
    EXPECT_NE(pairs[2].find("\t1.000000\t0.000000\t0.000000"), std::string::npos);
    std::vector<std::string> ind = lines_of(slurp(pre + ".truth.indiv.tsv"));
    ASSERT_EQ(ind.size(), 21u);
    EXPECT_EQ(ind[0], "id\tfamily\trole\tF\tF_exp");
    EXPECT_EQ(ind[1], "f0001_un_i\tf0001_un\ti\t0.000000\t0.000000");
}
