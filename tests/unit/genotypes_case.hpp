// A small genotype file in a temporary folder and a run state set up to
// read it (one process, the master).
#pragma once

#include <string>

#include "genotypes/genotypes.hpp"
#include "run/parfile.hpp"
#include "testutil.hpp"

struct genocase {
    tempdir dir;
    std::string geno, out;
    genocase(int form, int numindiv, int numloci, const std::string& text, int outallelefre = 0)
    {
        freshstate();
        vars.dataform = form;
        vars.numindiv = numindiv;
        vars.numloci = numloci;
        vars.outallelefre = outallelefre;
        vars.idum = -12345;
        geno = dir.file("geno.txt");
        out = dir.file("out.txt");
        vars.gtypefile = geno;
        vars.outfile = out;
        writefile(geno, text);
        initialpara();
    }
    std::string read() { return screenof([] { readgtype(); }); }
    std::string stop() { return stoppedwith([] { readgtype(); }); }
};

// The stop text of readgtype.
inline std::string gtypestop(const std::string& message)
{
    return "\n" + message + "\n\nProgram stopped in subroutine ReadGType\n";
}

// Allele pairs of individual i at the unique loci of the packed store, as
// "11 12 22 00 ...".
inline std::string snppairs(int i)
{
    std::vector<int8_t> buf(2 * std::size_t(vars.numloci2));
    retrivesnp(vars.numloci2, i, buf.data());
    std::string s;
    for (int u = 0; u < vars.numloci2; ++u) {
        if (u) s += ' ';
        s += char('0' + buf[2 * std::size_t(u)]);
        s += char('0' + buf[2 * std::size_t(u) + 1]);
    }
    return s;
}

// The same for the allele codes of layout 0.
inline std::string codepairs(int i)
{
    std::string s;
    for (int u = 1; u <= vars.numloci2; ++u) {
        if (u > 1) s += ' ';
        s += std::to_string(vars.indivgtype[gtypeat(1, u, i)]);
        s += std::to_string(vars.indivgtype[gtypeat(2, u, i)]);
    }
    return s;
}
