#include "repopts.hpp"
#include <charconv>
#include "repstate.hpp"

void readopts(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            rep.help = true;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            if (!rep.infile.empty())
                repstop("one results file at a time: '" + a + "' (see kinex-report --help)");
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
        }
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
        else if (name == "max-points") {
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
    if (rep.out.empty()) {
        rep.out = rep.infile;
        if (rep.out.size() > 4 && rep.out.compare(rep.out.size() - 4, 4, ".out") == 0)
            rep.out.resize(rep.out.size() - 4);
    }
    if (rep.pairsname.empty())
        rep.pairsname = rep.out + ".pairs.tsv";
    if (rep.indivname.empty())
        rep.indivname = rep.out + ".indiv.tsv";
    if (rep.svgname.empty())
        rep.svgname = rep.out + ".svg";
    for (const std::string* o : {&rep.pairsname, &rep.indivname, &rep.svgname})
        if (*o == rep.infile)
            repstop("the output " + *o + " would overwrite the results file");
}

std::string helptext()
{
    return "Usage: kinex-report RESULTS [options]\n"
           "\n"
           "Reads a KINEX results file and writes:\n"
           "  P.pairs.tsv  one line per pair of individuals, in the order of the file:\n"
           "               id1 id2 d1..d9 r nIIS1..nIIS9 (tab-separated), from the IBD\n"
           "               table's line with id1 before id2 in the sample\n"
           "  P.indiv.tsv  one line per individual: id nmiss ngeno nhom nhet F_Mean F_SD\n"
           "  P.svg        r(1,2) against Delta9 for every pair, with the expected places of\n"
           "               parent-offspring, full sibs, half sibs, first cousins and\n"
           "               unrelated pairs, and histograms of r(1,2) and F_Mean\n"
           "\n"
           "Options:\n"
           "  --out P          prefix of the outputs (default: RESULTS without .out)\n"
           "  --pairs FILE     the pair table's name\n"
           "  --indiv FILE     the individual table's name\n"
           "  --svg FILE       the plot's name\n"
           "  --max-points N   draw at most N pairs one by one; more are binned on a\n"
           "                   200 x 200 grid (default 20000)\n"
           "Options take their value as the next argument or after '='.\n";
}
