// KIN: the maximum-likelihood Deltas of every pair streamed into the side
// table as they are made, in pair order, with no N x N array anywhere:
// only the pairs whose kinship, as printed with four decimals, is kinmin
// or more are written (KIN:-1 every pair).  A pair whose KING-robust
// kinship (from the bit-planes, four popcounts a word) lies kinmargin or
// more below kinmin cannot reach it and skips its entries and the
// maximiser.
//
// The first individuals (rows) go in pieces of kinrows rows (kinscreenrows
// when the threshold lets most pairs skip the maximiser), handed out in
// order as processes ask for them; the master makes pieces too, takes the
// others' lines between its own pairs and writes every piece's lines in
// piece order: the table is the same at any process count, whatever each
// process's speed, and no process waits for another but at the end.  With
// MLE:2 a piece runs over the second individuals outermost, so that each
// one's bit-planes are read once for all its rows (and once for four rows
// at a time by the screen's kernel).
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
    bool candidates = false;  // only the pairs of vars.kincand are fitted
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
    int64_t pairs = 0, fitted = 0, written = 0, notconv = 0, unrelated = 0, unilineal = 0;
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
    // where the threshold lets most pairs skip their entries, each
    // individual's codes serve few pairs: made for those, not kept for all
    if (k.pooled && k.adjusted) adjclasssetup(k.ac, kinscreens());
    if (k.perlocus) adjustedsetup(k.aw);
    if (k.errormerged) errorsetup(k.ec, w.plan);
    k.measure = errorsmeasured();
    if (k.measure) {
        gtypebuffer(k.bi, "EM_Delta");
        gtypebuffer(k.bj, "EM_Delta");
    }
    if (!k.pooled && !k.perlocus && !k.errormerged) entryrelations(w, k.relations);
    k.candidates = k.adjusted && !vars.kincandfirst.empty();
    if (vars.kinmin > 0.0 && !(k.pooled && !k.adjusted) && !k.candidates) kingplanes(k.king);
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

// The planes whose KING-robust kinship screens this run's pairs, or null
// when none does (no threshold; MLE:2 at the sample frequencies in a sample
// with structure, screened on its class counts instead).
const mleclassing* screenplanes(const kinwork& k)
{
    if (vars.kinmin <= 0.0 || k.candidates) return nullptr;
    if (k.pooled && !k.adjusted) return vars.structure ? nullptr : &k.classes;
    return k.adjusted || !vars.structure ? &k.king : nullptr;
}

