// Creating the run's arrays: a failure to obtain memory stops the run
// through stoponerror instead of ending it with an uncaught exception.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "run/stop.hpp"

// Gives `a` n elements, all equal to `fill`; on failure stops the run with
// `message` from `routine`.
template <class T>
void allocarray(std::vector<T>& a, std::size_t n, T fill, const std::string& message, const std::string& routine)
{
    try {
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
