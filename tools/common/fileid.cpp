#include "fileid.hpp"
#include <filesystem>
#include <sys/stat.h>

fileid idof(const std::string& name)
{
    fileid f;
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0) {
        f.exists = true;
        f.regular = S_ISREG(st.st_mode);
        f.dev = st.st_dev;
        f.ino = st.st_ino;
        return f;
    }
    std::filesystem::path p(name);
    std::string dir = p.parent_path().string();
    f.last = p.filename().string();
    if (::stat(dir.empty() ? "." : dir.c_str(), &st) == 0) {
        f.dev = st.st_dev;
        f.ino = st.st_ino;
    } else {
        // a missing folder: the name as written, made absolute
        f.last = std::filesystem::absolute(p).lexically_normal().string();
    }
    return f;
}

bool samefile(const fileid& a, const fileid& b)
{
    return a.exists == b.exists && a.dev == b.dev && a.ino == b.ino && a.last == b.last;
}

const char* kindofmode(mode_t m)
{
    return S_ISREG(m)    ? "a regular file"
           : S_ISDIR(m)  ? "a folder"
           : S_ISFIFO(m) ? "a named pipe"
           : S_ISCHR(m)  ? "a character device"
           : S_ISBLK(m)  ? "a block device"
           : S_ISSOCK(m) ? "a socket"
                         : "not a regular file";
}

std::string kindof(const std::string& name)
{
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0)
        return "missing";
    return kindofmode(st.st_mode);
}
