// One individual's allele pairs at every unique locus: read in place from
// indivgtype (layout 0) or unpacked from the packed SNP store.
#include "estimation/common/common.hpp"
#include "genotypes/genotypes.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void gtypebuffer(std::vector<int8_t>& buf, const char* routine)
{
    if (vars.dataform == 0) return;
    allocarray(buf, 2 * std::size_t(vars.numloci2), int8_t(0), vars.memerr, routine);
}

const int8_t* fetchgtype(int32_t i, std::vector<int8_t>& buf)
{
    if (vars.dataform == 0) return vars.indivgtype.data() + gtypeat(1, 1, i);
    retrivesnp(vars.numloci2, i, buf.data());
    return buf.data();
}
