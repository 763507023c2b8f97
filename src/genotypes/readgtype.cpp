// Reading the genotype file in its three layouts: identifiers into
// individ, multi-allelic alleles into the working table of this process's
// individuals, SNP rows straight into the packed store as they are read.
#include <algorithm>
#include <cstring>

#include "genotypes/genotypes.hpp"
#include "genotypes/gtypework.hpp"
#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
#include "run/alloc.hpp"
#include "run/freeform.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

const char* const routine = "ReadGType";

// A read that failed: an input error of the file itself (a device error,
// a line too long for memory) names the file; the end of the file or a bad
// value gives the caller's message.
[[noreturn]] void readfailed(const ffreader& r, const std::string& message)
{
    if (fferror(r)) stoponerror("Error reading genotype file " + r.name + " (" + fferrtext(r) + ")!", routine);
    stoponerror(message, routine);
}

// Identifiers are kept in exactly 20 characters.
std::string id20(const std::string& id)
{
    std::string t = id.substr(0, 20);
    t.resize(20, ' ');
    return t;
}

// The rest of a layout 0 line after the identifier: 2 x numloci integers
// that fit 16 bits, stored at keep unless it is null.  Values after them
// are ignored (more is set when there are some).  False when the line ends
// early or a value is not such an integer.
bool parsealleles(const ffreader& r, int16_t* keep, bool& more)
{
    const char* p = r.buf + r.pos;
    const char* end = r.buf + r.len;
    const int32_t n = 2 * vars.numloci;
    for (int32_t v = 0; v < n; ++v) {
        while (p < end && ffsep(*p)) ++p;
        if (p == end) return false;
        bool neg = false;
        if (*p == '+' || *p == '-') neg = *p++ == '-';
        const char* start = p;
        int32_t x = 0;
        for (; p < end && !ffsep(*p); ++p) {
            unsigned d = unsigned(*p - '0');
            if (d > 9) return false;
            if (x <= 32768) x = 10 * x + int32_t(d);  // past this it is out of range anyway
        }
        if (p == start) return false;
        if (neg) x = -x;
        if (x < -32768 || x > 32767) return false;
        if (keep) keep[v] = int16_t(x);
    }
    while (p < end && ffsep(*p)) ++p;
    more = p != end;
    return true;
}

// Progress step of the per-individual counters.
int32_t progressstep() { return std::max(1, 1000000 / vars.numloci); }

// A row read: what it holds beyond its w characters, and bytes that are
// not text (look is null on the processes that do not report).
void lookatrow(const ffreader& r, std::size_t w, gtypesurplus* look)
{
    if (!look) return;
    if (r.len > w && !blanktail(r.buf + w, r.len - w)) ++look->longrows;
    if (nottextbytes(r.buf, r.len)) ++look->nottext;
}

void readlayout0(ffreader& r, gtypework& w, gtypesurplus* look)
{
    const int32_t share = std::max(0, vars.indivl2 - vars.indivl1 + 1);
    allocarray(w.rawallele, 2 * std::size_t(vars.numloci) * std::size_t(share), int16_t(0), vars.memerr, routine);
    say("  Reading genotypes for individual:");
    const int32_t step = progressstep();
    std::string id;
    // Every process parses every line in full, so that all of them meet a
    // faulty line at the same individual.
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        if (i % step == 0) sayopen("\r  " + itod(i));
        int16_t* keep = myindiv(i) ? w.rawallele.data() + rawat(1, 1, i) : nullptr;
        bool more = false;
        if (!ffnextline(r) || ffvalueinline(r, id) != ffstatus::ok || !parsealleles(r, keep, more))
            readfailed(r, "Error reading genotype data for individual " + itod(i) + "!");
        if (look) {
            look->longrows += more;
            look->nottext += nottextbytes(r.buf, r.len);
        }
        vars.individ[std::size_t(i)] = id20(id);
    }
}

// Layouts 1 and 2 start with all identifiers, as many to a line as the
// writer liked; the genotype rows follow on the next line.
void readidentifiers(ffreader& r, gtypesurplus* look)
{
    std::string id;
    long checked = 0;  // the last line looked at whole
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        if (!ffvalue(r, id, i == 1)) readfailed(r, "Error reading individual ID in genotype data file!");
        vars.individ[std::size_t(i)] = id20(id);
        if (look && r.lineno != checked) {
            checked = r.lineno;
            look->nottext += nottextbytes(r.buf, r.len);
        }
    }
    if (look && ffvalueinline(r, id) != ffstatus::endofline) look->moreids = true;
}

