// What a genotype file holds beyond what the run reads: rows longer than
// the counts of the parameter file, lines after the last row, bytes that no
// text file holds.  The run reads what it was told to; the master says
// once, after reading, that there was more.
#include <algorithm>

#include "genotypes/gtypework.hpp"
#include "run/textconv.hpp"

bool nottextbytes(const char* p, std::size_t n)
{
    // Written as one reduction over the bytes, in bytes, so that the
    // compiler takes a vector of them at a time; tab, line feed, vertical
    // tab, form feed and CR (9 to 13) are text.
    unsigned char bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        bad |= static_cast<unsigned char>((c < 32) & (static_cast<unsigned char>(c - 9) > 4)) |
               static_cast<unsigned char>(c == 127);
    }
    return bad != 0;
}

bool blanktail(const char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != ' ' && p[i] != '\t' && p[i] != '\r') return false;
    return true;
}

void scanrest(std::FILE* f, gtypesurplus& s)
{
    if (!f) return;
    static char buf[1 << 16];
    bool data = false, bad = false;
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            char c = buf[i];
            if (c == '\n') {
                s.morelines += data;
                s.nottext += bad;
                data = bad = false;
            } else {
                data = data || (c != ' ' && c != '\t' && c != '\r');
                unsigned u = static_cast<unsigned char>(c);
                bad = bad || (u < 32u && (u < 9u || u > 13u)) || u == 127u;
            }
        }
    }
    s.morelines += data;
    s.nottext += bad;
}

static std::string counted(int64_t n, const char* one, const char* many)
{
    return itod(int32_t(std::min<int64_t>(n, 2147483647))) + " " + (n == 1 ? one : many);
}

std::string surplustext(const gtypesurplus& s, int32_t dataform)
{
    std::string found;
    auto add = [&found](const std::string& t) { found += (found.empty() ? "" : ", ") + t; };
    const std::string nindiv = itod(vars.numindiv), nloci = itod(vars.numloci);
    if (s.moreids) add("more than " + nindiv + " identifiers");
    if (s.longrows > 0) {
        if (dataform == 0) add(counted(s.longrows, "line", "lines") + " with more than " + itod(2 * vars.numloci) + " allele values");
        else if (dataform == 1) add(counted(s.longrows, "locus row", "locus rows") + " longer than " + nindiv + " characters");
        else add(counted(s.longrows, "row", "rows") + " longer than " + nloci + " characters");
    }
    if (s.morelines > 0)
        add(counted(s.morelines, "further line", "further lines") + " after " +
            (dataform == 1 ? "locus " + nloci : "individual " + nindiv));
    if (s.nottext > 0) add(counted(s.nottext, "line", "lines") + " with bytes that are not text");
    if (found.empty()) return found;
    return "Warning: genotype file holds more than was read (" + nindiv + " individuals at " + nloci +
           " loci): " + found + ".";
}
