// Helpers of the kinex-convert tests: a scratch folder, files in it, and
// one conversion run as the program runs it.
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
