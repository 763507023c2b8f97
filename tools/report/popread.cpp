#include "popread.hpp"
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "linereader.hpp"
#include "repstate.hpp"

namespace {

// The words of a line, split at blanks and tabs; up to n of them kept.
int words(std::string_view l, std::string_view* w, int n)
{
    int k = 0;
    size_t at = 0;
    while (true) {
        at = l.find_first_not_of(" \t", at);
        if (at == std::string_view::npos)
            return k;
        size_t end = l.find_first_of(" \t", at);
        if (k < n)
            w[k] = l.substr(at, end == std::string_view::npos ? end : end - at);
        k++;
        if (end == std::string_view::npos)
            return k;
        at = end;
    }
}

} // namespace

void readpop()
{
    textin& t = rep.pop;
    lineopen(t, rep.popname);
    std::unordered_map<std::string_view, int64_t> index;
    for (int64_t i = 1; i <= rep.numindiv; i++)
        index.emplace(rep.ids[size_t(i)], i);
    std::unordered_map<std::string, int> label;
    std::vector<int64_t> lineof(size_t(rep.numindiv) + 1, 0);
    rep.popof.assign(size_t(rep.numindiv) + 1, -1);
    rep.popnames.clear();
    std::string_view l, w[2];
    while (nextline(t, l)) {
        int n = words(l, w, 2);
        if (n == 0)
            continue;
        if (n != 2)
            linestop(t, "expected two words, an identifier and its population label");
        auto at = index.find(w[0]);
        if (at == index.end())
            linestop(t, "the individual " + std::string(w[0]) + " is not an individual of " + rep.infile);
        int64_t i = at->second;
        if (lineof[size_t(i)] > 0)
            linestop(t, "the individual " + std::string(w[0]) + " is named a second time (first "
                        "on line " + std::to_string(lineof[size_t(i)]) + ")");
        lineof[size_t(i)] = t.lineno;
        auto [lab, fresh] = label.emplace(std::string(w[1]), int(rep.popnames.size()));
        if (fresh)
            rep.popnames.emplace_back(w[1]);
        rep.popof[size_t(i)] = lab->second;
    }
    lineclose(t);
    int64_t missing = 0, first = 0;
    for (int64_t i = rep.numindiv; i >= 1; i--)
        if (lineof[size_t(i)] == 0) {
            missing++;
            first = i;
        }
    if (missing > 0)
        repstop(rep.popname + " gives no population label to " + std::to_string(missing) +
                " of the " + std::to_string(rep.numindiv) + " individuals of " + rep.infile +
                " (the first: individual " + std::to_string(first) + ", " +
                rep.ids[size_t(first)] + ")");
}
