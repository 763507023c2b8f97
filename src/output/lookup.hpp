// Look-up texts of the results tables: every count and every rounded real
// is formatted once, and building a table line only copies texts.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct lookup {
    int32_t maxcount = -1;         // counts 0..maxcount have texts
    int32_t cntwidth = 0;          // digits of maxcount: the slot of a count text
    std::vector<char> cnt;         // count k in slot k, left-aligned
    std::vector<uint8_t> cntlen;   // its length without the padding
    std::vector<char> dec4;        // 10001 texts " 0.0000".." 1.0000", 7 characters each
    std::vector<char> dec3;        // 1001 texts " 0.000".." 1.000", 6 characters each
};

// The largest count of the IBD and inbreeding tables: over iisdyad, the
// missing counts and the genotyped counts.
int32_t largestcount();

// Texts of the counts 0..maxcount.
void makecounts(lookup& lk, int32_t maxcount);

// The four- and three-decimal texts.
void makedecimals(lookup& lk);

// vars.ca3: allele identifiers 0..maxrawallele, three characters each.
void makeca3();

// A value outside the range of its texts is not expected from the
// estimation; it is written directly in the same layout rather than
// clamped, so that a wrong value shows itself.
void putdirect(std::string& s, int32_t c);
void putdirect(std::string& s, double v, int decimals);

// Appends count c in plain decimal.
inline void putcount(std::string& s, const lookup& lk, int32_t c)
{
    if (c >= 0 && c <= lk.maxcount)
        s.append(lk.cnt.data() + std::size_t(c) * std::size_t(lk.cntwidth), lk.cntlen[std::size_t(c)]);
    else
        putdirect(s, c);
}

// Appends a blank and v with four decimals: entry round(10000 v), halves
// away from zero, the product formed in single precision for Deltas and
// in double precision for the others.
inline void putdelta(std::string& s, const lookup& lk, float v)
{
    float p = v * 10000.0f;
    long k = p > -1.0f && p < 10001.0f ? std::lround(p) : -1;
    if (k >= 0 && k <= 10000)
        s.append(lk.dec4.data() + std::size_t(k) * 7, 7);
    else
        putdirect(s, double(v), 4);
}

inline void putdec4(std::string& s, const lookup& lk, double v)
{
    double p = v * 10000.0;
    long k = p > -1.0 && p < 10001.0 ? std::lround(p) : -1;
    if (k >= 0 && k <= 10000)
        s.append(lk.dec4.data() + std::size_t(k) * 7, 7);
    else
        putdirect(s, v, 4);
}

// Appends a blank and v with three decimals: entry round(1000 v).
inline void putdec3(std::string& s, const lookup& lk, double v)
{
    double p = v * 1000.0;
    long k = p > -1.0 && p < 1001.0 ? std::lround(p) : -1;
    if (k >= 0 && k <= 1000)
        s.append(lk.dec3.data() + std::size_t(k) * 6, 6);
    else
        putdirect(s, v, 3);
}

// Appends allele identifier id as its ca3 text without the padding.
void putallele(std::string& s, int32_t id);
