// The maximum-likelihood side table beside the results file (MLE not 0):
// a line naming the run, then tab-separated, a header line and one line
// per dyad i < j in dyad order, so that pandas, R or a spreadsheet read it
// once told to pass over the first line.  The run's identifier stands in
// the first line and in the results file's run record, so that a reader
// can tell that the two belong together.
#include <charconv>
#include <cstdio>
#include <random>
#include <string>

#include "estimation/estimation.hpp"
#include "output/lookup.hpp"
#include "output/safefile.hpp"
#include "output/tables.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

std::string newrunid()
{
    std::random_device device;
    const uint64_t x = (uint64_t(device()) << 32) ^ uint64_t(device());
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", (unsigned long long)x);
    return text;
}

std::string runline() { return "# kinex run " + vars.runid + "; MLE:" + std::to_string(vars.mle); }

std::string freqtext()
{
    const std::string errors = vars.generr > 0.0 ? ", genotyping error rate " + gtod(vars.generr) : "";
    return owntext() + errors;
}

std::string owntext()
{
    if (!vars.ownfreq) return "the sample allele frequencies";
    if (vars.pcs > 0)
        return "each individual's own allele frequencies (components, PCS:" + std::to_string(vars.pcs) + ", " +
               std::to_string(vars.pcsused) + " used)";
    return "each individual's own allele frequencies (populations, POP:" + vars.popfile + ")";
}

namespace {

// "\t%.4f": to_chars with a precision writes what printf writes, without
// the cost of its general path (three of these a line of the table)
void putreal(std::string& s, double v)
{
    char text[400];  // the longest double in fixed notation, four decimals
    text[0] = '\t';
    const std::to_chars_result r = std::to_chars(text + 1, text + sizeof text, v, std::chars_format::fixed, 4);
    s.append(text, std::size_t(r.ptr - text));
}

}  // namespace

void writemletable()
{
    textout out;
    safeopen(out, vars.sideslot[0], vars.sidefile[0], false, "Output");
    std::string s = runline() + "; Deltas, likelihood and call at " + freqtext() +
                    (vars.updatep == 1 ? " (the results file holds the joint estimate of UpdateP 1)" : "") +
                    "; dyads not converged " + std::to_string(vars.mlenotconv) + "\n";
    s += "ID1\tID2\tNLOCI\tLNL\tLRT\tCALL\tGAP\tITER\tCONV\n";
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i < n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            const int64_t k = dyadnum(i, j, n);
            const std::size_t x = std::size_t(k);
            int64_t loci = 0;
            for (int m = 1; m <= 9; ++m) loci += vars.iisdyad[iisat(m, k)];
            s += trimright(vars.individ[std::size_t(i)]) + "\t" + trimright(vars.individ[std::size_t(j)]) + "\t" +
                 std::to_string(loci);
            const int32_t call = vars.mlecall[x];
            if (loci == 0 || call < 1 || call > nrelations) {
                s += "\tNA\tNA\tNA\tNA\tNA\tNA\n";
            } else {
                const int32_t it = vars.mleiter[x];
                putreal(s, vars.mlelnl[x]);
                putreal(s, vars.mlelrt[x]);
                s += std::string("\t") + relations[call].name;
                putreal(s, vars.mlegap[x]);
                s += "\t" + std::to_string(it < 0 ? -it : it) + (it < 0 ? "\t0\n" : "\t1\n");
            }
            if (s.size() > (std::size_t(1) << 20)) {
                textwrite(out, s);
                s.clear();
            }
        }
    textwrite(out, s);
    textclose(out);
}

namespace {

textout kinstream;
lookup kinlook;  // the number texts of the IBD table, made at the stream's start

// v as the IBD table rounds and prints it, after a tab: Deltas in single
// precision (putdelta), the kinship in double (putdec4).
void puttable(std::string& s, float v)
{
    const std::size_t at = s.size();
    putdelta(s, kinlook, v);
    s[at] = '\t';
}

void puttable(std::string& s, double v)
{
    const std::size_t at = s.size();
    putdec4(s, kinlook, v);
    s[at] = '\t';
}

}  // namespace

void pairstreamopen()
{
    makedecimals(kinlook);
    if (!vars.thd0q) return;
    safeopen(kinstream, vars.sideslot[0], vars.sidefile[0], false, "Output");
    const std::string which = vars.kinmin < 0.0 ? "every pair" : "the pairs of kinship " + gtod(vars.kinmin) + " or more";
    textwrite(kinstream, runline() + "; KIN:" + gtod(vars.kinmin) + ", " + which + "; Deltas, likelihood and call at " +
                             freqtext() + "\nID1\tID2\tNLOCI\tKINSHIP\tD1\tD2\tD3\tD4\tD5\tD6\tD7\tD8\tD9\tLNL\tLRT\tCALL\tGAP\tITER\tCONV\n");
}

void pairstreamwrite(const std::string& text)
{
    if (vars.thd0q && !text.empty()) textwrite(kinstream, text);
}

void pairstreamclose()
{
    if (vars.thd0q) textclose(kinstream);
}

void kinline(std::string& s, int32_t i, int32_t j, int64_t loci, const float* d, double lnl, double lrt, int call,
             double gap, int32_t iter, bool conv)
{
    s += trimright(vars.individ[std::size_t(i)]) + "\t" + trimright(vars.individ[std::size_t(j)]) + "\t" +
         std::to_string(loci);
    if (loci == 0) {
        s += "\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\n";
        return;
    }
    puttable(s, pairkinship(d));
    for (int k = 0; k < 9; ++k) puttable(s, d[k]);
    putreal(s, lnl);
    putreal(s, lrt);
    s += std::string("\t") + relations[call].name;
    putreal(s, gap);
    s += "\t" + std::to_string(iter) + (conv ? "\t1\n" : "\t0\n");
}
