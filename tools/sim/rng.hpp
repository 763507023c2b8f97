// Pseudo-random numbers for the simulator: xoshiro256** seeded through
// splitmix64, so that every run is reproducible from one 64-bit seed on any
// platform (the standard library's distributions are not).
#pragma once
#include <cstdint>

struct rng {
    uint64_t s[4];
};

inline uint64_t splitmix(uint64_t& x)
{
    uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

inline void rngseed(rng& r, uint64_t seed)
{
    for (uint64_t& w : r.s)
        w = splitmix(seed);
}

inline uint64_t rotl64(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

inline uint64_t rngnext(rng& r)
{
    uint64_t* s = r.s;
    uint64_t out = rotl64(s[1] * 5, 7) * 9;
    uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl64(s[3], 45);
    return out;
}

// Moves r 2^128 draws ahead: a second stream from one seed that never
// meets the first one's numbers.
inline void rngjump(rng& r)
{
    static const uint64_t jump[4] = {0x180ec6d33cfd0abaULL, 0xd5a61266f0c9392cULL,
                                     0xa9582618e03fc9aaULL, 0x39abdc4529b1661cULL};
    uint64_t t[4] = {0, 0, 0, 0};
    for (uint64_t j : jump)
        for (int b = 0; b < 64; b++) {
            if (j >> b & 1)
                for (int i = 0; i < 4; i++)
                    t[i] ^= r.s[i];
            rngnext(r);
        }
    for (int i = 0; i < 4; i++)
        r.s[i] = t[i];
}

// Uniform in [0,1).
inline double rngunif(rng& r) { return double(rngnext(r) >> 11) * 0x1.0p-53; }

// Uniform in (0,1], safe to take the logarithm of.
inline double rngunifpos(rng& r) { return double((rngnext(r) >> 11) + 1) * 0x1.0p-53; }

// Uniform integer in 0..n-1 (n > 0), without modulo bias.
inline uint32_t rngbelow(rng& r, uint32_t n)
{
    uint64_t m = (rngnext(r) >> 32) * n;
    uint32_t lo = uint32_t(m);
    if (lo < n) {
        uint32_t floor = uint32_t(-n) % n;
        while (lo < floor) {
            m = (rngnext(r) >> 32) * n;
            lo = uint32_t(m);
        }
    }
    return uint32_t(m >> 32);
}

// A threshold t such that rngnext() < t has probability p (0 <= p < 1).
inline uint64_t rngthreshold(double p)
{
    if (p <= 0)
        return 0;
    if (p >= 1)
        return UINT64_MAX;
    return uint64_t(p * 18446744073709551616.0);
}
