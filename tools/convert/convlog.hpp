// The run's account: what each filter kept and left out, on the screen and
// in the log file OUT.log that a filtering run writes beside its outputs.
#pragma once
#include <cstdint>
#include <string>

// The log's first line, by which a later run knows the file for its own.
extern const char* const loghead;

// Adds a line to the account (brief: the screen's shorter form, if any).
void say(const std::string& line, const std::string& brief = "");

// The account as the screen shows it, one line each; after a failure, when
// no log is written, with the lines in full.
std::string screentext(bool failed = false);

// The log file: its first line, the command, the account, then wrote.
std::string logtext(const std::string& wrote);

// A word as a POSIX shell reads it back.
std::string shellword(const std::string& w);

// n with its noun: "1 site", "2 sites".
std::string count(int64_t n, const char* one, const char* many);

// A number as a person writes it: 0.05, 90, 87.5.
std::string decimal(double x);
