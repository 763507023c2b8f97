// Output files with large buffers and checked errors.
#pragma once
#include <cstdio>
#include <string>

FILE* open_out(const std::string& path, std::string& err);

// Closes f and reports any write error met since it was opened.
bool close_out(FILE* f, const std::string& path, std::string& err);

inline void put(FILE* f, const std::string& s) { std::fwrite(s.data(), 1, s.size(), f); }
