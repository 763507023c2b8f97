// Outputs are written under temporary names beside their final names and
// renamed only when all three are complete.
#pragma once
#include <cstdio>
#include <string>

FILE* outopen(const std::string& name);
void outclose(FILE* f, const std::string& name);
void outcommit();
void outdiscard();

// Writes text, stopping with a message naming the file on failure.
void outwrite(FILE* f, const std::string& text, const std::string& name);
