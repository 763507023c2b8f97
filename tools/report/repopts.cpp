#include "repopts.hpp"
#include <charconv>
#include <cmath>
#include <map>
#include "output/output.hpp"
#include "repstate.hpp"

namespace {

double realopt(const std::string& name, const std::string& v)
{
    double x = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (ec != std::errc() || p != v.data() + v.size() || !std::isfinite(x))
        repstop("--" + name + " needs a number such as 0.0442, not '" + v + "'");
    return x;
}

// The results file's name without .out.
std::string stem(const std::string& f)
{
    if (f.size() > 4 && f.compare(f.size() - 4, 4, ".out") == 0)
        return f.substr(0, f.size() - 4);
    return f;
}

// Stops at the second use of an option: the report writes files, so it
// does not guess which value was meant.
void once(std::map<std::string, std::string>& seen, const std::string& name,
          const std::string& given)
{
    auto [at, fresh] = seen.emplace(name, given);
    if (!fresh)
        repstop("repeated option: " + given + " after " + at->second +
                "; give each option once (see kinex-report --help)");
}

} // namespace

void readopts(int argc, const char* const* argv)
{
    std::map<std::string, std::string> seen;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            rep.help = true;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            if (!rep.infile.empty())
                repstop("one results file at a time: '" + a + "' (see kinex-report --help)");
            if (a.empty())
                repstop("an empty argument is no results file (see kinex-report --help)");
            rep.infile = a;
            continue;
        }
        std::string name = a.substr(2), v;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            v = name.substr(eq + 1);
            name.resize(eq);
        } else {
            if (i + 1 >= argc)
                repstop("--" + name + " needs a value (see kinex-report --help)");
            v = argv[++i];
            a += " " + v;
        }
        once(seen, name, "'" + a + "'");
        if (v.empty())
            repstop("--" + name + " needs a non-empty value");
        if (name == "out")
            rep.out = v;
        else if (name == "pairs")
            rep.pairsname = v;
        else if (name == "indiv")
            rep.indivname = v;
        else if (name == "svg")
            rep.svgname = v;
        else if (name == "kinship")
            rep.kinname = v;
        else if (name == "related")
            rep.relname = v;
        else if (name == "mle") {
            rep.mlename = v;
            rep.mlegiven = true;
        } else if (name == "inb") {
            rep.inbname = v;
            rep.inbgiven = true;
        } else if (name == "pcs") {
            rep.pcsname = v;
            rep.pcsgiven = true;
        } else if (name == "pcs-svg")
            rep.pcssvgname = v;
        else if (name == "pop") {
            rep.popname = v;
            rep.haspop = true;
        } else if (name == "ids") {
            rep.idsname = v;
            rep.idsgiven = true;
        } else if (name == "min-kinship") {
            rep.minkin = realopt(name, v);
            rep.minkinset = true;
        } else if (name == "related-kinship") {
            rep.relkin = realopt(name, v);
            rep.relkinset = true;
        } else if (name == "max-points") {
            long long x = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
            if (ec != std::errc() || p != v.data() + v.size() || x < 0)
                repstop("--max-points needs a whole number of 0 or more, not '" + v + "'");
            rep.maxpoints = x;
        } else
            repstop("unknown option --" + name + " (see kinex-report --help)");
    }
    if (rep.help)
        return;
    if (rep.infile.empty())
        repstop("name a KINEX results file (see kinex-report --help)");
    if (rep.out.empty())
        rep.out = stem(rep.infile);
    if (rep.pairsname.empty())
        rep.pairsname = rep.out + ".pairs.tsv";
    if (rep.indivname.empty())
        rep.indivname = rep.out + ".indiv.tsv";
    if (rep.svgname.empty())
        rep.svgname = rep.out + ".svg";
    if (rep.kinname.empty())
        rep.kinname = rep.out + ".kinship.tsv";
    if (rep.relname.empty())
        rep.relname = rep.out + ".related.tsv";
    if (rep.pcssvgname.empty())
        rep.pcssvgname = rep.out + ".pcs.svg";
    // the side tables of kinex, beside the results file
    if (rep.mlename.empty())
        rep.mlename = rep.infile + sidesuffix[0];
    if (rep.inbname.empty())
        rep.inbname = rep.infile + sidesuffix[1];
    if (rep.pcsname.empty())
        rep.pcsname = rep.infile + sidesuffix[2];
    if (rep.idsname.empty())
        rep.idsname = stem(rep.infile) + ".ids.tsv";
}

