#include "idmap.hpp"
#include <string>
#include <string_view>
#include "linereader.hpp"
#include "repstate.hpp"

namespace {

// Tab-separated fields; false when there are not exactly n of them.
bool tabfields(std::string_view l, std::string_view* f, int n)
{
    int k = 0;
    size_t b = 0;
    while (true) {
        size_t t = l.find('\t', b);
        if (k == n)
            return false;
        f[k++] = l.substr(b, t == std::string_view::npos ? std::string_view::npos : t - b);
        if (t == std::string_view::npos)
            return k == n;
        b = t + 1;
    }
}

} // namespace

void readmap()
{
    textin& t = rep.map;
    lineopen(t, rep.idsname);
    std::string_view l;
    if (!nextline(t, l) || (l != "ID\tFID\tIID" && l != "ID\tIID"))
        repstop(rep.idsname + " is not an identifier map of kinex-convert (its first line is "
                              "not \"ID<tab>FID<tab>IID\" or \"ID<tab>IID\")");
    rep.mapfid = l == "ID\tFID\tIID";
    int n = rep.mapfid ? 3 : 2;
    rep.mapids.assign(1, std::string());
    rep.mapfids.assign(1, std::string());
    rep.mapiids.assign(1, std::string());
    std::string_view f[3];
    while (nextline(t, l)) {
        if (!tabfields(l, f, n) || f[0].empty())
            linestop(t, "expected " + std::to_string(n) + " tab-separated fields, the first "
                        "not empty");
        if (int64_t(rep.mapids.size()) > rep.numindiv)
            linestop(t, "the map lists more individuals than the results file's " +
                            std::to_string(rep.numindiv));
        rep.mapids.emplace_back(f[0]);
        rep.mapfids.emplace_back(rep.mapfid ? f[1] : std::string_view());
        rep.mapiids.emplace_back(f[n - 1]);
    }
    lineclose(t);
    if (int64_t(rep.mapids.size()) - 1 != rep.numindiv)
        repstop(rep.idsname + " maps " + std::to_string(rep.mapids.size() - 1) +
                " individuals, but " + rep.infile + " holds " + std::to_string(rep.numindiv) +
                ": the map belongs to other data");
}

void setcols(int64_t i)
{
    const std::string& id = rep.ids[size_t(i)];
    if (int64_t(rep.cols.size()) <= i)
        rep.cols.resize(size_t(i + 1));
    if (!rep.hasmap) {
        rep.cols[size_t(i)] = id;
        return;
    }
    if (rep.mapids[size_t(i)] != id)
        repstop(rep.idsname + " names individual " + std::to_string(i) + " '" +
                rep.mapids[size_t(i)] + "', but " + rep.infile + " names it '" + id +
                "': the map belongs to other data");
    rep.cols[size_t(i)] =
        rep.mapfid ? rep.mapfids[size_t(i)] + '\t' + rep.mapiids[size_t(i)] : rep.mapiids[size_t(i)];
}

std::string colhead(const char* id, const char* suffix)
{
    std::string s = std::string(id) + suffix;
    if (rep.hasmap && rep.mapfid)
        s = (id[0] == 'i' ? std::string("fid") : std::string("FID")) + suffix + '\t' + s;
    return s;
}
