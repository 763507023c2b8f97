#include "convopts.hpp"
#include <charconv>
#include <cmath>
#include <map>
#include "chrcodes.hpp"
#include "convlog.hpp"
#include "convstate.hpp"

namespace {

long long intopt(const std::string& name, const std::string& v, long long lo, long long hi)
{
    long long x = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || ec != std::errc() || p != v.data() + v.size() || x < lo || x > hi)
        convstop("--" + name + " needs a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi) + ", not '" + v + "' (see kinex-convert --help)");
    return x;
}

double fracopt(const std::string& name, const std::string& v)
{
    double x = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || ec != std::errc() || p != v.data() + v.size() || !std::isfinite(x) ||
        x < 0 || x > 1)
        convstop("--" + name + " needs a number from 0 to 1, not '" + v +
                 "' (see kinex-convert --help)");
    return x;
}

// The options whose value may be left out, and the value then taken (as
// in PLINK 2).
const std::map<std::string, std::string> defaults = {
    {"maf", "0.01"}, {"geno", "0.1"}, {"mind", "0.1"}, {"snps-only", ""}};

// Whether the argument after an option of defaults is its value: any but
// the next option.
bool takesnext(const char* next)
{
    return std::string(next).rfind("--", 0) != 0;
}

std::string nameopt(const std::string& name, const std::string& v)
{
    if (v.empty() || v.find_first_of("\"\r\n") != std::string::npos)
        convstop("--" + name + " needs a non-empty name without double quotes or line breaks");
    return v;
}

// The prefix of a VCF or BCF name: the name without .vcf, .vcf.gz,
// .vcf.bgz or .bcf.
std::string vcfprefix(const std::string& f)
{
    for (const char* ext : {".vcf.gz", ".vcf.bgz", ".vcf", ".bcf"}) {
        std::string e = ext;
        if (f.size() > e.size() && f.compare(f.size() - e.size(), e.size(), e) == 0)
            return f.substr(0, f.size() - e.size());
    }
    return f;
}

// Stops at the second use of an option (--vcf and --bcf are one): the
// conversion writes files, so it does not guess which value was meant.
void once(std::map<std::string, std::string>& seen, const std::string& name,
          const std::string& given)
{
    auto [at, fresh] = seen.emplace(name == "bcf" ? "vcf" : name, given);
    if (!fresh)
        convstop("repeated option: " + given + " after " + at->second +
                 "; give each option once (see kinex-convert --help)");
}

bool filteropt(const std::string& name)
{
    for (const char* f : {"keep", "remove", "chr", "snps-only", "max-alleles", "maf", "geno",
                          "mind", "bp-space"})
        if (name == f)
            return true;
    return false;
}

} // namespace