std::string helptext()
{
    return "Usage: kinex-report RESULTS [options]\n"
           "\n"
           "Reads a KINEX results file and writes (P = RESULTS without .out):\n"
           "  P.pairs.tsv    one line per pair of individuals, in the order of the file:\n"
           "                 id1 id2 d1..d9 r nIIS1..nIIS9 (tab-separated), from the IBD\n"
           "                 table's line with id1 before id2 in the sample\n"
           "  P.kinship.tsv  the same pairs as PLINK and KING users know them:\n"
           "                 ID1 ID2 NSNP KINSHIP D1..D9 DEGREE, where NSNP is the number\n"
           "                 of loci both individuals are typed at and DEGREE the degree by\n"
           "                 KING's kinship cut-offs (duplicate above 0.354, first-degree\n"
           "                 from 0.177, second-degree from 0.0884, third-degree from\n"
           "                 0.0442, unrelated below)\n"
           "  P.indiv.tsv    one line per individual: id nmiss ngeno nhom nhet F_Mean F_SD\n"
           "  P.svg          kinship against Delta9 for every pair, with the expected places\n"
           "                 of parent-offspring, full sibs, half sibs, first cousins and\n"
           "                 unrelated pairs, and histograms of kinship and F_Mean\n"
           "\n"
           "KINSHIP is the results file's r(1,2): the kinship coefficient, 0.25 for\n"
           "parent and child or full sibs, 0.5 for duplicates of an outbred individual\n"
           "(PLINK's PI_HAT is twice it). A pair without a common locus and an individual without a genotype get\n"
           "NA for their Deltas, kinship and F.\n"
           "\n"
           "When kinex ran with MLE:1 or MLE:2, its maximum-likelihood table\n"
           "RESULTS.mle.tsv is merged: the pair table gains its columns nloci lnl lrt\n"
           "call gap iter conv, the kinship table's last column is the relationship\n"
           "call (CALL) instead of DEGREE, the plot colours the pairs by call, and\n"
           "  P.related.tsv  lists the pairs called related (kinship table columns, LRT\n"
           "                 and GAP); a report that writes none removes an earlier\n"
           "                 report's table of that name\n"
           "With its inbreeding table RESULTS.inb.tsv (MLE:1 or MLE:2; ID NLOCI F LRT),\n"
           "the individual table gains the columns nloci_ml F_ML LRT_F: the loci the\n"
           "individual is typed at, F by maximum likelihood at its own allele\n"
           "frequencies and 2 x (log-likelihood at F - at F = 0). With its components\n"
           "table RESULTS.pcs.tsv (PCS:k; ID UNRELATED PC1..PCk) it also writes\n"
           "  P.pcs.svg      PC1 against PC2 of every individual (PC1 against its rank\n"
           "                 with one component), coloured by population (--pop) or by\n"
           "                 the unrelated set the components were found on; a report\n"
           "                 that writes none removes an earlier report's plot of that name\n"
           "A side table whose run identifier (first line) is not the one the results\n"
           "file's run record names is another run's: left out with a note, refused\n"
           "when named with --mle, --inb or --pcs.\n"
           "After KIN:x (kinex streamed the pairs of kinship x or more; KIN:-1 every\n"
           "pair) the results file has no IBD table: the individuals come from its\n"
           "inbreeding table (F_Mean and F_SD by maximum likelihood) and the pairs\n"
           "from RESULTS.mle.tsv (ID1 ID2 NLOCI KINSHIP D1..D9 LNL LRT CALL GAP ITER\n"
           "CONV, in pair order), which must be that run's. The kinship and related\n"
           "tables and the plot hold the pairs written; P.pairs.tsv, without the\n"
           "nIIS columns, only after KIN:-1 (otherwise an earlier report's goes).\n"
           "When kinex-convert numbered the individuals (--short-ids), its map\n"
           "(RESULTS without .out, then .ids.tsv) puts the original FID and IID back\n"
           "into every table (columns fid1 id1 fid2 id2, FID1 ID1 FID2 ID2, fid id).\n"
           "\n"
           "Options:\n"
           "  --out P              prefix of the outputs (default: RESULTS without .out)\n"
           "  --pairs FILE         the pair table's name\n"
           "  --kinship FILE       the kinship table's name\n"
           "  --indiv FILE         the individual table's name\n"
           "  --svg FILE           the plot's name\n"
           "  --related FILE       the related-pairs table's name\n"
           "  --min-kinship X      the kinship table keeps only pairs of kinship X or more\n"
           "  --related-kinship X  the related-pairs table lists the pairs of kinship X or\n"
           "                       more instead of those called related (it is then written\n"
           "                       also without a maximum-likelihood table)\n"
           "  --mle FILE           the maximum-likelihood table (default RESULTS.mle.tsv,\n"
           "                       merged when it exists and the results file records an\n"
           "                       MLE run), or after KIN: the table of the pairs\n"
           "  --inb FILE           the inbreeding table (default RESULTS.inb.tsv, merged\n"
           "                       when it exists)\n"
           "  --pcs FILE           the components table (default RESULTS.pcs.tsv, drawn\n"
           "                       when it exists)\n"
           "  --pcs-svg FILE       the components plot's name (default P.pcs.svg)\n"
           "  --pop FILE           colour the components plot by population: one line per\n"
           "                       individual, its identifier and its label (two words);\n"
           "                       every individual named once\n"
           "  --ids FILE           the identifier map (default: RESULTS without .out, then\n"
           "                       .ids.tsv; used when it exists)\n"
           "  --max-points N       draw at most N pairs one by one (default 20000); more\n"
           "                       are binned in cells of 0.01 of Delta9 by 0.005 of\n"
           "                       kinship (0.01 when the axis runs past 0.5), and the pairs\n"
           "                       called related are drawn on top, up to N of them\n"
           "Options take their value as the next argument or after '='; an option\n"
           "given twice stops the report (nothing is written).\n"
           "Outputs are written under temporary names and renamed when all are complete;\n"
           "an output that is a device or a pipe (/dev/stdout) is written directly. No\n"
           "output may be an input, nor the parameter or genotype file of the run.\n";
}
