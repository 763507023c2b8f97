#include "idcheck.hpp"
#include <string>
#include <unordered_map>
#include "convstate.hpp"
#include "idbytes.hpp"

namespace {

constexpr size_t idwidth = 20;   // KINEX keeps 20 bytes of an identifier
constexpr int listmax = 20;      // problems shown before "... and n more"

std::string why(const std::string& id)
{
    if (id.empty())
        return "empty";
    size_t bad = id.find_first_of(" \t,/;'\"");
    if (bad != std::string::npos) {
        char c = id[bad];
        const char* what = c == ' '    ? "a blank"
                           : c == '\t' ? "a tab"
                           : c == ','  ? "a comma"
                           : c == '/'  ? "a slash"
                           : c == ';'  ? "a semicolon"
                                       : "a quote";
        return std::string("holds ") + what;
    }
    std::string bytes = badbytes(id);
    if (!bytes.empty())
        return bytes;
    if (id.size() > idwidth)
        return "longer than 20 bytes";
    return "";
}

} // namespace

void numberids()
{
    size_t w = std::to_string(cv.ids.size()).size();
    for (size_t i = 0; i < cv.ids.size(); i++) {
        std::string k = std::to_string(i + 1);
        cv.ids[i] = "I" + std::string(w - k.size(), '0') + k;
    }
}

void checkids()
{
    if (cv.shortids)
        return;
    std::vector<std::string> problems;
    // An identifier is compared as KINEX keeps it: its first 20 bytes.
    std::unordered_map<std::string, int64_t> seen;
    seen.reserve(cv.ids.size());
    for (size_t i = 0; i < cv.ids.size(); i++) {
        if (!cv.indivon.empty() && !cv.indivon[i])
            continue;   // left out by --keep or --remove
        const std::string& id = cv.ids[i];
        std::string w = why(id);
        std::string cut = id.substr(0, idwidth);
        auto [at, fresh] = seen.emplace(cut, int64_t(i));
        if (!fresh) {
            std::string other = cv.ids[size_t(at->second)];
            std::string dup = other == id ? "repeats individual " + std::to_string(at->second + 1)
                                          : "cut to 20 bytes, collides with '" + shown(other) +
                                                "' (individual " +
                                                std::to_string(at->second + 1) + ")";
            w = w.empty() ? dup : w + "; " + dup;
        }
        if (!w.empty())
            problems.push_back("'" + shown(id) + "' (individual " + std::to_string(i + 1) +
                               "): " + w);
    }
    if (problems.empty())
        return;
    std::string m = std::to_string(problems.size()) + " identifier" +
                    (problems.size() == 1 ? "" : "s") +
                    " cannot be used in a KINEX genotype file (allowed: UTF-8 text of at "
                    "most 20 bytes, unique, without blanks, commas, slashes, semicolons, "
                    "quotes or control characters):";
    for (size_t k = 0; k < problems.size() && k < size_t(listmax); k++)
        m += "\n  " + problems[k];
    if (problems.size() > size_t(listmax))
        m += "\n  ... and " + std::to_string(problems.size() - listmax) + " more";
    m += "\n--short-ids numbers the individuals instead and writes a map from which "
         "kinex-report puts these identifiers back";
    if (!cv.bfile.empty() && cv.idmode == 0)
        m += "; --id FID_IID makes IIDs that repeat across families unique";
    m += ".\nNothing was written.";
    convstop(m);
}

std::string maptext()
{
    bool fam = !cv.fids.empty();
    std::string s = fam ? "ID\tFID\tIID\n" : "ID\tIID\n";
    for (size_t i = 0; i < cv.ids.size(); i++) {
        s += cv.ids[i];
        s += '\t';
        if (fam) {
            s += cv.fids[i];
            s += '\t';
        }
        s += cv.iids[i];
        s += '\n';
    }
    return s;
}
