// Output files with large buffers and checked errors.  Every file is
// written under a temporary name beside its own ("P.gen.part-<pid>") and
// put in place only when all of a run's files are complete: a run that
// fails leaves none of its files, and the files of an earlier run stay as
// they were.  A device or a pipe is written directly.
#pragma once
#include <cstdio>
#include <string>

FILE* outopen(const std::string& path, std::string& err);

// Closes f and reports any write error met since it was opened.
bool outclose(FILE* f, const std::string& path, std::string& err);

// Renames every file opened since the last commit or discard onto its
// name; false (and err) when one cannot be, the rest then discarded.
bool outcommit(std::string& err);

// Removes every temporary file not yet committed.
void outdiscard();

inline void put(FILE* f, const std::string& s) { std::fwrite(s.data(), 1, s.size(), f); }
