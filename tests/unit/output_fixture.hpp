// Shared set-up of the results-file tests: a run state filled by hand and
// a scratch folder for the files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "output/lookup.hpp"
#include "output/tables.hpp"
#include "run/stop.hpp"
#include "run/textfile.hpp"
#include "run/variables.hpp"

namespace outtest {

// The folders of this test program's run, removed when it ends.
inline std::filesystem::path scratchroot()
{
    static const struct root {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("kinex_output_" + std::to_string(getpid()));
        ~root()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } r;
    return r.path;
}

// A fresh folder for the current test.
inline std::filesystem::path scratch()
{
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = scratchroot() / (std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string slurp(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void spit(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary);
    out << text;
}

// n individuals "A1".."An" (20 characters each), all estimates zero, the
// results file res.txt in dir.
inline void smallrun(int n, const std::filesystem::path& dir)
{
    resetvariables();
    stopwaitseconds = 0;
    vars.thd0q = true;
    vars.numindiv = n;
    vars.individ.assign(std::size_t(n) + 1, std::string());
    for (int i = 1; i <= n; ++i) {
        vars.individ[std::size_t(i)] = "A" + std::to_string(i);
        vars.individ[std::size_t(i)].resize(20, ' ');
    }
    vars.iisdyad.assign(9 * std::size_t(n) * std::size_t(n - 1) / 2, 0);
    vars.indvar.assign(3 * std::size_t(n), 0);
    vars.delta.assign(9 * std::size_t(n) * std::size_t(n), 0.0f);
    vars.inb.assign(std::size_t(n) + 1, 0.0);
    vars.fsd.assign(std::size_t(n) + 1, 0.0);
    vars.outfile = (dir / "res.txt").string();
}

// What a table writer appends to an empty file.
template <class F>
std::string tabletext(F write)
{
    std::filesystem::path file = std::filesystem::path(vars.outfile).parent_path() / "table.txt";
    std::filesystem::remove(file);
    {
        textout out;
        textopen(out, file.string(), false, "Output");
        lookup lk;
        makecounts(lk, largestcount());
        makedecimals(lk);
        write(out, lk);
        textclose(out);
    }
    return slurp(file);
}

// The table's lines after its column line.
inline std::string body(const std::string& table, const std::string& columnline)
{
    std::size_t p = table.find(columnline + "\n");
    EXPECT_NE(p, std::string::npos);
    return p == std::string::npos ? std::string() : table.substr(p + columnline.size() + 1);
}

// The line ends of a text in order: 'C' for CR LF, 'L' for a lone LF.
inline std::string lineends(const std::string& text)
{
    std::string ends;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') ends += (i > 0 && text[i - 1] == '\r') ? 'C' : 'L';
    return ends;
}

// The lines of a text, split at CR LF and LF.
inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        std::size_t end = (i > start && text[i - 1] == '\r') ? i - 1 : i;
        out.push_back(text.substr(start, end - start));
        start = i + 1;
    }
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

inline const std::string ibdcolumns =
    "Dyad Indiv1 Indiv2 #IIS1 #IIS2 #IIS3 #IIS4 #IIS5 #IIS6 #IIS7 #IIS8 #IIS9 Delta1 Delta2 Delta3 Delta4 Delta5 "
    "Delta6 Delta7 Delta8 Delta9 r(1,2)";
inline const std::string inbcolumns = "Indiv #Miss #Gens #HomG #HetG F_Mean F_SD";

inline std::string ibdbody() { return body(tabletext([](textout& o, lookup& lk) { writeibd(o, lk); }), ibdcolumns); }
inline std::string inbbody() { return body(tabletext([](textout& o, lookup& lk) { writeinb(o, lk); }), inbcolumns); }

}  // namespace outtest
