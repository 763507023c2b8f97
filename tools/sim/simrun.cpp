#include "simrun.hpp"
#include <cstring>
#include <new>
#include "bedfile.hpp"
#include "drop.hpp"
#include "families.hpp"
#include "genfile.hpp"
#include "miscall.hpp"
#include "outfile.hpp"
#include "parfile.hpp"
#include "plinkfile.hpp"
#include "popfile.hpp"
#include "pops.hpp"
#include "truth.hpp"

namespace {

// Loci simulated between two transfers into the per-individual rows.
constexpr long long block = 256;
// Largest genotype matrix kept in memory.
constexpr double maxmatrix = 16.0 * (1LL << 30);

bool checkids(const sample& s, std::string& err)
{
    for (const std::string& id : s.id)
        if (id.size() > 20 || id.find_first_of(" \t,/;\"'") != std::string::npos) {
            err = "identifier '" + id + "' is not usable";
            return false;
        }
    return true;
}

// Whether the whole genotype matrix is kept: layouts 0 and 2 and the PLINK
// text files need every locus of an individual together.
bool keepsall(const opts& o) { return o.layout != 1 || o.plink; }

bool makegenos(const opts& o, long long n, genos& g, std::string& err)
{
    const long long L = o.loci;
    g.n = n;
    g.loci = L;
    g.w = o.multi ? 2 : 1;
    if (!keepsall(o))
        return true;
    if (double(n) * double(L) * g.w > maxmatrix) {
        err = "genotypes of " + std::to_string(n) + " individuals at " + std::to_string(L) +
              " loci do not fit in memory; layout 1 without --plink (--bed is fine) "
              "writes them as they are simulated";
        return false;
    }
    try {
        g.g.resize(size_t(n) * size_t(L) * g.w);
        if (o.multi)
            g.ids.resize(size_t(L) * maxalleles);
    } catch (const std::bad_alloc&) {
        err = "not enough memory for the genotypes of " + std::to_string(n) +
              " individuals at " + std::to_string(L) + " loci";
        return false;
    }
    return true;
}

// What the loci of one run draw from and write into.
struct dropping {
    rng r;                      // pedigree genes, frequencies, missing calls
    rng er;                     // genotyping errors
    uint64_t miss = 0, wrong = 0;
    popset ps;
    std::vector<locus> sub;
    truth t;
    std::vector<uint32_t> lab;  // gene labels of every pedigree member
    std::vector<uint8_t> al;    // allele of every label
    std::vector<uint8_t> org;   // subpopulation of every label
};

void startdropping(const opts& o, const sample& s, dropping& d)
{
    rngseed(d.r, o.seed);
    d.miss = rngthreshold(o.missing);
    // Genotyping errors come from a stream of their own, so that the true
    // genotypes (and the truth files) are those of the same run without them.
    d.er = d.r;
    rngjump(d.er);
    d.wrong = rngthreshold(o.error);
    // Subpopulations draw nothing when there is only one, so that such a
    // run stays what it was before they existed.
    if (o.subpops > 1)
        assignpops(s, o.subpops, o.admixed, d.r, d.ps);
    truthinit(d.t, s);
    d.lab.resize(2 * s.fa.size());
    d.al.resize(2 * s.fa.size());
    d.org.resize(o.subpops > 1 ? 2 * s.fa.size() : 0);
}

// One locus: its alleles, the genes dropped through the pedigree, the
// truth counted, and the typed genotypes of the n sampled individuals
// (w bytes each) in c.
void droplocus(const opts& o, const sample& s, dropping& d, locus& loc, uint8_t* c, int w)
{
    if (o.multi)
        drawmulti(d.r, loc);
    else
        drawsnp(d.r, loc);
    if (o.subpops > 1) {
        drawsubfreqs(d.r, loc, o.fst, o.subpops, d.sub);
        dropsubpop(s, d.ps, d.sub, d.r, d.lab.data(), d.al.data(), d.org.data());
        truthorigin(d.t, s, d.lab.data(), d.org.data());
    } else {
        dropgenes(s.fa, s.mo, loc, d.r, d.lab.data(), d.al.data());
    }
    truthadd(d.t, s, d.lab.data());
    const long long n = (long long)s.who.size();
    const uint8_t* al = d.al.data();
    for (long long k = 0; k < n; k++) {
        const uint32_t* x = &d.lab[2 * size_t(s.who[k])];
        bool gone = d.miss && rngnext(d.r) < d.miss;
        bool bad = !gone && d.wrong && rngnext(d.er) < d.wrong;
        if (w == 1) {
            c[k] = gone ? snpmissing : uint8_t((al[x[0]] == 0) + (al[x[1]] == 0));
            if (bad)
                c[k] = snpmiscall(d.er, c[k]);
        } else {
            c[2 * k] = gone ? allelemissing : al[x[0]];
            c[2 * k + 1] = gone ? allelemissing : al[x[1]];
            if (bad)
                allelemiscall(d.er, loc.n, c + 2 * k);
        }
    }
}

// A block of nb loci (locus by locus, individual by individual) into the
// individuals' rows of the kept matrix, from locus l0 on.
void keepblock(genos& g, const uint8_t* blk, long long l0, long long nb)
{
    const int w = g.w;
    for (long long k = 0; k < g.n; k++) {
        uint8_t* dst = g.g.data() + (size_t(k) * g.loci + l0) * w;
        for (long long b = 0; b < nb; b++)
            for (int i = 0; i < w; i++)
                dst[b * w + i] = blk[size_t((b * g.n + k) * w + i)];
    }
}

// The parameter file, the truth and the files beside the genotypes.
bool writeextras(const opts& o, const sample& s, const dropping& d, const genos& g, std::string& err)
{
    parvals p;
    p.n = g.n;
    p.loci = g.loci;
    p.layout = o.layout;
    p.inbreed = o.inbreed;
    p.gen = o.out + ".gen";
    p.results = o.results.empty() ? o.out + ".out" : o.results;
    p.seed = o.kseed;
    p.rnddelta0 = o.rnddelta0;
    p.updatep = o.updatep;
    p.outallelefre = o.outallelefre;
    if (!writepar(o.out + ".par", p, err))
        return false;
    if (!writetruth(o.out, s, d.t, d.ps, err))
        return false;
    if (o.subpops > 1 && !writepop(o.out + ".pop", s, d.ps, err))
        return false;
    if (o.plink && !(writeped(o.out + ".ped", s, g, err) && writemap(o.out + ".map", g.loci, err)))
        return false;
    if (o.bed && !(writebim(o.out + ".bim", g.loci, err) && writefam(o.out + ".fam", s, err)))
        return false;
    return true;
}

} // namespace

