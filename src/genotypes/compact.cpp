// Compaction to the unique polymorphic loci, in the order of their first
// locus in the file: allele counts, the 1-byte allele codes of layout 0 and
// the packed store of the SNP layouts.
#include <algorithm>
#include <cstring>

#include "genotypes/gtypework.hpp"
#include "genotypes/snpstore.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

const char* const routine = "ReadGType";

// Codes of every individual at locus l into unique locus u of indivgtype.
// Each process holds its own share; the sum over processes completes the
// column.
void copycodes(const gtypework& w, int32_t l, int32_t u, std::vector<int32_t>& column, std::vector<int32_t>& summed)
{
    const int32_t* col = gathercolumn(w, l, column, summed);
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        vars.indivgtype[gtypeat(1, u, i)] = int8_t(col[2 * (i - 1)]);
        vars.indivgtype[gtypeat(2, u, i)] = int8_t(col[2 * (i - 1) + 1]);
    }
}

// One step of moving a representative's codes to its new place: a whole
// word when 16 representatives fill it, else one 2-bit code.
struct movestep {
    int32_t from;  // word (whole) or locus (code)
    int32_t to;
    bool whole;
};

// The SNP store with the unique loci only.  The loci are walked in pieces
// of 1000, and each piece is moved for every individual of this process's
// share, so that both columns are read and written in order.
void compactsnp()
{
    say("\r  Locus = ");
    const int32_t nloci = vars.numloci;
    const int32_t words2 = snpwordsfor(vars.numloci2);
    const int32_t share = std::max(0, vars.indivl2 - vars.indivl1 + 1);
    std::vector<uint32_t> fresh;
    allocarray(fresh, std::size_t(words2) * std::size_t(share), 0u, vars.memerr, routine);

    std::vector<movestep> steps;
    steps.reserve(1000);
    int32_t u = 0;  // unique loci placed so far
    for (int32_t lo = 1; lo <= nloci; lo += 1000) {
        const int32_t hi = std::min(lo + 999, nloci);
        steps.clear();
        for (int32_t l = lo; l <= hi; ++l) {
            if (vars.markeridx[std::size_t(l)] != u + 1) continue;  // not a representative
            // A run of 16 representatives from a word start to a word start.
            bool whole = snpshiftof(l) == 0 && snpshiftof(u + 1) == 0 && l + 15 <= hi;
            for (int32_t m = 1; whole && m < 16; ++m) whole = vars.markeridx[std::size_t(l + m)] == u + 1 + m;
            if (whole) {
                steps.push_back({snpwordof(l), snpwordof(u + 1), true});
                u += 16;
                l += 15;
            } else {
                ++u;
                steps.push_back({l, u, false});
            }
        }
        for (int32_t i = vars.indivl1; i <= vars.indivl2; ++i) {
            const uint32_t* src = snpcolumn(i);
            uint32_t* dst = fresh.data() + std::size_t(i - vars.indivl1) * std::size_t(words2);
            for (const movestep& m : steps) {
                if (m.whole) {
                    dst[m.to] = src[m.from];
                } else {
                    putsnpcode(dst, m.to, snpcodeat(src, m.from));
                }
            }
        }
        if (hi % 1000 == 0) sayopen("\r  " + itod(hi));
    }
    say("\r  Done with locus 1 - " + itod(nloci));

    if (vars.numthreads == 1) {
        vars.snp.swap(fresh);
        vars.snpwords = words2;
        return;
    }
    // Every process gets every individual's words from the process that
    // holds the individual.
    std::vector<uint32_t>().swap(vars.snp);
    vars.snpwords = words2;
    allocarray(vars.snp, std::size_t(words2) * std::size_t(vars.numindiv), 0u, vars.memerr, routine);
    std::vector<uint32_t> mine;
    allocarray(mine, std::size_t(words2), 0u, vars.memerr, routine);
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        if (myindiv(i))
            std::memcpy(mine.data(), fresh.data() + std::size_t(i - vars.indivl1) * std::size_t(words2),
                        sizeof(uint32_t) * std::size_t(words2));
        else
            std::fill(mine.begin(), mine.end(), 0u);
        parsumint(reinterpret_cast<const int32_t*>(mine.data()),
                  reinterpret_cast<int32_t*>(vars.snp.data() + snpcol(i)), std::size_t(words2));
    }
}

}  // namespace

void compactloci(gtypework& w)
{
    const int32_t nloci = vars.numloci;
    const bool layout0 = vars.dataform == 0;
    std::vector<int32_t> column, summed;
    if (layout0) {
        allocarray(vars.indivgtype, 2 * std::size_t(vars.numloci2) * std::size_t(vars.numindiv), int8_t(0),
                   vars.memerr + "\nNumLoci * NumIndiv > " +
                       fmtint(int64_t(vars.numindiv) * int64_t(vars.numloci2), 19),
                   routine);
        allocarray(column, 2 * std::size_t(vars.numindiv), 0, vars.memerr, routine);
        if (vars.numthreads > 1) allocarray(summed, 2 * std::size_t(vars.numindiv), 0, vars.memerr, routine);
    }

    // markeridx already holds each locus's unique locus; a locus is the
    // representative of its group when it is the first to carry the next
    // number.
    vars.numallallele = 0;
    int32_t u = 0;
    for (int32_t l = 1; l <= nloci; ++l) {
        if (vars.markeridx[std::size_t(l)] != u + 1) continue;
        ++u;
        vars.obsnumallele[std::size_t(u)] = vars.obsnumallele[std::size_t(l)];
        vars.numallallele += vars.obsnumallele[std::size_t(u)];
        if (layout0) copycodes(w, l, u, column, summed);
    }

    if (!layout0 && vars.numloci2 < nloci) compactsnp();

    allocarray(vars.locusloc, std::size_t(vars.numloci2) + 1, 0, vars.memerr, routine);
    for (int32_t k = 1; k <= vars.numloci2; ++k)
        vars.locusloc[std::size_t(k)] = vars.locusloc[std::size_t(k - 1)] + vars.obsnumallele[std::size_t(k)];
}