// Pair (i, j): its line into s when it is written; king its KING-robust
// kinship from screenplanes(k) when that is not null.
void kinpair(kinwork& k, emwork& w, int32_t i, int32_t j, std::string& s, double king)
{
    // MLE:2 at the sample frequencies screens on the KING-robust kinship
    // from the planes; in a sample with structure also on the moment
    // kinship of the class counts (structure raises the unadjusted
    // likelihood's kinship as it raises the moment's, not the KING-robust
    // one's)
    const double least = kinleast();
    const bool screen = vars.kinmin > 0.0;
    int32_t iis[9];
    if (k.pooled && !k.adjusted) {
        if (screen && !vars.structure && king < least) {
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
        if (screen && (k.adjusted || !vars.structure) && king < least) {
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
    int64_t unrelated = 0, unilineal = 0;
    fitdyad(*k.te, i, j, fit, unrelated, unilineal);
    if (refitsrelated(fit, i, j)) {
        k.aw.related = k.ac.related = true;
        kinentries(k, w, i, j, iis);
        k.aw.related = k.ac.related = false;
        fit = mlefit{};
        unrelated = unilineal = 0;
        fitdyad(*k.te, i, j, fit, unrelated, unilineal);
    }
    k.unrelated += unrelated;
    k.unilineal += unilineal;
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

struct kinclock {
    std::chrono::steady_clock::time_point start, last;
};

// The progress line: pairs of all processes done of all pairs.
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

// The pairs of rows first..last (row i has n - i).
int64_t rowpairs(int32_t first, int32_t last)
{
    const int64_t n = vars.numindiv, rows = last - first + 1;
    return rows > 0 ? rows * n - (int64_t(first) + last) * rows / 2 : 0;
}

// The rows of a piece, and the rows of piece q.
int32_t piecerows() { return kinscreens() ? kinscreenrows : kinrows; }
int32_t piecefirst(int64_t q) { return int32_t(q * piecerows() + 1); }
int32_t piecelast(int64_t q) { return int32_t(std::min<int64_t>(vars.numindiv - 1, (q + 1) * piecerows())); }

// The master's account of the pieces: which one each worker makes, the
// lines of pieces done before their turn to be written (their buffers
// passed round by swapping, so that memory is reused), the pairs done.  No
// piece is handed out more than kinahead pieces a process past the first
// not yet written: a slow process then holds the others up instead of
// making the master hold ever more lines.
constexpr int64_t kinahead = 4;
struct kinhand {
    int64_t pieces = 0, next = 0, written = 0;  // pieces in all, next handed out, written
    std::vector<int64_t> held;                  // per process: the piece it makes
    int32_t finished = 0;                       // workers told there is no more
    std::vector<int32_t> waiting;               // workers whose next piece is too far ahead
    std::vector<int64_t> early;                 // per slot: its piece (-1 free)
    std::vector<std::string> earlytext;         // per slot: its lines
    std::string in;                             // a worker's lines as they come
    int64_t done = 0, all = 0, found = 0;       // pairs of the pieces done, of all; lines written
    int64_t own = 0;                            // k.pairs when the master's own piece began
    kinclock clock;
    std::chrono::steady_clock::time_point served;  // when the master last looked for lines
};

// Whether the next piece may be handed out (or there is none left).
bool mayhand(const kinhand& h) { return h.next >= h.pieces || h.next - h.written < kinahead * vars.numthreads; }

// Worker r's next piece (-1 when none is left) sent to it, or r set to wait.
void handout(kinhand& h, int32_t r)
{
    if (!mayhand(h)) {
        h.waiting.push_back(r);
        return;
    }
    const int64_t q = h.next < h.pieces ? h.next++ : -1;
    h.held[std::size_t(r)] = q;
    h.finished += q < 0;
    parsendwork(r, q);
}

// The workers set to wait given their pieces, as far as they may be.
void handwaiting(kinhand& h)
{
    while (!h.waiting.empty() && mayhand(h)) {
        const int32_t r = h.waiting.back();
        h.waiting.pop_back();
        handout(h, r);
    }
}

// The lines of piece q in text (emptied, its buffer kept or swapped for a
// free one): written when it is q's turn, with the held pieces that follow.
void piecedone(kinhand& h, int64_t q, std::string& text)
{
    h.done += rowpairs(piecefirst(q), piecelast(q));
    if (q != h.written) {
        std::size_t slot = 0;
        while (slot < h.early.size() && h.early[slot] >= 0) ++slot;
        if (slot == h.early.size()) {
            h.early.push_back(-1);
            h.earlytext.emplace_back();
        }
        h.early[slot] = q;
        std::swap(h.earlytext[slot], text);
        text.clear();
        return;
    }
    for (std::string* t = &text; t != nullptr;) {
        pairstreamwrite(*t);
        h.found += int64_t(std::count(t->begin(), t->end(), '\n'));
        t->clear();
        ++h.written;
        t = nullptr;
        for (std::size_t slot = 0; slot < h.early.size(); ++slot)
            if (h.early[slot] == h.written) {
                h.early[slot] = -1;
                t = &h.earlytext[slot];
            }
    }
    handwaiting(h);
}

// The master between its own pairs: the lines the workers have sent taken
// (each worker given its next piece), and the progress line.
void kinserve(kinhand& h, const kinwork& k)
{
    handwaiting(h);
    for (int32_t r; vars.numthreads > 1 && (r = parrecvtext(h.in, false)) >= 0;) {
        piecedone(h, h.held[std::size_t(r)], h.in);
        handout(h, r);
    }
    kinprogress(h.clock, h.done + (k.pairs - h.own), h.all, h.found, false);
    h.served = std::chrono::steady_clock::now();
}

// The master within its own piece: it serves the others at least every
// fifth of a millisecond, so that a worker waits that long at most for its
// next piece (a look costs a fraction of a microsecond).
void kinlook(kinhand* h, const kinwork& k)
{
    if (h != nullptr && std::chrono::steady_clock::now() - h->served > std::chrono::microseconds(200)) kinserve(*h, k);
}

// The pairs of rows first..last that the screen of the unrelated set kept
// (kincand), in the order of kinblock's loops; the others count as
// screened out.
void kincandidates(kinwork& k, emwork& w, int32_t first, int32_t last, std::vector<std::string>& rows, kinhand* h)
{
    std::vector<std::pair<int32_t, int32_t>> pairs;  // (j, i) pooled, (i, j) else
    for (int32_t i = first; i <= last; ++i)
        for (int64_t q = vars.kincandfirst[std::size_t(i)]; q < vars.kincandfirst[std::size_t(i) + 1]; ++q) {
            const int32_t j = vars.kincand[std::size_t(q)];
            pairs.emplace_back(k.pooled ? j : i, k.pooled ? i : j);
        }
    if (k.pooled) std::sort(pairs.begin(), pairs.end());
    int32_t row = 0;
    for (const auto& [a, b] : pairs) {
        const int32_t i = k.pooled ? b : a, j = k.pooled ? a : b;
        if (!k.pooled && i != row) kinrow(k, w, row = i);
        kinpair(k, w, i, j, rows[std::size_t(i - first)], vars.kinmin);
        kinlook(h, k);
    }
    k.pairs += rowpairs(first, last) - int64_t(pairs.size());
}

// The lines of the rows first..last, row after row, added to text; the
// master (h given) serves the others between its pairs.
void kinblock(kinwork& k, emwork& w, int32_t first, int32_t last, std::string& text, kinhand* h)
{
    const int32_t n = vars.numindiv;
    std::vector<std::string> rows(std::size_t(last - first + 1));
    const mleclassing* planes = screenplanes(k);
    if (k.candidates) {
        kincandidates(k, w, first, last, rows, h);
    } else if (k.pooled) {
        // the KING-robust kinships of a second individual's rows at once
        std::vector<double> king(rows.size(), 0.0);
        for (int32_t j = first + 1; j <= n; ++j) {
            const int32_t upto = std::min(last, j - 1);
            if (planes) classkingrows(*planes, first, upto, j, king.data());
            for (int32_t i = first; i <= upto; ++i)
                kinpair(k, w, i, j, rows[std::size_t(i - first)], king[std::size_t(i - first)]);
            kinlook(h, k);
        }
    } else {
        for (int32_t i = first; i <= last; ++i) {
            kinrow(k, w, i);
            for (int32_t j = i + 1; j <= n; ++j) {
                kinpair(k, w, i, j, rows[std::size_t(i - first)], planes ? classking(*planes, i, j) : 0.0);
                kinlook(h, k);
            }
        }
    }
    for (const std::string& r : rows) text += r;
}

// The master: pieces handed out, its own made, every piece's lines written
// in order.
void kinmaster(kinwork& k, emwork& w, kinhand& h)
{
    const int32_t p = vars.numthreads;
    h.held.assign(std::size_t(p), -1);
    for (int32_t r = 1; r < p; ++r) handout(h, r);
    std::string text;
    for (;;) {
        kinserve(h, k);
        if (h.next < h.pieces && mayhand(h)) {
            const int64_t q = h.next++;
            h.own = k.pairs;
            kinblock(k, w, piecefirst(q), piecelast(q), text, &h);
            h.own = k.pairs;
            piecedone(h, q, text);
        } else if (h.finished < p - 1) {
            const int32_t r = parrecvtext(h.in, true);
            piecedone(h, h.held[std::size_t(r)], h.in);
            handout(h, r);
        } else {
            break;
        }
    }
}

// A worker: the pieces it is given, each one's lines sent back.
void kinworker(kinwork& k, emwork& w)
{
    std::string text;
    for (int64_t q; (q = parrecvwork()) >= 0;) {
        text.clear();
        kinblock(k, w, piecefirst(q), piecelast(q), text, nullptr);
        parsendtext(text);
    }
}

}  // namespace

int64_t kindyads(emwork& w)
{
    kinwork k;
    kinsetup(k, w);
    pairstreamopen();
    const int32_t n = vars.numindiv, p = vars.numthreads;
    const int64_t all = rowpairs(1, n - 1);
    kinhand h;
    h.clock.start = h.clock.last = std::chrono::steady_clock::now();
    h.pieces = n > 1 ? (int64_t(n) - 2) / piecerows() + 1 : 0;
    h.all = all;
    if (vars.thd0q) kinmaster(k, w, h);
    else kinworker(k, w);
    kinprogress(h.clock, all, all, h.found, true);
    pairstreamclose();
    w.entries.reltable = nullptr;  // the table goes with k

    // the counts of all processes: fitted and written pairs, not converged,
    // not related beyond chance, without Delta7 beyond chance, the most
    // iterations (each process's in its own place)
    std::vector<int64_t> send(std::size_t(5 + p), 0), sum(std::size_t(5 + p), 0);
    send[0] = k.fitted;
    send[1] = k.written;
    send[2] = k.notconv;
    send[3] = k.unrelated;
    send[4] = k.unilineal;
    send[std::size_t(5 + vars.threadid)] = k.most;
    parsumlong(send.data(), sum.data(), send.size());
    vars.mlenotconv = int32_t(std::min<int64_t>(sum[2], 2147483647));
    vars.mlemost = 0;
    for (int32_t r = 0; r < p; ++r) vars.mlemost = std::max(vars.mlemost, int32_t(sum[std::size_t(5 + r)]));
    vars.kinfitted = sum[0];
    vars.kinwritten = sum[1];
    vars.mleunrelated = sum[3];
    vars.mleunilineal = sum[4];
    vars.mlefitted = sum[0];
    say("  Pairs written " + std::to_string(sum[1]) + " of " + std::to_string(all) +
        ", fitted " + std::to_string(sum[0]) + "; most iterations " + itod(vars.mlemost) + ", not converged " +
        itod(vars.mlenotconv));
    say("  " + unrelatedtext());
    say("  " + unilinealtext());
    if (k.measure) errorsseen(k.errors);
    return k.pairs;
}
