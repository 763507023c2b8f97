#include "compact.hpp"
#include <algorithm>
#include "convstate.hpp"
#include "genocount.hpp"

namespace {

template <class T>
void keeponly(std::vector<T>& v, const std::vector<uint8_t>& on)
{
    if (v.empty())
        return;
    size_t k = 0;
    for (size_t i = 0; i < v.size(); i++)
        if (on[i])
            v[k++] = v[i];
    v.resize(k);
}

} // namespace

void compact()
{
    int64_t nsites = int64_t(cv.siteon.size());
    std::vector<int64_t> keep;   // input numbers of the kept individuals
    for (int64_t i = 0; i < cv.numindiv; i++)
        if (cv.indivon[size_t(i)])
            keep.push_back(i);
    bool allsites = std::count(cv.siteon.begin(), cv.siteon.end(), 1) == nsites;
    if (int64_t(keep.size()) == cv.numindiv && allsites)
        return;

    // the stores as read are taken apart chunk by chunk while the new ones
    // grow, so that at most one chunk more is held
    convstate old;
    std::swap(old.bichunks, cv.bichunks);
    std::swap(old.multichunks, cv.multichunks);
    std::swap(old.numallele, cv.numallele);
    std::swap(old.siteidx, cv.siteidx);
    old.numindiv = cv.numindiv;
    old.bytespersite = cv.bytespersite;
    old.chunksites = cv.chunksites;
    old.multichunksites = cv.multichunksites;
    cv.numbi = cv.nummulti = 0;
    cv.numindiv = int64_t(keep.size());
    cv.maxallele = 2;
    initstores();
    bool allindiv = int64_t(keep.size()) == old.numindiv;

    for (int64_t s = 0; s < nsites; s++) {
        int nal = old.numallele.empty() ? 2 : old.numallele[size_t(s)];
        int64_t k = old.siteidx.empty() ? s : int64_t(old.siteidx[size_t(s)]);
        bool multi = nal > 2;
        int64_t per = multi ? old.multichunksites : old.chunksites;
        std::vector<std::vector<uint8_t>>& chunks = multi ? old.multichunks : old.bichunks;
        if (cv.siteon[size_t(s)]) {
            const uint8_t* p = chunks[size_t(k / per)].data() +
                               (k % per) * (multi ? 2 * old.numindiv : old.bytespersite);
            if (!old.numallele.empty()) {
                cv.numallele.push_back(uint8_t(nal));
                cv.siteidx.push_back(uint32_t(multi ? cv.nummulti : cv.numbi));
                cv.maxallele = std::max(cv.maxallele, nal);
            }
            uint8_t* q = multi ? newmultisite() : newbisite();
            if (multi) {
                for (size_t j = 0; j < keep.size(); j++) {
                    q[2 * j] = p[2 * keep[j]];
                    q[2 * j + 1] = p[2 * keep[j] + 1];
                }
            } else if (allindiv) {
                std::copy(p, p + cv.bytespersite, q);
            } else {
                for (size_t j = 0; j < keep.size(); j++) {
                    int64_t i = keep[j];
                    q[j / 4] |= uint8_t(((p[i / 4] >> (2 * (i % 4))) & 3) << (2 * (j % 4)));
                }
            }
        }
        if (k % per == per - 1)   // the last site of its chunk
            std::vector<uint8_t>().swap(chunks[size_t(k / per)]);
    }
    keeponly(cv.ids, cv.indivon);
    keeponly(cv.fids, cv.indivon);
    keeponly(cv.iids, cv.indivon);
    cv.indivon.assign(size_t(cv.numindiv), 1);
    cv.siteon.assign(size_t(cv.numbi + cv.nummulti), 1);
    cv.numloci = cv.numbi + cv.nummulti;
}
