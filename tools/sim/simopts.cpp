#include "simopts.hpp"
#include <charconv>
#include <cstdlib>
#include "families.hpp"

namespace {

bool intarg(const std::string& name, const std::string& v, long long lo, long long hi,
            long long& out, std::string& err)
{
    long long x = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (ec != std::errc() || p != v.data() + v.size() || v.empty() || x < lo || x > hi) {
        err = "--" + name + " needs a whole number from " + std::to_string(lo) + " to " +
              std::to_string(hi) + ", not '" + v + "'";
        return false;
    }
    out = x;
    return true;
}

bool flagarg(const std::string& name, const std::string& v, int& out, std::string& err)
{
    long long x;
    if (!intarg(name, v, 0, 1, x, err))
        return false;
    out = int(x);
    return true;
}

// A real number from lo to hi, each end itself allowed only when loin or hiin.
bool realarg(const std::string& v, double lo, bool loin, double hi, bool hiin, double& out)
{
    char* end = nullptr;
    double x = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != 0 || !(loin ? x >= lo : x > lo) || !(hiin ? x <= hi : x < hi))
        return false;
    out = x;
    return true;
}

bool namearg(const std::string& name, const std::string& v, std::string& out, std::string& err)
{
    if (v.empty() || v.find_first_of("\"\r\n") != std::string::npos) {
        err = "--" + name + " needs a non-empty name without double quotes or line breaks";
        return false;
    }
    out = v;
    return true;
}

} // namespace

bool parseopts(int argc, const char* const* argv, opts& o, std::string& err)
{
    bool layoutset = false, fstset = false;
    std::string fams = "all";
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            err = "unexpected argument '" + a + "'";
            return false;
        }
        std::string name = a.substr(2), v;
        size_t eq = name.find('=');
        bool hasv = eq != std::string::npos;
        if (hasv) {
            v = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "plink" || name == "bed") {
            if (hasv) {
                err = "--" + name + " takes no value";
                return false;
            }
            (name == "plink" ? o.plink : o.bed) = true;
            continue;
        }
        static const char* known[] = {"individuals", "loci", "markers", "layout", "missing",
                                      "error", "seed", "out", "families", "subpops", "fst",
                                      "admixed", "inbreed", "results", "kinex-seed",
                                      "rnd-delta0", "update-p", "out-allele-fre"};
        bool ok = false;
        for (const char* k : known)
            ok = ok || name == k;
        if (!ok) {
            err = "unknown option '" + a + "'";
            return false;
        }
        if (!hasv) {
            if (i + 1 >= argc) {
                err = "--" + name + " needs a value";
                return false;
            }
            v = argv[++i];
        }
        long long x = 0;
        bool good = true;
        if (name == "individuals") {
            good = intarg(name, v, 1, 10000000, o.n, err);
        } else if (name == "loci") {
            good = intarg(name, v, 1, 100000000, o.loci, err);
        } else if (name == "markers") {
            good = v == "snp" || v == "multi";
            o.multi = v == "multi";
            if (!good)
                err = "--markers is snp or multi, not '" + v + "'";
        } else if (name == "layout") {
            good = intarg(name, v, 0, 2, x, err);
            o.layout = int(x);
            layoutset = true;
        } else if (name == "missing") {
            good = realarg(v, 0, true, 1, false, o.missing);
            if (!good)
                err = "--missing needs a rate from 0 up to but not including 1, not '" + v + "'";
        } else if (name == "error") {
            good = realarg(v, 0, true, 1, false, o.error);
            if (!good)
                err = "--error needs a rate from 0 up to but not including 1, not '" + v + "'";
        } else if (name == "seed") {
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), o.seed);
            good = !v.empty() && ec == std::errc() && p == v.data() + v.size();
            if (!good)
                err = "--seed needs a whole number from 0 to 2^64-1, not '" + v + "'";
        } else if (name == "out") {
            good = namearg(name, v, o.out, err);
        } else if (name == "families") {
            fams = v;
        } else if (name == "subpops") {
            good = intarg(name, v, 1, 1000, x, err);
            o.subpops = int(x);
        } else if (name == "fst") {
            good = realarg(v, 0, false, 1, false, o.fst);
            fstset = true;
            if (!good)
                err = "--fst needs a value between 0 and 1, both excluded, not '" + v + "'";
        } else if (name == "admixed") {
            good = realarg(v, 0, true, 1, true, o.admixed);
            if (!good)
                err = "--admixed needs a share from 0 to 1, not '" + v + "'";
        } else if (name == "inbreed") {
            good = flagarg(name, v, o.inbreed, err);
        } else if (name == "results") {
            good = namearg(name, v, o.results, err);
        } else if (name == "kinex-seed") {
            good = intarg(name, v, 0, 2147483647, o.kseed, err);
        } else if (name == "rnd-delta0") {
            good = flagarg(name, v, o.rnddelta0, err);
        } else if (name == "update-p") {
            good = flagarg(name, v, o.updatep, err);
        } else if (name == "out-allele-fre") {
            good = flagarg(name, v, o.outallelefre, err);
        }
        if (!good)
            return false;
    }
    if (o.help)
        return true;
    if (!parsefamilies(fams, o.families, err))
        return false;
    if (!layoutset && o.multi)
        o.layout = 0;
    if (o.multi && o.layout != 0) {
        err = "layouts 1 and 2 hold SNPs only; multi-allelic markers need --layout 0";
        return false;
    }
    if (o.subpops < 2 && (fstset || o.admixed > 0)) {
        err = std::string(fstset ? "--fst" : "--admixed") + " needs --subpops 2 or more";
        return false;
    }
    if (o.multi && (o.plink || o.bed)) {
        err = std::string(o.plink ? "--plink" : "--bed") +
              " writes SNP data only; drop it or use --markers snp";
        return false;
    }
    return true;
}

