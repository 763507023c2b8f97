#include "ibdread.hpp"
#include <charconv>
#include <string>
#include <string_view>
#include "idmap.hpp"
#include "linereader.hpp"
#include "mleread.hpp"
#include "numtext.hpp"
#include "outfiles.hpp"
#include "pairlines.hpp"
#include "plotdata.hpp"
#include "repstate.hpp"

namespace {

// The nineteen numbers at the end of a line: counts c1..c9, then
// Delta1..Delta9 and r(1,2).
constexpr int ntok = 19;

struct ibdline {
    int64_t d = 0;
    std::string_view mid;   // "Indiv1 Indiv2"
    std::string_view t[ntok];
};

bool split(std::string_view l, ibdline& x)
{
    size_t end = l.size();
    for (int k = ntok - 1; k >= 0; k--) {
        if (end == 0)
            return false;
        size_t b = l.rfind(' ', end - 1);
        if (b == std::string_view::npos)
            return false;
        x.t[k] = l.substr(b + 1, end - b - 1);
        end = b;
    }
    size_t first = l.find(' ');
    if (first >= end)
        return false;
    std::string_view d = l.substr(0, first);
    auto [p, ec] = std::from_chars(d.data(), d.data() + d.size(), x.d);
    if (ec != std::errc() || p != d.data() + d.size())
        return false;
    x.mid = l.substr(first + 1, end - first - 1);
    for (int k = 0; k < 9; k++)
        if (!isdigits(x.t[k]))
            return false;
    for (int k = 9; k < ntok; k++)
        if (!isfour(x.t[k]))
            return false;
    return true;
}

// FNV-1a over the numbers in the order of the pair (j, k), j < k; from the
// line of (k, j) the roles are exchanged back first.
uint64_t pairhash(const ibdline& x, bool exchanged)
{
    static const int same[ntok] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    static const int swap[ntok] = {0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 10, 13, 14, 11, 12, 15, 16, 17, 18};
    const int* order = exchanged ? swap : same;
    uint64_t h = 1469598103934665603ull;
    for (int k = 0; k < ntok; k++) {
        for (char c : x.t[order[k]])
            h = (h ^ uint8_t(c)) * 1099511628211ull;
        h = (h ^ uint8_t('\t')) * 1099511628211ull;
    }
    return h;
}

// Index of the unordered pair a < b: (1,2), (1,3), ..., (1,n), (2,3), ...
int64_t pairindex(int64_t a, int64_t b)
{
    int64_t n = rep.numindiv;
    return (a - 1) * n - a * (a + 1) / 2 + b - 1;
}

// The identifiers of the line's individuals.  Identifiers may hold blanks,
// so they are learned from the first individual's lines: (1, 1) holds its
// name twice, (1, k) its name and then k's.  Later lines must agree.
void learnids(const ibdline& x, int64_t j, int64_t k)
{
    std::string_view m = x.mid;
    if (j == 1 && k == 1) {
        size_t h = (m.size() - 1) / 2;
        if (m.size() % 2 == 0 || m[h] != ' ' || m.substr(0, h) != m.substr(h + 1))
            linestop("the first line of the IBD table does not pair individual 1 with itself");
        rep.ids.assign(1, std::string());
        rep.ids.emplace_back(m.substr(0, h));
        setcols(1);
        return;
    }
    const std::string& a = rep.ids[size_t(j)];
    if (j == 1) {
        if (m.size() <= a.size() || m.substr(0, a.size()) != a || m[a.size()] != ' ')
            linestop("expected individual 1, " + a + ", as Indiv1");
        rep.ids.emplace_back(m.substr(a.size() + 1));
        setcols(k);
        return;
    }
    const std::string& b = rep.ids[size_t(k)];
    if (m.size() != a.size() + 1 + b.size() || m.substr(0, a.size()) != a ||
        m.substr(a.size() + 1) != b)
        linestop("expected the individuals " + a + " and " + b + " (dyad " +
                 std::to_string(x.d) + ")");
}

// The number of loci both individuals are typed at: the sum of the
// pair's nine IIS counts.
int64_t commonloci(const ibdline& x)
{
    int64_t sum = 0;
    for (int t = 0; t < 9; t++) {
        int64_t c = 0;
        auto [p, ec] = std::from_chars(x.t[t].data(), x.t[t].data() + x.t[t].size(), c);
        if (ec != std::errc() || c > (int64_t(1) << 50))
            linestop("an IIS count too large for a KINEX results file");
        sum += c;
    }
    return sum;
}

} // namespace

void readibd(FILE* pairs, FILE* kin, FILE* rel)
{
    int64_t n = rep.numindiv;
    rep.pairhash.clear();
    std::string pbuf = pairhead(), kbuf = kinhead(), rbuf = rel ? relhead() : std::string();
    ibdline x;
    mleline m;
    pairrow row;
    std::string_view l;
    for (int64_t d = 1; d <= n * n; d++) {
        if (!nextline(l))
            repstop(rep.infile + " ends inside the IBD coefficient table, after " +
                    std::to_string(d - 1) + " of its " + std::to_string(n * n) + " lines");
        if (!split(l, x))
            linestop("not a line of the IBD coefficient table");
        if (x.d != d)
            linestop("expected dyad " + std::to_string(d) + ", found " + std::to_string(x.d));
        int64_t j = (d - 1) / n + 1, k = (d - 1) % n + 1;
        learnids(x, j, k);
        if (j < k) {
            rep.pairhash.push_back(pairhash(x, false));
            row.j = j;
            row.k = k;
            row.nloci = commonloci(x);
            for (int t = 0; t < ntok; t++)
                row.t[t] = x.t[t];
            row.m = nullptr;
            if (rep.hasmle) {
                mlenext(j, k, row.nloci, m);
                row.m = &m;
            }
            pairout(row, x.t[18], x.t[17], pairs, kin, rel, pbuf, kbuf, rbuf);
        } else if (j > k) {
            if (rep.pairhash[size_t(pairindex(k, j))] != pairhash(x, true))
                linestop("the dyad " + rep.ids[size_t(j)] + ", " + rep.ids[size_t(k)] +
                         " does not mirror the dyad " + rep.ids[size_t(k)] + ", " +
                         rep.ids[size_t(j)] + " (line " +
                         std::to_string(rep.res.lineno - (d - ((k - 1) * n + j))) +
                         ") with Delta3/Delta5, Delta4/Delta6 and their IIS counts exchanged");
        }
    }
    outflush(pairs, pbuf, rep.pairsname, true);
    outflush(kin, kbuf, rep.kinname, true);
    outflush(rel, rbuf, rep.relname, true);
    if (rep.hasmle)
        mleclose();
}
