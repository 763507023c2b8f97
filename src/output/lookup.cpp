#include "output/lookup.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "run/alloc.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

// The largest count that the IBD and inbreeding tables print.
int32_t largestcount()
{
    int32_t top = 0;
    const int64_t n = vars.numindiv < 0 ? 0 : vars.numindiv;
    std::size_t niis = std::min(vars.iisdyad.size(), std::size_t(9 * (n * (n - 1) / 2)));
    for (std::size_t e = 0; e < niis; ++e) top = std::max(top, vars.iisdyad[e]);
    for (int32_t i = 1; i <= vars.numindiv && indvarat(3, i) < vars.indvar.size(); ++i) {
        top = std::max(top, vars.indvar[indvarat(1, i)]);
        top = std::max(top, vars.indvar[indvarat(2, i)] + vars.indvar[indvarat(3, i)]);
    }
    return top;
}

void makecounts(lookup& lk, int32_t maxcount)
{
    if (maxcount < 0) maxcount = 0;
    lk.maxcount = maxcount;
    lk.cntwidth = int32_t(itod(maxcount).size());
    std::size_t w = std::size_t(lk.cntwidth), n = std::size_t(maxcount) + 1;
    allocarray(lk.cnt, n * w, ' ', allocfailmessage("the count texts"), "Output");
    allocarray(lk.cntlen, n, uint8_t(0), allocfailmessage("the count texts"), "Output");
    for (std::size_t k = 0; k < n; ++k) {
        char* slot = lk.cnt.data() + k * w;
        auto res = std::to_chars(slot, slot + w, uint32_t(k));
        lk.cntlen[k] = uint8_t(res.ptr - slot);
    }
}

void makedecimals(lookup& lk)
{
    allocarray(lk.dec4, std::size_t(10001) * 7, ' ', allocfailmessage("the four-decimal texts"), "Output");
    allocarray(lk.dec3, std::size_t(1001) * 6, ' ', allocfailmessage("the three-decimal texts"), "Output");
    // Entry k is k/10000 (k/1000): a blank, the units digit, a point and k
    // in four (three) digits, 1.0000 (1.000) for the last.
    for (int k = 0; k <= 10000; ++k) {
        char* e = lk.dec4.data() + std::size_t(k) * 7;
        int f = k % 10000;
        e[0] = ' ';
        e[1] = char('0' + k / 10000);
        e[2] = '.';
        e[3] = char('0' + f / 1000);
        e[4] = char('0' + f / 100 % 10);
        e[5] = char('0' + f / 10 % 10);
        e[6] = char('0' + f % 10);
    }
    for (int k = 0; k <= 1000; ++k) {
        char* e = lk.dec3.data() + std::size_t(k) * 6;
        int f = k % 1000;
        e[0] = ' ';
        e[1] = char('0' + k / 1000);
        e[2] = '.';
        e[3] = char('0' + f / 100);
        e[4] = char('0' + f / 10 % 10);
        e[5] = char('0' + f % 10);
    }
}

void makeca3()
{
    int32_t top = vars.maxrawallele < 0 ? 0 : vars.maxrawallele;
    allocarray(vars.ca3, std::size_t(top) + 1, std::string(3, ' '), allocfailmessage("the allele ID texts"), "Output");
    for (int32_t k = 0; k <= top; ++k) {
        std::string t = itod(k);
        if (t.size() < 3) t.resize(3, ' ');
        vars.ca3[std::size_t(k)] = t;
    }
}





void putdirect(std::string& s, int32_t c) { s += itod(c); }

void putdirect(std::string& s, double v, int decimals)
{
    s += ' ';
    s += rtoc(v, decimals == 4 ? rlayout::fix74 : rlayout::fix63);
}

void putallele(std::string& s, int32_t id)
{
    if (id >= 0 && std::size_t(id) < vars.ca3.size()) {
        const std::string& t = vars.ca3[std::size_t(id)];
        std::size_t end = t.find_last_not_of(' ');
        if (end != std::string::npos) s.append(t, 0, end + 1);
    } else {
        s += itod(id);
    }
}
