#include "kinread.hpp"
#include <charconv>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "linereader.hpp"
#include "mleread.hpp"
#include "numtext.hpp"
#include "outfiles.hpp"
#include "pairlines.hpp"
#include "plotdata.hpp"
#include "repstate.hpp"
#include "sideread.hpp"

const char* const kinheader =
    "ID1\tID2\tNLOCI\tKINSHIP\tD1\tD2\tD3\tD4\tD5\tD6\tD7\tD8\tD9\tLNL\tLRT\tCALL\tGAP\tITER\tCONV";

namespace {

constexpr int nfields = 19;

// The individuals by identifier: the first of each name, and after each
// the next of the same name (0 for none), so that identifiers written
// twice in the sample are still found in pair order.
struct names {
    std::unordered_map<std::string_view, int64_t> first;
    std::vector<int64_t> next;
};

void makenames(names& x)
{
    x.first.reserve(size_t(rep.numindiv));
    x.next.assign(size_t(rep.numindiv) + 1, 0);
    for (int64_t i = rep.numindiv; i >= 1; i--) {
        auto [at, fresh] = x.first.try_emplace(rep.ids[size_t(i)], i);
        if (!fresh) {
            x.next[size_t(i)] = at->second;
            at->second = i;
        }
    }
}

// The first individual named id after individual from; 0 when there is
// none, -1 when no individual has that name.
int64_t nameafter(const names& x, std::string_view id, int64_t from)
{
    auto at = x.first.find(id);
    if (at == x.first.end())
        return -1;
    int64_t i = at->second;
    while (i != 0 && i <= from)
        i = x.next[size_t(i)];
    return i;
}

// A Delta or kinship as %.4f writes it; "-0.0000" is 0.
bool four(std::string_view& s)
{
    if (s == "-0.0000")
        s = "0.0000";
    return isfour(s);
}

// The checks of a line's numbers: a count of loci, then either NA in every
// other column or the pair's estimates.
bool numbers(std::string_view* f, int64_t& nloci, mleline& m)
{
    auto [p, ec] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), nloci);
    if (!isdigits(f[2]) || ec != std::errc() || nloci > (int64_t(1) << 50))
        return false;
    m.call = 0;
    m.conv = f[18] == "1";
    if (nloci == 0) {
        for (int k = 3; k < nfields; k++)
            if (f[k] != "NA")
                return false;
        return true;
    }
    for (int k = 3; k < 13; k++)
        if (!four(f[k]))
            return false;
    m.call = callindex(f[15]);
    return m.call > 0 && isreal(f[13], true) && isreal(f[14], false) && isreal(f[16], false) &&
           isdigits(f[17]) && (f[18] == "0" || f[18] == "1");
}

} // namespace

void kinopen()
{
    lineopen(rep.mle, rep.mlename);
    std::string_view l;
    if (!nextline(rep.mle, l) || l.substr(0, runlabel.size()) != runlabel ||
        l.find("; KIN:") == std::string_view::npos || !nextline(rep.mle, l) || l != kinheader)
        repstop(rep.mlename + " is not the table kinex streams the pairs of a run with KIN: to "
                              "(its first lines are not the run line with KIN: and the header " +
                std::string(kinheader) + ")");
}

void readkin(FILE* pairs, FILE* kin, FILE* rel)
{
    textin& t = rep.mle;
    names x;
    makenames(x);
    std::string pbuf = pairs ? pairhead() : std::string(), kbuf = kinhead(),
                rbuf = rel ? relhead() : std::string();
    std::string_view l, f[nfields];
    std::string last;   // the pair before, for the message
    int64_t pj = 1, pk = 1, count = 0;
    mleline m;
    pairrow row;
    while (nextline(t, l)) {
        if (l.empty()) {
            // empty lines at the end, as an editor or a script leaves them, hold no pair
            int64_t at = t.lineno;
            while (nextline(t, l))
                if (!l.empty())
                    linestop(t, "not a line of the streamed table (line " + std::to_string(at) +
                                    " is empty)");
            break;
        }
        if (count == rep.kinwritten)
            linestop(t, "the table goes on after the " + std::to_string(rep.kinwritten) +
                            " pairs that the run record of " + rep.infile +
                            " counts: it does not belong to that run");
        if (tabsplit(l, f, nfields) != nfields || !numbers(f, row.nloci, m))
            linestop(t, "not a line of the streamed table (" + std::to_string(nfields) +
                            " tab-separated fields: NLOCI a count; KINSHIP and D1..D9 numbers "
                            "with four decimals, LNL, LRT and GAP numbers, CALL one of duplicate, "
                            "parent-offspring, full-sib, second-degree, third-degree, unrelated, "
                            "ITER a count and CONV 0 or 1; or NA in all of them when NLOCI is 0)");
        // the pair: in the row of the pair before, further on, or in a later row
        for (int c = 0; c < 2; c++)
            if (nameafter(x, f[c], 0) < 0)
                linestop(t, "the individual " + std::string(f[c]) + " is not an individual of " +
                                rep.infile + ": the table does not belong to it");
        int64_t j = 0, k = 0;
        if (nameafter(x, f[0], pj - 1) == pj && (k = nameafter(x, f[1], pk)) > 0)
            j = pj;
        if (j == 0 && (j = nameafter(x, f[0], pj)) > 0 && (k = nameafter(x, f[1], j)) == 0)
            j = 0;
        if (j == 0)
            linestop(t, "the pair " + std::string(f[0]) + ", " + std::string(f[1]) +
                            (count == 0 ? std::string(" is not a pair of ") + rep.infile +
                                              "'s individuals with ID1 before ID2"
                                        : " does not come after the pair " + last + " (line " +
                                              std::to_string(t.lineno - 1) +
                                              ") in pair order (1,2), (1,3), ..., (2,3), ...") +
                            ": the table is out of order");
        pj = j;
        pk = k;
        last = std::string(f[0]) + ", " + std::string(f[1]);
        count++;

        row.j = j;
        row.k = k;
        for (int d = 0; d < 9; d++)
            row.t[9 + d] = f[4 + d];
        row.t[18] = f[3];
        // as a line of the maximum-likelihood table: ID1 ID2 NLOCI LNL LRT CALL GAP ITER CONV
        m.f[0] = f[0];
        m.f[1] = f[1];
        m.f[2] = f[2];
        for (int c = 3; c < 9; c++)
            m.f[c] = f[10 + c];
        row.m = &m;
        pairout(row, f[3], f[12], pairs, kin, rel, pbuf, kbuf, rbuf);
    }
    if (count != rep.kinwritten)
        repstop(rep.mlename + " ends after " + std::to_string(count) + " of the " +
                std::to_string(rep.kinwritten) + " pairs that the run record of " + rep.infile +
                " counts: it does not belong to that run, or was cut short");
    outflush(pairs, pbuf, rep.pairsname, true);
    outflush(kin, kbuf, rep.kinname, true);
    outflush(rel, rbuf, rep.relname, true);
    lineclose(t);
}
