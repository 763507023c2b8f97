#include "run/commands.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "run/banner.hpp"
#include "run/clock.hpp"
#include "run/freeform.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

std::vector<std::string> programargs;

namespace {

const std::array<std::string, 13> par = {"INP", "OUT", "RAN", "LOC", "IND", "GEN", "UPP",
                                         "OMP", "MLE", "PCS", "POP", "ERR", "KIN"};

// An integer in a fixed field of 12 characters: blanks are ignored, an
// all-blank field is 0.
bool readfield12(const std::string& value, int32_t& out)
{
    std::string field = value.substr(0, 12);
    std::string packed;
    for (char c : field)
        if (c != ' ') packed += c;
    if (packed.empty()) {
        out = 0;
        return true;
    }
    int64_t v = 0;
    if (!parseint(packed, INT32_MIN, INT32_MAX, v)) return false;
    out = int32_t(v);
    return true;
}

// A plain decimal number: digits with at most one point, at most 20
// characters (no sign, exponent or blanks).
bool parserate(const std::string& text, double& out)
{
    if (text.empty() || text.size() > 20 || text == ".") return false;
    int points = 0;
    for (char c : text) {
        if (c == '.') ++points;
        else if (c < '0' || c > '9') return false;
    }
    if (points > 1) return false;
    out = std::strtod(text.c_str(), nullptr);
    return true;
}

void keyboarderror(const std::string& name, const std::string& value)
{
    say("");
    say("Error in reading parameters from keyboard! Original input: " + name + ":" + trimright(value) +
        ". The command is ignored!");
    say("");
}

void showhelp()
{
    say("VARN command line Arguments:");
    say("  IND:[Number of individuals]");
    say("  LOC:[Number of loci]");
    say("  RAN:[Random number seed]");
    say("  INP:[Input parameter file name]");
    say("  OUT:[Output file name]");
    say("  GEN:[Genotype file name]");
    say("  UPP:[Update allele frequency 1/0]");
    say("  OMP:[Number of openMP threads]");
    say("  MLE:[Maximum likelihood Deltas 0/1/2]");
    say("  PCS:[Ancestry components 0..20, with MLE:1/2]");
    say("  POP:[Population labels file, with MLE:1/2]");
    say("  ERR:[Genotyping error rate 0..0.2, with MLE:1/2]");
    say("  KIN:[Least kinship of the pairs written, -1 all; with MLE:1/2]");
}

// Sets the run state from one key's value (blanks before it already
// taken off); false, with nothing set, when the value is faulty.
bool setkey(const std::string& name, const std::string& value)
{
    const std::string v = trimright(value);
    if (name == "INP") vars.parfile = v;
    else if (name == "OUT") vars.outfile = v;
    else if (name == "GEN") vars.gtypefile = v;
    else if (name == "POP") vars.popfile = v;
    else if (name == "MLE") {
        // 0 the EM for Delta, 1 maximum likelihood, 2 its pooled form for
        // SNP data: the one digit, blanks around it allowed; anything else
        // (empty, more digits, more words) is faulty
        if (v.size() != 1 || v[0] < '0' || v[0] > '2') return false;
        vars.mle = v[0] - '0';
    } else if (name == "KIN") {
        // -1 (every pair) or a plain decimal from 0 to 1
        double x = -2.0;
        if (v == "-1") x = -1.0;
        else if (!parserate(v, x) || x > 1.0) return false;
        vars.kin = true;
        vars.kinmin = x;
    } else if (name == "ERR") {
        // a plain decimal 0 <= e < 0.2
        double e = -1.0;
        if (!parserate(v, e) || !(e >= 0.0 && e < 0.2)) return false;
        vars.generr = e;
    } else if (name == "PCS") {
        // the number of components, 0 (off) to 20
        int64_t k = -1;
        if (v.empty() || v.size() > 2 || !parseint(v, 0, 20, k)) return false;
        vars.pcs = int32_t(k);
    } else {
        int32_t* field = name == "RAN"   ? &vars.idum
                         : name == "LOC" ? &vars.numloci
                         : name == "IND" ? &vars.numindiv
                         : name == "UPP" ? &vars.updatep
                                         : &vars.ompthd;
        return readfield12(value, *field);
    }
    return true;
}

}  // namespace

void getcommands()
{
    vars.parfile = "VARN.par";
    vars.gtypefile.clear();
    vars.outfile.clear();
    vars.numindiv = -2147483647;
    vars.numloci = -2147483647;
    vars.idum = 0;
    vars.updatep = -1;
    vars.ompthd = 1;
    vars.mle = 0;
    vars.pcs = 0;
    vars.popfile.clear();
    vars.generr = 0.0;
    vars.kin = false;
    vars.kinmin = 0.0;
    vars.commandline = programargs.empty() ? std::string() : trimright(programargs[0]);

    std::array<int, par.size()> count{};
    int errors = 0;
    // Arguments are taken whole: a file name that does not fit the 499
    // characters kept is refused by readparfile, never cut.
    for (std::size_t i = 1; i <= 999 && i < programargs.size(); ++i) {
        const std::string& arg = programargs[i];
        if (trimright(arg).empty()) {
            // Reported and passed over, so that the arguments after it count.
            vars.commandline += " \"\"";
            say("");
            say("Empty run option: ignored!");
            say("");
            ++errors;
            continue;
        }
        vars.commandline += " " + trimboth(arg);

        int key = -1;
        if (arg.size() >= 4 && arg[3] == ':')
            for (int k = 0; k < int(par.size()) && key < 0; ++k)
                if (arg.compare(0, 3, par[std::size_t(k)]) == 0) key = k;

        if (key >= 0) {
            if (++count[std::size_t(key)] >= 2) {
                say("Repeated parameter values from keyboard! Original input: " + trimright(arg) +
                    ". The command is ignored!");
                ++errors;
                continue;
            }
            const std::string value = trimleft(arg.substr(4));
            if (!setkey(par[std::size_t(key)], value)) {
                keyboarderror(par[std::size_t(key)], value);
                ++errors;
            }
        } else if (trimright(to_case(arg, 1)) == "HELP" || trimright(arg) == "-h" || trimright(arg) == "--help") {
            showhelp();
            endrun(0);
        } else if (trimright(arg) == "--version") {
            say(versiontext());
            endrun(0);
        } else {
            say("");
            say("Run option " + trimright(arg) + " unrecognized: ignored!");
            say("");
            ++errors;
        }
    }

    if (programargs.size() > 1000) {
        say("");
        say("Too many run options: the " + itod(int32_t(std::min<std::size_t>(programargs.size() - 1000, 2147483647))) +
            " after the 999th are ignored!");
        say("");
        ++errors;
    }

    if (errors != 0 && stopwaitseconds > 0) {
        screenflush();
        waitpast(walltime());
    }
}
