#include "convstate.hpp"
#include <algorithm>

convstate cv;

void convstop(const std::string& msg)
{
    throw convfail{msg};
}

void resetconv()
{
    cv = convstate();
}

namespace {
// A chunk holds about 64 MiB, at least one site.
constexpr int64_t chunkbytes = int64_t(1) << 26;
}

void initstores()
{
    cv.bytespersite = (cv.numindiv + 3) / 4;
    cv.chunksites = std::max<int64_t>(1, chunkbytes / std::max<int64_t>(1, cv.bytespersite));
    cv.multichunksites = std::max<int64_t>(1, chunkbytes / std::max<int64_t>(1, 2 * cv.numindiv));
}

// The last chunk grows site by site (its capacity doubling), so small
// data sets do not pay for a whole chunk; full chunks are never moved.
static uint8_t* newsite(std::vector<std::vector<uint8_t>>& chunks, int64_t k, int64_t persite,
                        int64_t bytes)
{
    if (k % persite == 0) {
        chunks.emplace_back();
        chunks.back().reserve(size_t(std::min<int64_t>(persite, 64) * bytes));
    }
    std::vector<uint8_t>& c = chunks.back();
    size_t at = c.size();
    c.resize(at + size_t(bytes));
    return c.data() + at;
}

uint8_t* newbisite()
{
    return newsite(cv.bichunks, cv.numbi++, cv.chunksites, cv.bytespersite);
}

uint8_t* newmultisite()
{
    return newsite(cv.multichunks, cv.nummulti++, cv.multichunksites, 2 * cv.numindiv);
}
