#include "bedread.hpp"
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include "convstate.hpp"
#include "infiles.hpp"
#include "sitefilter.hpp"

namespace {

// Whitespace-separated fields of a line; only the first keep are kept.
int fields(const std::string& line, std::string* first, int keep)
{
    int n = 0;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            i++;
        if (i >= line.size())
            return n;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r')
            j++;
        if (n < keep)
            first[n] = line.substr(i, j - i);
        n++;
        i = j;
    }
}

std::ifstream openin(const std::string& name, const char* what)
{
    checkinput(name, what);
    std::ifstream in(name, std::ios::binary);
    if (!in)
        convstop("cannot read " + name + ": " + std::strerror(errno));
    return in;
}

std::string plural(int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

void readfam()
{
    std::string name = cv.bfile + ".fam";
    std::ifstream in = openin(name, "a .fam file");
    std::string line, f[2];
    int64_t lineno = 0;
    while (std::getline(in, line)) {
        lineno++;
        int n = fields(line, f, 2);
        if (n != 6)
            convstop(name + " line " + std::to_string(lineno) + " has " +
                     plural(n, "field", "fields") +
                     "; a .fam line holds 6 (family ID, individual ID, father, mother, sex, "
                     "phenotype)");
        cv.fids.push_back(f[0]);
        cv.iids.push_back(f[1]);
        cv.ids.push_back(cv.idmode == 1 ? f[0] + "_" + f[1] : f[1]);
        if (int64_t(cv.ids.size()) > maxnumindiv)
            convstop(name + " lists more than " + std::to_string(maxnumindiv) +
                     " individuals; KINEX takes at most " + std::to_string(maxnumindiv));
    }
    if (in.bad())
        convstop("error reading " + name + ": " + std::strerror(errno));
    cv.numindiv = int64_t(cv.ids.size());
    if (cv.numindiv < 2)
        convstop(name + " lists " + plural(cv.numindiv, "individual", "individuals") +
                 "; KINEX needs at least 2");

}

void readbim()
{
    std::string name = cv.bfile + ".bim";
    std::ifstream in = openin(name, "a .bim file");
    std::string line, f[6];
    int64_t lineno = 0;
    std::unordered_map<std::string, int32_t> chrid;
    while (std::getline(in, line)) {
        lineno++;
        int n = fields(line, f, 6);
        if (n != 6)
            convstop(name + " line " + std::to_string(lineno) + " has " +
                     plural(n, "field", "fields") +
                     "; a .bim line holds 6 (chromosome, SNP ID, position in cM, base-pair "
                     "position, allele 1, allele 2)");
        // A1 0 or "." is PLINK's missing allele code: a site of one allele
        const char* codes[2] = {f[4].c_str(), f[5].c_str()};
        bool on = keepsite(f[0], codes, 2, f[4] == "0" || f[4] == "." ? 1 : 2, true);
        cv.siteon.push_back(on);
        if (cv.bpspace > 0) {
            auto [at, fresh] = chrid.emplace(f[0], int32_t(cv.chrnames.size()));
            if (fresh)
                cv.chrnames.push_back(f[0]);
            int64_t pos = 0;
            auto [p, ec] = std::from_chars(f[3].data(), f[3].data() + f[3].size(), pos);
            if (ec != std::errc() || p != f[3].data() + f[3].size())
                convstop(name + " line " + std::to_string(lineno) + ": the position '" + f[3] +
                         "' is not a whole number, and --bp-space needs one");
            cv.sitechr.push_back(at->second);
            cv.sitepos.push_back(pos);
        }
    }
    if (in.bad())
        convstop("error reading " + name + ": " + std::strerror(errno));
    cv.numloci = lineno;
    if (cv.numloci < 1)
        convstop(name + " lists no SNPs");
    saysites(name);
}

void readbed()
{
    std::string name = cv.bfile + ".bed";
    checkinput(name, "a .bed file");
    std::error_code ec;
    int64_t size = int64_t(std::filesystem::file_size(name, ec));
    if (ec)
        convstop("cannot read " + name + ": " + ec.message());
    FILE* f = std::fopen(name.c_str(), "rb");
    if (!f)
        convstop("cannot read " + name + ": " + std::strerror(errno));
    unsigned char magic[3] = {0, 0, 0};
    size_t got = std::fread(magic, 1, 3, f);
    if (got < 2 || magic[0] != 0x6C || magic[1] != 0x1B) {
        std::fclose(f);
        convstop(name + " is not a PLINK 1 binary genotype file (it does not begin with the "
                        "bytes 0x6C 0x1B)");
    }
    if (got < 3) {
        std::fclose(f);
        convstop(name + " is truncated: it holds only the 2 bytes 0x6C 0x1B, and a .bed goes on "
                        "with the mode byte 0x01 and the genotypes");
    }
    if (magic[2] != 0x01) {
        std::fclose(f);
        convstop(name + " is in individual-major order; remake it SNP-major with "
                        "plink --bfile PREFIX --make-bed");
    }
    initstores();
    int64_t body = size - 3, need = cv.numloci * cv.bytespersite;
    if (body != need) {
        std::fclose(f);
        std::string counts = cv.bfile + ".fam (" +
                             plural(cv.numindiv, "individual", "individuals") + ") and " +
                             cv.bfile + ".bim (" + plural(cv.numloci, "SNP", "SNPs") +
                             ") need " + std::to_string(need) + " bytes of genotypes (" +
                             std::to_string(cv.bytespersite) + " per SNP)";
        if (body < need)
            convstop(name + " is too short" +
                     (body % cv.bytespersite != 0
                          ? " (truncated: it ends inside SNP " +
                                std::to_string(body / cv.bytespersite + 1) + ")"
                          : std::string()) +
                     " for its .bim and .fam: it holds " + std::to_string(body) +
                     " bytes of genotypes, but " + counts);
        convstop(name + " does not agree with its .bim and .fam: it holds " +
                 std::to_string(body) + " bytes of genotypes, but " + counts);
    }
    // The body is the store: chunks of whole SNPs, read as they stand.
    int64_t left = cv.numloci;
    while (left > 0) {
        int64_t k = std::min(left, cv.chunksites);
        cv.bichunks.emplace_back(size_t(k * cv.bytespersite));
        size_t want = cv.bichunks.back().size();
        if (std::fread(cv.bichunks.back().data(), 1, want, f) != want) {
            std::fclose(f);
            convstop(name + " is truncated: it ended while being read");
        }
        cv.numbi += k;
        left -= k;
    }
    std::fclose(f);
}
