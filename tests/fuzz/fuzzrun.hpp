// Shared by the fuzz targets: a private working folder per fuzzing
// process, a fresh run state per input, and the checks that turn a broken
// invariant into a crash the fuzzer reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "run/stop.hpp"

// Creates the process's working folder in /dev/shm, or under TMPDIR when
// that cannot be written (removed at exit),
// makes it the current folder and sends the screen to /dev/null.  Call
// once, from LLVMFuzzerInitialize.
void fuzzsetup();

// Six individuals a..f at eight loci of a layout 0 genotype file:
// identifiers up to 999, a monomorphic locus (2), a locus with every
// genotype missing (4), two loci with the same pattern of alleles that are
// merged (6 and 7).
extern const char* const sixbyeight;

// A fresh run state for a layout 0 genotype file geno.txt holding text, of
// n individuals at the given loci (seed -7, results out.txt): what the
// targets that start from a fixed data set set up before reading it.
void fuzzlayout0(const std::string& text, int32_t n, int32_t loci);

// A fresh run state on the master process, no wait after a stop.
void fuzzreset();

// Writes a file of the working folder.
void fuzzwrite(const std::string& name, const uint8_t* data, std::size_t size);
void fuzzwrite(const std::string& name, const std::string& text);

// Aborts the process with a message: the fuzzer saves the input.
[[noreturn]] void fuzzfail(const char* what);

// fuzzfail unless the condition holds.
inline void fuzzcheck(bool ok, const char* what)
{
    if (!ok) fuzzfail(what);
}

// Runs one input's stages; a stop (runend) is a normal outcome.  Returns
// true when the stages ran to their end.
template <class F>
bool fuzzstages(F f)
{
    try {
        f();
    } catch (const runend& end) {
        if (end.status != 0 && end.status != 1) fuzzfail("exit status other than 0 or 1");
        return false;
    }
    return true;
}

// The invariants that locus preparation promises the estimation.
void checkprepared();