std::string helptext()
{
    std::string fam;
    for (int t = 0; t < familytypes(); t++) {
        std::string name = familyname(t);
        fam += "                      " + name + std::string(5 - name.size(), ' ') +
               familywhat(t) + "\n";
    }
    return
        "Usage: kinex-sim [options]\n"
        "\n"
        "Simulates genotypes with known identity by descent for KINEX: genes are\n"
        "dropped through family pedigrees at unlinked loci, and the realized Jacquard\n"
        "states of every pair of relatives are written beside the genotypes.\n"
        "\n"
        "Sample and markers:\n"
        "  --individuals N     individuals written (default 100)\n"
        "  --loci L            loci (default 1000)\n"
        "  --markers snp|multi snp: minor allele frequency uniform in 0.05..0.5 per\n"
        "                      locus (default); multi: 2 to 20 alleles per locus,\n"
        "                      frequencies from a flat Dirichlet, allele IDs distinct\n"
        "                      and scattered in 1..999\n"
        "  --missing R         each genotype is missing with probability R (default 0)\n"
        "  --error E           each genotype not missing is written wrong with\n"
        "                      probability E (default 0): a SNP as one of its two\n"
        "                      other genotypes; a multi-allelic one with one of its\n"
        "                      alleles, chosen at random, replaced by another of the\n"
        "                      locus's alleles; the truth files are those of the true\n"
        "                      genotypes\n"
        "  --families LIST     comma-separated family types, cycled through to fill the\n"
        "                      sample with whole families (default all); a name may be\n"
        "                      repeated to weight it; the groups all, outbred, inbred:\n" +
        fam +
        "                      A family that no longer fits is skipped for the next one\n"
        "                      that does; lone unrelated individuals fill the rest.\n"
        "  --seed S            seed of the simulator's own generator (default 1); the\n"
        "                      same options and seed give the same files\n"
        "\n"
        "Subpopulations:\n"
        "  --subpops K         subpopulations (default 1); families belong to them in\n"
        "                      turn (family 1 to p1, family 2 to p2, ...), and each\n"
        "                      locus's frequencies in each are drawn around the\n"
        "                      ancestral ones (Balding-Nichols: Beta for SNPs,\n"
        "                      Dirichlet for multi-allelic markers)\n"
        "  --fst F             their F_ST, 0 < F < 1 (default 0.05)\n"
        "  --admixed R         share R of the families, chosen at random, admixed\n"
        "                      between their subpopulation and the next: each founder\n"
        "                      has its own q uniform in 0..1, each of its genes comes\n"
        "                      from the own subpopulation with probability q (default\n"
        "                      0; needs K >= 2)\n"
        "\n"
        "Output:\n"
        "  --out P             output prefix (default sim)\n"
        "  --layout 0|1|2      genotype layout of P.gen (default 2, or 0 for multi)\n"
        "                      0: per individual, its ID and two allele IDs per locus\n"
        "                         (SNPs use allele IDs 1 and 2), missing as 0 0\n"
        "                      1: the IDs, then one line per locus, one character per\n"
        "                         individual\n"
        "                      2: the IDs, then one line per individual, one character\n"
        "                         per locus\n"
        "                      SNP characters: copies of allele 1 (2, 1 or 0), - missing;\n"
        "                      allele 1 is the locus's simulated minor allele\n"
        "  --plink             also write P.ped and P.map (SNPs only; allele 1 is A,\n"
        "                      allele 2 is G); the SNPs are spread evenly over the 22\n"
        "                      autosomes with their GRCh37 lengths, chromosome 1 first\n"
        "                      (the loci are still simulated unlinked)\n"
        "  --bed               also write P.bed, P.bim and P.fam: PLINK 1 binary files\n"
        "                      of the same genotypes, SNPs, alleles and families (SNPs\n"
        "                      only; written as the loci are simulated)\n"
        "\n"
        "Parameter file P.par (values for KINEX):\n"
        "  --inbreed 0|1       Inbreed (default 1)\n"
        "  --results FILE      results file name (default P.out)\n"
        "  --kinex-seed N      KINEX's random seed (default 1)\n"
        "  --rnd-delta0 0|1    RndDelta0 (default 0)\n"
        "  --update-p 0|1      UpdateP (default 0)\n"
        "  --out-allele-fre 0|1 OutAlleleFre (default 0)\n"
        "  The genotype file is named exactly as written (P.gen), in double quotes when\n"
        "  the name holds a blank, tab, comma, slash or semicolon: run KINEX from the\n"
        "  directory kinex-sim ran in.\n"
        "\n"
        "Truth files:\n"
        "  P.truth.pairs.tsv   every pair of one family, first as in P.gen: relation,\n"
        "                      realized Delta1..Delta9 (share of loci in each of\n"
        "                      Jacquard's states, from gene labels, ignoring missing\n"
        "                      genotypes), realized kinship, pedigree kinship. Pairs\n"
        "                      from different families are unrelated by construction:\n"
        "                      Delta9 = 1, kinship 0.\n"
        "  P.truth.indiv.tsv   per individual: family, role, realized and pedigree\n"
        "                      inbreeding coefficient; with K >= 2 also its\n"
        "                      population (p1, p2, ..., p1+p2 admixed of p1 and p2),\n"
        "                      and the realized and expected share q of its genes from\n"
        "                      its family's own subpopulation\n"
        "  P.pop               with K >= 2: per individual, in file order, its ID and\n"
        "                      population, no header\n"
        "\n"
        "  -h, --help          this text\n";
}
