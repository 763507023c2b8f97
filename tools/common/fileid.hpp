// Files compared on disk: device and inode, links followed; a name that
// does not exist yet by its folder and last part, so that ./r.out,
// $PWD/r.out and a hard link are one file.
#pragma once
#include <string>
#include <sys/types.h>

struct fileid {
    bool exists = false, regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string last;   // the last part of a name that does not exist
};

fileid idof(const std::string& name);
bool samefile(const fileid& a, const fileid& b);

// What a file is: "a regular file", "a folder", "a named pipe", ...,
// "missing"; kindofmode by its stat mode (of a file already open).
std::string kindof(const std::string& name);
const char* kindofmode(mode_t m);
