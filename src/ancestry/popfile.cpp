// Population labels (POP: file) and the allele frequencies of every
// population.  The file has one line per individual: its identifier (as
// in the genotype file; the first 20 characters count, as there) and its
// population's label, separated by blanks or tabs; quotes as in the
// parameter file; blank lines are passed over.
#include <algorithm>
#include <cmath>
#include <map>

#include "ancestry/ancestry.hpp"
#include "ancestry/ancestrywork.hpp"
#include "estimation/common/common.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/freeform.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "ReadPopFile";

[[noreturn]] void popstop(const ffreader& r, const std::string& why)
{
    stoponerror("Population file " + vars.popfile + " line " + itod(int32_t(r.lineno)) + ": " + why + "!",
                routine);
}

std::string first20(const std::string& id)
{
    std::string t = id.substr(0, 20);
    t.resize(20, ' ');
    return t;
}

}  // namespace

void readpopfile()
{
    const int32_t n = vars.numindiv;
    ffreader r;
    if (!ffopen(r, vars.popfile))
        stoponerror("Population file " + vars.popfile + " cannot be read (" + fferrtext(r) + ")!", routine);
    // individuals by identifier; an identifier that stands twice in the
    // genotype file cannot be labelled
    std::map<std::string, int32_t> byid;
    for (int32_t i = 1; i <= n; ++i) {
        const std::string& id = vars.individ[std::size_t(i)];
        if (!byid.emplace(id, i).second) byid[id] = -1;
    }
    std::map<std::string, int32_t> bylabel;
    allocarray(vars.popof, std::size_t(n) + 1, 0, vars.memerr, routine);
    vars.popname.assign(1, std::string());
    std::vector<long> lineof(std::size_t(n) + 1, 0);
    while (ffnextline(r)) {
        std::string id, label, more;
        const ffstatus a = ffvalueinline(r, id);
        if (a == ffstatus::endofline) continue;  // a blank line
        const ffstatus b = a == ffstatus::ok ? ffvalueinline(r, label) : ffstatus::bad;
        if (a == ffstatus::bad || b == ffstatus::bad) popstop(r, "a quote is not closed");
        if (b == ffstatus::endofline) popstop(r, "expected an identifier and a population label");
        if (ffvalueinline(r, more) != ffstatus::endofline)
            popstop(r, "more than an identifier and a population label");
        const auto it = byid.find(first20(id));
        if (it == byid.end()) popstop(r, "individual " + id + " is not in the genotype file");
        if (it->second < 0) popstop(r, "identifier " + id + " stands for several individuals of the genotype file");
        const int32_t i = it->second;
        if (lineof[std::size_t(i)] != 0)
            popstop(r, "individual " + id + " is labelled already on line " + itod(int32_t(lineof[std::size_t(i)])));
        lineof[std::size_t(i)] = r.lineno;
        auto [at, fresh] = bylabel.emplace(label, int32_t(vars.popname.size()));
        if (fresh) vars.popname.push_back(label);
        vars.popof[std::size_t(i)] = at->second;
    }
    if (fferror(r))
        stoponerror("Population file " + vars.popfile + " cannot be read (" + fferrtext(r) + ")!", routine);
    for (int32_t i = 1; i <= n; ++i)
        if (vars.popof[std::size_t(i)] == 0)
            stoponerror("Population file " + vars.popfile + " gives no population for individual " +
                            trimright(vars.individ[std::size_t(i)]) + " (line " + itod(int32_t(r.lineno)) +
                            " is its last)!",
                        routine);
    vars.numpops = int32_t(vars.popname.size()) - 1;
}

