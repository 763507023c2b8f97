#include "run/parfile.hpp"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "output/output.hpp"
#include "parallel/workshare.hpp"
#include "run/clock.hpp"
#include "run/freeform.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

namespace fs = std::filesystem;

namespace {

const char* routine = "ReadParFile";

bool fileexists(const std::string& name)
{
    std::error_code ec;
    return !name.empty() && fs::exists(name, ec);
}

bool samefile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, ec) && !ec;
}

// One item: the first value from a new line on (blank lines skipped).
std::string readtext(ffreader& r, const char* label)
{
    std::string value;
    if (!ffvalue(r, value, true)) stoponerror(std::string("Error reading ") + label, routine);
    return trimright(value);
}

int32_t readinteger(ffreader& r, const char* label)
{
    std::string value;
    int64_t v = 0;
    if (!ffvalue(r, value, true) || !parseint(value, INT32_MIN, INT32_MAX, v))
        stoponerror(std::string("Error reading ") + label, routine);
    return int32_t(v);
}

// A file name in force must fit the 499 characters the run keeps (a cut
// name would name another file) and stay on one line.
void checkname(const std::string& name, const char* what)
{
    if (name.size() > 499)
        stoponerror(std::string(what) + " name longer than 499 characters: " + name + "!", routine);
    if (name.find_first_of(std::string("\n\r\0", 3)) != std::string::npos)
        stoponerror(std::string(what) + " name holds a line break or NUL character!", routine);
}

// The results file replaces its content at the end of the run, so it must
// not be one of the inputs.
// The ancestry keys go with the maximum-likelihood Deltas at fixed
// frequencies; components need SNP data; one kind of ancestry at a time.
void checkancestry()
{
    if (vars.kin) {
        if (vars.mle == 0) stoponerror("KIN: streams the maximum-likelihood Deltas: give MLE:1 or MLE:2 with it!", routine);
        if (vars.dataform == 0) stoponerror("KIN: needs SNP data (DataForm 1 or 2)!", routine);
        if (vars.updatep == 1) stoponerror("KIN: works with the allele frequencies fixed: UpdateP must be 0!", routine);
    }
    if (vars.generr > 0.0 && vars.mle == 0)
        stoponerror("ERR: is the error rate of the maximum-likelihood Deltas: give MLE:1 or MLE:2 with it!", routine);
    if (vars.generr > 0.0 && vars.updatep == 1)
        stoponerror("ERR: works with the allele frequencies fixed: UpdateP must be 0!", routine);
    if (vars.pcs == 0 && vars.popfile.empty()) return;
    const std::string keys = vars.pcs != 0 && !vars.popfile.empty() ? "PCS: and POP:"
                             : vars.pcs != 0                         ? "PCS:"
                                                                     : "POP:";
    if (vars.mle == 0)
        stoponerror(keys + " adjust the maximum-likelihood Deltas: give MLE:1 or MLE:2 with it!", routine);
    if (vars.pcs != 0 && !vars.popfile.empty())
        stoponerror("PCS: and POP: together: give one kind of ancestry, components (PCS:) or population "
                    "labels (POP:)!",
                    routine);
    if (vars.updatep == 1)
        stoponerror(keys + " works with the allele frequencies fixed: UpdateP must be 0!", routine);
    if (vars.pcs != 0 && vars.dataform == 0)
        stoponerror("PCS: needs SNP data (DataForm 1 or 2); give population labels with POP: for "
                    "multi-allelic markers!",
                    routine);
    if (!vars.popfile.empty()) {
        checkname(vars.popfile, "Population file");
        if (!fileexists(vars.popfile))
            stoponerror("Population file " + vars.popfile + " does not exist!", routine);
        for (const char* suffix : sidesuffix)
            if (samefile(vars.outfile + suffix, vars.popfile) || samefile(vars.outfile, vars.popfile))
                stoponerror("Output file " + vars.outfile + " or a table beside it is the same file as the "
                                "population file " + vars.popfile + "! The run would overwrite its input.",
                            routine);
    }
}

void checkoutputname(const std::string& name)
{
    if (samefile(name, vars.parfile))
        stoponerror("Output file " + name + " is the same file as the parameter file " + vars.parfile +
                        "! The run would overwrite its input.",
                    routine);
    if (samefile(name, vars.gtypefile))
        stoponerror("Output file " + name + " is the same file as the genotype file " + vars.gtypefile +
                        "! The run would overwrite its input.",
                    routine);
}

}  // namespace