void readopts(int argc, const char* const* argv)
{
    std::map<std::string, std::string> seen;
    cv.cmdline = "kinex-convert";
    for (int i = 1; i < argc; i++)
        cv.cmdline += " " + shellword(argv[i]);
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            cv.help = true;
            continue;
        }
        if (a == "--short-ids") {
            once(seen, "short-ids", "'" + a + "'");
            cv.shortids = true;
            continue;
        }
        if (a.rfind("--", 0) != 0)
            convstop("unexpected argument '" + a + "' (see kinex-convert --help)");
        std::string name = a.substr(2), v;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            v = name.substr(eq + 1);
            name.resize(eq);
        } else if (defaults.count(name)) {
            if (i + 1 < argc && takesnext(argv[i + 1])) {
                v = argv[++i];
                a += " " + v;
            } else {
                v = defaults.at(name);
            }
        } else {
            if (i + 1 >= argc)
                convstop("--" + name + " needs a value (see kinex-convert --help)");
            v = argv[++i];
            a += " " + v;
        }
        once(seen, name, "'" + a + "'");
        if (name == "bfile")
            cv.bfile = nameopt(name, v);
        else if (name == "vcf" || name == "bcf")
            cv.vcf = nameopt(name, v);
        else if (name == "out")
            cv.out = nameopt(name, v);
        else if (name == "results")
            cv.results = nameopt(name, v);
        else if (name == "inbreed")
            cv.inbreed = int(intopt(name, v, 0, 1));
        else if (name == "seed")
            cv.seed = intopt(name, v, -2147483647, 2147483647);
        else if (name == "rnd-delta0")
            cv.rnddelta0 = int(intopt(name, v, 0, 1));
        else if (name == "update-p")
            cv.updatep = int(intopt(name, v, 0, 1));
        else if (name == "out-allele-fre")
            cv.outallelefre = int(intopt(name, v, 0, 1));
        else if (name == "mle")
            cv.mle = int(intopt(name, v, 0, 2));
        else if (name == "err") {
            // kinex's key ERR: takes a plain decimal from 0 up to 0.2
            const bool plain = !v.empty() && v.find_first_not_of("0123456789.") == std::string::npos &&
                               v.find('.') == v.rfind('.') && v != ".";
            if (!plain || !(fracopt(name, v) < 0.2))
                convstop("--err needs a plain decimal from 0 up to 0.2 (the genotyping error rate), not '" + v +
                         "' (see kinex-convert --help)");
            cv.err = v;
        }
        else if (name == "id") {
            if (v != "IID" && v != "FID_IID")
                convstop("--id needs IID or FID_IID, not '" + v + "' (see kinex-convert --help)");
            cv.idmode = v == "FID_IID";
        } else if (name == "short-ids")
            convstop("--short-ids takes no value");
        else if (name == "keep")
            cv.keepfile = nameopt(name, v);
        else if (name == "remove")
            cv.removefile = nameopt(name, v);
        else if (name == "chr")
            cv.chrs = chrlist(v);
        else if (name == "snps-only") {
            if (!v.empty() && v != "just-acgt")
                convstop("--snps-only takes no value or just-acgt, not '" + v +
                         "' (see kinex-convert --help)");
            cv.snpsonly = v.empty() ? 1 : 2;
        } else if (name == "max-alleles")
            cv.maxalleles = int(intopt(name, v, 1, 2147483647));
        else if (name == "maf")
            cv.maf = fracopt(name, v);
        else if (name == "geno")
            cv.geno = fracopt(name, v);
        else if (name == "mind")
            cv.mind = fracopt(name, v);
        else if (name == "bp-space")
            cv.bpspace = intopt(name, v, 1, 2147483647);
        else
            convstop("unknown option --" + name + " (see kinex-convert --help)");
        if (filteropt(name)) {
            cv.filtering = true;
            cv.given[name] = "--" + name + (v.empty() ? "" : " " + v);
        }
    }
    if (cv.help)
        return;
    if (cv.bfile.empty() == cv.vcf.empty())
        convstop("give one input: --bfile PREFIX or --vcf FILE (see kinex-convert --help)");
    if (cv.idmode == 1 && cv.bfile.empty())
        convstop("--id FID_IID needs PLINK input: a VCF has sample names only (see "
                 "kinex-convert --help)");
    if (cv.out.empty())
        cv.out = cv.bfile.empty() ? vcfprefix(cv.vcf) : cv.bfile;
    if (cv.results.empty())
        cv.results = cv.out + ".out";
    if (cv.shortids)
        cv.mapname = cv.out + ".ids.tsv";
    if (cv.filtering)
        cv.logname = cv.out + ".log";
    if (cv.results.back() == ' ' || cv.results.back() == '\t')
        convstop("--results must not end in a blank: kinex would drop it");
    for (const std::string* n : {&cv.results, &cv.out})
        if (n->size() + (n == &cv.out ? 4 : 0) > maxnamelen)
            convstop("the name " + *n + (n == &cv.out ? ".gen" : "") + " is longer than the " +
                     std::to_string(maxnamelen) +
                     " characters kinex keeps of a file name; choose a shorter one");
}

