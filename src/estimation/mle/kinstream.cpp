// KIN: the maximum-likelihood Deltas of every pair streamed into the side
// table as they are made, in pair order, with no N x N array anywhere:
// only the pairs whose kinship, as printed with four decimals, is kinmin
// or more are written (KIN:-1 every pair).  A pair whose KING-robust
// kinship (from the bit-planes, four popcounts a word) lies kinmargin or
// more below kinmin cannot reach it and skips its entries and the
// maximiser.
//
// The first individuals come in blocks of kinrows rows; block b belongs to
// the process whose rank is b mod the number of processes.  Each round
// every process makes one block's lines; after a batch of rounds the
// master writes them round by round, each in rank order: the table is the
// same at any process count.  With MLE:2 a
// block runs over the second individuals outermost, so that each one's
// bit-planes are read once for all the block's rows.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "ancestry/ancestry.hpp"
#include "estimation/common/common.hpp"
#include "estimation/mle/mle.hpp"
#include "output/tables.hpp"
#include "parallel/parlayer.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

// The work of every kind of pair: pooled classes (MLE:2), merged entries
// (MLE:1), per-locus entries (each individual's own frequencies, or errors
// at multi-allelic loci), merged entries with errors.
struct kinwork {
    bool pooled = false, adjusted = false, perlocus = false, errormerged = false;
    mleclassing classes;
    mleclassing king;  // every individual's bit-planes, for the screen of the other kinds
    std::vector<double> relations;  // MLE:1: the merge slots' logarithms at the relationships
    adjclassing ac;
    adjwork aw;
    errorcache ec;
    // ERR: the pairs called parent-offspring, for the error rate they show
    bool measure = false;
    errortally errors;
    std::vector<int8_t> bi, bj;
    const termentries* te = nullptr;
    const int8_t* gi = nullptr;  // the first individual's allele pairs (per-locus entries)
    int64_t pairs = 0, fitted = 0, written = 0, notconv = 0;
    int32_t most = 0;
};

void kinsetup(kinwork& k, emwork& w)
{
    k.pooled = vars.mle == 2;
    k.adjusted = vars.ownfreq;
    const bool errors = vars.generr > 0.0;
    k.perlocus = !k.pooled && k.adjusted;
    k.errormerged = !k.pooled && !k.perlocus && errors;
    if (k.pooled && !k.adjusted) planclasses(k.classes);
    if (k.pooled && k.adjusted) adjclasssetup(k.ac);
    if (k.perlocus) adjustedsetup(k.aw);
    if (k.errormerged) errorsetup(k.ec, w.plan);
    k.measure = errorsmeasured();
    if (k.measure) {
        gtypebuffer(k.bi, "EM_Delta");
        gtypebuffer(k.bj, "EM_Delta");
    }
    if (!k.pooled && !k.perlocus && !k.errormerged) entryrelations(w, k.relations);
    if (vars.kinmin > 0.0 && !(k.pooled && !k.adjusted)) kingplanes(k.king);
    k.te = k.pooled ? (k.adjusted ? &k.ac.te : &k.classes.rows)
                    : (k.perlocus ? &k.aw.te : k.errormerged ? &k.ec.te : &w.entries);
}

// Prepares first individual i for the pairs of its row (MLE:1).
void kinrow(kinwork& k, emwork& w, int32_t i)
{
    if (k.perlocus && !k.aw.snp) k.gi = fetchgtype(i, w.buf1);
    else if (!k.pooled) snprow(w.plan, w.scratch, i);
}

// The IIS counts and entries of pair (i, j).
void kinentries(kinwork& k, emwork& w, int32_t i, int32_t j, int32_t* iis)
{
    if (k.pooled && k.adjusted) adjclassentries(k.ac, i, j, iis);
    else if (k.pooled) classentries(k.classes, i, j, iis);
    else if (k.perlocus && k.aw.snp) snpadjustedentries(k.aw, i, j, iis);
    else if (k.perlocus) adjustedentries(k.aw, i, j, k.gi, fetchgtype(j, w.buf2), iis);
    else if (k.errormerged) {
        snpstaged(w.plan, w.scratch, w.entries, j, iis);
        errorentries(k.ec, w.plan, w.scratch);
    } else snpentries(w.plan, w.scratch, w.entries, j, iis);
}

