#include "sideread.hpp"
#include "headline.hpp"
#include "repstate.hpp"

const std::string_view runlabel = "# kinex run ";

std::string stranger(const std::string& name)
{
    if (!rep.mlerun)
        return "its run record holds no \"Maximum likelihood Deltas\" line (kinex ran without "
               "MLE:1 or MLE:2)";
    const std::string head = headline(name);
    const std::string id = head.compare(0, runlabel.size(), runlabel) == 0
                               ? head.substr(runlabel.size(), 16)
                               : std::string();
    if (id == rep.runid)
        return "";
    if (rep.runid.empty())
        return "the table names run " + id + ", the results file's run record none";
    return "the table " + (id.empty() ? std::string("names no run") : "names run " + id) +
           ", the results file's run record names run " + rep.runid + " (the table is another "
           "run's)";
}

int tabsplit(std::string_view l, std::string_view* f, int n)
{
    int k = 0;
    for (size_t at = 0;; k++) {
        size_t tab = l.find('\t', at);
        if (k < n)
            f[k] = l.substr(at, tab == std::string_view::npos ? tab : tab - at);
        if (tab == std::string_view::npos)
            return k + 1;
        at = tab + 1;
    }
}
