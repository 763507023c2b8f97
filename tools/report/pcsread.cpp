#include "pcsread.hpp"
#include <charconv>
#include <string>
#include <string_view>
#include <vector>
#include "linereader.hpp"
#include "numtext.hpp"
#include "repstate.hpp"
#include "sideread.hpp"

namespace {

double realof(std::string_view s)
{
    double x = 0;
    std::from_chars(s.data(), s.data() + s.size(), x);
    return x;
}

// The number of components and the variance they explain, from the first
// line; false when it does not say them.
bool runline(std::string_view l)
{
    const std::string_view klabel = "; PCS:", vlabel = "; variance explained ";
    size_t k = l.find(klabel), v = l.find(vlabel);
    if (l.substr(0, runlabel.size()) != runlabel || k == std::string_view::npos ||
        v == std::string_view::npos)
        return false;
    std::string_view num = l.substr(k + klabel.size());
    num = num.substr(0, num.find(';'));
    if (!isdigits(num) || num.size() > 3 || num == "0" || num[0] == '0')
        return false;
    rep.numpcs = std::stoi(std::string(num));
    std::string_view vs = l.substr(v + vlabel.size());
    vs = vs.substr(0, vs.find(';'));
    rep.pcvar.assign(1, 0.0);
    while (!vs.empty()) {
        size_t b = vs.find(' ');
        std::string_view x = vs.substr(0, b);
        if (!isreal(x, false))
            return false;
        rep.pcvar.push_back(realof(x));
        vs = b == std::string_view::npos ? std::string_view() : vs.substr(b + 1);
    }
    return int(rep.pcvar.size()) - 1 == rep.numpcs;
}

} // namespace

void readpcs()
{
    textin& t = rep.pcs;
    lineopen(t, rep.pcsname);
    std::string_view l;
    bool ok = nextline(t, l) && runline(l);
    std::string head = "ID\tUNRELATED";
    for (int c = 1; c <= rep.numpcs; c++)
        head += "\tPC" + std::to_string(c);
    if (!ok || !nextline(t, l) || l != head)
        repstop(rep.pcsname + " is not a components table of kinex (its first lines are not "
                              "the run line, with PCS:k and the variance explained by each of "
                              "the k components, and the header ID, UNRELATED, PC1 .. PCk)");
    int nf = rep.numpcs + 2;
    size_t n = size_t(rep.numindiv) + 1;
    rep.pc1.assign(n, 0.0);
    rep.pc2.assign(n, 0.0);
    rep.unrel.assign(n, 0);
    rep.pcna.assign(n, 0);
    std::vector<std::string_view> f(static_cast<size_t>(nf));
    for (int64_t i = 1; i <= rep.numindiv; i++) {
        const std::string& id = rep.ids[size_t(i)];
        if (!nextline(t, l))
            repstop(rep.pcsname + " ends after " + std::to_string(i - 1) + " of its " +
                    std::to_string(rep.numindiv) + " individuals; it does not belong to " +
                    rep.infile);
        if (tabsplit(l, f.data(), nf) != nf)
            linestop(t, "not a line of the components table (it needs " + std::to_string(nf) +
                            " tab-separated fields)");
        if (f[0] != id)
            linestop(t, "the individual " + std::string(f[0]) + " is not the results file's "
                        "individual " + std::to_string(i) + ", " + id + ": the table does not "
                        "belong to " + rep.infile);
        // components that are numbers, or all NA
        bool na = f[2] == "NA", good = f[1] == "0" || f[1] == "1";
        for (int c = 2; c < nf; c++)
            good = good && (na ? f[size_t(c)] == "NA" : isreal(f[size_t(c)], true));
        if (!good)
            linestop(t, "not a line of the components table (UNRELATED is 0 or 1, the "
                        "components numbers or all NA)");
        rep.unrel[size_t(i)] = f[1] == "1";
        rep.pcna[size_t(i)] = na;
        rep.numpcna += na;
        if (!na) {
            rep.pc1[size_t(i)] = realof(f[2]);
            rep.pc2[size_t(i)] = rep.numpcs > 1 ? realof(f[3]) : 0.0;
        }
    }
    while (nextline(t, l))
        if (!l.empty())
            linestop(t, "the table goes on after the results file's last individual");
    lineclose(t);
}