// Pair (i, j): its line into s when it is written.
void kinpair(kinwork& k, emwork& w, int32_t i, int32_t j, std::string& s)
{
    // MLE:2 at the sample frequencies screens on the KING-robust kinship
    // from the planes; in a sample with structure also on the moment
    // kinship of the class counts (structure raises the unadjusted
    // likelihood's kinship as it raises the moment's, not the KING-robust
    // one's)
    const double least = vars.kinmin - kinmargin;
    const bool screen = vars.kinmin > 0.0;
    int32_t iis[9];
    if (k.pooled && !k.adjusted) {
        if (screen && !vars.structure && classking(k.classes, i, j) < least) {
            ++k.pairs;
            return;
        }
        classcounts(k.classes, i, j);
        if (screen && vars.structure && classmodeking(k.classes) < least && classmoment(k.classes) < least) {
            ++k.pairs;
            return;
        }
        classrows(k.classes, iis);
    } else {
        // the KING-robust kinship from the planes before the entries: a
        // pair that cannot reach kinmin costs four popcounts a word
        if (screen && (k.adjusted || !vars.structure) && classking(k.king, i, j) < least) {
            ++k.pairs;
            return;
        }
        kinentries(k, w, i, j, iis);
    }
    ++k.pairs;
    int64_t loci = 0;
    for (int m = 0; m < 9; ++m) loci += iis[m];
    const float none[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (loci == 0) {
        if (vars.kinmin < 0.0) kinline(s, i, j, 0, none, 0.0, 0.0, 0, 0.0, 0, false);
        k.written += vars.kinmin < 0.0;
        return;
    }
    if (screen && !k.pooled && !k.adjusted && vars.structure && kingofmodes(iis) < least &&
        entrymoment(w.entries) < least)
        return;
    mlefit fit;
    mlesolve(*k.te, fit);
    ++k.fitted;
    k.most = std::max(k.most, fit.iter);
    k.notconv += !fit.conv;
    if (k.measure && fit.call == parentoffspring) tallyerrors(k.errors, fetchgtype(i, k.bi), fetchgtype(j, k.bj));
    float d[9];
    for (int q = 0; q < 9; ++q) d[q] = float(fit.d[q + 1]);
    // the kinship as the table prints it (four decimals) decides
    if (vars.kinmin >= 0.0 && double(std::lround(pairkinship(d) * 10000.0)) < vars.kinmin * 10000.0 - 1e-6) return;
    kinline(s, i, j, loci, d, fit.lnl, fit.lrt, fit.call, fit.gap, fit.iter, fit.conv);
    ++k.written;
}

// The lines of the rows first..last, row after row.
std::string kinblock(kinwork& k, emwork& w, int32_t first, int32_t last)
{
    const int32_t n = vars.numindiv;
    std::vector<std::string> rows(std::size_t(last - first + 1));
    if (k.pooled) {
        for (int32_t j = first + 1; j <= n; ++j)
            for (int32_t i = first; i <= std::min(last, j - 1); ++i) kinpair(k, w, i, j, rows[std::size_t(i - first)]);
    } else {
        for (int32_t i = first; i <= last; ++i) {
            kinrow(k, w, i);
            for (int32_t j = i + 1; j <= n; ++j) kinpair(k, w, i, j, rows[std::size_t(i - first)]);
        }
    }
    std::string all;
    for (const std::string& r : rows) all += r;
    return all;
}

struct kinclock {
    std::chrono::steady_clock::time_point start, last;
};

void kinprogress(kinclock& c, const kinwork& k, int64_t mine, int64_t found, bool final)
{
    if (!vars.thd0q) return;
    const auto now = std::chrono::steady_clock::now();
    if (!final && now - c.last < std::chrono::seconds(1)) return;
    c.last = now;
    const double seconds = std::chrono::duration<double>(now - c.start).count();
    const double rate = seconds > 0.0 ? double(k.pairs) / seconds : 0.0;
    const double left = rate > 0.0 ? double(mine - k.pairs) / rate : 0.0;
    char text[200];
    std::snprintf(text, sizeof text, "\r  Pairs %lld of %lld, %.0f per second, %.0f s left, %lld written      ",
                  (long long)k.pairs, (long long)mine, rate, left, (long long)found);
    sayopen(text);
    if (final) say("");
}

// Pairs of each process, at most, between two gatherings of the lines:
// rounds are taken in batches (one round of 16 rows of a 2000-individual
// sample is under a second of work), so that a wait for the slower
// process comes once a batch, not once a round.
constexpr int64_t kinbatchpairs = int64_t(1) << 18;

// The lines of rounds first..first + count - 1 of every process, written by
// the master in pair order: round by round, each in rank order.
void kinbatch(kinwork& k, emwork& w, int32_t first, int32_t count, kinclock& clock, int64_t mine, int64_t& found)
{
    const int32_t n = vars.numindiv, p = vars.numthreads;
    const int32_t blocks = (n - 1 + kinrows - 1) / kinrows;
    std::vector<int64_t> size(std::size_t(count) * std::size_t(p), 0), sizes(size.size(), 0);
    std::string text;
    for (int32_t q = 0; q < count; ++q) {
        const int32_t b = (first + q) * p + vars.threadid;
        if (b >= blocks) break;
        const std::size_t before = text.size();
        text += kinblock(k, w, b * kinrows + 1, std::min(n - 1, (b + 1) * kinrows));
        size[std::size_t(q) * std::size_t(p) + std::size_t(vars.threadid)] = int64_t(text.size() - before);
        kinprogress(clock, k, mine, found, false);
    }
    parsumlong(size.data(), sizes.data(), size.size());
    std::string all;
    pargather(text, all);
    if (!vars.thd0q) return;
    // all holds each rank's blocks in round order, rank after rank
    std::vector<std::size_t> at(std::size_t(p), 0);
    std::size_t start = 0;
    for (int32_t r = 0; r < p; ++r) {
        at[std::size_t(r)] = start;
        for (int32_t q = 0; q < count; ++q) start += std::size_t(sizes[std::size_t(q) * std::size_t(p) + std::size_t(r)]);
    }
    std::string ordered;
    ordered.reserve(all.size());
    for (int32_t q = 0; q < count; ++q)
        for (int32_t r = 0; r < p; ++r) {
            const std::size_t length = std::size_t(sizes[std::size_t(q) * std::size_t(p) + std::size_t(r)]);
            ordered.append(all, at[std::size_t(r)], length);
            at[std::size_t(r)] += length;
        }
    pairstreamwrite(ordered);
    found += int64_t(std::count(ordered.begin(), ordered.end(), '\n'));
}

}  // namespace

