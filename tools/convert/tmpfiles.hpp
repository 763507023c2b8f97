// Output files are written under temporary names in their own folder and
// renamed only when everything is written, so a failed run leaves nothing.
#pragma once
#include <cstdio>
#include <string>

// Opens a temporary file beside name for writing (beside the file a
// symbolic link points to); refuses a name that is a folder, a device or a
// pipe.
FILE* tmpopen(const std::string& name);

// Closes a file from tmpopen, stopping on any write error.
void tmpclose(FILE* f, const std::string& name);

// Removes the stale identifier maps (cv.stalenames), then renames every
// temporary file to its final name.
void tmpcommit();

// Removes the temporary files (after a failure); reports nothing.
void tmpdiscard();

// Removes the temporary files when the program is ended by SIGINT,
// SIGTERM, SIGHUP or SIGQUIT, and turns a closed pipe into a write error.
void tmpsignals();

// Writes n bytes, stopping with a message naming the file on failure.
void putbytes(FILE* f, const char* p, size_t n, const std::string& name);
inline void putbytes(FILE* f, const std::string& s, const std::string& name)
{
    putbytes(f, s.data(), s.size(), name);
}
