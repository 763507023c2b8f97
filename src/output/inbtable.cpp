#include "output/tables.hpp"

#include "output/lineblock.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

void writeinb(textout& out, const lookup& lk)
{
    const int32_t n = vars.numindiv;
    say("  Inbreeding coefficients, " + itod(n) + " individuals (lines) ...");
    textwrite(out, "\n\n" + separator(48) + "\nIndiv genotypes at polymorphic loci & inbreeding\n" + separator(48) +
                       "\nIndiv #Miss #Gens #HomG #HetG F_Mean F_SD\n");
    if (n < 1) return;

    std::vector<int32_t> indvarspare;
    std::vector<double> inbspare, fsdspare;
    const int32_t* indvar = orzeros(vars.indvar, 3 * std::size_t(n), indvarspare);
    const double* inb = orzeros(vars.inb, std::size_t(n) + 1, inbspare);
    const double* fsd = orzeros(vars.fsd, std::size_t(n) + 1, fsdspare);

    lineblock lb;
    blockopen(lb, out, 32, 9 * std::size_t(lk.cntwidth) + 142);
    for (int32_t i = 1; i <= n; ++i) {
        std::string& s = blockline(lb);
        if (std::size_t(i) < vars.individ.size()) s += trimright(vars.individ[std::size_t(i)]);
        int32_t miss = indvar[indvarat(1, i)], hom = indvar[indvarat(2, i)], het = indvar[indvarat(3, i)];
        s += ' ';
        putcount(s, lk, miss);
        s += ' ';
        putcount(s, lk, hom + het);
        s += ' ';
        putcount(s, lk, hom);
        s += ' ';
        putcount(s, lk, het);
        putdec4(s, lk, inb[i]);
        putdec4(s, lk, fsd[i]);
        blockend(lb);
    }
    blockflush(lb);
}
