#include "sitefilter.hpp"
#include <cstring>
#include "chrcodes.hpp"
#include "convlog.hpp"
#include "convstate.hpp"

namespace {

bool snp(const char* const* codes, int ncodes, bool bim)
{
    for (int k = 0; k < ncodes; k++) {
        const char* a = codes[k];
        if (a[0] == '\0' || a[1] != '\0')
            return false;
        if (cv.snpsonly == 2 && !std::strchr(bim ? "ACGTacgt.0" : "ACGTacgt.", a[0]))
            return false;
    }
    return true;
}

// The line of a filter: kept of before, and why the others went.
void sayfilter(const std::string& opt, int64_t before, int64_t dropped, const std::string& why)
{
    say(opt + ": " + std::to_string(before - dropped) + " of " +
        count(before, "site", "sites") + " kept (" + std::to_string(dropped) + " " + why + ")");
}

} // namespace

bool keepsite(const std::string& chrom, const char* const* codes, int ncodes, int nal, bool bim)
{
    cv.sitesin++;
    int c = chrnum(chrom);
    if (c > 22)
        cv.nonauto++;
    if (cv.chrs != 0 && (c > 22 || !(cv.chrs >> c & 1))) {
        cv.dropchr++;
        return false;
    }
    if (cv.snpsonly && !snp(codes, ncodes, bim)) {
        cv.dropsnp++;
        return false;
    }
    if (cv.maxalleles && nal > cv.maxalleles) {
        cv.dropalleles++;
        return false;
    }
    return true;
}

void saysites(const std::string& input)
{
    if (!cv.filtering)
        return;
    say(input + ": " + count(cv.sitesin, "site", "sites"));
    int64_t n = cv.sitesin;
    if (cv.chrs) {
        sayfilter(cv.given["chr"], n, cv.dropchr, "on other chromosomes");
        n -= cv.dropchr;
    }
    if (cv.snpsonly) {
        sayfilter(cv.given["snps-only"], n, cv.dropsnp,
                  cv.snpsonly == 2 ? "with an allele other than A, C, G or T"
                                   : "with an allele of more than one character");
        n -= cv.dropsnp;
    }
    if (cv.maxalleles) {
        sayfilter(cv.given["max-alleles"], n, cv.dropalleles,
                  "with more than " + count(cv.maxalleles, "allele", "alleles"));
        n -= cv.dropalleles;
    }
}