void readparfile()
{
    datestamp(vars.date1[0], vars.time1[0]);
    checkname(vars.parfile, "Parameter file");
    if (!fileexists(vars.parfile)) stoponerror("Parameter file " + vars.parfile + " does not exist!", routine);
    sayopen("Reading parameter file: " + vars.parfile);

    ffreader r;
    if (!ffopen(r, vars.parfile))
        stoponerror("Parameter file " + vars.parfile + " cannot be read (" + fferrtext(r) + ")!", routine);

    int32_t v = readinteger(r, "#individuals!");
    if (vars.numindiv == -2147483647) vars.numindiv = v;
    if (vars.numindiv < 2)
        stoponerror("#individuals = " + itod(vars.numindiv) + ", smaller than the minimum value 2!", routine);
    // the limit of the IBD table, which a run with KIN: does not write
    const int32_t most = vars.kin ? maxkinindiv : maxnumindiv;
    if (vars.numindiv > most)
        stoponerror("#individuals = " + itod(vars.numindiv) + ", larger than the maximum value " + itod(most) + "!",
                    routine);

    v = readinteger(r, "#Loci!");
    if (vars.numloci == -2147483647) vars.numloci = v;
    if (vars.numloci < 1)
        stoponerror("#loci = " + itod(vars.numloci) + ", smaller than the minimum value 1!", routine);
    if (vars.numloci > maxnumloci)
        stoponerror("#loci = " + itod(vars.numloci) + ", larger than the maximum value " + itod(maxnumloci) + "!",
                    routine);

    vars.dataform = readinteger(r, "DataForm!");
    if (vars.dataform < 0 || vars.dataform > 2) stoponerror("DataForm should be (0/1/2)!", routine);

    vars.inbreed = readinteger(r, "Inbreed!");
    if (vars.inbreed != 0 && vars.inbreed != 1) stoponerror("Inbreed should be Boolean (1/0=T/F)!", routine);

    std::string t = readtext(r, "GtypeFile!");
    if (vars.gtypefile.empty()) vars.gtypefile = t;
    checkname(vars.gtypefile, "Genotype file");
    if (!fileexists(vars.gtypefile)) stoponerror("Genotype file, " + vars.gtypefile + ", does not exist!", routine);

    t = readtext(r, "Outfile!");
    if (vars.outfile.empty()) vars.outfile = t;
    checkname(vars.outfile, "Output file");
    checkoutputname(vars.outfile);

    v = readinteger(r, "seed!");
    if (vars.idum == 0) vars.idum = v;
    vars.iseed = vars.idum;
    if (vars.idum > 0) vars.idum = -vars.idum;

    vars.rnddelta0 = readinteger(r, "RndDelta0!");
    if (vars.rnddelta0 != 0 && vars.rnddelta0 != 1) stoponerror("RndDelta0 must be 1/0!", routine);

    v = readinteger(r, "UpdateP!");
    if (vars.updatep == -1) vars.updatep = v;
    if (vars.updatep != 0 && vars.updatep != 1) stoponerror("UpdateP must be 1/0!", routine);
    if (vars.updatep == 0 && vars.rnddelta0 == 1) vars.rnddelta0 = 0;

    vars.outallelefre = readinteger(r, "OutAlleleFre!");
    if (vars.outallelefre != 0 && vars.outallelefre != 1) stoponerror("OutAlleleFre must be 1/0!", routine);
    if (vars.dataform == 0 && vars.outallelefre == 1) checkoutputname(vars.outfile + ".RawAllele");
    if (vars.mle != 0) {
        // the side tables go beside the file the results name stands for
        // (a link's target, see openoutput)
        std::error_code e;
        std::string real;
        if (std::filesystem::is_symlink(vars.outfile, e)) {
            const std::filesystem::path p = std::filesystem::canonical(vars.outfile, e);
            if (!e) real = p.string();
        }
        for (const char* suffix : sidesuffix) {
            checkoutputname(vars.outfile + suffix);
            if (!real.empty()) checkoutputname(real + suffix);
        }
    }
    checkancestry();

    ffclose(r);
    say(". Done.");
    if (vars.mle == 2 && vars.dataform == 0) {
        say("MLE:2 pools SNP loci; the multi-allelic data (DataForm 0) are fitted as with MLE:1.");
        vars.mle = 1;
    }
}

void initialpara()
{
    const int8_t table[8] = {0, 0, 1, 1, 2, 2, 1, 2};
    for (int k = 0; k < 8; ++k) vars.snpgtype[std::size_t(k)] = table[k];

    indivshare();

    vars.memerr = "Too many individuals and/or loci. Out of memory!";
}
