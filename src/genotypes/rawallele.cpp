// Records of the raw-allele side file, which lets the results label allele
// frequencies with the identifiers of the genotype file.
#include "genotypes/gtypework.hpp"
#include "run/textconv.hpp"

std::string rawallelerecord(const std::vector<int32_t>& ids)
{
    const std::size_t perline = 127;
    std::string text;
    text.reserve(4 * (ids.size() + 1) + 4);
    text += fmtint(int64_t(ids.size()), 4);
    std::size_t online = 1;
    for (int32_t id : ids) {
        if (online == perline) {
            text += '\n';
            online = 0;
        }
        text += fmtint(id, 4);
        ++online;
    }
    text += '\n';
    return text;
}
