// The EM for Delta of eight dyads side by side, one dyad per lane of a
// vector of doubles.  Each lane runs exactly the iterations of one dyad's
// EM on its own term entries, in the order they were made, so its Deltas
// are the same to the bit as the dyad's EM on its own would give (the
// tests keep such a scalar EM to compare with); the lanes only share
// instructions.
// A lane whose dyad has stopped is given the next dyad while the others go
// on.
#pragma once

#include <cstdint>
#include <vector>

#include "estimation/fixed/fixed.hpp"
#include "estimation/simd/simd.hpp"

// One mode's entries of all lanes.  Entry k of lane L: its weight in
// vector block[(1 + nt) k] and its terms in the nt vectors after it, all
// at element L.  A lane's entries past its own count are left over from
// earlier dyads and are masked out.
struct lanemode {
    int nt = 0;                   // terms per entry
    int32_t cap = 0;              // entries per lane that fit
    int32_t count[nlanes] = {};   // entries of each lane's dyad
    int32_t most = 0;             // largest count over the lanes
    int32_t least = 0;            // smallest count over the lanes
    std::vector<lanerow> block;
};

struct emlanes {
    lanemode mode[9];          // modes 1..8
    lanerow d[10] = {};        // Deltas 1..9, one dyad per element
    lanerow w9 = {};           // weight of the mode-9 loci
    int64_t busy[nlanes] = {}; // -1 where the lane holds a dyad
    int32_t iter[nlanes] = {}; // iterations done
    // the lane's dyad: its individuals, serial number and place among
    // this process's dyads
    int32_t i[nlanes] = {}, j[nlanes] = {};
    int64_t serial[nlanes] = {}, count[nlanes] = {};
};

// Empty lanes, the buffers sized for `entries` entries per mode and lane
// to start with (they grow when a dyad needs more).
void lanesetup(emlanes& z, int32_t entries);

// Gives lane L the dyad whose term entries are w, from the starting Deltas
// for d9.
void laneload(emlanes& z, int lane, const termentries& w, double d9);

// Lane L holds no dyad any more.
void lanefree(emlanes& z, int lane);

// One EM iteration of every lane that holds a dyad; returns the lanes
// (bit L for lane L) whose dyad stops after it: its mean change fell below
// tol, or it has had 100 iterations.
uint32_t lanesiterate(emlanes& z, double tol);

// Lane L's current Deltas into d[1..9].
void lanedeltas(const emlanes& z, int lane, double* d);
