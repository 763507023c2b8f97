#include "output/tables.hpp"

#include <algorithm>
#include <cstdint>

#include "output/lineblock.hpp"
#include "run/alloc.hpp"
#include "run/freeform.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

std::string rawallelefile() { return vars.outfile + ".RawAllele"; }

// One integer of the raw-allele file; a missing or unreadable value ends
// the run (the file is short or damaged).
static int32_t readraw(ffreader& r, bool newread, int32_t locus)
{
    std::string text;
    int64_t v = 0;
    if (!ffvalue(r, text, newread)) {
        if (fferror(r)) stoponerror("Error reading file " + r.name + " (" + fferrtext(r) + ")!", "Output");
        stoponerror("Unexpected end of file " + r.name + " while reading locus " + itod(locus) + "!", "Output");
    }
    if (!parseint(text, -32768, 32767, v))
        stoponerror("Invalid allele ID '" + text + "' in file " + r.name + " at locus " + itod(locus) + "!", "Output");
    return int32_t(v);
}

// A locus's record: the count of raw alleles, then that many raw IDs into
// raw[1..count].  A record continued on further lines is read whole.
static void readrawrecord(ffreader& r, int32_t locus, int32_t need, std::vector<int16_t>& raw)
{
    int32_t count = readraw(r, true, locus);
    if (count < need)
        stoponerror("File " + r.name + " holds " + itod(count) + " allele IDs for locus " + itod(locus) + ", " +
                        itod(need) + " are needed!",
                    "Output");
    if (std::size_t(count) >= raw.size())
        allocarray(raw, std::size_t(count) + 1, int16_t(0), allocfailmessage("the raw allele IDs"), "Output");
    for (int32_t a = 1; a <= count; ++a) raw[std::size_t(a)] = int16_t(readraw(r, false, locus));
}

void writefreq(textout& out, const lookup& lk)
{
    const int32_t nloc = vars.numloci, u = vars.numloci2, na = vars.numallallele;
    std::vector<int32_t> locspare, idxspare, misspare, numaspare;
    std::vector<double> cntspare;
    const int32_t* locusloc = orzeros(vars.locusloc, std::size_t(u < 0 ? 0 : u) + 1, locspare);
    const int32_t* markeridx = orzeros(vars.markeridx, std::size_t(nloc < 0 ? 0 : nloc) + 1, idxspare);
    const int32_t* nummisg = orzeros(vars.nummisg, std::size_t(u < 0 ? 0 : u) + 1, misspare);
    std::size_t nall = std::size_t(na < 0 ? 0 : na) + 1;
    if (u >= 1 && locusloc[u] > 0 && std::size_t(locusloc[u]) + 1 > nall) nall = std::size_t(locusloc[u]) + 1;
    const int32_t* numa = orzeros(vars.numa, nall, numaspare);
    const double* allelecnt = orzeros(vars.allelecnt, nall, cntspare);

    // Initial and updated frequencies; the reciprocal of a locus's total is
    // formed once and each count multiplied by it.
    std::vector<double> finit, fupd;
    allocarray(finit, nall, 0.0, allocfailmessage("the allele frequencies"), "Output");
    allocarray(fupd, nall, 0.0, allocfailmessage("the allele frequencies"), "Output");
    for (int32_t m = 1; m <= u; ++m) {
        int32_t a0 = locusloc[m - 1] + 1, a1 = locusloc[m];
        if (a1 < a0) continue;
        double t = 0.0;
        int64_t cnt = 0;
        for (int32_t a = a0; a <= a1; ++a) {
            t += allelecnt[a];
            cnt += numa[a];
        }
        double rt = 1.0 / t, rc = 1.0 / double(cnt);
        for (int32_t a = a0; a <= a1; ++a) {
            fupd[std::size_t(a)] = allelecnt[a] * rt;
            finit[std::size_t(a)] = double(numa[a]) * rc;
        }
    }
    makeca3();

    say("  Allele frequencies, Locus 1~" + itod(nloc));
    textwrite(out, "\n\n" + separator(51) + "\nAllele frequency estimates\n" +
                       "(Columns 1-3 = allele ID, initial & updated frequency)\n" + separator(51) + "\n");

    // Raw allele IDs: from the side file for layout 0, 1 and 2 for SNPs.
    int32_t room = vars.maxnumallele < 2 ? 2 : vars.maxnumallele;
    for (int32_t m = 1; m <= u; ++m) room = std::max(room, locusloc[m] - locusloc[m - 1]);
    std::vector<int16_t> raw;
    allocarray(raw, std::size_t(room) + 1, int16_t(0), allocfailmessage("the raw allele IDs"), "Output");
    raw[1] = 1;
    raw[2] = 2;
    ffreader rf;
    if (vars.dataform == 0 && !ffopen(rf, rawallelefile()))
        stoponerror("Cannot open file " + rawallelefile() + " for reading (" + fferrtext(rf) + ")!", "Output");

    lineblock lb;
    int32_t width = 18 * vars.maxnumallele + 45;
    blockopen(lb, out, 8, std::size_t(width < 45 ? 45 : width));
    for (int32_t l = 1; l <= nloc; ++l) {
        int32_t m = markeridx[l];
        if (m < 0 || m > u) m = 0;
        int32_t nal = 1, miss = 0;
        if (m > 0) {
            nal = locusloc[m] - locusloc[m - 1];
            miss = nummisg[m];
        }
        if (vars.dataform == 0) readrawrecord(rf, l, nal, raw);

        // An entry longer than its slot is written whole.
        std::string& s = blockline(lb);
        s += "Locus " + itod(l) + ": " + itod(nal) + " alleles, " + itod(miss) + " missing genotypes\r\n";
        if (m > 0) {
            for (int32_t a = 1; a <= nal; ++a) {
                int32_t g = locusloc[m - 1] + a;
                putallele(s, raw[std::size_t(a)]);
                putdec3(s, lk, finit[std::size_t(g)]);
                putdec3(s, lk, fupd[std::size_t(g)]);
                s += "\r\n";
            }
        } else {
            putallele(s, raw[1]);
            s += " 1.000 1.000\r\n";
        }
        blockend(lb);
    }
    blockflush(lb);
}
