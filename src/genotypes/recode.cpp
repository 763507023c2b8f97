// Layout 0: every locus is recoded to allele codes 1, 2, ... in order of
// first appearance, its alleles are counted and its key is formed from the
// recoded column.
#include <algorithm>
#include <array>
#include <utility>

#include "genotypes/gtypework.hpp"
#include "output/safefile.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/textfile.hpp"
#include "run/variables.hpp"

namespace {

const char* const routine = "ReadGType";

// Code of raw identifier id at the current locus: its code in the map, or
// the next code when it is new (appended to the locus's raw list).
int32_t alleleof(int32_t id, int32_t locus, std::array<int8_t, 1000>& code, std::vector<int32_t>& raw)
{
    int8_t c = code[std::size_t(id)];
    if (c != 0) return c;
    if (raw.size() >= 127) stoponerror("Locus " + itod(locus) + " has more than 127 alleles!", routine);
    raw.push_back(id);
    code[std::size_t(id)] = int8_t(raw.size());
    return int32_t(raw.size());
}

}  // namespace

const int32_t* gathercolumn(const gtypework& w, int32_t l, std::vector<int32_t>& column,
                            std::vector<int32_t>& summed)
{
    const bool parallel = vars.numthreads > 1;
    if (parallel) std::fill(column.begin(), column.end(), 0);
    for (int32_t i = vars.indivl1; i <= vars.indivl2; ++i) {
        column[2 * std::size_t(i - 1)] = w.rawallele[rawat(1, l, i)];
        column[2 * std::size_t(i - 1) + 1] = w.rawallele[rawat(2, l, i)];
    }
    if (!parallel) return column.data();
    parsumint(column.data(), summed.data(), column.size());
    return summed.data();
}

void recodeloci(gtypework& w)
{
    const int32_t n = vars.numindiv;
    const bool parallel = vars.numthreads > 1;
    std::vector<int32_t> column, summed;
    allocarray(column, 2 * std::size_t(n), 0, vars.memerr, routine);
    if (parallel) allocarray(summed, 2 * std::size_t(n), 0, vars.memerr, routine);
    // Allele map of the current locus (raw identifier 1..999 to code) and
    // its raw identifiers in code order.
    std::array<int8_t, 1000> code{};
    std::vector<int32_t> raw;
    raw.reserve(128);

    textout rawfile;
    const bool writeraw = vars.thd0q && vars.outallelefre == 1;
    if (writeraw) safeopen(rawfile, vars.rawslot, vars.outfile + ".RawAllele", false, routine);

    const double* r1 = w.r1.data();
    const double* r2 = w.r2.data();
    const double* r3 = w.r3.data();
    for (int32_t l = 1; l <= vars.numloci; ++l) {
        // The whole column: this process's individuals, the others' from
        // the sum over processes.
        const int32_t* col = gathercolumn(w, l, column, summed);

        for (int32_t id : raw)
            if (id > 0) code[std::size_t(id)] = 0;
        raw.clear();
        double s = 0.0;
        for (int32_t i = 1; i <= n; ++i) {
            int32_t a1 = col[2 * (i - 1)], a2 = col[2 * (i - 1) + 1];
            int32_t c1 = 0, c2 = 0;
            if (a1 > 0 && a2 > 0) {
                if (a1 > 999 || a2 > 999) stoponerror("Allele ID > 999 in genotype data!", routine);
                c1 = alleleof(a1, l, code, raw);
                c2 = alleleof(a2, l, code, raw);
                if (c1 > c2) std::swap(c1, c2);
            }
            // Terms added in this order for every locus, so that equal
            // columns give equal keys to the last bit.
            s = s + double(c1 + 1) * r1[i] + double(c2 + 1) * r2[i] + double(c1 + c2 - 1) * r3[i];
            if (myindiv(i)) {
                w.rawallele[rawat(1, l, i)] = int16_t(c1);
                w.rawallele[rawat(2, l, i)] = int16_t(c2);
            }
        }

        // A locus with every genotype missing is listed with the one
        // identifier 0.
        if (raw.empty()) raw.push_back(0);
        const int32_t k = int32_t(raw.size());
        vars.obsnumallele[std::size_t(l)] = int8_t(k);
        if (k < 2) {
            ++w.nummono;
            s = 1e300;
        } else {
            s = double(k) * s;
        }
        w.lockey[std::size_t(l)] = s;
        vars.maxnumallele = std::max(vars.maxnumallele, k);
        vars.maxrawallele = std::max(vars.maxrawallele, *std::max_element(raw.begin(), raw.end()));
        if (writeraw) textwrite(rawfile, rawallelerecord(raw));
    }
    if (writeraw) textclose(rawfile);
}
