// Outputs are written under temporary names beside their final names and
// renamed only when all of them are complete, so a failed run leaves
// nothing.  An output that exists and is not a regular file (a device, a
// pipe, /dev/stdout) is written directly instead: it is never replaced by
// a rename, and an output that is standard output (/dev/stdout, or the
// file standard output goes to) is written through it.  A symbolic link to
// a regular file is followed: the file it points to is replaced, the link
// stays.
#pragma once
#include <cstdio>
#include <string>

FILE* outopen(const std::string& name);
void outclose(FILE* f, const std::string& name);

// Removes the earlier report's outputs (rep.stale), then renames every temporary
// file to its name.
void outcommit();
void outdiscard();

// Writes text, stopping with a message naming the file on failure.
void outwrite(FILE* f, const std::string& text, const std::string& name);

// Writes buf when it holds more than 1 MiB, or when always, and empties
// it; when f is null (an output not written) buf is only emptied.
void outflush(FILE* f, std::string& buf, const std::string& name, bool always);

// Removes the temporary files when the program is ended by SIGINT,
// SIGTERM, SIGHUP or SIGQUIT, and turns a pipe closed by its reader into a
// write error instead of a silent end.
void outsignals();
