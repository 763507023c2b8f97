#include "chrcodes.hpp"
#include <cctype>
#include "convstate.hpp"

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int codeof(const std::string& item, const std::string& v)
{
    int c = chrnum(item);
    if (c == 0)
        convstop("--chr " + v + ": '" + item + "' is not a chromosome (give autosomes 1 to 22, "
                 "e.g. --chr 1-22 or --chr 1,3,5-7)");
    if (c > 22)
        convstop("--chr " + v + ": chromosome " + item + " is not an autosome; KINEX's model "
                 "is autosomal, so X, Y, XY and MT (23 to 26) are not taken (give autosomes 1 "
                 "to 22, e.g. --chr 1-22)");
    return c;
}

} // namespace

int chrnum(const std::string& name)
{
    std::string s = upper(name);
    if (s.rfind("CHR", 0) == 0)
        s = s.substr(3);
    if (s == "X")
        return 23;
    if (s == "Y")
        return 24;
    if (s == "XY")
        return 25;
    if (s == "MT" || s == "M")
        return 26;
    if (s.empty() || s.size() > 2 || s[0] == '0' ||
        s.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    int c = std::stoi(s);
    return c <= 26 ? c : 0;
}

uint32_t chrlist(const std::string& v)
{
    uint32_t bits = 0;
    size_t i = 0;
    while (i < v.size()) {
        size_t j = v.find_first_of(", \t", i);
        if (j == std::string::npos)
            j = v.size();
        std::string item = v.substr(i, j - i);
        i = j + 1;
        if (item.empty())
            continue;
        size_t dash = item.find('-', 1);
        int lo = codeof(item.substr(0, dash), v);
        int hi = dash == std::string::npos ? lo : codeof(item.substr(dash + 1), v);
        if (lo > hi)
            convstop("--chr " + v + ": the range " + item + " runs backwards");
        for (int c = lo; c <= hi; c++)
            bits |= uint32_t(1) << c;
    }
    if (bits == 0)
        convstop("--chr needs chromosomes, e.g. --chr 1-22 or --chr 1,3,5-7");
    return bits;
}
