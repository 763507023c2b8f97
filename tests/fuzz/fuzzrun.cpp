#include "fuzzrun.hpp"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "genotypes/genotypes.hpp"
#include "run/variables.hpp"

namespace fs = std::filesystem;

const char* const sixbyeight =
    "a 5 7 1 1 10 20 0 0 999 1 3 3 5 5 2 4\n"
    "b 7 7 1 1 20 20 0 0 1 2 3 4 5 6 4 4\n"
    "c 0 3 1 1 10 10 0 0 2 999 4 4 6 6 2 2\n"
    "d 5 5 1 1 20 10 0 0 3 3 3 3 5 5 2 4\n"
    "e 7 5 1 1 10 20 0 0 999 999 4 3 6 5 4 2\n"
    "f 5 7 1 -1 10 20 0 0 1 1 3 3 5 5 2 4\n";

static std::string workdir;

static void removeworkdir()
{
    std::error_code ec;
    if (!workdir.empty()) fs::remove_all(workdir, ec);
}

void fuzzsetup()
{
    // Every input writes and reads a few small files: in memory (/dev/shm)
    // this runs ten times faster than on a disk.
    std::error_code ec;
    fs::path base = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
    std::string tmpl = (base / "kinexfuzz.XXXXXX").string();
    if (!mkdtemp(tmpl.data())) fuzzfail("cannot make the working folder");
    workdir = tmpl;
    std::atexit(removeworkdir);
    if (chdir(workdir.c_str()) != 0) fuzzfail("cannot enter the working folder");
    int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) < 0) fuzzfail("cannot silence the screen");
    close(null);
}

void fuzzreset()
{
    resetvariables();
    vars.thd0q = true;
    stopwaitseconds = 0;
}

void fuzzlayout0(const std::string& text, int32_t n, int32_t loci)
{
    fuzzreset();
    vars.dataform = 0;
    vars.numindiv = n;
    vars.numloci = loci;
    vars.idum = -7;
    vars.iseed = -7;
    vars.gtypefile = "geno.txt";
    vars.outfile = "out.txt";
    fuzzwrite(vars.gtypefile, text);
}

void fuzzwrite(const std::string& name, const uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) fuzzfail("cannot write an input file");
    if (size > 0 && std::fwrite(data, 1, size, f) != size) fuzzfail("cannot write an input file");
    std::fclose(f);
}

void fuzzwrite(const std::string& name, const std::string& text)
{
    fuzzwrite(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void fuzzfail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void checkprepared()
{
    const int32_t n = vars.numindiv, nloci = vars.numloci, u = vars.numloci2;
    fuzzcheck(u >= 1 && u <= nloci, "numloci2 out of 1..numloci");
    fuzzcheck(vars.markeridx.size() == std::size_t(nloci) + 1, "markeridx size");
    fuzzcheck(vars.markercnt.size() == std::size_t(u) + 1, "markercnt size");
    fuzzcheck(vars.locusloc.size() == std::size_t(u) + 1, "locusloc size");

    // Every unique locus is carried by its loci, numbered by first
    // appearance.
    std::vector<int32_t> seen(std::size_t(u) + 1, 0);
    int32_t next = 1, poly = 0;
    for (int32_t l = 1; l <= nloci; ++l) {
        int32_t m = vars.markeridx[std::size_t(l)];
        fuzzcheck(m >= 0 && m <= u, "markeridx out of 0..numloci2");
        if (m == 0) continue;
        ++poly;
        if (seen[std::size_t(m)]++ == 0) {
            fuzzcheck(m == next, "unique loci not numbered by first appearance");
            ++next;
        }
    }
    int64_t sum = 0;
    for (int32_t m = 1; m <= u; ++m) {
        fuzzcheck(vars.markercnt[std::size_t(m)] == seen[std::size_t(m)], "markercnt disagrees with markeridx");
        sum += vars.markercnt[std::size_t(m)];
    }
    fuzzcheck(sum == poly, "markercnt does not add up to the polymorphic loci");

    // Allele numbering.
    fuzzcheck(vars.locusloc[0] == 0, "locusloc(0)");
    for (int32_t m = 1; m <= u; ++m) {
        int k = vars.obsnumallele[std::size_t(m)];
        fuzzcheck(k >= 2 && k <= 127, "alleles of a unique locus out of 2..127");
        fuzzcheck(vars.locusloc[std::size_t(m)] == vars.locusloc[std::size_t(m - 1)] + k, "locusloc");
        fuzzcheck(k <= vars.maxnumallele, "maxnumallele");
    }
    fuzzcheck(vars.locusloc[std::size_t(u)] == vars.numallallele, "numallallele");

    if (vars.dataform == 0) {
        fuzzcheck(vars.indivgtype.size() == 2 * std::size_t(u) * std::size_t(n), "indivgtype size");
        fuzzcheck(vars.maxrawallele >= 1 && vars.maxrawallele <= 999, "maxrawallele");
        for (int32_t i = 1; i <= n; ++i)
            for (int32_t m = 1; m <= u; ++m) {
                int c1 = vars.indivgtype[gtypeat(1, m, i)], c2 = vars.indivgtype[gtypeat(2, m, i)];
                bool missing = c1 == 0 && c2 == 0;
                bool coded = c1 >= 1 && c1 <= c2 && c2 <= vars.obsnumallele[std::size_t(m)];
                fuzzcheck(missing || coded, "allele codes out of range or unordered");
            }
        return;
    }

    // Packed store: words of the unique loci only, nothing beyond them.
    fuzzcheck(vars.maxnumallele == 2 && vars.maxrawallele == 2, "SNP allele counts");
    fuzzcheck(vars.snpwords == (u - 1) / 16 + 1, "snpwords");
    fuzzcheck(vars.snp.size() == std::size_t(n) * std::size_t(vars.snpwords), "snp size");
    const int used = u - 16 * (vars.snpwords - 1);
    const uint32_t spare = used == 16 ? 0u : ~((uint32_t(1) << (2 * used)) - 1u);
    for (int32_t i = 1; i <= n; ++i)
        fuzzcheck((vars.snp[snpcol(i) + std::size_t(vars.snpwords - 1)] & spare) == 0, "bits beyond the last locus");
}
