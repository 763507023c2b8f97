// Creating the run's arrays: a failure to obtain memory stops the run
// through stoponerror instead of ending it with an uncaught exception.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "run/stop.hpp"

// Asks the system to back the memory at p (n bytes, not yet touched) with
// large pages where it can: an array of hundreds of megabytes then costs a
// few hundred page faults instead of hundreds of thousands, and the loops
// that stream it miss the address cache less.  Only an advice: nothing
// changes where it is not followed.
void largepages(void* p, std::size_t n);

// Arrays from this size on are given large pages.
inline constexpr std::size_t largearray = std::size_t(32) << 20;

// Gives `a` n elements, all equal to `fill`; on failure stops the run with
// `message` from `routine`.
template <class T>
void allocarray(std::vector<T>& a, std::size_t n, T fill, const std::string& message, const std::string& routine)
{
    try {
        if (n * sizeof(T) >= largearray && n > a.capacity()) {
            // a fresh, untouched buffer, advised before it is filled
            a = std::vector<T>();
            a.reserve(n);
            largepages(a.data(), n * sizeof(T));
        }
        a.assign(n, fill);
    } catch (const std::bad_alloc&) {
        a = std::vector<T>();
        stoponerror(message, routine);
    } catch (const std::length_error&) {
        a = std::vector<T>();
        stoponerror(message, routine);
    }
}

// The plain message used where no run-state text is prescribed.
inline std::string allocfailmessage(const std::string& what)
{
    return "Failed to allocate memory for " + what + "!";
}
