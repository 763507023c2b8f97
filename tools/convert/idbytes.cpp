#include "idbytes.hpp"
#include <cstdint>
#include <cstdio>

namespace {

uint8_t byteat(const std::string& id, size_t k)
{
    return k < id.size() ? uint8_t(id[k]) : uint8_t(0);
}

// Length of the UTF-8 character at id[i] (1 to 4), or 0 when the bytes
// there are not UTF-8 (overlong forms, surrogates and code points past
// U+10FFFF included); ctrl is set for a control character.
size_t utf8len(const std::string& id, size_t i, bool& ctrl)
{
    uint8_t b = byteat(id, i);
    ctrl = false;
    if (b < 0x80) {
        ctrl = b < 0x20 || b == 0x7F;
        return 1;
    }
    size_t n = b >= 0xC2 && b <= 0xDF   ? 2
               : b >= 0xE0 && b <= 0xEF ? 3
               : b >= 0xF0 && b <= 0xF4 ? 4
                                        : 0;
    if (n == 0)
        return 0;
    // the second byte's range narrows after E0, ED, F0 and F4
    uint8_t second = byteat(id, i + 1);
    uint8_t lo = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    uint8_t hi = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (second < lo || second > hi)
        return 0;
    for (size_t k = 2; k < n; k++)
        if (byteat(id, i + k) < 0x80 || byteat(id, i + k) > 0xBF)
            return 0;
    ctrl = b == 0xC2 && second <= 0x9F;   // U+0080..U+009F
    return n;
}

std::string hex(const char* form, uint8_t b)
{
    char s[8];
    std::snprintf(s, sizeof s, form, unsigned(b));
    return s;
}

} // namespace

std::string badbytes(const std::string& id)
{
    for (size_t i = 0; i < id.size();) {
        bool ctrl;
        size_t n = utf8len(id, i, ctrl);
        std::string place = " at byte " + std::to_string(i + 1) + ")";
        if (n == 0)
            return "is not UTF-8 text (" + hex("0x%02X", byteat(id, i)) + place;
        if (ctrl)
            return "holds a control character (" +
                   (n == 1 ? hex("0x%02X", byteat(id, i)) : hex("U+00%02X", byteat(id, i + 1))) +
                   place;
        i += n;
    }
    return "";
}

std::string shown(const std::string& id)
{
    std::string s;
    for (size_t i = 0; i < id.size();) {
        bool ctrl;
        size_t n = utf8len(id, i, ctrl);
        if (n == 0)
            n = 1;
        else if (!ctrl) {
            s.append(id, i, n);
            i += n;
            continue;
        }
        for (size_t k = 0; k < n; k++)
            s += hex("\\x%02X", byteat(id, i + k));
        i += n;
    }
    return s;
}
