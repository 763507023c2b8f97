// The first line of a file that may be an earlier run's output, to tell a
// table or map of these programs from a file of the user's.
#pragma once
#include <string>

// The first line of name (links followed) without its line end, from at
// most the first 4096 bytes; "" when name is not a regular file or cannot
// be read.  Never blocks: a named pipe is not opened for reading.
std::string headline(const std::string& name);