// Layout 1: one row per locus, read in blocks of up to 256 rows that fill
// up to 16 words of every individual (whose words are then stored
// together).  Every process reads every row (all meet a short file at the
// same locus) and packs its own individuals' words; the columns are then
// shared.  A missing row is reported by its group of 16 loci.
void readlayout1(ffreader& r, gtypesurplus* look)
{
    const std::size_t n = std::size_t(vars.numindiv);
    const std::size_t most = std::clamp<std::size_t>((std::size_t(32) << 20) / (16 * n), 1, 16);
    std::vector<char> block;
    allocarray(block, 16 * most * n, ' ', vars.memerr, routine);
    say("  Reading genotypes for locus:");
    const bool whole = vars.numthreads <= 1;
    const int32_t i1 = whole ? 1 : vars.indivl1, i2 = whole ? vars.numindiv : vars.indivl2;
    for (int32_t first = 1; first <= vars.numloci; first += int32_t(16 * most)) {
        const int32_t last = int32_t(std::min<int64_t>(first + 16 * int64_t(most) - 1, vars.numloci));
        for (int32_t l = first; l <= last; ++l) {
            const int32_t group = l - (l - 1) % 16;
            if (!ffnextline(r))
                readfailed(r, "Error in reading data for Locus = " + itod(group) + " to " +
                                  itod(std::min(group + 15, vars.numloci)) + "!");
            // A fixed-width row: longer lines are cut, shorter ones padded
            // with blanks (missing genotypes).
            lookatrow(r, n, look);
            char* row = block.data() + std::size_t(l - first) * n;
            std::size_t m = std::min(r.len, n);
            std::memcpy(row, r.buf, m);
            std::memset(row + m, ' ', n - m);
            // progress every 1000 groups, once a group is read
            if ((l % 16 == 0 || l == vars.numloci) && ((l - 1) / 16 + 1) % 1000 == 0) sayopen("\r  " + itod(group));
        }
        packgtype2(block.data(), first, last, vars.numindiv, i1, i2);
        blockalleles(block.data(), first, last, vars.numindiv);
    }
    parshareindiv(vars.snp.data(), std::size_t(vars.snpwords) * sizeof(uint32_t));
}

// Layout 2: one row per individual, packed into its column at once.
void readlayout2(ffreader& r, gtypesurplus* look)
{
    say("  Reading genotypes for individual:");
    const int32_t step = progressstep();
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        if (!ffnextline(r)) readfailed(r, "Error reading genotype data for row " + itod(i) + "!");
        lookatrow(r, std::size_t(vars.numloci), look);
        int32_t len = int32_t(std::min(r.len, std::size_t(vars.numloci)));
        convertgtype1(r.buf, len, vars.snpwords - 1, vars.snp.data() + snpcol(i));
        if (i % step == 0) sayopen("\r  " + itod(i));
    }
}

}  // namespace

void readgtype()
{
    gtypework w;
    readgtypefile(w);
    prepareloci(w);
}

void readgtypefile(gtypework& w)
{
    const std::size_t n = std::size_t(vars.numindiv), nloci = std::size_t(vars.numloci);
    allocarray(vars.individ, n + 1, std::string(), vars.memerr, routine);
    allocarray(vars.obsnumallele, nloci + 1, int8_t(0), vars.memerr, routine);

    say("");
    say("Reading genotype file: " + vars.gtypefile);
    // The master also notes what the file holds beyond what is read.
    gtypesurplus found;
    gtypesurplus* look = vars.thd0q ? &found : nullptr;
    {
        ffreader r;
        if (!ffopen(r, vars.gtypefile))
            stoponerror("Cannot open genotype file " + vars.gtypefile + " (" + fferrtext(r) + ")!", routine);
        if (vars.dataform == 0) {
            readlayout0(r, w, look);
        } else {
            vars.snpwords = snpwordsfor(vars.numloci);
            allocarray(vars.snp, n * std::size_t(vars.snpwords), 0u, vars.memerr, routine);
            readidentifiers(r, look);
            if (vars.dataform == 1) readlayout1(r, look);
            else readlayout2(r, look);
        }
        if (look) scanrest(r.file, found);
    }
    say("\r  Finished reading genotype data of " + itod(vars.numindiv) + " individuals at " + itod(vars.numloci) +
        " loci." + std::string(16, ' '));
    vars.gtypewarning = look ? surplustext(found, vars.dataform) : std::string();
    if (!vars.gtypewarning.empty()) say(vars.gtypewarning);
}
