#include "convlog.hpp"
#include <cstdio>
#include "convstate.hpp"

const char* const loghead = "kinex-convert log";

void say(const std::string& line, const std::string& brief)
{
    cv.loglines.push_back({line, brief});
}

std::string screentext(bool failed)
{
    std::string s;
    for (const logline& l : cv.loglines)
        s += (l.brief.empty() || failed ? l.full : l.brief) + "\n";
    return s;
}

std::string logtext(const std::string& wrote)
{
    std::string s = std::string(loghead) + "\n" + cv.cmdline + "\n";
    for (const logline& l : cv.loglines)
        s += l.full + "\n";
    return s + wrote + "\n";
}

std::string shellword(const std::string& w)
{
    if (!w.empty() && w.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_+-./:=@%,") == std::string::npos)
        return w;
    std::string q = "'";
    for (char c : w)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string count(int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string decimal(double x)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.6g", x);
    return b;
}
