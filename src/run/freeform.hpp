// Reading text files line by line and free-form values within them.
//
// A value ends at a blank, tab, comma, slash or semicolon or at the end of
// the line; a text may instead be enclosed in apostrophes or double quotes
// (a doubled quote inside stands for one).  Lines may end in LF or CR LF.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct ffreader;
void ffclose(ffreader& r);

struct ffreader {
    std::FILE* file = nullptr;
    std::string name;
    char* buf = nullptr;     // the current line (CR LF or LF removed)
    std::size_t cap = 0;
    std::size_t len = 0;
    std::size_t pos = 0;     // next character of the current line
    bool online = false;     // a line has been read and not finished
    long lineno = 0;
    int err = 0;             // errno of the failed open or read, 0 if none
    ~ffreader() { ffclose(*this); }
};

// Opens a file for reading; false when it cannot be opened (fferrtext
// tells why).  Only regular files are read: a folder, a named pipe, a
// terminal or another device is refused at once instead of blocking the
// run or feeding it endless data.
bool ffopen(ffreader& r, const std::string& name);

// Reads the next line; false at the end of the file or on a read error.
bool ffnextline(ffreader& r);

// True when the last failed open or read was an input error (memory
// included) rather than the end of the file.
bool fferror(const ffreader& r);

// Why the last open or read failed, e.g. "Is a directory"; empty if it
// did not.
std::string fferrtext(const ffreader& r);

enum class ffstatus { ok, endofline, bad };

// The next value on the current line.  bad: an unterminated quote.
ffstatus ffvalueinline(ffreader& r, std::string& value);

// The next value from the current position, going on to further lines
// (blank lines skipped) when the current one is used up.  With newread,
// starts on a new line first, like a fresh read statement.
// false at the end of the file or on an unterminated quote.
bool ffvalue(ffreader& r, std::string& value, bool newread);

// Plain decimal integer with optional sign, within [lo, hi].
bool parseint(const std::string& text, int64_t lo, int64_t hi, int64_t& out);

// Separators that end an unquoted value.
inline bool ffsep(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/' || c == ';'; }