int64_t kindyads(emwork& w)
{
    kinwork k;
    kinsetup(k, w);
    pairstreamopen();
    const int32_t n = vars.numindiv, p = vars.numthreads;
    const int32_t blocks = (n - 1 + kinrows - 1) / kinrows;
    // this process's pairs, for the time left
    int64_t mine = 0;
    for (int32_t b = vars.threadid; b < blocks; b += p)
        for (int32_t i = b * kinrows + 1; i <= std::min(n - 1, (b + 1) * kinrows); ++i) mine += n - i;
    kinclock clock;
    clock.start = clock.last = std::chrono::steady_clock::now();
    int64_t found = 0;
    const int32_t rounds = (blocks + p - 1) / p;
    const int32_t batch = int32_t(std::clamp<int64_t>(kinbatchpairs / (int64_t(kinrows) * n), 1, rounds));
    for (int32_t round = 0; round < rounds; round += batch)
        kinbatch(k, w, round, std::min(batch, rounds - round), clock, mine, found);
    kinprogress(clock, k, mine, found, true);
    pairstreamclose();
    w.entries.reltable = nullptr;  // the table goes with k

    // the counts of all processes: fitted and written pairs, not converged,
    // the most iterations (each process's in its own place)
    std::vector<int64_t> send(std::size_t(3 + p), 0), sum(std::size_t(3 + p), 0);
    send[0] = k.fitted;
    send[1] = k.written;
    send[2] = k.notconv;
    send[std::size_t(3 + vars.threadid)] = k.most;
    parsumlong(send.data(), sum.data(), send.size());
    vars.mlenotconv = int32_t(std::min<int64_t>(sum[2], 2147483647));
    vars.mlemost = 0;
    for (int32_t r = 0; r < p; ++r) vars.mlemost = std::max(vars.mlemost, int32_t(sum[std::size_t(3 + r)]));
    vars.kinfitted = sum[0];
    vars.kinwritten = sum[1];
    say("  Pairs written " + std::to_string(sum[1]) + " of " + std::to_string(int64_t(n) * (n - 1) / 2) +
        ", fitted " + std::to_string(sum[0]) + "; most iterations " + itod(vars.mlemost) + ", not converged " +
        itod(vars.mlenotconv));
    if (k.measure) errorsseen(k.errors);
    return k.pairs;
}
