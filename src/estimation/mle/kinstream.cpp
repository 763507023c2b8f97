// KIN: the maximum-likelihood Deltas of every pair streamed into the side
// table as they are made, in pair order, with no N x N array anywhere:
// only the pairs whose kinship, as printed with four decimals, is kinmin
// or more are written (KIN:-1 every pair).  A pair whose KING-robust
// kinship (from the bit-planes, four popcounts a word) lies kinmargin or
// more below kinmin cannot reach it and skips its entries and the
// maximiser.
//
// The first individuals (rows) come in batches; each process makes the
// lines of one run of consecutive rows of a batch, in blocks of kinrows
// rows, and the master writes the runs in rank order: the table is the
// same at any process count, whatever the runs' lengths.  With MLE:2 a
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

// The lines of the rows first..last, row after row, added to text.
void kinblock(kinwork& k, emwork& w, int32_t first, int32_t last, std::string& text)
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
    for (const std::string& r : rows) text += r;
}

struct kinclock {
    std::chrono::steady_clock::time_point start, last;
};

// The progress line: pairs of all processes done (at the master's pace
// within a batch) of all pairs.
void kinprogress(kinclock& c, int64_t done, int64_t all, int64_t found, bool final)
{
    if (!vars.thd0q) return;
    const auto now = std::chrono::steady_clock::now();
    if (!final && now - c.last < std::chrono::seconds(1)) return;
    c.last = now;
    const double seconds = std::chrono::duration<double>(now - c.start).count();
    const double rate = seconds > 0.0 ? double(done) / seconds : 0.0;
    const double left = rate > 0.0 ? double(all - done) / rate : 0.0;
    char text[200];
    std::snprintf(text, sizeof text, "\r  Pairs %lld of %lld, %.0f per second, %.0f s left, %lld written      ",
                  (long long)done, (long long)all, rate, left, (long long)found);
    sayopen(text);
    if (final) say("");
}

// Pairs of each process, about, between two gatherings of the lines: the
// first individuals are taken in batches of rows (the first batch an
// eighth of the others or of all pairs, so that the processes' speeds are
// known soon), and a wait for the slower process comes once a batch.
constexpr int64_t kinbatchpairs = int64_t(1) << 18;

// The pairs of rows first..last (row i has n - i).
int64_t rowpairs(int32_t first, int32_t last)
{
    const int64_t n = vars.numindiv, rows = last - first + 1;
    return rows > 0 ? rows * n - (int64_t(first) + last) * rows / 2 : 0;
}

// How the rows of a batch are shared out: one run of consecutive rows a
// process, in rank order, sized by the pairs a second each process has
// made so far (the batches before weighing half as much each time; all
// equal before the first).  A process on a slower core, or whose rows had
// more pairs to fit, then gets fewer rows.  The lines, gathered in rank
// order, come out in pair order whatever the shares: the table is the
// same at any process count.
struct kinshares {
    std::vector<double> pairs, seconds;  // of every process, decayed
    int64_t done = 0;                    // pairs of all processes before this batch
    double writing = 0.0;                // the master's seconds writing the last batch
    std::string text, lines;             // a process's lines, all lines: kept, so
                                         // that every batch reuses their memory
};

// Rows first..last into runs: process r takes rows from[r]..from[r + 1] - 1
// (a row goes to the process within whose share its middle pair lies).
void sharerows(const kinshares& s, int32_t first, int32_t last, std::vector<int32_t>& from)
{
    const int32_t n = vars.numindiv, p = vars.numthreads;
    bool known = true;
    for (int32_t r = 0; r < p; ++r) known = known && s.seconds[std::size_t(r)] > 0.0 && s.pairs[std::size_t(r)] > 0.0;
    std::vector<double> speed(std::size_t(p), 1.0);
    double sum = 0.0;
    for (int32_t r = 0; r < p; ++r) {
        if (known) speed[std::size_t(r)] = s.pairs[std::size_t(r)] / s.seconds[std::size_t(r)];
        sum += speed[std::size_t(r)];
    }
    const int64_t total = rowpairs(first, last);
    from.assign(std::size_t(p) + 1, last + 1);
    from[0] = first;
    double share = 0.0, taken = 0.0;
    int32_t i = first;
    for (int32_t r = 0; r + 1 < p; ++r) {
        share += double(total) * speed[std::size_t(r)] / sum;
        while (i <= last && taken + 0.5 * double(n - i) <= share) taken += double(n - i++);
        from[std::size_t(r) + 1] = i;
    }
}

