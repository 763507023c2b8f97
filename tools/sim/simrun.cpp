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

} // namespace

bool runsim(const opts& o, std::string& err)
{
    sample s;
    buildsample(o.n, o.families, s);
    if (!checkids(s, err))
        return false;
    const long long n = (long long)s.who.size(), L = o.loci;
    const int w = o.multi ? 2 : 1;
    const std::string gen = o.out + ".gen";

    genos g;
    g.n = n;
    g.loci = L;
    g.w = w;
    bool keep = o.layout != 1 || o.plink;
    if (keep) {
        if (double(n) * double(L) * w > maxmatrix) {
            err = "genotypes of " + std::to_string(n) + " individuals at " + std::to_string(L) +
                  " loci do not fit in memory; layout 1 without --plink (--bed is fine) "
                  "writes them as they are simulated";
            return false;
        }
        try {
            g.g.resize(size_t(n) * size_t(L) * w);
            if (o.multi)
                g.ids.resize(size_t(L) * maxalleles);
        } catch (const std::bad_alloc&) {
            err = "not enough memory for the genotypes of " + std::to_string(n) +
                  " individuals at " + std::to_string(L) + " loci";
            return false;
        }
    }

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

    rng r;
    rngseed(r, o.seed);
    const uint64_t miss = rngthreshold(o.missing);
    // Genotyping errors come from a stream of their own, so that the true
    // genotypes (and the truth files) are those of the same run without them.
    rng er = r;
    rngjump(er);
    const uint64_t wrong = rngthreshold(o.error);
    // Subpopulations draw nothing when there is only one, so that such a
    // run stays what it was before they existed.
    popset ps;
    if (o.subpops > 1)
        assignpops(s, o.subpops, o.admixed, r, ps);
    std::vector<locus> sub;
    truth t;
    truthinit(t, s);
    std::vector<uint32_t> lab(2 * s.fa.size());
    std::vector<uint8_t> al(2 * s.fa.size());
    std::vector<uint8_t> org(o.subpops > 1 ? 2 * s.fa.size() : 0);
    std::vector<uint8_t> blk(size_t(block * n * w));
    locus loc;

    for (long long l0 = 0; l0 < L; l0 += block) {
        long long nb = L - l0 < block ? L - l0 : block;
        for (long long b = 0; b < nb; b++) {
            if (o.multi) {
                drawmulti(r, loc);
                if (keep)
                    std::memcpy(&g.ids[size_t(l0 + b) * maxalleles], loc.id, sizeof loc.id);
            } else {
                drawsnp(r, loc);
            }
            if (o.subpops > 1) {
                drawsubfreqs(r, loc, o.fst, o.subpops, sub);
                dropsubpop(s, ps, sub, r, lab.data(), al.data(), org.data());
                truthorigin(t, s, lab.data(), org.data());
            } else {
                dropgenes(s.fa, s.mo, loc, r, lab.data(), al.data());
            }
            truthadd(t, s, lab.data());
            uint8_t* c = blk.data() + size_t(b * n * w);
            for (long long k = 0; k < n; k++) {
                const uint32_t* x = &lab[2 * size_t(s.who[k])];
                bool gone = miss && rngnext(r) < miss;
                bool bad = !gone && wrong && rngnext(er) < wrong;
                if (w == 1) {
                    c[k] = gone ? snpmissing : uint8_t((al[x[0]] == 0) + (al[x[1]] == 0));
                    if (bad)
                        c[k] = snpmiscall(er, c[k]);
                } else {
                    c[2 * k] = gone ? allelemissing : al[x[0]];
                    c[2 * k + 1] = gone ? allelemissing : al[x[1]];
                    if (bad)
                        allelemiscall(er, loc.n, c + 2 * k);
                }
            }
        }
        if (o.layout == 1)
            putlocuslines(fg, blk.data(), nb, n);
        if (fb)
            putbedsnps(fb, blk.data(), nb, n);
        if (keep)
            for (long long k = 0; k < n; k++) {
                uint8_t* dst = g.g.data() + (size_t(k) * L + l0) * w;
                for (long long b = 0; b < nb; b++)
                    for (int i = 0; i < w; i++)
                        dst[b * w + i] = blk[size_t((b * n + k) * w + i)];
            }
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

    parvals p;
    p.n = n;
    p.loci = L;
    p.layout = o.layout;
    p.inbreed = o.inbreed;
    p.gen = gen;
    p.results = o.results.empty() ? o.out + ".out" : o.results;
    p.seed = o.kseed;
    p.rnddelta0 = o.rnddelta0;
    p.updatep = o.updatep;
    p.outallelefre = o.outallelefre;
    if (!writepar(o.out + ".par", p, err))
        return false;
    if (!writetruth(o.out, s, t, ps, err))
        return false;
    if (o.subpops > 1 && !writepop(o.out + ".pop", s, ps, err))
        return false;
    if (o.plink && !(writeped(o.out + ".ped", s, g, err) && writemap(o.out + ".map", L, err)))
        return false;
    if (o.bed && !(writebim(o.out + ".bim", L, err) && writefam(o.out + ".fam", s, err)))
        return false;
    return outcommit(err);
}
