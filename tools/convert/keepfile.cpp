#include "keepfile.hpp"
#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_map>
#include <vector>
#include "convlog.hpp"
#include "convstate.hpp"
#include "idbytes.hpp"
#include "infiles.hpp"

namespace {

struct sampleid {
    std::string fid, iid;   // fid empty: any family
};

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> w;
    size_t i = 0;
    while (true) {
        i = line.find_first_not_of(" \t\r", i);
        if (i == std::string::npos)
            return w;
        size_t j = line.find_first_of(" \t\r", i);
        if (j == std::string::npos)
            j = line.size();
        w.push_back(line.substr(i, j - i));
        i = j;
    }
}

std::vector<sampleid> readlist(const std::string& opt, const std::string& name)
{
    checkinput(name, "a list of samples");
    std::ifstream in(name, std::ios::binary);
    if (!in)
        convstop(opt + ": cannot read " + name + ": " + std::strerror(errno));
    std::vector<sampleid> ids;
    std::string line;
    int64_t lineno = 0;
    int fidcol = -1, iidcol = -1, need = 0;
    bool first = true;
    while (std::getline(in, line)) {
        lineno++;
        std::vector<std::string> w = words(line);
        if (w.empty())
            continue;
        std::string at = name + " line " + std::to_string(lineno);
        if (first && w[0][0] == '#') {
            if (w[0] != "#FID" && w[0] != "#IID")
                convstop(opt + ": " + at + " begins with '" + shown(w[0]) + "'; a header line "
                         "begins with #FID or #IID");
            for (size_t k = 0; k < w.size(); k++) {
                std::string c = k == 0 ? w[0].substr(1) : w[k];
                if (c == "FID")
                    fidcol = int(k);
                if (c == "IID")
                    iidcol = int(k);
            }
            if (iidcol < 0)
                convstop(opt + ": the header line of " + name + " names no IID column");
            need = std::max(fidcol, iidcol) + 1;
            first = false;
            continue;
        }
        first = false;
        if (iidcol >= 0) {
            if (int(w.size()) < need)
                convstop(opt + ": " + at + " has " + count(int64_t(w.size()), "field", "fields") +
                         "; its header names " + std::to_string(need));
            ids.push_back({fidcol >= 0 ? w[size_t(fidcol)] : "", w[size_t(iidcol)]});
        } else if (w.size() == 1) {
            ids.push_back({"", w[0]});
        } else {
            ids.push_back({w[0], w[1]});
        }
    }
    if (in.bad())
        convstop(opt + ": error reading " + name + ": " + std::strerror(errno));
    return ids;
}

// Marks the kept individuals that the list names; says how many it names
// that are not in the input.
std::vector<uint8_t> named(const std::string& opt, const std::string& name, int64_t& absent,
                           int64_t& listed)
{
    std::vector<sampleid> list = readlist(opt, name);
    std::unordered_multimap<std::string, int64_t> byiid;
    for (int64_t i = 0; i < cv.numindiv; i++)
        byiid.emplace(cv.iids[size_t(i)], i);
    std::vector<uint8_t> hit(size_t(cv.numindiv), 0);
    absent = 0;
    for (const sampleid& s : list) {
        bool found = false;
        auto [b, e] = byiid.equal_range(s.iid);
        for (auto it = b; it != e; ++it) {
            std::string fid = cv.fids.empty() ? "0" : cv.fids[size_t(it->second)];
            if (!s.fid.empty() && s.fid != fid)
                continue;
            found = true;
            hit[size_t(it->second)] = 1;
        }
        absent += !found;
    }
    listed = int64_t(list.size());
    int64_t n = 0, left = 0;
    for (int64_t i = 0; i < cv.numindiv; i++) {
        n += hit[size_t(i)] && cv.indivon[size_t(i)];
        left += cv.indivon[size_t(i)];
    }
    if (n == 0)
        convstop(opt + " " + name + " names none of the " + count(left, "sample", "samples") +
                 (left < cv.numindiv ? " left" : " of the input") +
                 (list.empty() ? " (it names no one)"
                               : " (its first: '" + shown(list[0].fid.empty() ? list[0].iid :
                                                          list[0].fid + " " + list[0].iid) +
                                     "'); a line holds an IID, or a FID and an IID, as in "
                                     "PLINK's .fam") +
                 (cv.fids.empty() ? "; a VCF's samples are of family 0" : ""));
    return hit;
}

void apply(const std::string& opt, const std::string& name, bool keep)
{
    int64_t absent = 0, listed = 0, before = 0, after = 0;
    std::vector<uint8_t> hit = named(opt, name, absent, listed);
    for (int64_t i = 0; i < cv.numindiv; i++) {
        before += cv.indivon[size_t(i)];
        if (bool(hit[size_t(i)]) != keep)
            cv.indivon[size_t(i)] = 0;
        after += cv.indivon[size_t(i)];
    }
    std::string given = opt + " " + name;
    say(given + ": " + std::to_string(after) + " of " + count(before, "sample", "samples") +
        " kept (" + std::to_string(before - after) + (keep ? " not listed" : " listed") +
        "; the list names " + std::to_string(listed) +
        (absent ? ", " + std::to_string(absent) + " of them not in the input)" : ")"));
    if (after < 2)
        convstop(given + " leaves " + count(after, "individual", "individuals") +
                 "; KINEX needs at least 2");
}

} // namespace

void keepsamples(const std::string& input)
{
    cv.indivon.assign(size_t(cv.numindiv), 1);
    if (cv.filtering)
        say(input + ": " + count(cv.numindiv, "sample", "samples"));
    if (!cv.keepfile.empty())
        apply("--keep", cv.keepfile, true);
    if (!cv.removefile.empty())
        apply("--remove", cv.removefile, false);
}