// The lines of rows first..last of every process, written by the master in
// pair order; the processes' speeds and the pairs done updated.  The
// master's time writing counts as its work, so that it gets fewer rows than
// a process that only fits.
void kinbatch(kinwork& k, emwork& w, int32_t first, int32_t last, kinshares& s, kinclock& clock, int64_t& found)
{
    const int32_t p = vars.numthreads;
    const int64_t all = rowpairs(1, vars.numindiv - 1);
    std::vector<int32_t> from;
    sharerows(s, first, last, from);
    const int64_t batch = rowpairs(first, last);
    const int64_t mine = rowpairs(from[std::size_t(vars.threadid)], from[std::size_t(vars.threadid) + 1] - 1);
    const int64_t before = k.pairs;
    const auto start = std::chrono::steady_clock::now();
    std::string& text = s.text;
    text.clear();
    for (int32_t a = from[std::size_t(vars.threadid)], b = from[std::size_t(vars.threadid) + 1]; a < b; a += kinrows) {
        kinblock(k, w, a, std::min(b - 1, a + kinrows - 1), text);
        const double ahead = mine > 0 ? double(k.pairs - before) / double(mine) * double(batch) : 0.0;
        kinprogress(clock, s.done + int64_t(ahead), all, found, false);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::vector<double> send(2 * std::size_t(p), 0.0), got(2 * std::size_t(p), 0.0);
    send[std::size_t(vars.threadid)] = double(k.pairs - before);
    send[std::size_t(p + vars.threadid)] = seconds + s.writing;
    parsumdouble(send.data(), got.data(), send.size());
    for (int32_t r = 0; r < p; ++r) {
        s.pairs[std::size_t(r)] = 0.5 * s.pairs[std::size_t(r)] + got[std::size_t(r)];
        s.seconds[std::size_t(r)] = 0.5 * s.seconds[std::size_t(r)] + got[std::size_t(p + r)];
    }
    s.done += batch;
    pargather(text, s.lines);
    if (!vars.thd0q) return;
    const auto written = std::chrono::steady_clock::now();
    pairstreamwrite(s.lines);
    found += int64_t(std::count(s.lines.begin(), s.lines.end(), '\n'));
    s.writing = std::chrono::duration<double>(std::chrono::steady_clock::now() - written).count();
}

}  // namespace

int64_t kindyads(emwork& w)
{
    kinwork k;
    kinsetup(k, w);
    pairstreamopen();
    const int32_t n = vars.numindiv, p = vars.numthreads;
    const int64_t all = rowpairs(1, n - 1);
    kinclock clock;
    clock.start = clock.last = std::chrono::steady_clock::now();
    kinshares shares;
    shares.pairs.assign(std::size_t(p), 0.0);
    shares.seconds.assign(std::size_t(p), 0.0);
    int64_t found = 0;
    for (int32_t first = 1; first < n;) {
        const int64_t want = shares.done == 0 ? std::min(kinbatchpairs * p, all) / 8 : kinbatchpairs * p;
        int32_t last = first;
        int64_t pairs = n - first;
        while (last + 1 < n && pairs < want) pairs += n - ++last;
        kinbatch(k, w, first, last, shares, clock, found);
        first = last + 1;
    }
    kinprogress(clock, shares.done, shares.done, found, true);
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
    say("  Pairs written " + std::to_string(sum[1]) + " of " + std::to_string(all) +
        ", fitted " + std::to_string(sum[0]) + "; most iterations " + itod(vars.mlemost) + ", not converged " +
        itod(vars.mlenotconv));
    if (k.measure) errorsseen(k.errors);
    return k.pairs;
}
