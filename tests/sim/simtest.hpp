// Helpers shared by the simulator's tests.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A directory for the running test, emptied at the test's first call (not
// at later ones: a test compares the files of several runs); returns DIR/name.
// The directory of the test before is removed then, the last one at exit.
struct simtmpdir {
    std::filesystem::path path;
    ~simtmpdir()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
};

inline std::string tmpprefix(const std::string& name)
{
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    auto dir = std::filesystem::temp_directory_path() /
               ("kinex-sim-" + std::to_string(getpid()) + "-" + info->name());
    static simtmpdir last;
    if (dir != last.path) {
        std::error_code ec;
        if (!last.path.empty())
            std::filesystem::remove_all(last.path, ec);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        last.path = dir;
    }
    return (dir / name).string();
}

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> linesof(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line))
        out.push_back(line);
    return out;
}
