#include "run/textconv.hpp"

#include <cmath>
#include <cstdio>
#include <vector>

#include "run/variables.hpp"

std::string to_case(const std::string& text, int mode)
{
    std::string out = text;
    for (char& ch : out) {
        if (mode == 1) {
            if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
        } else {
            if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
        }
    }
    return out;
}

std::string itoc(int32_t i)
{
    int64_t a = i < 0 ? -int64_t(i) : int64_t(i);
    char rev[12];
    int n = 0;
    do {
        rev[n++] = vars.c09[std::size_t(a % 10)];
        a /= 10;
    } while (a > 0);
    std::string text(11, ' ');
    std::size_t p = 0;
    if (i < 0) text[p++] = '-';
    while (n > 0) text[p++] = rev[--n];
    return text;
}

std::string itod(int32_t i) { return trimright(itoc(i)); }

std::string trimright(const std::string& text)
{
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string trimleft(const std::string& text)
{
    std::size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

std::string trimboth(const std::string& text) { return trimleft(trimright(text)); }

std::string fmtright(const std::string& text, int width)
{
    if (int(text.size()) >= width) return text.substr(text.size() - std::size_t(width));
    return std::string(std::size_t(width) - text.size(), ' ') + text;
}

std::string fmtint(int64_t i, int width)
{
    std::string t = std::to_string(i);
    if (int(t.size()) > width) return std::string(std::size_t(width), '*');
    return fmtright(t, width);
}

// The exact decimal expansion of |x| (x finite, non-zero): digits d1 d2 ...
// with value 0.d1d2... x 10^(point).
static void exactdigits(double x, std::string& digits, int& point)
{
    std::vector<char> buf(1200);
    std::snprintf(buf.data(), buf.size(), "%.800e", std::fabs(x));
    std::string s(buf.data());
    std::size_t e = s.find('e');
    digits = s.substr(0, 1) + s.substr(2, e - 2);
    point = std::stoi(s.substr(e + 1)) + 1;
    std::size_t last = digits.find_last_not_of('0');
    digits.resize(last == std::string::npos ? 1 : last + 1);
}

// Keeps the first `keep` digits of 0.d1d2... (keep may be 0 or negative),
// rounding half away from zero; returns the kept digits and adjusts `point`
// when the rounding carries into a new leading digit.
static std::string rounddigits(const std::string& digits, int keep, int& point)
{
    if (keep < 0) return std::string();
    std::string kept = digits.substr(0, std::size_t(std::min<int>(keep, int(digits.size()))));
    kept.resize(std::size_t(keep), '0');
    bool up = std::size_t(keep) < digits.size() && digits[std::size_t(keep)] >= '5';
    if (up) {
        int k = keep - 1;
        while (k >= 0 && kept[std::size_t(k)] == '9') {
            kept[std::size_t(k)] = '0';
            --k;
        }
        if (k >= 0) {
            kept[std::size_t(k)] = char(kept[std::size_t(k)] + 1);
        } else {
            kept.insert(kept.begin(), '1');
            ++point;
        }
    }
    return kept;
}

static std::string specialtext(double x, int width)
{
    std::string t = std::isnan(x) ? "NaN" : (x < 0 ? "-Infinity" : "Infinity");
    if (int(t.size()) > width && std::isinf(x)) t = x < 0 ? "-Inf" : "Inf";
    if (int(t.size()) > width) return std::string(std::size_t(width), '*');
    return fmtright(t, width);
}

std::string fmtfixed(double x, int width, int decimals)
{
    if (!std::isfinite(x)) return specialtext(x, width);
    std::string intpart = "0", fracpart(std::size_t(decimals), '0');
    if (x != 0.0) {
        std::string digits;
        int point = 0;
        exactdigits(x, digits, point);
        int keep = point + decimals;
        int newpoint = point;
        std::string kept = rounddigits(digits, keep, newpoint);
        if (keep < 0 || (keep == 0 && kept.empty())) {
            // |x| below half a unit of the last decimal, or rounds up to it
            if (keep == 0 && !digits.empty() && digits[0] >= '5') {
                fracpart[std::size_t(decimals - 1)] = '1';
                if (decimals == 0) intpart = "1";
            }
        } else {
            // kept holds the digits of the rounded value times 10^decimals
            int intdigits = int(kept.size()) - decimals;
            if (intdigits > 0) {
                intpart = kept.substr(0, std::size_t(intdigits));
                fracpart = kept.substr(std::size_t(intdigits));
            } else {
                fracpart = std::string(std::size_t(-intdigits), '0') + kept;
            }
            std::size_t nz = intpart.find_first_not_of('0');
            intpart = nz == std::string::npos ? "0" : intpart.substr(nz);
        }
    }
    std::string sign = std::signbit(x) ? "-" : "";
    std::string text = sign + intpart + (decimals > 0 ? "." + fracpart : "");
    if (int(text.size()) > width && intpart == "0") text = sign + (decimals > 0 ? "." + fracpart : "0");
    if (int(text.size()) > width) return std::string(std::size_t(width), '*');
    return fmtright(text, width);
}

std::string fmtsci(double x, int width, int decimals)
{
    if (!std::isfinite(x)) return specialtext(x, width);
    std::string mantissa;
    int exponent = 0;
    if (x == 0.0) {
        mantissa = std::string(std::size_t(decimals) + 1, '0');
    } else {
        std::string digits;
        int point = 0;
        exactdigits(x, digits, point);
        mantissa = rounddigits(digits, decimals + 1, point);
        if (int(mantissa.size()) > decimals + 1) mantissa.resize(std::size_t(decimals) + 1);
        exponent = point - 1;
    }
    std::string text = std::signbit(x) ? "-" : "";
    text += mantissa.substr(0, 1);
    if (decimals > 0) text += "." + mantissa.substr(1);
    int ae = exponent < 0 ? -exponent : exponent;
    std::string es = exponent < 0 ? "-" : "+";
    if (ae <= 99) {
        text += "E" + es + (ae < 10 ? "0" : "") + std::to_string(ae);
    } else if (ae <= 999) {
        text += es + std::to_string(ae);
    } else {
        return std::string(std::size_t(width), '*');
    }
    if (int(text.size()) > width) return std::string(std::size_t(width), '*');
    return fmtright(text, width);
}

std::string rtoc(double x, rlayout layout)
{
    switch (layout) {
    case rlayout::sci16: return trimboth(fmtsci(x, 16, 6));
    case rlayout::fix74: return trimboth(fmtfixed(x, 7, 4));
    case rlayout::fix63: return trimboth(fmtfixed(x, 6, 3));
    }
    return std::string();
}

std::string gtod(double x)
{
    char text[40];
    std::snprintf(text, sizeof text, "%g", x);
    return text;
}
