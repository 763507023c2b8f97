// Numbers as the results file writes them: counts in plain decimal, reals
// with one digit, a point and four decimals; and as its side tables do.
#pragma once
#include <string_view>

inline bool isdigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A real as kinex's side tables write it: digits, a point and decimals,
// a minus sign first when sign is allowed.
inline bool isreal(std::string_view s, bool sign)
{
    if (sign && !s.empty() && s[0] == '-')
        s.remove_prefix(1);
    size_t p = s.find('.');
    if (p == std::string_view::npos)
        return isdigits(s);
    return isdigits(s.substr(0, p)) && isdigits(s.substr(p + 1));
}

inline bool isfour(std::string_view s)
{
    return s.size() == 6 && s[1] == '.' && isdigits(s.substr(0, 1)) && isdigits(s.substr(2));
}

// The value of a text that passed isfour.
inline double fourvalue(std::string_view s)
{
    return (s[0] - '0') +
           ((s[2] - '0') * 1000 + (s[3] - '0') * 100 + (s[4] - '0') * 10 + (s[5] - '0')) * 1e-4;
}

// Ten thousand times the value of a text that passed isfour (exact).
inline int fourint(std::string_view s)
{
    return (s[0] - '0') * 10000 + (s[2] - '0') * 1000 + (s[3] - '0') * 100 + (s[4] - '0') * 10 +
           (s[5] - '0');
}

// True when a four-decimal value of ten thousand times k is x or more.
inline bool atleast(int k, double x)
{
    return k >= x * 10000 - 1e-6;
}
