// Small helpers shared by the unit tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "run/stop.hpp"
#include "run/variables.hpp"

// A fresh run state on the master process, with no wait after a stop.
inline void freshstate()
{
    resetvariables();
    vars.thd0q = true;
    stopwaitseconds = 0;
}

// A temporary folder removed at the end of the test.
struct tempdir {
    std::filesystem::path path;
    tempdir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kinextest.XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~tempdir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

inline void writefile(const std::string& name, const std::string& text)
{
    std::ofstream out(name, std::ios::binary);
    out << text;
}

inline std::string readfile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs f, which must stop the run; returns the screen text.
template <class F>
std::string stoppedwith(F f)
{
    testing::internal::CaptureStdout();
    bool stopped = false;
    try {
        f();
    } catch (const runend& e) {
        stopped = e.status == 1;
    }
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(stopped) << "expected a stop, screen was:\n" << out;
    return out;
}

// Runs f, which must not stop; returns the screen text.
template <class F>
std::string screenof(F f)
{
    testing::internal::CaptureStdout();
    try {
        f();
    } catch (const runend& e) {
        std::string out = testing::internal::GetCapturedStdout();
        ADD_FAILURE() << "unexpected end with status " << e.status << ", screen:\n" << out;
        return out;
    }
    return testing::internal::GetCapturedStdout();
}