bool runsim(const opts& o, std::string& err)
{
    sample s;
    buildsample(o.n, o.families, s);
    if (!checkids(s, err))
        return false;
    const long long n = (long long)s.who.size(), L = o.loci;
    genos g;
    if (!makegenos(o, n, g, err))
        return false;
    const bool keep = keepsall(o);
    const int w = g.w;
    const std::string gen = o.out + ".gen";

    // Opened first so that a bad path stops the run before any work.  The
    // .bed, like a layout 1 file, is written as the loci are simulated.
    FILE* fg = outopen(gen, err);
    if (!fg)
        return false;
    // Closed on every return that follows: a write that fails is reported
    // by the caller and the file discarded.
    struct closer {
        FILE*& f;
        ~closer()
        {
            if (f)
                std::fclose(f);
        }
    } closegen{fg};
    FILE* fb = nullptr;
    closer closebed{fb};
    if (o.bed && !(fb = outopen(o.out + ".bed", err)))
        return false;
    if (o.layout == 1)
        putidblock(fg, s.id);
    if (fb)
        putbedhead(fb);

    dropping d;
    startdropping(o, s, d);
    std::vector<uint8_t> blk(size_t(block * n * w));
    locus loc;
    for (long long l0 = 0; l0 < L; l0 += block) {
        long long nb = L - l0 < block ? L - l0 : block;
        for (long long b = 0; b < nb; b++) {
            droplocus(o, s, d, loc, blk.data() + size_t(b * n * w), w);
            if (o.multi && keep)
                std::memcpy(&g.ids[size_t(l0 + b) * maxalleles], loc.id, sizeof loc.id);
        }
        if (o.layout == 1)
            putlocuslines(fg, blk.data(), nb, n);
        if (fb)
            putbedsnps(fb, blk.data(), nb, n);
        if (keep)
            keepblock(g, blk.data(), l0, nb);
    }

    if (o.layout == 0)
        putlayout0(fg, s.id, g);
    if (o.layout == 2)
        putlayout2(fg, s.id, g);
    FILE* done = fg;
    fg = nullptr;
    if (!outclose(done, gen, err))
        return false;
    if (fb) {
        done = fb;
        fb = nullptr;
        if (!outclose(done, o.out + ".bed", err))
            return false;
    }
    if (!writeextras(o, s, d, g, err))
        return false;
    return outcommit(err);
}
