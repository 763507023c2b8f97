// Helpers of the kinex-convert tests: a scratch folder, files in it, one
// conversion run as the program runs it, options read alone, and the
// bytes of a .bed.
#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "convopts.hpp"
#include "convrun.hpp"
#include "convstate.hpp"
#include "tmpfiles.hpp"

namespace fs = std::filesystem;

// Genotypes as KINEX writes them: copies of A1, '-' missing.
using matrix = std::vector<std::string>;

// The .bed bytes of rows, packed here from PLINK's documented codes:
// 00 two copies of A1, 01 missing, 10 heterozygous, 11 no copy of A1.
inline std::string bedbytes(const matrix& rows)
{
    size_t n = rows.size(), m = rows[0].size(), per = (n + 3) / 4;
    std::string b = "\x6C\x1B\x01";
    for (size_t l = 0; l < m; l++) {
        std::string snp(per, '\0');
        for (size_t i = 0; i < n; i++) {
            char c = rows[i][l];
            unsigned code = c == '2' ? 0 : c == '1' ? 2 : c == '0' ? 3 : 1;
            snp[i / 4] = char(snp[i / 4] | (code << (2 * (i % 4))));
        }
        b += snp;
    }
    return b;
}

// A fresh folder per test, removed afterwards.
class convdir : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        std::string t = (fs::temp_directory_path() / "kinexconvXXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        dir = t;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string at(const std::string& name) const { return dir + "/" + name; }
    void put(const std::string& name, const std::string& text) const
    {
        std::ofstream(at(name), std::ios::binary) << text;
    }
    std::string get(const std::string& name) const
    {
        std::ifstream in(at(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> files() const
    {
        std::vector<std::string> v;
        for (auto& e : fs::directory_iterator(dir))
            v.push_back(e.path().filename().string());
        std::sort(v.begin(), v.end());
        return v;
    }
    // Runs kinex-convert with these arguments; "" on success, else the
    // message it stops with.
    std::string run(std::vector<std::string> args, int64_t groupbytes = 0)
    {
        resetconv();
        std::vector<const char*> argv{"kinex-convert"};
        for (auto& a : args)
            argv.push_back(a.c_str());
        try {
            readopts(int(argv.size()), argv.data());
            if (groupbytes > 0)
                cv.groupbytes = groupbytes;
            convert();
        } catch (const convfail& e) {
            tmpdiscard();
            return e.msg;
        }
        return "";
    }
};

// Reads the options alone; "" when they are good, else the message.
inline std::string optfail(std::vector<std::string> args)
{
    resetconv();
    std::vector<const char*> argv{"kinex-convert"};
    for (auto& a : args)
        argv.push_back(a.c_str());
    try {
        readopts(int(argv.size()), argv.data());
    } catch (const convfail& e) {
        return e.msg;
    }
    return "";
}