namespace {

// The genes counted: count, the allele counts of every population's
// counted members, popfreqat(a, p); counted, those of all counted
// individuals, per allele (on SNP data the unrelated set, else everyone).
struct popcounts {
    std::vector<int32_t> count;
    std::vector<int64_t> counted;
};

// Locus l's alleles lo..hi, the gene copies typed there in the counted
// members of population p (n), in all counted individuals (set) and in the
// whole sample (all).
struct locustotals {
    int32_t lo, hi;
    int64_t n, set, all;
};

locustotals totalsat(int32_t p, int32_t l, const popcounts& c)
{
    locustotals t{vars.locusloc[std::size_t(l - 1)] + 1, vars.locusloc[std::size_t(l)], 0, 0, 0};
    for (int32_t x = t.lo; x <= t.hi; ++x) {
        t.n += c.count[popfreqat(x, p)];
        t.set += c.counted[std::size_t(x)];
        t.all += vars.numa[std::size_t(x)];
    }
    return t;
}

// The frequency of allele x in the whole sample, of all gene copies.
double wholefreq(int32_t x, int64_t all)
{
    return double(vars.numa[std::size_t(x)]) / double(std::max<int64_t>(all, 1));
}

// The frequency of allele x over all counted individuals.
double setfreq(const popcounts& c, int32_t x, int64_t set)
{
    return double(c.counted[std::size_t(x)]) / double(std::max<int64_t>(set, 1));
}

// A population's frequencies carry the noise of its counts, and a small
// population's differ from the others' more than its ancestry does: two
// members of different populations then share more alleles than their
// frequencies let them, which looks like identity by descent.  The
// deviations of population p from all counted individuals are therefore
// scaled so that their spread is the true one: popshrink(p) =
// sqrt(1 - N / S), S the sum of the squared deviations over every allele
// and locus, N the sum of their noise, f (1 - f) (1/n - 1/n_set) for an
// allele of frequency f at a locus where the members have n gene copies
// counted and all counted individuals n_set (each unique locus weighted by
// the loci it stands for).  The scaled deviations are added to the whole
// sample's frequencies.
void popscale(int32_t p, const popcounts& c)
{
    double signal = 0.0, noise = 0.0;
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const locustotals t = totalsat(p, l, c);
        if (t.n == 0) continue;
        const double w = double(vars.markercnt[std::size_t(l)]);
        for (int32_t x = t.lo; x <= t.hi; ++x) {
            const double f = vars.popfreq[popfreqat(x, p)], d = f - setfreq(c, x, t.set);
            signal += w * d * d;
            noise += w * f * (1.0 - f) * (1.0 / double(t.n) - 1.0 / double(t.set));
        }
    }
    const double s = signal > noise ? std::sqrt(1.0 - noise / signal) : 0.0;
    vars.popshrink[std::size_t(p)] = s;
    const bool self = !vars.popselfw.empty();
    for (int32_t l = 1; l <= vars.numloci2; ++l) {
        const locustotals t = totalsat(p, l, c);
        for (int32_t x = t.lo; x <= t.hi; ++x) {
            double& f = vars.popfreq[popfreqat(x, p)];
            const double sf = setfreq(c, x, t.set);
            if (self && x == t.lo && t.n > 0) {
                // without a counted member's two copies (y of them allele 1,
                // times 2) its population's count moves by 2 (y - f) / (n -
                // 2 + popprior) and all counted by 2 (y - sf) / (set - 2)
                const double wp = 2.0 / (double(t.n) - 2.0 + popprior);
                const double ws = t.set > 2 ? 2.0 / (double(t.set) - 2.0) : 0.0;
                vars.popselfw[popselfat(l, p)] = s * (wp - ws);
                vars.popselfv[popselfat(l, p)] = s * (wp * f - ws * sf);
            }
            f = wholefreq(x, t.all) + s * (f - sf);
        }
    }
}

}  // namespace

void popfrequencies()
{
    const int32_t k = vars.numpops, a = vars.numallallele;
    popcounts c;
    allocarray(c.count, std::size_t(a) * std::size_t(k), 0, vars.memerr, "EM_Delta");
    std::vector<int8_t> buf;
    gtypebuffer(buf, "EM_Delta");
    // On SNP data the counted are the unrelated set (as for the components'
    // regression), so that no relative's genes enter another's
    // frequencies: with them, a pair of relatives in a population of a few
    // dozen pulls its frequencies towards their shared genes and looks
    // less related (full sibs' kinship -0.0064 on 200 x 20000 SNPs, -0.0032
    // over the set).
    const bool setonly = vars.dataform == 1 || vars.dataform == 2;
    if (setonly) findunrelated();
    for (int32_t i = vars.indivl1; i <= vars.indivl2; ++i) {
        if (setonly && !vars.unrelset[std::size_t(i)]) continue;
        const int8_t* g = fetchgtype(i, buf);
        const std::size_t base = std::size_t(a) * std::size_t(vars.popof[std::size_t(i)] - 1);
        for (int32_t l = 1; l <= vars.numloci2; ++l, g += 2) {
            if (g[0] == 0) continue;
            ++c.count[base + std::size_t(vars.locusloc[std::size_t(l - 1)] + g[0] - 1)];
            ++c.count[base + std::size_t(vars.locusloc[std::size_t(l - 1)] + g[1] - 1)];
        }
    }
    if (vars.numthreads > 1) {
        std::vector<int32_t> send(c.count);
        parsumint(send.data(), c.count.data(), c.count.size());
    }
    allocarray(c.counted, std::size_t(a) + 1, int64_t(0), vars.memerr, "EM_Delta");
    for (int32_t x = 1; x <= a; ++x)
        for (int32_t p = 1; p <= k; ++p) c.counted[std::size_t(x)] += c.count[popfreqat(x, p)];
    // A population's frequency leans towards that of all counted by
    // popprior gene copies (at a locus none of its counted members is typed
    // at it is theirs).
    allocarray(vars.popfreq, std::size_t(a) * std::size_t(k), 0.0, vars.memerr, "EM_Delta");
    for (int32_t p = 1; p <= k; ++p)
        for (int32_t l = 1; l <= vars.numloci2; ++l) {
            const locustotals t = totalsat(p, l, c);
            for (int32_t x = t.lo; x <= t.hi; ++x)
                vars.popfreq[popfreqat(x, p)] =
                    (double(c.count[popfreqat(x, p)]) + popprior * setfreq(c, x, t.set)) / (double(t.n) + popprior);
        }
    allocarray(vars.popshrink, std::size_t(k) + 1, 1.0, vars.memerr, "EM_Delta");
    if (setonly) {
        const std::size_t size = std::size_t(vars.numloci2) * std::size_t(k);
        allocarray(vars.popselfw, size, 0.0, vars.memerr, "EM_Delta");
        allocarray(vars.popselfv, size, 0.0, vars.memerr, "EM_Delta");
    }
    for (int32_t p = 1; p <= k; ++p) popscale(p, c);
}
