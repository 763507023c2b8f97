#include "inbread.hpp"
#include <string_view>
#include "idmap.hpp"
#include "inbmlread.hpp"
#include "linereader.hpp"
#include "numtext.hpp"
#include "outfiles.hpp"
#include "plotdata.hpp"
#include "repstate.hpp"

std::string indivhead()
{
    return colhead("id", "") + "\tnmiss\tngeno\tnhom\tnhet\tF_Mean\tF_SD" +
           (rep.hasinb ? "\tnloci_ml\tF_ML\tLRT_F\n" : "\n");
}

void readinb(FILE* indiv, const std::string& indivname)
{
    std::string_view l;
    // The heading follows the IBD table after two empty lines (after KIN:,
    // readhead has read it).
    while (!rep.kinrun) {
        if (!nextline(l))
            repstop(rep.infile + " ends before its inbreeding table");
        if (l == "Indiv genotypes at polymorphic loci & inbreeding")
            break;
        if (!l.empty() && l != std::string(48, '-'))
            linestop("expected the heading of the inbreeding table");
    }
    if (!nextline(l) || l != std::string(48, '-') || !nextline(l) ||
        l != "Indiv #Miss #Gens #HomG #HetG F_Mean F_SD")
        linestop("expected the inbreeding table's separator and column line");
    std::string outbuf = indivhead();
    for (int64_t i = 1; i <= rep.numindiv; i++) {
        if (!nextline(l))
            repstop(rep.infile + " ends inside the inbreeding table, after " +
                    std::to_string(i - 1) + " of its " + std::to_string(rep.numindiv) +
                    " lines");
        // the identifier (which may hold blanks), then six numbers
        std::string_view t[6];
        size_t end = l.size();
        bool ok = true;
        for (int k = 5; k >= 0 && ok; k--) {
            size_t b = end == 0 ? std::string_view::npos : l.rfind(' ', end - 1);
            ok = b != std::string_view::npos;
            if (ok) {
                t[k] = l.substr(b + 1, end - b - 1);
                end = b;
            }
        }
        for (int k = 0; k < 4 && ok; k++)
            ok = isdigits(t[k]);
        ok = ok && isfour(t[4]) && isfour(t[5]);
        if (!ok)
            linestop("not a line of the inbreeding table");
        if (rep.kinrun) {
            // no IBD table: the individuals are learned here
            if (i == 1)
                rep.ids.assign(1, std::string());
            rep.ids.emplace_back(l.substr(0, end));
            setcols(i);
        } else if (l.substr(0, end) != rep.ids[size_t(i)]) {
            linestop("expected individual " + std::to_string(i) + ", " + rep.ids[size_t(i)]);
        }
        // no genotype at a polymorphic locus: F is not known
        bool na = t[1] == "0";
        outbuf += rep.cols[size_t(i)];
        for (int k = 0; k < 6; k++) {
            outbuf += '\t';
            outbuf += na && k >= 4 ? "NA" : t[k];
        }
        if (rep.hasinb)
            inbmlnext(i, outbuf);
        outbuf += '\n';
        if (na)
            rep.numnoindiv++;
        else
            addindiv(fourvalue(t[4]));
        if (outbuf.size() > (size_t(1) << 20)) {
            outwrite(indiv, outbuf, indivname);
            outbuf.clear();
        }
    }
    outwrite(indiv, outbuf, indivname);
    if (rep.hasinb)
        inbmlclose();
}
