#include "output/tables.hpp"

#include <charconv>
#include <cstdint>

#include "output/lineblock.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

void writeibd(textout& out, const lookup& lk)
{
    const int32_t n = vars.numindiv;
    const int64_t nn = int64_t(n) * int64_t(n);
    say("  Delta(X, Y), " + itod(n) + " individuals, " + std::to_string(nn) + " dyads (lines) ...");
    textwrite(out, "\n\n" + separator(25) + "\nIBD coefficient estimates\n" + separator(25) +
                       "\nDyad Indiv1 Indiv2 #IIS1 #IIS2 #IIS3 #IIS4 #IIS5 #IIS6 #IIS7 #IIS8 #IIS9 Delta1 Delta2 "
                       "Delta3 Delta4 Delta5 Delta6 Delta7 Delta8 Delta9 r(1,2)\n");
    if (n < 1) return;

    std::vector<int32_t> iisspare, indvarspare;
    std::vector<float> deltaspare;
    const int32_t* iis = orzeros(vars.iisdyad, 9 * std::size_t(nn - n) / 2, iisspare);
    const int32_t* indvar = orzeros(vars.indvar, 3 * std::size_t(n), indvarspare);
    const float* delta = orzeros(vars.delta, 9 * std::size_t(nn), deltaspare);
    std::vector<std::string> ids(std::size_t(n) + 1);
    for (int32_t i = 1; i <= n; ++i)
        if (std::size_t(i) < vars.individ.size()) ids[std::size_t(i)] = trimright(vars.individ[std::size_t(i)]);

    lineblock lb;
    blockopen(lb, out, 32, 9 * std::size_t(lk.cntwidth) + 142);
    char num[24];
    int64_t d = 0;
    int32_t c[9];
    for (int32_t j = 1; j <= n; ++j) {
        for (int32_t k = 1; k <= n; ++k) {
            if (k > j) {
                const int32_t* p = iis + iisat(1, dyadnum(j, k, n));
                for (int m = 0; m < 9; ++m) c[m] = p[m];
            } else if (k < j) {
                // The pair's roles are swapped: modes 3, 4 change places with 5, 6.
                const int32_t* q = iis + iisat(1, dyadnum(k, j, n));
                c[0] = q[0], c[1] = q[1], c[2] = q[4], c[3] = q[5], c[4] = q[2];
                c[5] = q[3], c[6] = q[6], c[7] = q[7], c[8] = q[8];
            } else {
                for (int m = 0; m < 9; ++m) c[m] = 0;
                c[0] = indvar[indvarat(2, j)];
                c[6] = indvar[indvarat(3, j)];
            }
            std::string& s = blockline(lb);
            ++d;
            s.append(num, std::size_t(std::to_chars(num, num + sizeof num, d).ptr - num));
            s += ' ';
            s += ids[std::size_t(j)];
            s += ' ';
            s += ids[std::size_t(k)];
            s += ' ';
            putcount(s, lk, c[0]);
            for (int m = 1; m < 9; ++m) {
                s += ' ';
                putcount(s, lk, c[m]);
            }
            const float* dv = delta + deltaat(1, k, j);
            for (int m = 0; m < 9; ++m) putdelta(s, lk, dv[m]);
            double r;
            if (k != j) {
                r = pairkinship(dv);
            } else {
                r = (double(dv[0]) + 1.0) * 0.5;
            }
            putdec4(s, lk, r);
            blockend(lb);
        }
    }
    blockflush(lb);
}

double pairkinship(const float* d)
{
    float sum = 0.0f;
    sum += d[2];
    sum += d[4];
    sum += d[6];
    double r = double(sum) * 0.5 + double(d[0]);
    return r + double(d[7]) * 0.25;
}
