#include "filters.hpp"
#include <algorithm>
#include "compact.hpp"
#include "convlog.hpp"
#include "convstate.hpp"
#include "genocount.hpp"
#include "idbytes.hpp"

namespace {

// A rate equal to the threshold (1 of 10 missing for --geno 0.1) is not
// beyond it, whatever the rounding of either.
constexpr double eps = 1e-12;

constexpr int screennames = 20;   // removed individuals named on the screen

int64_t kept(const std::vector<uint8_t>& on)
{
    return std::count(on.begin(), on.end(), 1);
}

[[noreturn]] void nosite(const std::string& by)
{
    convstop(by + " leaves no site; KINEX needs at least 1");
}

std::string percent(double rate)
{
    return decimal(100 * rate) + "%";
}

void mind(int64_t nsites)
{
    std::vector<int64_t> miss = missingbyindiv();
    std::vector<std::string> out;
    for (int64_t i = 0; i < cv.numindiv; i++)
        if (cv.indivon[size_t(i)] && double(miss[size_t(i)]) / double(nsites) > cv.mind * (1 + eps)) {
            cv.indivon[size_t(i)] = 0;
            out.push_back(shown(cv.ids[size_t(i)]));
        }
    int64_t n = kept(cv.indivon), before = n + int64_t(out.size());
    std::string line = cv.given["mind"] + ": " + std::to_string(n) + " of " +
                       count(before, "sample", "samples") + " kept (" +
                       std::to_string(out.size()) + " typed at fewer than " +
                       percent(1 - cv.mind) + " of the " + count(nsites, "site", "sites") + ")";
    std::string full = line, brief = line;
    for (size_t k = 0; k < out.size(); k++) {
        full += (k ? " " : ": ") + out[k];
        if (k < size_t(screennames))
            brief += (k ? " " : ": ") + out[k];
    }
    if (out.size() > size_t(screennames))
        brief += " ... and " + std::to_string(out.size() - screennames) + " more, all in " +
                 cv.logname;
    say(full, out.size() > size_t(screennames) ? brief : "");
    if (n < 2)
        convstop(cv.given["mind"] + " leaves " + count(n, "individual", "individuals") +
                 "; KINEX needs at least 2");
}

void genomaf(int64_t nsites)
{
    std::vector<uint8_t> mask = keepmask();
    int64_t nindiv = kept(cv.indivon), bygeno = 0, bymaf = 0;
    for (size_t s = 0; s < cv.siteon.size(); s++) {
        if (!cv.siteon[s])
            continue;
        sitecount c = countsite(int64_t(s), mask);
        if (cv.geno >= 0 && double(nindiv - c.typed) / double(nindiv) > cv.geno * (1 + eps)) {
            cv.siteon[s] = 0;
            bygeno++;
        } else if (cv.maf >= 0 && c.nonmajor < cv.maf * (1 - eps)) {
            cv.siteon[s] = 0;
            bymaf++;
        }
    }
    if (cv.geno >= 0) {
        say(cv.given["geno"] + ": " + std::to_string(nsites - bygeno) + " of " +
            count(nsites, "site", "sites") + " kept (" + std::to_string(bygeno) +
            " typed in fewer than " + percent(1 - cv.geno) + " of the " +
            count(nindiv, "sample", "samples") + ")");
        if (nsites == bygeno)
            nosite(cv.given["geno"]);
        nsites -= bygeno;
    }
    if (cv.maf >= 0) {
        say(cv.given["maf"] + ": " + std::to_string(nsites - bymaf) + " of " +
            count(nsites, "site", "sites") + " kept (" + std::to_string(bymaf) +
            " with a minor allele frequency below " + decimal(cv.maf) + ")");
        if (nsites == bymaf)
            nosite(cv.given["maf"]);
    }
}

// Greedy from the first site of each chromosome, as PLINK 2's --bp-space:
// a site is kept when it lies at least bpspace bases after the last one
// kept.  The sites must come chromosome by chromosome, sorted by position.
void bpspace(int64_t nsites)
{
    std::vector<uint8_t> seen(cv.chrnames.size(), 0);
    int32_t chr = -1;
    int64_t last = 0, prev = 0, dropped = 0;
    for (size_t s = 0; s < cv.siteon.size(); s++) {
        if (!cv.siteon[s])
            continue;
        int32_t c = cv.sitechr[s];
        int64_t pos = cv.sitepos[s];
        std::string name = cv.chrnames[size_t(c)];
        if (c != chr) {
            if (seen[size_t(c)])
                convstop(cv.given["bp-space"] + " needs the sites of each chromosome together, "
                         "sorted by position: chromosome " + name + " comes again at position " +
                         std::to_string(pos) + " after other chromosomes (PLINK 2 refuses them "
                         "too; plink2 --sort-vars --make-pgen sorts them)");
            seen[size_t(c)] = 1;
            chr = c;
            last = prev = pos;
            continue;
        }
        if (pos < prev)
            convstop(cv.given["bp-space"] + " needs the sites sorted by position: on chromosome " +
                     name + ", position " + std::to_string(pos) + " comes after " +
                     std::to_string(prev) + " (PLINK 2 refuses them too; plink2 --sort-vars "
                     "--make-pgen sorts them)");
        prev = pos;
        if (pos - last >= cv.bpspace) {
            last = pos;
        } else {
            cv.siteon[s] = 0;
            dropped++;
        }
    }
    say(cv.given["bp-space"] + ": " + std::to_string(nsites - dropped) + " of " +
        count(nsites, "site", "sites") + " kept (" + std::to_string(dropped) +
        " closer than " + std::to_string(cv.bpspace) + " bases to the site kept before them)");
}

} // namespace

void filtergenos()
{
    int64_t nsites = kept(cv.siteon);
    if (nsites == 0) {
        const char* last = cv.dropalleles ? "max-alleles" : cv.dropsnp ? "snps-only" : "chr";
        nosite(cv.given[last]);
    }
    if (cv.mind >= 0)
        mind(nsites);
    if (cv.geno >= 0 || cv.maf >= 0)
        genomaf(nsites);
    if (cv.bpspace > 0)
        bpspace(kept(cv.siteon));
    compact();
}