std::string helptext()
{
    std::string s =
        "Usage: kinex-convert --bfile PREFIX | --vcf FILE [options]\n"
        "\n"
        "Writes a KINEX genotype file OUT.gen and a ready parameter file OUT.par.\n"
        "\n"
        "Input (one of):\n"
        "  --bfile PREFIX     PLINK 1 binary fileset PREFIX.bed, .bim, .fam\n"
        "  --vcf FILE         VCF (plain or bgzipped) or BCF; genotypes from GT\n";
#ifndef KINEX_HTS
    s += "                     (NOT AVAILABLE: this kinex-convert was built without\n"
         "                     htslib; install libhts-dev and rebuild)\n";
#endif
    s += "\n"
         "Output:\n"
         "  --out P            output prefix (default: the input's prefix)\n"
         "  --results FILE     results file named in OUT.par (default: P.out)\n"
         "  --id IID|FID_IID   identifiers from the .fam: the IID (default), or the FID\n"
         "                     and the IID joined by '_' (unique across families)\n"
         "  --short-ids        number the individuals (I01, I02, ...) in the genotype file\n"
         "                     and write the map P.ids.tsv (ID, FID, IID), from which\n"
         "                     kinex-report puts the original FID and IID back into its\n"
         "                     tables; for identifiers longer than 20 bytes,\n"
         "                     repeated, or holding characters KINEX cannot read\n"
         "  --mle 0|1|2        add the key MLE:N (kinex's maximum-likelihood estimator)\n"
         "                     to the kinex command printed at the end; it is a\n"
         "                     command-line key, not a line of OUT.par\n"
         "  --err E            add the key ERR:E (the genotyping error rate of the\n"
         "                     maximum-likelihood Deltas, 0 <= E < 0.2) to the printed\n"
         "                     kinex command (with --mle 1 or 2)\n"
         "\n"
         "Filters (PLINK 2's names and meanings; applied in this order):\n"
         "  --keep FILE        keep only the samples FILE lists (an IID, or a FID and an\n"
         "                     IID, per line; or a header line #FID IID / #IID)\n"
         "  --remove FILE      leave out the samples FILE lists\n"
         "  --chr LIST         keep the sites on these autosomes: 1-22, 1,3,5-7 (X, Y, XY\n"
         "                     and MT are refused: KINEX's model is autosomal)\n"
         "  --snps-only [just-acgt]  keep the sites whose alleles are single characters\n"
         "                     (just-acgt: only A, C, G, T)\n"
         "  --max-alleles N    leave out sites of more than N alleles (2: no multi-allelic\n"
         "                     site is left, and the file is DataForm 2)\n"
         "  --mind [X]         leave out samples missing at more than X of the sites left\n"
         "                     (default 0.1)\n"
         "  --geno [X]         leave out sites missing in more than X of the samples left\n"
         "                     (default 0.1)\n"
         "  --maf [X]          leave out sites of minor allele frequency below X, over the\n"
         "                     typed genotypes of the samples left (default 0.01)\n"
         "  --bp-space N       keep sites at least N bases apart on each chromosome,\n"
         "                     greedily from its first site\n"
         "  With any of them, each step's counts go to the screen and to OUT.log.\n"
         "\n"
         "Values written to OUT.par:\n"
         "  --inbreed 0|1      Inbreed (default 1)\n"
         "  --seed N           random seed (default 1)\n"
         "  --rnd-delta0 0|1   RndDelta0 (default 0)\n"
         "  --update-p 0|1     UpdateP (default 0)\n"
         "  --out-allele-fre 0|1  OutAlleleFre (default 0)\n"
         "\n"
         "Biallelic data are written as DataForm 2 (one line per individual, one\n"
         "character per SNP): the digit counts copies of allele 1, which is PLINK's A1\n"
         "(.bim column 5) or the VCF's ALT allele; '-' is a missing genotype. Data\n"
         "with sites of 3 to 127 alleles are written as DataForm 0 with allele IDs\n"
         "1..K per site (REF = 1, the k-th ALT = k + 1). Identifiers are the IIDs\n"
         "(PLINK, or FID_IID with --id) or sample names (VCF): UTF-8 text of at most\n"
         "20 bytes, unique, without blanks, commas, slashes, semicolons, quotes or\n"
         "control characters, unless --short-ids numbers them. At most " +
           std::to_string(maxnumindiv) + "\n"
         "individuals.\n"
         "A VCF from PLINK 2 with the IIDs as sample names (not FID_IID):\n"
         "  plink2 --bfile PREFIX --export vcf bgz id-paste=iid --out PREFIX\n"
         "Options take their value as the next argument or after '='; an option\n"
         "given twice stops the conversion (nothing is written).\n"
         "Both files (and the map) are written under temporary names and renamed at\n"
         "the end; no output may be one of the inputs, and the results file may be\n"
         "none of the files kinex reads. Without --short-ids, the map of an earlier\n"
         "conversion (P.ids.tsv, or beside the results file) is removed then.\n";
    return s;
}
